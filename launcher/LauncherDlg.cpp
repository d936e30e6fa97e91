#include "launcher/LauncherDlg.h"

#include <commctrl.h>

#include <string>

#include "launcher/LauncherCommand.h"
#include "launcher/resource.h"
#include "shell/BoxListing.h"
#include "win/MsgBox.h"
#include "win/ProgramIcon.h"
#include "win/Process.h"
#include "win/SuiteMessages.h"

CLauncherDlg::CLauncherDlg() : CDialog(IDD_LAUNCHER), m_icon(IDI_FTCHMGR) {}

BOOL CLauncherDlg::OnInit()
{
    char about[64] = "";
    LoadStringA(GetModuleHandleA(nullptr), IDS_LAUNCHER_ABOUT, about, sizeof about);
    AppendSystemMenuEntry(m_hwnd, IDM_LAUNCHER_ABOUT, about);
    m_icon.Apply(m_hwnd);
    // Still hidden here: with no box the question comes before the window.
    ListBoxes();
    return TRUE;
}

void CLauncherDlg::ListBoxes()
{
    if (FillBoxList() > 0)
        return;
    if (AskYesNo(m_hwnd, "No Sendora has been created.\r\nCreate one now?", kLauncherTitle))
        StartCommandLine(kNewBoxCommand);
    // The question bears the window's title: a box saved while it was open
    // was announced to the question, not to this window.
    FillBoxList();
}

int CLauncherDlg::FillBoxList()
{
    SendMessageA(Item(IDC_LAUNCHER_BOXES), LB_RESETCONTENT, 0, 0);
    HWND scratch = EnumerateBoxes(m_hwnd, Item(IDC_LAUNCHER_BOXES));
    const LRESULT count = SendMessageA(scratch, LB_GETCOUNT, 0, 0);
    if (scratch)
        DestroyWindow(scratch);
    return count > 0 ? static_cast<int>(count) : 0;
}

void CLauncherDlg::OpenBrowser()
{
    HWND list = Item(IDC_LAUNCHER_BOXES);
    const LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR)
        return;  // a double-click on no entry names no box
    StartCommandLine(BrowserCommand(ListBoxText(list, static_cast<int>(index))));
}

bool CLauncherDlg::OnCommand(int code, int id, HWND control)
{
    if (id == IDC_LAUNCHER_BOXES && code == LBN_DBLCLK) {
        OpenBrowser();
        return true;
    }
    return CDialog::OnCommand(code, id, control);
}

bool CLauncherDlg::OnMessage(UINT msg, WPARAM wp, LPARAM, INT_PTR& result)
{
    switch (msg) {
    case WM_BOXES_CHANGED:
        ListBoxes();
        result = 0;
        return true;
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) != IDM_LAUNCHER_ABOUT)
            return false;
        {
            CDialog about(IDD_LAUNCHER_ABOUT);
            about.DoModal(m_hwnd);
        }
        result = 0;
        return true;
    case WM_PAINT:
        if (!IsIconic(m_hwnd))
            return false;
        m_icon.PaintMinimised(m_hwnd);
        result = 0;
        return true;
    case WM_QUERYDRAGICON:
        result = m_icon.DragImage();
        return true;
    default:
        return false;
    }
}

void CLauncherDlg::OnHelp(DWORD)
{
    m_help.Open(m_hwnd, kLauncherTitle, "launcher.htm");
}
