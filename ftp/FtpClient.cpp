#include "ftp/FtpClient.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

const size_t NotFound = static_cast<size_t>(-1);

// The usual decimal string-to-integer rule over at most `limit` characters:
// leading white space, an optional sign, digits up to the first non-digit.
long long DecimalPrefix(const char* text, size_t limit)
{
    size_t i = 0;
    while (i < limit && text[i] != 0 && std::strchr(" \t\n\v\f\r", text[i]) != nullptr)
        ++i;
    bool negative = false;
    if (i < limit && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < limit && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value <= 0xFFFFFFFFLL)  // no dotted part or code is larger
            value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

int ReplyCodeOf(const char* text)
{
    return static_cast<int>(DecimalPrefix(text, 3));
}

// "10.0.0.5" -> 10, 0, 0, 5: each part by the decimal rule, missing parts 0.
void DottedAddressBytes(const char* host, unsigned char address[4])
{
    const char* part = host;
    for (int i = 0; i < 4; ++i) {
        if (part == nullptr) {
            address[i] = 0;
            continue;
        }
        const char* dot = std::strchr(part, '.');
        size_t length = dot != nullptr ? static_cast<size_t>(dot - part) : std::strlen(part);
        address[i] = static_cast<unsigned char>(DecimalPrefix(part, length));
        part = dot != nullptr ? dot + 1 : nullptr;
    }
}

// Where the next line feed is: servers end lines with "\r\n", some with a
// bare "\n", and a line is complete at its line feed either way.
size_t FindLineFeed(const char* text, size_t from, size_t length)
{
    for (size_t i = from; i < length; ++i) {
        if (text[i] == '\n')
            return i;
    }
    return NotFound;
}

// Where the reply at the start of the buffer ends (just past the line feed
// of its last line), or 0 while the buffer does not reach that far yet.
//   single line:  "220 Ready\r\n"       ends at its first line feed
//   multi-line:   "230-Welcome\r\n"     the fourth character is "-", and the
//                 "230 Done\r\n"        reply runs to the first line that
//                                       begins with the code and a space
// A line inside the reply may mention the code ("220-Call 220 now"); only a
// line that begins with it ends the reply.
size_t FindReplyEnd(const char* text, size_t length)
{
    size_t lf = FindLineFeed(text, 0, length);
    if (lf != NotFound && lf < 3)  // "22\n": too short to be continued
        return lf + 1;
    if (length < 4)
        return 0;
    if (text[3] != '-')
        return lf == NotFound ? 0 : lf + 1;
    for (; lf != NotFound; lf = FindLineFeed(text, lf + 1, length)) {
        size_t line = lf + 1;
        if (line + 4 <= length && std::memcmp(text + line, text, 3) == 0 && text[line + 3] == ' ') {
            size_t last = FindLineFeed(text, line + 4, length);
            return last == NotFound ? 0 : last + 1;
        }
    }
    return 0;
}

class COutputFile {
public:
    explicit COutputFile(const char* path) : m_file(std::fopen(path, "wb")) {}
    ~COutputFile() { Close(); }
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    bool IsOpen() const { return m_file != nullptr; }
    bool Write(const char* data, size_t length) { return std::fwrite(data, 1, length, m_file) == length; }

    // False when the last buffered bytes could not be written.
    bool Close()
    {
        if (m_file == nullptr)
            return true;
        bool ok = std::fclose(m_file) == 0;
        m_file = nullptr;
        return ok;
    }

private:
    std::FILE* m_file;
};

}  // namespace

CFtpClient::CFtpClient() : m_block(BlockSize * SendBlocks), m_replyCode(0)
{
    std::memset(m_reply, 0, sizeof m_reply);
    std::memset(m_lookAhead, 0, sizeof m_lookAhead);
}

SocketHandle CFtpClient::ConnectToHost(const char* host, unsigned short port)
{
    m_timedOut = false;
    const std::string where = std::string(host) + ", port " + std::to_string(port) + ": ";
    m_replyCode = ReplyFailed;
    std::vector<NetAddress> addresses(1);
    if (IsDottedAddress(host)) {
        DottedAddressBytes(host, addresses[0].bytes);
    } else if (!ResolveHostAddresses(host, addresses)) {
        m_failure = where + "the name was not found";
        return InvalidSocket;
    }

    // Each address in turn; the reason given is the last one's.
    for (const NetAddress& address : addresses) {
        CSocketOwner control(OpenStreamSocket(address));
        const ConnectEnd end =
            control.IsValid()
                ? ConnectSocketWithin(control.Get(), address, port, m_timeLimit > 0 ? m_timeLimit * 1000 : -1)
                : ConnectEnd::Failed;
        switch (end) {
        case ConnectEnd::Connected:
            break;
        case ConnectEnd::Refused:
            m_failure = where + "the connection was refused";
            continue;
        case ConnectEnd::TimedOut:
            m_timedOut = true;
            m_failure = where + NoAnswerText(m_timeLimit);
            continue;
        case ConnectEnd::Failed:
            m_failure = where + "the host could not be reached";
            continue;
        }
        m_timedOut = false;
        // The greeting is always plain: encryption, if any, is asked for after it.
        CPlainStream greeting(control.Get(), m_timeLimit);
        if (ReadReply(greeting) >= 400) {
            m_failure = where + FailureReason();
            m_replyCode = ReplyFailed;
            return InvalidSocket;
        }
        return control.Release();
    }
    return InvalidSocket;
}

std::string CFtpClient::FailureReason() const
{
    if (m_replyCode != ReplyFailed) {
        std::string reply = m_reply;
        while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r'))
            reply.pop_back();
        return reply;
    }
    return m_failure;
}

int CFtpClient::SendCommand(CStream& control, const char* line)
{
    m_command = line;
    if (!SendAll(control, m_command.data(), m_command.size())) {
        m_replyCode = ReplyFailed;
        m_timedOut = control.TimedOut();
        m_failure = m_timedOut ? NoAnswerText(control.TimeLimit()) : "the connection failed";
        return ReplyFailed;
    }
    return ReadReply(control);
}

// Peeks at what the stream holds, works out from it where the reply ends and
// receives no further, so that a reply right behind (a transfer's completion
// behind its opening reply) stays for the next read. A reply whose end has
// not arrived yet is taken as far as it goes and looked at again.
int CFtpClient::ReadReply(CStream& control)
{
    size_t received = 0;
    bool failed = false;
    bool open = true;
    bool closed = false;
    while (open && received < ReplySize) {
        std::memset(m_lookAhead, 0, sizeof m_lookAhead);
        int peeked = control.Peek(m_lookAhead, static_cast<int>(ReplySize - received));
        if (peeked <= 0) {
            // Nothing at all before the close is a failed read too.
            failed = peeked < 0 || received == 0;
            closed = peeked == 0;
            break;
        }
        std::memcpy(m_reply + received, m_lookAhead, static_cast<size_t>(peeked));
        size_t end = FindReplyEnd(m_reply, received + static_cast<size_t>(peeked));
        size_t expected = end != 0 ? end : received + static_cast<size_t>(peeked);
        while (received < expected) {
            int n = control.Receive(m_reply + received, static_cast<int>(expected - received));
            if (n <= 0) {
                failed = n < 0;
                closed = n == 0;
                open = false;
                break;
            }
            received += static_cast<size_t>(n);
        }
        if (end != 0)
            break;
    }
    m_reply[received] = 0;
    m_replyCode = failed ? ReplyFailed : ReplyCodeOf(m_reply);
    m_timedOut = failed && control.TimedOut();
    if (failed)
        m_failure = m_timedOut ? NoAnswerText(control.TimeLimit())
                    : closed   ? "the FTP host closed the connection"
                               : "the connection failed";
    return m_replyCode;
}

std::string CFtpClient::FormatPortLine(const unsigned char address[4], unsigned short port)
{
    char line[64];
    std::snprintf(line, sizeof line, "PORT %d,%d,%d,%d,%d,%d\r\n", address[0], address[1], address[2], address[3],
                  port >> 8, port & 0xFF);
    return line;
}

namespace {

// The text form of RFC 5952: lower-case hex, the longest run of two or more
// zero groups (the first of equals) as "::". Servers compare the EPRT
// address with the peer's as text (pyftpdlib does), so it must be this one.
std::string Ipv6Text(const unsigned char bytes[16])
{
    unsigned groups[8];
    for (int i = 0; i < 8; ++i)
        groups[i] = static_cast<unsigned>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    int bestStart = -1, bestLength = 1;
    for (int i = 0; i < 8;) {
        int j = i;
        while (j < 8 && groups[j] == 0)
            ++j;
        if (j - i > bestLength)
            bestStart = i, bestLength = j - i;
        i = j == i ? i + 1 : j;
    }
    std::string text;
    char group[8];
    for (int i = 0; i < 8; ++i) {
        if (i == bestStart) {
            text += "::";
            i += bestLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':')
            text += ':';
        std::snprintf(group, sizeof group, "%x", groups[i]);
        text += group;
    }
    return text;
}

}  // namespace

std::string CFtpClient::FormatEprtLine(const NetAddress& address, unsigned short port)
{
    char line[96];
    const unsigned char* b = address.bytes;
    if (address.v6)
        std::snprintf(line, sizeof line, "EPRT |2|%s|%d|\r\n", Ipv6Text(b).c_str(), port);
    else
        std::snprintf(line, sizeof line, "EPRT |1|%d.%d.%d.%d|%d|\r\n", b[0], b[1], b[2], b[3], port);
    return line;
}

CInputFile::CInputFile(const char* path) : m_file(std::fopen(path, "rb")) {}

CInputFile::~CInputFile()
{
    if (m_file != nullptr)
        std::fclose(m_file);
}

bool CInputFile::Size(uint64_t* size) const
{
#ifdef _WIN32
    struct _stati64 st;
    if (_fstati64(_fileno(m_file), &st) != 0)
        return false;
#else
    struct stat st;
    if (fstat(fileno(m_file), &st) != 0)
        return false;
#endif
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

size_t CInputFile::Read(char* buffer, size_t length)
{
    return std::fread(buffer, 1, length, m_file);
}

CFtpClient::DataEnd CFtpClient::SendFile(CStream& data, CInputFile& file)
{
    uint64_t size = 0;
    if (!file.IsOpen() || !file.Size(&size))
        return DataEnd::LocalFile;

    // Never more than the size taken now: a file that grows meanwhile is
    // sent as it was, one that shrinks runs dry and fails. Every block of
    // a send call is reported once the call has taken it.
    uint64_t sent = 0;
    auto nextSend = [&] { return static_cast<size_t>(std::min<uint64_t>(BlockSize * SendBlocks, size - sent)); };
    size_t length = file.Read(m_block.data(), nextSend());
    if (length == 0 && size != 0)
        return DataEnd::LocalFile;
    for (;;) {
        // An empty file is one empty block: nothing to send, one notification.
        if (!SendAll(data, m_block.data(), length))
            return DataEnd::Connection;
        const uint64_t end = sent + length;
        do {
            sent = std::min<uint64_t>(sent + BlockSize, end);
            if (m_progress && !m_progress(size, sent))
                return DataEnd::Stopped;
        } while (sent < end);
        if (sent >= size)
            return DataEnd::Whole;
        length = file.Read(m_block.data(), nextSend());
        if (length == 0)
            return DataEnd::LocalFile;
    }
}

CFtpClient::DataEnd CFtpClient::ReceiveToFile(CStream& data, const char* path, const ReceiveCallback& onReceive)
{
    COutputFile file(path);
    if (!file.IsOpen())
        return DataEnd::LocalFile;
    for (;;) {
        int n = data.Receive(m_block.data(), static_cast<int>(BlockSize));
        if (n < 0)
            return DataEnd::Connection;
        if (onReceive)
            onReceive(static_cast<size_t>(n));
        if (n == 0)
            break;  // the server closes the data connection after the last byte
        if (!file.Write(m_block.data(), static_cast<size_t>(n)))
            return DataEnd::LocalFile;
    }
    return file.Close() ? DataEnd::Whole : DataEnd::LocalFile;
}

// A send may take fewer bytes than asked; the rest goes in further calls.
bool CFtpClient::SendAll(CStream& s, const char* data, size_t length)
{
    while (length > 0) {
        int chunk = static_cast<int>(std::min<size_t>(length, INT_MAX));
        int n = s.Send(data, chunk);
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}
