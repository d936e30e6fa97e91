// Which boxes exist: the engine copies in the Boxes folder beside the
// running program, shown under their long names without ".exe".
#pragma once

#include <windows.h>

// Creates a hidden, unsorted scratch list box as a child of dialog, fills it
// with the directory fill of the Boxes folder, and adds one display name per
// box to visibleList (a list box). Returns the scratch list; the caller
// keeps or destroys it.
HWND EnumerateBoxes(HWND dialog, HWND visibleList);
