// A command of the browser window for its workers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CCopyFiles;

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
