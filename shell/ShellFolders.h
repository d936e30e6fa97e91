// The user's shell folders and the shortcut files the suite places in them.
#pragma once

#include <windows.h>

#include <string>

// A value of HKCU\...\Explorer\Shell Folders ("Desktop", "SendTo",
// "Start Menu"), or "Not Found".
std::string GetShellFolderPath(const std::string& valueName);

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

// The shortcut file a name gives in a folder: folder\NAME.LNK with the name
// upper-cased (the whole name: a box "site.one" must not take "site"'s file).
std::string ShortcutFilePath(const std::string& folder, const std::string& name);

// Writes folder\NAME.LNK pointing at target, with the current directory as
// working directory and the name as description. Failures of the single
// steps are shown, captioned with caption. Returns the save's HRESULT.
HRESULT CreateShortcut(const std::string& target, const std::string& folder,
                       const std::string& name, const std::string& caption);
