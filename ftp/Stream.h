// A connected byte stream: the control connection or a data connection, over
// a plain socket or over a TLS session on one. The FTP core reads and writes
// connections only through this, so encryption can be put under any of them.
#pragma once

#include <memory>
#include <string>

#include "ftp/Socket.h"

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

    // A stream over a data connection of this control connection, on a
    // socket it does not own; called once the data connection is up and the
    // transfer command has its preliminary reply. Plain over plain; an
    // encrypted control connection gives encrypted data connections (the
    // handshake and the server's certificate are checked here). Null, and
    // why in a sentence, when that failed.
    virtual std::unique_ptr<CStream> DataStream(SocketHandle s, std::string* why);
};

// A stream straight over a socket, which it does not own.
class CPlainStream : public CStream {
public:
    explicit CPlainStream(SocketHandle s) : m_socket(s) {}
    int Send(const char* data, int length) override { return SendSome(m_socket, data, length); }
    int Receive(char* buffer, int length) override { return ReceiveSome(m_socket, buffer, length); }
    int Peek(char* buffer, int length) override { return PeekSome(m_socket, buffer, length); }
    SocketHandle Socket() const override { return m_socket; }

private:
    SocketHandle m_socket;
};

inline std::unique_ptr<CStream> CStream::DataStream(SocketHandle s, std::string*)
{
    return std::unique_ptr<CStream>(new CPlainStream(s));
}
