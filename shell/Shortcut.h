// Names of the shortcut files the suite writes. Kept free of Windows headers
// so the rule is checked on the build machine too.
#pragma once

#include <string>
#include <vector>

#include "boxconfig/SuiteNames.h"

// folder\NAME.LNK, NAME being the whole name with a to z upper-cased and
// every other byte kept. The whole name, dots included: cut at its first
// ".", the box "site.one" would overwrite the shortcuts of the box "site",
// and Delete, which looks for "<name>.lnk", would never find them.
inline std::string ShortcutFilePath(const std::string& folder, const std::string& name)
{
    return folder + "\\" + AsciiUpper(name) + ".LNK";
}

// The folders a box's files lie in, each without a trailing backslash. A
// shell folder that could not be read is held as "Not Found", as the
// programs hold it.
struct SuiteFolders {
    std::string program;  // the programs, the Boxes folder and the listing caches
    std::string desktop;
    std::string sendTo;
};

// The Desktop and Send To shortcuts of a box; none in a shell folder that is
// not known ("Not Found\BOX.LNK" would be a path below the current folder).
inline std::vector<std::string> BoxShortcuts(const SuiteFolders& folders, const std::string& box)
{
    std::vector<std::string> paths;
    for (const std::string* folder : {&folders.desktop, &folders.sendTo})
        if (!folder->empty() && *folder != kNotFound)
            paths.push_back(ShortcutFilePath(*folder, box));
    return paths;
}
