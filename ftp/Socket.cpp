#include "ftp/Socket.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#ifdef _WIN32
static_assert(std::is_same<SocketHandle, SOCKET>::value, "SocketHandle must be Winsock's SOCKET");
static_assert(InvalidSocket == INVALID_SOCKET, "InvalidSocket must be INVALID_SOCKET");
typedef int SockLen;
#else
typedef socklen_t SockLen;
#endif

namespace {

sockaddr_in MakeAddress(const unsigned char address[4], unsigned short port)
{
    sockaddr_in sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    std::memcpy(&sa.sin_addr, address, 4);
    return sa;
}

#ifndef _WIN32
// A signal may cut a blocking call short; that is not a socket failure.
template <typename Call>
int RetryInterrupted(Call call)
{
    for (;;) {
        ssize_t n = call();
        if (n >= 0 || errno != EINTR)
            return static_cast<int>(n);
    }
}
#endif

}  // namespace

#ifdef _WIN32

bool SocketsStartup()
{
    WSADATA data;
    const WORD wanted = MAKEWORD(1, 1);
    if (WSAStartup(wanted, &data) != 0)
        return false;
    if (data.wVersion != wanted) {
        WSACleanup();
        return false;
    }
    return true;
}

bool SocketsCleanup()
{
    return WSACleanup() == 0;
}

int SocketLastError()
{
    return WSAGetLastError();
}

bool ResolveHostName(const char* host, unsigned char address[4])
{
    // Winsock keeps the answer per thread, so each worker may look names up.
    const hostent* he = gethostbyname(host);
    if (he == NULL || he->h_addrtype != AF_INET || he->h_addr_list[0] == NULL)
        return false;
    std::memcpy(address, he->h_addr_list[0], 4);
    return true;
}

void CloseSocket(SocketHandle s)
{
    closesocket(s);
}

int SendSome(SocketHandle s, const char* data, int length)
{
    int n = send(s, data, length, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int ReceiveSome(SocketHandle s, char* buffer, int length)
{
    int n = recv(s, buffer, length, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int PeekSome(SocketHandle s, char* buffer, int length)
{
    int n = recv(s, buffer, length, MSG_PEEK);
    return n == SOCKET_ERROR ? -1 : n;
}

#else

bool SocketsStartup()
{
    return true;
}

bool SocketsCleanup()
{
    return true;
}

int SocketLastError()
{
    return errno;
}

bool ResolveHostName(const char* host, unsigned char address[4])
{
    // getaddrinfo rather than gethostbyname: several threads may resolve.
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr)
        return false;
    const sockaddr_in* sa = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    std::memcpy(address, &sa->sin_addr, 4);
    freeaddrinfo(found);
    return true;
}

void CloseSocket(SocketHandle s)
{
    close(s);
}

int SendSome(SocketHandle s, const char* data, int length)
{
    // A peer that has gone must give an error here, not a SIGPIPE.
    return RetryInterrupted([&] { return send(s, data, length, MSG_NOSIGNAL); });
}

int ReceiveSome(SocketHandle s, char* buffer, int length)
{
    return RetryInterrupted([&] { return recv(s, buffer, length, 0); });
}

int PeekSome(SocketHandle s, char* buffer, int length)
{
    return RetryInterrupted([&] { return recv(s, buffer, length, MSG_PEEK); });
}

#endif

bool IsDottedAddress(const char* host)
{
    return inet_addr(host) != INADDR_NONE;
}

SocketHandle OpenStreamSocket()
{
    return socket(AF_INET, SOCK_STREAM, 0);
}

bool ConnectSocket(SocketHandle s, const unsigned char address[4], unsigned short port)
{
    sockaddr_in sa = MakeAddress(address, port);
    return connect(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

bool ListenOnFreePort(SocketHandle s)
{
    const unsigned char any[4] = {0, 0, 0, 0};
    sockaddr_in sa = MakeAddress(any, 0);
    if (bind(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0)
        return false;
    return listen(s, 1) == 0;
}

namespace {

template <typename Call>
bool SocketName(Call name, SocketHandle s, unsigned char address[4], unsigned short* port)
{
    sockaddr_in sa;
    SockLen length = sizeof sa;
    if (name(s, reinterpret_cast<sockaddr*>(&sa), &length) != 0 || sa.sin_family != AF_INET)
        return false;
    std::memcpy(address, &sa.sin_addr, 4);
    *port = ntohs(sa.sin_port);
    return true;
}

}  // namespace

bool LocalSocketName(SocketHandle s, unsigned char address[4], unsigned short* port)
{
    return SocketName(getsockname, s, address, port);
}

bool PeerSocketName(SocketHandle s, unsigned char address[4], unsigned short* port)
{
    return SocketName(getpeername, s, address, port);
}

SocketHandle AcceptConnection(SocketHandle listener)
{
    SocketHandle s;
#ifdef _WIN32
    s = accept(listener, NULL, NULL);
#else
    do
        s = accept(listener, nullptr, nullptr);
    while (s < 0 && errno == EINTR);
#endif
    return s;
}

int WaitReadable(SocketHandle first, SocketHandle second, int timeoutMs)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(first, &readable);
    if (second != InvalidSocket)
        FD_SET(second, &readable);
    timeval limit = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
#ifdef _WIN32
    const int ready = select(0, &readable, nullptr, nullptr, timeoutMs < 0 ? nullptr : &limit);
#else
    const int highest = second != InvalidSocket && second > first ? second : first;
    int ready;
    do
        ready = select(highest + 1, &readable, nullptr, nullptr, timeoutMs < 0 ? nullptr : &limit);
    while (ready < 0 && errno == EINTR);
#endif
    if (ready <= 0)
        return ready < 0 ? -1 : 0;
    return (FD_ISSET(first, &readable) ? ReadableFirst : 0) |
           (second != InvalidSocket && FD_ISSET(second, &readable) ? ReadableSecond : 0);
}

namespace {

// sockaddr_in or sockaddr_in6, whichever the address is.
struct SocketAddress {
    sockaddr_storage storage;
    SockLen length;
};

SocketAddress MakeSocketAddress(const NetAddress& address, unsigned short port)
{
    SocketAddress sa;
    std::memset(&sa, 0, sizeof sa);
    if (address.v6) {
        sockaddr_in6* in6 = reinterpret_cast<sockaddr_in6*>(&sa.storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        std::memcpy(&in6->sin6_addr, address.bytes, 16);
        sa.length = sizeof *in6;
    } else {
        sockaddr_in* in = reinterpret_cast<sockaddr_in*>(&sa.storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        std::memcpy(&in->sin_addr, address.bytes, 4);
        sa.length = sizeof *in;
    }
    return sa;
}

bool ReadSocketAddress(const sockaddr* sa, NetAddress& address, unsigned short* port)
{
    address = NetAddress();
    if (sa->sa_family == AF_INET6) {
        const sockaddr_in6* in6 = reinterpret_cast<const sockaddr_in6*>(sa);
        address.v6 = true;
        std::memcpy(address.bytes, &in6->sin6_addr, 16);
        if (port)
            *port = ntohs(in6->sin6_port);
        return true;
    }
    if (sa->sa_family == AF_INET) {
        const sockaddr_in* in = reinterpret_cast<const sockaddr_in*>(sa);
        std::memcpy(address.bytes, &in->sin_addr, 4);
        if (port)
            *port = ntohs(in->sin_port);
        return true;
    }
    return false;
}

template <typename Call>
bool SocketAddressOf(Call name, SocketHandle s, NetAddress& address, unsigned short* port)
{
    sockaddr_storage sa;
    SockLen length = sizeof sa;
    return name(s, reinterpret_cast<sockaddr*>(&sa), &length) == 0 &&
           ReadSocketAddress(reinterpret_cast<const sockaddr*>(&sa), address, port);
}

bool SetBlocking(SocketHandle s, bool blocking)
{
#ifdef _WIN32
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
#else
    const int flags = fcntl(s, F_GETFL, 0);
    return flags >= 0 && fcntl(s, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
#endif
}

bool IsRefused(int error)
{
#ifdef _WIN32
    return error == WSAECONNREFUSED;
#else
    return error == ECONNREFUSED;
#endif
}

timeval Limit(int timeoutMs)
{
    return {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
}

}  // namespace

bool ResolveHostAddresses(const char* host, std::vector<NetAddress>& addresses)
{
    addresses.clear();
    std::string name = host;
    if (name.size() > 2 && name.front() == '[' && name.back() == ']')
        name = name.substr(1, name.size() - 2);
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    // getaddrinfo, not gethostbyname: it knows IPv6, and several threads may resolve.
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0)
        return false;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        NetAddress address;
        if (ReadSocketAddress(a->ai_addr, address, nullptr))
            addresses.push_back(address);
    }
    freeaddrinfo(found);
    return !addresses.empty();
}

SocketHandle OpenStreamSocket(const NetAddress& family)
{
    return socket(family.v6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
}

bool ConnectSocket(SocketHandle s, const NetAddress& address, unsigned short port)
{
    const SocketAddress sa = MakeSocketAddress(address, port);
    return connect(s, reinterpret_cast<const sockaddr*>(&sa.storage), sa.length) == 0;
}

bool ListenOnFreePort(SocketHandle s, const NetAddress& family)
{
    NetAddress any;
    any.v6 = family.v6;
    const SocketAddress sa = MakeSocketAddress(any, 0);
    if (bind(s, reinterpret_cast<const sockaddr*>(&sa.storage), sa.length) != 0)
        return false;
    return listen(s, 1) == 0;
}

bool LocalSocketAddress(SocketHandle s, NetAddress& address, unsigned short* port)
{
    return SocketAddressOf(getsockname, s, address, port);
}

bool PeerSocketAddress(SocketHandle s, NetAddress& address, unsigned short* port)
{
    return SocketAddressOf(getpeername, s, address, port);
}

int WaitWritable(SocketHandle s, int timeoutMs)
{
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(s, &writable);
    timeval limit = Limit(timeoutMs);
#ifdef _WIN32
    const int ready = select(0, nullptr, &writable, nullptr, timeoutMs < 0 ? nullptr : &limit);
#else
    int ready;
    do
        ready = select(s + 1, nullptr, &writable, nullptr, timeoutMs < 0 ? nullptr : &limit);
    while (ready < 0 && errno == EINTR);
#endif
    return ready < 0 ? -1 : (ready > 0 ? 1 : 0);
}

// Non-blocking for the connect alone: the wait is ours, and the calls on the
// socket afterwards block as they always did.
ConnectEnd ConnectSocketWithin(SocketHandle s, const NetAddress& address, unsigned short port, int timeoutMs)
{
    if (!SetBlocking(s, false))
        return ConnectEnd::Failed;
    const SocketAddress sa = MakeSocketAddress(address, port);
    int error = 0;
    if (connect(s, reinterpret_cast<const sockaddr*>(&sa.storage), sa.length) != 0) {
        error = SocketLastError();
#ifdef _WIN32
        const bool underway = error == WSAEWOULDBLOCK;
#else
        const bool underway = error == EINPROGRESS || error == EINTR;
#endif
        if (underway) {
            // Windows reports a failed connect as an exception, POSIX as writable.
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(s, &writable);
            FD_SET(s, &failed);
            timeval limit = Limit(timeoutMs);
#ifdef _WIN32
            const int ready = select(0, nullptr, &writable, &failed, timeoutMs < 0 ? nullptr : &limit);
#else
            int ready;
            do
                ready = select(s + 1, nullptr, &writable, &failed, timeoutMs < 0 ? nullptr : &limit);
            while (ready < 0 && errno == EINTR);
#endif
            if (ready == 0)
                return ConnectEnd::TimedOut;
            SockLen length = sizeof error;
            error = -1;
            if (ready < 0 || getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
                return ConnectEnd::Failed;
        }
    }
    if (error != 0)
        return IsRefused(error) ? ConnectEnd::Refused : ConnectEnd::Failed;
    return SetBlocking(s, true) ? ConnectEnd::Connected : ConnectEnd::Failed;
}
