#include "ScriptedServer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "TempDir.h"

#ifndef _WIN32
#include <filesystem>
#endif

namespace {

const unsigned char Loopback[4] = {127, 0, 0, 1};

bool SendText(SocketHandle s, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        int n = SendSome(s, text.data() + done, static_cast<int>(text.size() - done));
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Lines from the dispenser; `pending` keeps what came after the last one.
bool ReadLine(SocketHandle s, std::string* pending, std::string* line)
{
    size_t eol;
    while ((eol = pending->find('\n')) == std::string::npos) {
        char buffer[65536];
        int n = ReceiveSome(s, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        pending->append(buffer, static_cast<size_t>(n));
    }
    *line = pending->substr(0, eol);
    pending->erase(0, eol + 1);
    return true;
}

std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char c = text[++i];
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string FromHex(const std::string& hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

unsigned short DispenserPort()
{
    static unsigned short port = [] {
        SocketsStartup();
        if (const char* env = std::getenv("SCRIPTED_FTPD_PORT"))
            return static_cast<unsigned short>(std::atoi(env));
#ifdef _WIN32
        return static_cast<unsigned short>(0);
#else
        static std::unique_ptr<CHelperProcess> dispenser(
            new CHelperProcess(SUITE_SOURCE_DIR "/tests/support/scripted_ftpd.py", "--dispenser --until-stdin-closes"));
        return dispenser->Port();
#endif
    }();
    return port;
}

}  // namespace

bool ScriptedServersAvailable()
{
    return DispenserPort() != 0;
}

int OpenSocketCount()
{
#ifdef _WIN32
    return -1;
#else
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ignored;
        if (std::filesystem::read_symlink(entry.path(), ignored).string().compare(0, 7, "socket:") == 0)
            ++count;
    }
    return count;
#endif
}

CScriptedServer::CScriptedServer(const std::string& script)
{
    unsigned short port = DispenserPort();
    if (port == 0) {
        m_failure = "no dispenser";
        return;
    }
    m_dispenser = OpenStreamSocket();
    if (m_dispenser == InvalidSocket || !ConnectSocket(m_dispenser, Loopback, port)) {
        m_failure = "cannot reach the dispenser";
        return;
    }
    std::string line;
    if (!SendText(m_dispenser, "SCRIPT " + std::to_string(script.size()) + "\n" + script) ||
        !ReadLine(m_dispenser, &m_pending, &line) || line.compare(0, 3, "OK ") != 0) {
        m_failure = "dispenser refused the script: " + line;
        return;
    }
    m_port = static_cast<unsigned short>(std::atoi(line.c_str() + 3));
}

CScriptedServer::~CScriptedServer()
{
    if (m_dispenser != InvalidSocket)
        CloseSocket(m_dispenser);
}

SocketHandle CScriptedServer::Connect() const
{
    SocketHandle s = OpenStreamSocket();
    if (s != InvalidSocket && !ConnectSocket(s, Loopback, m_port)) {
        CloseSocket(s);
        return InvalidSocket;
    }
    return s;
}

ScriptedRecord CScriptedServer::Finish(int seconds)
{
    ScriptedRecord record;
    if (m_dispenser == InvalidSocket || !SendText(m_dispenser, "RESULT " + std::to_string(seconds) + "\n")) {
        record.errors.push_back("no dispenser");
        return record;
    }
    record.ended = true;
    std::string line;
    while (ReadLine(m_dispenser, &m_pending, &line) && line != "END") {
        if (line.compare(0, 4, "CMD ") == 0) {
            record.commands.push_back(Unescape(line.substr(4)));
        } else if (line.compare(0, 5, "XFER ") == 0) {
            // XFER <kind> <result> <bytes> <hex or ->
            size_t kindEnd = line.find(' ', 5), resultEnd = line.find(' ', kindEnd + 1);
            size_t sizeEnd = line.find(' ', resultEnd + 1);
            std::string hex = line.substr(sizeEnd + 1);
            record.transfers.push_back({line.substr(5, kindEnd - 5), line.substr(kindEnd + 1, resultEnd - kindEnd - 1),
                                        hex == "-" ? std::string() : FromHex(hex)});
        } else if (line.compare(0, 6, "ERROR ") == 0) {
            record.errors.push_back(Unescape(line.substr(6)));
        } else if (line == "TIMEOUT") {
            record.ended = false;
        }
    }
    return record;
}

#ifndef _WIN32

struct CHelperProcess::Impl {
    CTempDir dir;
    std::FILE* pipe = nullptr;
};

CHelperProcess::CHelperProcess(const std::string& script, const std::string& arguments) : m_impl(new Impl)
{
    std::string portFile = m_impl->dir.Path("port");
    // exec, so that the helper itself holds the pipe and sees it close.
    std::string command =
        "exec /usr/bin/python3 '" + script + "' " + arguments + " --port-file '" + portFile + "' >/dev/null";
    m_impl->pipe = popen(command.c_str(), "w");
    if (m_impl->pipe == nullptr)
        return;
    for (int i = 0; i < 300 && m_port == 0; ++i) {
        std::string text = ReadFile(portFile);
        if (!text.empty())
            m_port = static_cast<unsigned short>(std::atoi(text.c_str()));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

CHelperProcess::~CHelperProcess()
{
    if (m_impl->pipe != nullptr)
        pclose(m_impl->pipe);
    delete m_impl;
}

#endif
