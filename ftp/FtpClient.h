// The client side of FTP: replies and commands on the control connection,
// and files moved over a data connection. The object keeps no socket and no
// connection state, only its buffers; every operation is given the stream it
// works on, which stays the caller's. Transfers go through CTransfer
// (ftp/Transfer.h), which opens and closes the data connections.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ftp/Socket.h"
#include "ftp/Stream.h"

// The reply code given when the connection failed while a command was sent
// or a reply was read.
constexpr int ReplyFailed = 999;

// A local file opened to be sent. An upload opens it before it says a word
// to the server, so that a file it cannot read costs the server nothing.
class CInputFile {
public:
    explicit CInputFile(const char* path);
    // A file the caller opened for reading ("rb"); null for none.
    explicit CInputFile(std::FILE* file) : m_file(file) {}
    ~CInputFile();
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;

    bool IsOpen() const { return m_file != nullptr; }
    // 64-bit sizes on every target, so files over 4 GB go whole.
    bool Size(uint64_t* size) const;
    size_t Read(char* buffer, size_t length);

private:
    std::FILE* m_file;
};

class CFtpClient {
public:
    static constexpr size_t ReplySize = 4096;
    static constexpr size_t BlockSize = 1024;
    // A send call takes up to this many blocks (one TLS record's worth):
    // each call costs far more than its bytes, under Wine above all.
    static constexpr size_t SendBlocks = 16;

    // Called after every block sent, synchronously: the file's size and the
    // bytes sent so far. False stops the sending there.
    typedef std::function<bool(uint64_t size, uint64_t sent)> ProgressCallback;
    // Called after every receive call that is not an error, with its count
    // (the final 0 included).
    typedef std::function<void(size_t received)> ReceiveCallback;

    CFtpClient();

    // How long a connect, and the greeting, may keep us waiting: seconds,
    // 0 for as long as the platform waits. Streams made for this client
    // are given the same limit by their maker.
    void SetTimeLimit(int seconds) { m_timeLimit = seconds > 0 ? seconds : 0; }
    int TimeLimit() const { return m_timeLimit; }

    // Connects and reads the greeting. Gives the control socket when the
    // greeting's code is below 400, else InvalidSocket (and closes what it
    // opened; FailureReason says why). Four dot-separated numbers are used
    // without a look-up; an IPv6 address (bare or in brackets) or a name is
    // resolved, and each of its addresses tried in turn until one connects.
    SocketHandle ConnectToHost(const char* host, unsigned short port);

    // Why the last connect, command or reply failed, in plain words for the
    // user: the server's reply when it answered, else what happened
    // ("no answer within 60 seconds"); a failed connect names host and port.
    std::string FailureReason() const;
    // The last failed send or read gave up waiting.
    bool TimedOut() const { return m_timedOut; }

    // Sends a complete command line (the caller adds "\r\n") and reads the
    // reply; ReplyFailed if the send failed.
    int SendCommand(CStream& control, const char* line);

    // Reads exactly one reply and leaves whatever follows it in the stream.
    // Gives the code of its first line, or ReplyFailed.
    int ReadReply(CStream& control);

    // The text of the last reply read, every line with its line end as the
    // server sent it ("\r\n", or "\n" alone); valid until the next read.
    const char* LastReply() const { return m_reply; }
    // The code of the last reply read, ReplyFailed after a failed send or read.
    int LastReplyCode() const { return m_replyCode; }

    // How moving a file over a data connection ended.
    enum class DataEnd { Whole, LocalFile, Connection, Stopped };

    // Sends the file in blocks of BlockSize. LocalFile when it is not open
    // or cannot be read to the size it had at the start, Connection when a
    // send fails, Stopped when the progress callback said so. Neither
    // closes the data connection nor reads a reply.
    DataEnd SendFile(CStream& data, CInputFile& file);

    // Creates or empties the file and fills it from the data connection
    // until the server closes it. LocalFile when the file cannot be
    // created or written, Connection when a receive fails.
    DataEnd ReceiveToFile(CStream& data, const char* path, const ReceiveCallback& onReceive = ReceiveCallback());

    // From now on every block sent is reported to the callback.
    void EnableProgress(ProgressCallback progress) { m_progress = std::move(progress); }

    // "PORT a,b,c,d,hi,lo\r\n" for a local address and listening port.
    static std::string FormatPortLine(const unsigned char address[4], unsigned short port);
    // "EPRT |2|h:h:h:h:h:h:h:h|port|\r\n" (RFC 2428) for an IPv6 one; "|1|"
    // and the dotted form for IPv4.
    static std::string FormatEprtLine(const NetAddress& address, unsigned short port);

private:
    bool SendAll(CStream& s, const char* data, size_t length);

    char m_reply[ReplySize + 1];
    char m_lookAhead[ReplySize];
    std::vector<char> m_block;
    std::string m_command;
    int m_replyCode;
    int m_timeLimit = 0;
    bool m_timedOut = false;
    std::string m_failure;  // when m_replyCode is ReplyFailed
    ProgressCallback m_progress;
};
