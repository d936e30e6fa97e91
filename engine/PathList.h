// The path list an engine uploads: local paths, each starting with a drive
// letter and a colon or with the two backslashes of a network path,
// separated by single spaces. Paths are found by these starts alone, so a
// space inside a path never splits it.
#pragma once

#include <string>
#include <vector>

// Box name from the engine's module path: the file name without its last
// four characters (".exe").
std::string BoxNameFromModulePath(const std::string& modulePath);

// The shell quotes paths that contain blanks; quotation marks cannot occur in
// file names, so they are dropped before the list is split.
std::string StripQuotes(const std::string& commandLine);

// Number of paths: the number of path starts ("X:" or "\\\\" at the list's
// start or after a blank).
size_t CountPaths(const std::string& list);

// The n-th path (from 0): from its start up to the blank before the next
// path's start.
std::string PathAt(const std::string& list, size_t n);

// "/b" or "/B" at the start of the command line selects a folder upload.
bool IsFolderSwitch(const std::string& commandLine);

// The folder named after the switch, leading white space and quotation
// marks removed.
std::string FolderSwitchArgument(const std::string& commandLine);

// The list for a folder upload: each entry as folder + name, joined by
// single blanks ("." and ".." are skipped).
std::string JoinFolderEntries(const std::string& folder, const std::vector<std::string>& names);
