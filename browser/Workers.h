// The browser's command workers: one thread per server command, each waiting
// its turn at the session's gate, so that the commands of the window run one
// after another in the order they were queued.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "browser/BrowserSession.h"
#include "ftp/Transfer.h"

enum class CommandKind {
    Connect,           // connect and log in
    RestoreDirectory,  // back to the directory listed last, or the box's home
    List,              // LIST into "list.tmp", then rows, cache and combo box
    MakeDirectory,     // MKD name
    Delete,            // RMD or DELE name
    Rename,            // RNFR name, RNTO newName
    ChangeDirectory,   // CWD name
    KeepAlive,         // NOOP every two minutes while the window is open
    Download,          // RETR name into target\name (Download.cpp)
    StartNextBox,      // the next box of a copy, once the downloads before it ended
};

struct Command {
    CommandKind kind;
    std::string name;
    std::string newName;
    bool directory = false;       // Delete: RMD rather than DELE
    bool changeDirectory = true;  // RestoreDirectory: send the CWD
    // Download: the local target folder, the size the list shows, and the
    // copy that passes the file on once it has arrived (none for a download).
    // StartNextBox: the copy whose downloads were queued before it.
    std::string target;
    uint64_t size = 0;
    std::shared_ptr<CCopyFiles> copy;
};

// Starts the command's worker, its place at the gate taken now. False when
// the window is closing or no thread could be started.
bool QueueCommand(const std::shared_ptr<CBrowserSession>& session, const Command& command);

// A transfer of the browser's workers: given up once the window is closing,
// its data connection known to the session, so that closing cuts it short.
class CSessionTransferObserver : public CTransferObserver {
public:
    explicit CSessionTransferObserver(CBrowserSession& s) : m_session(s) {}
    bool DataConnected(SocketHandle data) override { return m_session.TrackData(data); }
    void DataClosing() override { m_session.UntrackData(); }
    bool Abandoned() override { return m_session.Closing(); }

private:
    CBrowserSession& m_session;
};

// How the box's data connections are made.
DataMode DataModeOf(const CBrowserSession& s);

// The message for a transfer that failed, empty for one that went through
// or was given up. A transfer went through only when its data connection
// ended normally and the completion reply is 2xx: data cut off, a 426 after
// the data or a control connection lost before the reply leave a file or a
// listing that may lack its end, whatever its size. `refused` is the
// message for a transfer command the server refused. A transfer that gave
// up waiting says so below the message, and marks the session lost.
std::string TransferFailure(CBrowserSession& s, const TransferResult& result, const char* refused);
