// The main dialog's window furniture, in process: what another process
// cannot ask under Wine (icon handles do not cross processes there).
#include <gtest/gtest.h>
#include <windows.h>

#include "manager/BoxManagerDlg.h"
#include "manager/resource.h"
#include "support/MemoryProfile.h"

TEST(BoxManagerWindow, SystemMenuAboutEntryAndTheProgramIconForTitleBarTaskbarAndDragging)
{
    ManagerState state;
    CMemoryProfile profile;
    CBoxManagerDlg dialog(state, profile);
    HWND hwnd = dialog.Create(nullptr);
    ASSERT_NE(hwnd, nullptr);

    HMENU menu = GetSystemMenu(hwnd, FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    char text[64] = "";
    GetMenuStringA(menu, IDM_ABOUTBOX, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&About FTP Sendora...");

    const LRESULT big = SendMessageA(hwnd, WM_GETICON, ICON_BIG, 0);
    EXPECT_NE(big, 0);
    EXPECT_NE(SendMessageA(hwnd, WM_GETICON, ICON_SMALL, 0), 0);  // the icon's own small image
    EXPECT_EQ(SendMessageA(hwnd, WM_QUERYDRAGICON, 0, 0), big);
    DestroyWindow(hwnd);
}
