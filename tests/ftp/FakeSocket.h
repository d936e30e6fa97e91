// A stand-in for ftp/Socket.cpp, linked instead of it: sockets are scripted
// byte streams, so tests choose how replies are cut into pieces, how much a
// send takes, which call fails, and see every socket opened and closed. A
// listener always has a connection waiting; a stream is readable while it
// holds bytes.
#pragma once

#include <climits>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "ftp/Socket.h"

struct FakeStream {
    // Incoming pieces: a piece is handed out only when the one before has
    // been read up, as when data arrives later. A piece marked `error`
    // makes that receive fail (and every one after it).
    struct Piece {
        std::string bytes;
        bool error;
    };
    std::deque<Piece> incoming;
    std::string ready;  // the piece being read
    bool broken = false;

    std::string sent;
    std::vector<int> sendCalls;  // bytes taken by each send call
    int sendLimit = INT_MAX;     // a send takes at most this much
    bool sendFails = false;

    bool closed = false;
    bool listener = false;
    unsigned receiveCalls = 0;  // peeks and receives together
};

struct FakeNet {
    std::map<SocketHandle, FakeStream> sockets;
    std::vector<std::string> errors;  // misuse: unknown or twice-closed sockets

    // Pieces for the next socket that connects or is accepted.
    std::deque<std::vector<std::string>> nextIncoming;
    std::map<std::string, std::vector<unsigned char>> names;  // what resolves
    unsigned resolves = 0;
    std::vector<std::string> connects;  // "10.0.0.5:21"

    bool socketFails = false;
    bool connectFails = false;
    bool listenFails = false;
    bool localNameFails = false;
    bool acceptFails = false;
    bool waitFails = false;
    // An accepted socket takes sends of at most this much, fails them, or
    // breaks after its incoming pieces.
    int acceptedSendLimit = INT_MAX;
    bool acceptedSendFails = false;
    bool acceptedBreaks = false;
    SocketHandle lastAccepted = InvalidSocket;
    unsigned char localAddress[4] = {10, 0, 0, 5};
    unsigned char peerAddress[4] = {192, 0, 2, 7};
    unsigned short listenPort = 1025;
    bool v6 = false;  // the control connection is IPv6 (FakeSocket.cpp)

    int created = 0;
    int OpenCount() const;
    // A connected socket whose incoming data is the given pieces.
    SocketHandle AddStream(const std::vector<std::string>& pieces);
    FakeStream& Stream(SocketHandle s) { return sockets.at(s); }
};

// The one fake network; tests reset it with `Fake() = FakeNet();`.
FakeNet& Fake();
