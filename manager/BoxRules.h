// What the manager's dialogs accept from the user. No Windows here: the
// rules are checked on the build machine.
#pragma once

#include <string>

// Validation of the main dialog on OK, first failing test first: the message
// for the first missing entry, or nullptr when all three are there.
const char* MissingLogonEntry(const std::string& userId, const std::string& password, const std::string& hostName);

// The name a box is saved under: the Alias, or the Host Name when it is empty.
std::string BoxNameFor(const std::string& alias, const std::string& hostName);

// The longest box name whose settings key (255 characters), engine copy
// "<suiteFolder>\Boxes\<name>.exe" and shortcuts "<folder>\<NAME>.LNK" all
// stay within the 260 characters of a path, terminator included.
size_t LongestBoxName(const std::string& suiteFolder, const std::string& desktopFolder,
                      const std::string& sendToFolder);

// A box name becomes a registry key, a file name, two shortcut names and an
// argument on other programs' command lines, so it must be a valid file name
// with nothing at its ends that Windows or a command tail would drop (blanks,
// a trailing dot), no longer than `longest`. Why it cannot be one, or "".
std::string BoxNameFault(const std::string& name, size_t longest);

// The message that refuses an alias on OK, or "" when it can be saved.
std::string BoxNameRefusal(const std::string& name, size_t longest);

// The Port text: a decimal integer, optionally signed, with blanks or tabs
// around it. False (value untouched) for anything else, an empty text or a
// number beyond int included.
bool ParseIntegerText(const std::string& text, int& value);

// Which radio button of a group of count shows a stored number: its
// position, or -1 (none checked) for a number outside the group.
int RadioForStored(int stored, int count);

// The check box state an "Erase" number is shown with: 0 for anything
// negative or above 2; 1 and 2 both show as checked.
int EraseCheckForStored(int stored);
