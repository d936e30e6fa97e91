// A connected byte stream: the control connection or a data connection, over
// a plain socket or over a TLS session on one. The FTP core reads and writes
// connections only through this, so encryption can be put under any of them.
#pragma once

#include <memory>
#include <string>

#include "ftp/Socket.h"

// Why a wait on a connection failed: "no answer within 60 seconds".
inline std::string NoAnswerText(int seconds)
{
    return "no answer within " + std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

class CStream {
public:
    virtual ~CStream() = default;

    // As SendSome, ReceiveSome and PeekSome: the byte count, 0 when the peer
    // has closed (receive and peek), -1 on error. A send may take fewer
    // bytes than asked.
    virtual int Send(const char* data, int length) = 0;
    virtual int Receive(char* buffer, int length) = 0;
    virtual int Peek(char* buffer, int length) = 0;

    // True when Receive or Peek can give bytes already held by the stream,
    // without waiting on the socket (a socket wait would not see them).
    virtual bool Pending() const { return false; }

    // Ends the stream in order before the socket is closed (a TLS session
    // sends its close_notify); false when that failed.
    virtual bool Shutdown() { return true; }

    // The socket under the stream, for waiting on it and for closing it
    // from another thread to wake a blocked call.
    virtual SocketHandle Socket() const = 0;

    // Every wait of a call for the peer gives up after this many seconds
    // (0: it waits as long as the platform does); the call then fails and
    // TimedOut is true until the next call.
    virtual void SetTimeLimit(int seconds) { (void)seconds; }
    virtual int TimeLimit() const { return 0; }
    virtual bool TimedOut() const { return false; }

    // A stream over a data connection of this control connection, on a
    // socket it does not own; called once the data connection is up and the
    // transfer command has its preliminary reply. Plain over plain; an
    // encrypted control connection gives encrypted data connections (the
    // handshake happens here). Null when that failed.
    virtual std::unique_ptr<CStream> DataStream(SocketHandle s);
};

// A stream straight over a socket, which it does not own. With a time
// limit every call first waits for the socket, so that a silent peer fails
// the call instead of holding it.
class CPlainStream : public CStream {
public:
    explicit CPlainStream(SocketHandle s, int timeLimit = 0) : m_socket(s), m_limit(timeLimit) {}
    int Send(const char* data, int length) override { return Await(true) ? SendSome(m_socket, data, length) : -1; }
    int Receive(char* buffer, int length) override
    {
        return Await(false) ? ReceiveSome(m_socket, buffer, length) : -1;
    }
    int Peek(char* buffer, int length) override { return Await(false) ? PeekSome(m_socket, buffer, length) : -1; }
    SocketHandle Socket() const override { return m_socket; }
    void SetTimeLimit(int seconds) override { m_limit = seconds > 0 ? seconds : 0; }
    int TimeLimit() const override { return m_limit; }
    bool TimedOut() const override { return m_timedOut; }

private:
    // False when the wait failed or the limit passed first.
    bool Await(bool send)
    {
        m_timedOut = false;
        if (m_limit == 0)
            return true;
        const int ready = send ? WaitWritable(m_socket, m_limit * 1000)
                               : WaitReadable(m_socket, InvalidSocket, m_limit * 1000);
        m_timedOut = ready == 0;
        return ready > 0;
    }

    SocketHandle m_socket;
    int m_limit;
    bool m_timedOut = false;
};

inline std::unique_ptr<CStream> CStream::DataStream(SocketHandle s)
{
    return std::unique_ptr<CStream>(new CPlainStream(s, TimeLimit()));
}
