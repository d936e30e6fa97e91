// The one place where the FTP core meets the platform's sockets: Winsock
// (1.1 calls only) on Windows, BSD sockets elsewhere. Nothing here includes a
// Windows header, so the core and its callers stay free of them.
//
// Addresses are IPv4 as four bytes, first byte first, or a NetAddress that
// may be IPv6 too; ports are host order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#ifdef _WIN32
// Winsock's SOCKET is UINT_PTR; Socket.cpp checks that the two agree.
typedef uintptr_t SocketHandle;
const SocketHandle InvalidSocket = ~static_cast<SocketHandle>(0);
#else
typedef int SocketHandle;
const SocketHandle InvalidSocket = -1;
#endif

// Winsock start-up (version 1.1, false unless granted) and clean-up; always
// true elsewhere. Telling the user is the program's part.
bool SocketsStartup();
bool SocketsCleanup();
int SocketLastError();

// True when the platform's dotted-address parser accepts the text.
bool IsDottedAddress(const char* host);
// Looks the name up; false when it cannot be resolved.
bool ResolveHostName(const char* host, unsigned char address[4]);

SocketHandle OpenStreamSocket();
void CloseSocket(SocketHandle s);
bool ConnectSocket(SocketHandle s, const unsigned char address[4], unsigned short port);
// Binds to any local address and port 0, then listens with a backlog of 1.
bool ListenOnFreePort(SocketHandle s);
bool LocalSocketName(SocketHandle s, unsigned char address[4], unsigned short* port);
// The address and port a connected socket talks to.
bool PeerSocketName(SocketHandle s, unsigned char address[4], unsigned short* port);
SocketHandle AcceptConnection(SocketHandle listener);

// A connect that gives up after timeoutMs (-1: no limit); the socket is
// blocking again afterwards.
enum class ConnectEnd { Connected, Refused, TimedOut, Failed };

// Waits until first or second (InvalidSocket for none) has something to
// read, a listener a connection to accept: gives ReadableFirst and/or
// ReadableSecond, 0 when timeoutMs (-1: no limit) passed, -1 on error.
enum { ReadableFirst = 1, ReadableSecond = 2 };
int WaitReadable(SocketHandle first, SocketHandle second, int timeoutMs);
// The same for room to send: 1, 0 when timeoutMs passed, -1 on error.
int WaitWritable(SocketHandle s, int timeoutMs);

// One send, receive or peek call each: the byte count, 0 when the peer has
// closed (receive and peek), -1 on error.
int SendSome(SocketHandle s, const char* data, int length);
int ReceiveSome(SocketHandle s, char* buffer, int length);
int PeekSome(SocketHandle s, char* buffer, int length);

// An IPv4 or IPv6 address, network order: IPv4 in the first four bytes.
struct NetAddress {
    bool v6 = false;
    unsigned char bytes[16] = {};
};

// Every address of the host, in the resolver's order: a dotted IPv4
// address, an IPv6 address (also in brackets, "[::1]") or a name. False
// when there is none.
bool ResolveHostAddresses(const char* host, std::vector<NetAddress>& addresses);
// A stream socket of the address's family.
SocketHandle OpenStreamSocket(const NetAddress& family);
bool ConnectSocket(SocketHandle s, const NetAddress& address, unsigned short port);
// Connects within the time (-1: no limit of our own).
ConnectEnd ConnectSocketWithin(SocketHandle s, const NetAddress& address, unsigned short port, int timeoutMs);
// As ListenOnFreePort, on any local address of the family.
bool ListenOnFreePort(SocketHandle s, const NetAddress& family);
bool LocalSocketAddress(SocketHandle s, NetAddress& address, unsigned short* port);
bool PeerSocketAddress(SocketHandle s, NetAddress& address, unsigned short* port);

// Closes the socket it holds unless the socket is released to a caller.
class CSocketOwner {
public:
    explicit CSocketOwner(SocketHandle s = InvalidSocket) : m_socket(s) {}
    ~CSocketOwner()
    {
        if (m_socket != InvalidSocket)
            CloseSocket(m_socket);
    }
    CSocketOwner(const CSocketOwner&) = delete;
    CSocketOwner& operator=(const CSocketOwner&) = delete;

    SocketHandle Get() const { return m_socket; }
    bool IsValid() const { return m_socket != InvalidSocket; }
    void Reset(SocketHandle s = InvalidSocket)
    {
        if (m_socket != InvalidSocket && m_socket != s)
            CloseSocket(m_socket);
        m_socket = s;
    }
    SocketHandle Release()
    {
        SocketHandle s = m_socket;
        m_socket = InvalidSocket;
        return s;
    }

private:
    SocketHandle m_socket;
};
