// The client side of FTP: one control connection, active-mode (PORT) data
// connections. The object keeps no socket and no connection state, only its
// buffers; every operation is given the socket it works on, which stays the
// caller's to close unless an operation below says otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "ftp/Socket.h"

// The reply code given when the connection failed while a command was sent
// or a reply was read.
constexpr int ReplyFailed = 999;

class CFtpClient {
public:
    static constexpr size_t ReplySize = 4096;
    static constexpr size_t BlockSize = 1024;

    // Called after every block sent, synchronously: the file's size and the
    // bytes sent so far.
    typedef std::function<void(uint64_t size, uint64_t sent)> ProgressCallback;
    // Called after every receive call that is not an error, with its count
    // (the final 0 included).
    typedef std::function<void(size_t received)> ReceiveCallback;

    CFtpClient();

    // Connects and reads the greeting. Gives the control socket when the
    // greeting's code is below 400, else InvalidSocket (and closes what it
    // opened). Four dot-separated numbers are used without a look-up.
    SocketHandle ConnectToHost(const char* host, unsigned short port);

    // Sends a complete command line (the caller adds "\r\n") and reads the
    // reply; ReplyFailed if the send failed.
    int SendCommand(SocketHandle control, const char* line);

    // Reads exactly one reply and leaves whatever follows it in the socket.
    // Gives the code of its first line, or ReplyFailed.
    int ReadReply(SocketHandle control);

    // The text of the last reply read, every line with its "\r\n"; valid
    // until the next read.
    const char* LastReply() const { return m_reply; }
    // The code of the last reply read, ReplyFailed after a failed send or read.
    int LastReplyCode() const { return m_replyCode; }

    // Winsock start-up and clean-up for the manager; each shows its own
    // message box on failure.
    static bool StartSockets();
    static bool StopSockets();

    // Listens on a free port and sends PORT for it. Gives the listening
    // socket when the reply is exactly 200, else InvalidSocket (and closes
    // the listener).
    SocketHandle OpenDataPort(SocketHandle control);

    // Waits for the server's connection; always closes the listener.
    SocketHandle AcceptDataConnection(SocketHandle listener);

    // Sends the file in blocks of BlockSize, closes the data socket after
    // the last block and reads the completion reply (judge it with
    // LastReplyCode). Gives the byte count of the last block (0 or more), or
    // -1 when the file could not be opened, read or sent whole; then the
    // data socket is still open and the completion reply unread: the caller
    // closes the one and reads the other with ReadReply.
    int SendFile(SocketHandle control, SocketHandle data, const char* path);

    // Creates or empties the file and fills it from the data socket until
    // the server closes it, then closes the data socket and reads the
    // completion reply. False when the file cannot be created or written or
    // a receive fails; then, as with SendFile, the data socket is still open
    // and the completion reply unread.
    bool ReceiveToFile(SocketHandle control, SocketHandle data, const char* path,
                       const ReceiveCallback& onReceive = ReceiveCallback());

    // From now on every block sent is reported to the callback.
    void EnableProgress(ProgressCallback progress) { m_progress = std::move(progress); }

    // "PORT a,b,c,d,hi,lo\r\n" for a local address and listening port.
    static std::string FormatPortLine(const unsigned char address[4], unsigned short port);

private:
    bool SendAll(SocketHandle s, const char* data, size_t length);

    char m_reply[ReplySize + 1];
    char m_lookAhead[ReplySize];
    char m_block[BlockSize];
    std::string m_command;
    int m_replyCode;
    ProgressCallback m_progress;
};
