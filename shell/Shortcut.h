// Names of the shortcut files the suite writes. Kept free of Windows headers
// so the rule is checked on the build machine too.
#pragma once

#include <string>

#include "boxconfig/SuiteNames.h"

// folder\NAME.LNK, NAME being the whole name with a to z upper-cased and
// every other byte kept. The whole name, dots included: cut at its first
// ".", the box "site.one" would overwrite the shortcuts of the box "site",
// and Delete, which looks for "<name>.lnk", would never find them.
inline std::string ShortcutFilePath(const std::string& folder, const std::string& name)
{
    return folder + "\\" + AsciiUpper(name) + ".LNK";
}
