// Control IDs of the driver self-test's target dialog; selftest.py uses the same numbers.
#pragma once

#define IDD_TARGET 100

#define IDC_TARGET_EDIT     1001
#define IDC_TARGET_ASK      1002
#define IDC_TARGET_LIST     1003
#define IDC_TARGET_VIEW     1004
#define IDC_TARGET_PROGRESS 1005
#define IDC_TARGET_CHECK    1006
#define IDC_TARGET_ICON     1007
#define IDC_TARGET_MULTI    1008
#define IDC_TARGET_LOG      1009

// WM_TARGET_ADD: returns wParam + lParam and logs both.
#define WM_TARGET_ADD (WM_APP + 1)
// WM_TARGET_SHOW: ShowWindow(dialog, wParam), for tests of hidden windows.
#define WM_TARGET_SHOW (WM_APP + 2)
