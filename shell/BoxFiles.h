// A box's files: its engine copy in the Boxes folder, made from the current
// directory (the suite's folder when the manager is started as the suite
// starts it), and removed with the box's shortcuts and listing cache by the
// manager's Delete and the uninstall alike; and the word to a running
// launcher that the boxes changed.
#pragma once

#include <windows.h>

#include <string>

#include "boxconfig/Profile.h"
#include "boxconfig/SuiteNames.h"

// "error <n>: <the system's text>", for messages that name a failure.
std::string ErrorText(DWORD error);

// Creates cwd\Boxes if need be and copies cwd\Sendora.exe to
// cwd\Boxes\<box>.exe over what is there. Returns 0 or the copy's error.
DWORD CopyEngine(const std::string& cwd, const std::string& box);

// Deletes the box's Desktop and Send To shortcuts, its engine copy and its
// listing cache; the settings stay. Returns 0, or the error that kept the
// engine copy (it may be sending right now); a copy already gone is none.
DWORD RemoveBoxFiles(const SuiteFolders& folders, const std::string& box);

// True when a box of that name exists, in any case of its letters: its
// settings key holds values or its engine copy is in cwd\Boxes. `stored` is
// then the name as the engine copy spells it (else as given). Nothing is
// created by looking.
bool FindBox(CProfile& profile, const std::string& cwd, const std::string& name, std::string& stored);

// Tells a running launcher that the boxes changed.
void NotifyLauncher();
