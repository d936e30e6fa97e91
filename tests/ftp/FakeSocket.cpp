#include "FakeSocket.h"

#include <string>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <arpa/inet.h>

namespace {

SocketHandle NextHandle()
{
    return static_cast<SocketHandle>(100 + Fake().created++);
}

FakeStream* Find(SocketHandle s, const char* call)
{
    auto it = Fake().sockets.find(s);
    if (it == Fake().sockets.end() || it->second.closed) {
        Fake().errors.push_back(std::string(call) + " on a socket that is not open: " + std::to_string(s));
        return nullptr;
    }
    return &it->second;
}

int Take(SocketHandle s, char* buffer, int length, bool consume)
{
    FakeStream* st = Find(s, consume ? "receive" : "peek");
    if (st == nullptr)
        return -1;
    ++st->receiveCalls;
    if (st->broken)
        return -1;
    if (st->ready.empty() && !st->incoming.empty()) {
        FakeStream::Piece piece = st->incoming.front();
        st->incoming.pop_front();
        if (piece.error) {
            st->broken = true;
            return -1;
        }
        st->ready = piece.bytes;
    }
    int n = static_cast<int>(std::min<size_t>(static_cast<size_t>(length), st->ready.size()));
    std::memcpy(buffer, st->ready.data(), static_cast<size_t>(n));
    if (consume)
        st->ready.erase(0, static_cast<size_t>(n));
    return n;
}

SocketHandle NewStream()
{
    SocketHandle s = NextHandle();
    FakeStream& st = Fake().sockets[s];
    if (!Fake().nextIncoming.empty()) {
        for (const std::string& piece : Fake().nextIncoming.front())
            st.incoming.push_back({piece, false});
        Fake().nextIncoming.pop_front();
    }
    return s;
}

}  // namespace

FakeNet& Fake()
{
    static FakeNet net;
    return net;
}

int FakeNet::OpenCount() const
{
    return static_cast<int>(
        std::count_if(sockets.begin(), sockets.end(), [](const auto& s) { return !s.second.closed; }));
}

SocketHandle FakeNet::AddStream(const std::vector<std::string>& pieces)
{
    SocketHandle s = NextHandle();
    FakeStream& st = sockets[s];
    for (const std::string& piece : pieces)
        st.incoming.push_back({piece, false});
    return s;
}

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
    return 0;
}

bool IsDottedAddress(const char* host)
{
    return inet_addr(host) != INADDR_NONE;
}

bool ResolveHostName(const char* host, unsigned char address[4])
{
    ++Fake().resolves;
    auto it = Fake().names.find(host);
    if (it == Fake().names.end())
        return false;
    std::memcpy(address, it->second.data(), 4);
    return true;
}

SocketHandle OpenStreamSocket()
{
    if (Fake().socketFails)
        return InvalidSocket;
    SocketHandle s = NextHandle();
    Fake().sockets[s];
    return s;
}

void CloseSocket(SocketHandle s)
{
    if (FakeStream* st = Find(s, "close"))
        st->closed = true;
}

bool ConnectSocket(SocketHandle s, const unsigned char address[4], unsigned short port)
{
    FakeStream* st = Find(s, "connect");
    if (st == nullptr)
        return false;
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d:%d", address[0], address[1], address[2], address[3], port);
    Fake().connects.push_back(text);
    if (Fake().connectFails)
        return false;
    if (!Fake().nextIncoming.empty()) {
        for (const std::string& piece : Fake().nextIncoming.front())
            st->incoming.push_back({piece, false});
        Fake().nextIncoming.pop_front();
    }
    return true;
}

ConnectEnd ConnectSocketWithin(SocketHandle s, const NetAddress& address, unsigned short port, int)
{
    return ConnectSocket(s, address, port) ? ConnectEnd::Connected : ConnectEnd::Refused;
}

int WaitWritable(SocketHandle s, int)
{
    return Find(s, "wait") != nullptr ? 1 : -1;
}

bool ListenOnFreePort(SocketHandle s)
{
    FakeStream* st = Find(s, "listen");
    if (st == nullptr || Fake().listenFails)
        return false;
    st->listener = true;
    return true;
}

bool LocalSocketName(SocketHandle s, unsigned char address[4], unsigned short* port)
{
    FakeStream* st = Find(s, "getsockname");
    if (st == nullptr || Fake().localNameFails)
        return false;
    if (st->listener) {
        std::memset(address, 0, 4);
        *port = Fake().listenPort;
    } else {
        std::memcpy(address, Fake().localAddress, 4);
        *port = 50000;
    }
    return true;
}

bool PeerSocketName(SocketHandle s, unsigned char address[4], unsigned short* port)
{
    if (Find(s, "getpeername") == nullptr)
        return false;
    std::memcpy(address, Fake().peerAddress, 4);
    *port = 21;
    return true;
}

SocketHandle AcceptConnection(SocketHandle listener)
{
    FakeStream* st = Find(listener, "accept");
    if (st == nullptr || !st->listener || Fake().acceptFails)
        return InvalidSocket;
    SocketHandle s = NewStream();
    FakeStream& data = Fake().Stream(s);
    data.sendLimit = Fake().acceptedSendLimit;
    data.sendFails = Fake().acceptedSendFails;
    if (Fake().acceptedBreaks)
        data.incoming.push_back({"", true});
    Fake().lastAccepted = s;
    return s;
}

int WaitReadable(SocketHandle first, SocketHandle second, int)
{
    if (Fake().waitFails)
        return -1;
    auto readable = [](SocketHandle s) {
        const FakeStream* st = s == InvalidSocket ? nullptr : Find(s, "wait");
        if (st == nullptr)
            return false;
        return st->listener || !st->ready.empty() || !st->incoming.empty();
    };
    return (readable(first) ? ReadableFirst : 0) | (readable(second) ? ReadableSecond : 0);
}

int SendSome(SocketHandle s, const char* data, int length)
{
    FakeStream* st = Find(s, "send");
    if (st == nullptr || st->sendFails)
        return -1;
    int n = std::min(length, st->sendLimit);
    st->sent.append(data, static_cast<size_t>(n));
    st->sendCalls.push_back(n);
    return n;
}

int ReceiveSome(SocketHandle s, char* buffer, int length)
{
    return Take(s, buffer, length, true);
}

int PeekSome(SocketHandle s, char* buffer, int length)
{
    return Take(s, buffer, length, false);
}

// The address-family forms: IPv4 through the calls above; with `v6` the
// control connection's ends are IPv6 (local ::5, peer ::7) and a connect to
// an IPv6 address is recorded as "[v6]:port".
bool ResolveHostAddresses(const char* host, std::vector<NetAddress>& addresses)
{
    addresses.assign(1, NetAddress());
    return ResolveHostName(host, addresses[0].bytes);
}

SocketHandle OpenStreamSocket(const NetAddress&)
{
    return OpenStreamSocket();
}

bool ConnectSocket(SocketHandle s, const NetAddress& address, unsigned short port)
{
    if (!address.v6)
        return ConnectSocket(s, address.bytes, port);
    Fake().connects.push_back("[v6]:" + std::to_string(port));
    return Find(s, "connect") != nullptr && !Fake().connectFails;
}

bool ListenOnFreePort(SocketHandle s, const NetAddress&)
{
    return ListenOnFreePort(s);
}

static bool AsV6(bool ok, NetAddress& address, unsigned char last)
{
    address.v6 = ok && Fake().v6;
    if (address.v6)
        address.bytes[0] = address.bytes[1] = address.bytes[2] = address.bytes[3] = 0, address.bytes[15] = last;
    return ok;
}

bool LocalSocketAddress(SocketHandle s, NetAddress& address, unsigned short* port)
{
    address = NetAddress();
    return AsV6(LocalSocketName(s, address.bytes, port), address, 5);
}

bool PeerSocketAddress(SocketHandle s, NetAddress& address, unsigned short* port)
{
    address = NetAddress();
    return AsV6(PeerSocketName(s, address.bytes, port), address, 7);
}
