// Which boxes exist: the engine copies in the Boxes folder beside the
// running program, shown under their long names without ".exe".
#pragma once

#include <windows.h>

#include <string>

// Creates a hidden, unsorted scratch list box as a child of dialog, fills it
// with the directory fill of the Boxes folder, and adds one display name per
// box to visibleList (a list box). Returns the scratch list; the caller
// keeps or destroys it. Entries that are no box files (folders) are taken out
// of the scratch list again, so its count is the number of boxes and its
// entries stay index-aligned with an unsorted visible list.
HWND EnumerateBoxes(HWND dialog, HWND visibleList);

// The same for the Boxes folder below programFolder (ending in a backslash).
HWND EnumerateBoxesIn(HWND dialog, HWND visibleList, const std::string& programFolder);

// The long file name of a scratch list entry (the directory fill may give the
// 8.3 form, and an engine started by that name would take it for its box
// name), or "" when the entry is no box file: a folder, or gone.
std::string BoxLongFileName(const std::string& programFolder, const std::string& scratchEntry);

// The text of a list box entry ("" when there is none at that index).
std::string ListBoxText(HWND list, int index);
