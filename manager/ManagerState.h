// The state of one run of the manager, shared by its dialogs (and, later,
// the remote browser): which box it works on and the options confirmed in
// More Options but not yet saved.
#pragma once

#include <string>

// Caption of every message box of the manager.
constexpr char kManagerTitle[] = "FTP Sendora";

// The five transfer options of a box, as More Options hands them over.
// Radio numbers are kept as chosen: -1 means the group had no choice.
struct BoxOptions {
    int TransferMode = 2;   // TransferType
    int NameCase = 2;       // FilenameCase
    int ExtensionRule = 2;  // ExtensionChange
    int Erase = 0;
    int Port = 21;
    // Set by More Options' OK, cleared by the save that wrote the values.
    bool Confirmed = false;
};

struct ManagerState {
    // The command line without a trailing carriage return; empty for a new box.
    std::string CurrentBoxName;
    BoxOptions PendingOptions;
    // Read once at start-up; "Not Found" when the shell has no such folder.
    std::string DesktopFolder;
    std::string SendToFolder;
    std::string StartMenuFolder;
};
