// The state of one run of the manager, shared by its dialogs and the remote
// browser: which box it works on and the options confirmed in More Options
// but not yet saved.
#pragma once

#include <string>

#include "boxconfig/BoxSettings.h"

// The transfer and connection options of a box, as More Options hands them
// over. Radio numbers are kept as chosen: -1 means the group had no choice.
struct BoxOptions {
    int TransferMode = BoxNumberDefault(BoxNumber::TransferType);
    int NameCase = BoxNumberDefault(BoxNumber::Filenames);
    int ExtensionRule = BoxNumberDefault(BoxNumber::FileExtensions);
    int Erase = BoxNumberDefault(BoxNumber::Erase);
    int Port = BoxNumberDefault(BoxNumber::Port);
    int Passive = BoxNumberDefault(BoxNumber::Passive);
    int Tls = BoxNumberDefault(BoxNumber::Tls);
    int Sftp = BoxNumberDefault(BoxNumber::Sftp);
    // Waiting and replacing.
    int Timeout = BoxNumberDefault(BoxNumber::Timeout);
    int TempUpload = BoxNumberDefault(BoxNumber::TempUpload);
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
