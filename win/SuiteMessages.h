// Messages between the suite's programs, posted with both parameters 0 to a
// window found by its exact title. Other programs rely on these numbers.
#pragma once

#include <windows.h>

// From an engine that completed to the window "FTP Fetchora".
#define WM_BOX_FINISHED (WM_USER + 503)
// From the manager after a box was saved or deleted, to "FTP Fetchora Manager".
#define WM_BOXES_CHANGED (WM_USER + 600)

constexpr char BrowserTitle[] = "FTP Fetchora";
constexpr char LauncherTitle[] = "FTP Fetchora Manager";
