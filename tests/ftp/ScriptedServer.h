// The test side of tests/support/scripted_ftpd.py: each CScriptedServer is a
// one-session FTP server playing the given script, handed out by the
// script dispenser. Natively the dispenser is started on first use; under
// Wine the driver script starts it and passes its port in SCRIPTED_FTPD_PORT.
#pragma once

#include <string>
#include <vector>

#include "ftp/Socket.h"

struct ScriptedTransfer {
    std::string kind;    // receive, send, probe or connect
    std::string result;  // accepted or refused
    std::string data;    // what the server received
};

struct ScriptedRecord {
    std::vector<std::string> commands;  // every command line, without "\r\n"
    std::vector<ScriptedTransfer> transfers;
    std::vector<std::string> errors;  // script mismatches and broken connections
    bool ended = false;               // the session was over within the wait
};

// False when no dispenser can be had (a Windows test run outside the driver).
bool ScriptedServersAvailable();

// The sockets this process holds open, to show that an operation closed
// what it opened; -1 where they cannot be counted (Windows).
int OpenSocketCount();

#define REQUIRE_SCRIPTED_SERVERS()                                                                                     \
    do {                                                                                                               \
        if (!ScriptedServersAvailable())                                                                               \
            GTEST_SKIP() << "no scripted FTP server: run through tests/ftp/wine_ftp_client.py";                        \
    } while (0)

class CScriptedServer {
public:
    // The script as JSON text, a list of steps (see scripted_ftpd.py).
    explicit CScriptedServer(const std::string& script);
    ~CScriptedServer();
    CScriptedServer(const CScriptedServer&) = delete;
    CScriptedServer& operator=(const CScriptedServer&) = delete;

    unsigned short Port() const { return m_port; }
    // Why the server could not be had; empty when it runs.
    const std::string& Failure() const { return m_failure; }

    // A control connection with nothing read from it yet.
    SocketHandle Connect() const;

    // What the session did, once it has ended (the client has closed its
    // control connection, or the script closed it).
    ScriptedRecord Finish(int seconds = 20);

private:
    SocketHandle m_dispenser = InvalidSocket;
    std::string m_pending;  // read from the dispenser, not yet taken
    unsigned short m_port = 0;
    std::string m_failure;
};

#ifndef _WIN32
// A Python helper program that writes its port to a file and runs until its
// standard input closes, which happens when this object goes (or the test
// process dies).
class CHelperProcess {
public:
    // `arguments` follow the script; "--port-file <file>" is appended.
    CHelperProcess(const std::string& script, const std::string& arguments);
    ~CHelperProcess();
    CHelperProcess(const CHelperProcess&) = delete;
    CHelperProcess& operator=(const CHelperProcess&) = delete;

    unsigned short Port() const { return m_port; }

private:
    struct Impl;
    Impl* m_impl;
    unsigned short m_port = 0;
};
#endif
