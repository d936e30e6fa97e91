// The launcher's command tail and the commands it starts. No Windows header:
// built and tested natively.
#pragma once

#include <string>

// Exactly "/i" or "/I" places the Start Menu entry; anything else, also
// "/install", opens the window.
bool IsLauncherInstallSwitch(const std::string& tail);

// Opens the remote browser of a box: "SndMgr", a blank, the box's display
// name and a carriage return, which tells the manager to browse rather than
// edit. No folder: the platform finds SndMgr beside the launcher.
std::string BrowserCommand(const std::string& displayName);

// Opens the manager for a new box.
constexpr char NewBoxCommand[] = "SndMgr.exe";
