// The user's shell folders and the shortcut files the suite places in them.
#pragma once

#include <windows.h>

#include <string>

#include "boxconfig/SuiteNames.h"


// A value of HKCU\...\Explorer\Shell Folders ("Desktop", "SendTo",
// "Start Menu"), or "Not Found".
std::string GetShellFolderPath(const std::string& valueName);

// The current directory, from which the shortcuts' targets and working
// directories are made ("" when it cannot be had).
std::string CurrentDirectory();

// COM for the calling thread, for as long as shortcuts are written.
class ComScope {
public:
    ComScope();
    ~ComScope();
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    void End();

private:
    bool m_open = false;
};

// Writes ShortcutFilePath(folder, name) pointing at target, with the current
// directory as working directory and the name as description; a file of that
// name is replaced. Failures of the single steps are shown, captioned with
// caption ("SetPath failed!", ...). Returns the save's HRESULT, or the failure
// of creating the link object, which is not shown. Needs a live ComScope.
HRESULT CreateShortcut(const std::string& target, const std::string& folder, const std::string& name,
                       const std::string& caption);
