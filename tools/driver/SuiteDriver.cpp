// suite_driver: drives the suite's windows for the end-to-end tests.
//
// One long-lived session per test, so Wine's start-up is paid once: a command
// per line on standard input, one reply line per command on standard output
// (see Protocol.h). "help" lists the commands; end of input or "quit" ends.
#include "tools/driver/Driver.h"

#include <commctrl.h>

namespace {

const CCommand* const Tables[] = {WindowCommands, ListCommands, MessageBoxCommands, SystemCommands};

const CCommand* Lookup(const std::string& name)
{
    for (const CCommand* table : Tables)
        for (const CCommand* c = table; c->Name; ++c)
            if (name == c->Name)
                return c;
    return nullptr;
}

class CLineIo {
public:
    CLineIo() : In(GetStdHandle(STD_INPUT_HANDLE)), Out(GetStdHandle(STD_OUTPUT_HANDLE)) {}

    bool ReadLine(std::string& line)
    {
        line.clear();
        for (;;) {
            size_t nl = Pending.find('\n');
            if (nl != std::string::npos) {
                line = Pending.substr(0, nl);
                Pending.erase(0, nl + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                return true;
            }
            char buf[4096];
            DWORD got = 0;
            if (!ReadFile(In, buf, sizeof buf, &got, nullptr) || got == 0) {
                line = Pending;
                Pending.clear();
                return !line.empty();
            }
            Pending.append(buf, got);
        }
    }

    void WriteLine(const std::string& text)
    {
        std::string line = text + "\n";
        DWORD done = 0;
        for (size_t at = 0; at < line.size(); at += done)
            if (!WriteFile(Out, line.data() + at, static_cast<DWORD>(line.size() - at), &done, nullptr) || !done)
                return;
        FlushFileBuffers(Out);
    }

private:
    HANDLE In, Out;
    std::string Pending;
};

void Hello(CReply& reply)
{
    reply.Add(static_cast<int64_t>(sizeof(void*) * 8)).Add(GetACP()).Add(GetCurrentProcessId());
}

void Help(CReply& reply)
{
    int64_t n = 2;
    for (const CCommand* table : Tables)
        for (const CCommand* c = table; c->Name; ++c)
            ++n;
    reply.Add(n).AddText("hello").AddText("-> bits codepage pid").AddText("quit").AddText("");
    for (const CCommand* table : Tables)
        for (const CCommand* c = table; c->Name; ++c)
            reply.AddText(c->Name).AddText(c->Usage);
}

// One command line in, one reply line out; false after "quit".
bool Execute(const std::string& line, std::string& out)
{
    try {
        CArgs args(line);
        CReply reply;
        const std::string& name = args.Name();
        if (name == "quit") {
            out = reply.Line();
            return false;
        }
        if (name == "hello") {
            Hello(reply);
        } else if (name == "help") {
            Help(reply);
        } else {
            const CCommand* c = Lookup(name);
            if (!c)
                throw CDriverError("usage", name.empty() ? "empty command" : "unknown command " + name);
            args.CheckOptions(c->Options);
            c->Run(args, reply);
        }
        out = reply.Line();
    } catch (const CDriverError& e) {
        out = ErrorLine(e.Kind, e.what());
    } catch (const std::exception& e) {
        out = ErrorLine("failed", e.what());
    }
    return true;
}

}  // namespace

int main()
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    CLineIo io;
    std::string line, reply;
    bool more = true;
    while (more && io.ReadLine(line)) {
        more = Execute(line, reply);
        io.WriteLine(reply);
    }
    return 0;
}
