#include "launcher/LauncherDlg.h"

#include <commctrl.h>

#include <string>

#include "launcher/LauncherCommand.h"
#include "launcher/resource.h"
#include "shell/BoxListing.h"
#include "win/MsgBox.h"
#include "win/Process.h"
#include "win/SuiteMessages.h"

namespace {

// The drag image of a minimised window is the procedure's own return value,
// which the dialog base does not give back; so this one message is answered
// in front of the dialog procedure.
LRESULT CALLBACK DragIconProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR icon)
{
    if (msg == WM_QUERYDRAGICON)
        return static_cast<LRESULT>(icon);
    if (msg == WM_NCDESTROY)
        RemoveWindowSubclass(hwnd, DragIconProc, id);
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

CLauncherDlg::CLauncherDlg() : CDialog(IDD_LAUNCHER)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    m_icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_FTCHMGR));
    m_smallIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_FTCHMGR), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXSMICON),
                                                GetSystemMetrics(SM_CYSMICON), 0));
}

BOOL CLauncherDlg::OnInit()
{
    char about[64] = "";
    LoadStringA(GetModuleHandleA(nullptr), IDS_LAUNCHER_ABOUT, about, sizeof about);
    HMENU system = GetSystemMenu(m_hwnd, FALSE);
    if (system && about[0]) {
        AppendMenuA(system, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(system, MF_STRING, IDM_LAUNCHER_ABOUT, about);
    }
    SendMessageA(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    SendMessageA(m_hwnd, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(m_smallIcon ? m_smallIcon : m_icon));
    SetWindowSubclass(m_hwnd, DragIconProc, 1, reinterpret_cast<DWORD_PTR>(m_icon));
    // Still hidden here: with no box the question comes before the window.
    ListBoxes();
    return TRUE;
}

void CLauncherDlg::ListBoxes()
{
    HWND scratch = EnumerateBoxes(m_hwnd, Item(IDC_LAUNCHER_BOXES));
    const bool none = SendMessageA(scratch, LB_GETCOUNT, 0, 0) <= 0;
    if (scratch)
        DestroyWindow(scratch);
    if (none && AskYesNo(m_hwnd, "No Sendora has been created.\r\nCreate one now?", kLauncherTitle))
        StartCommandLine(kNewBoxCommand);
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

void CLauncherDlg::PaintMinimised()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hwnd, &ps);
    SendMessageA(m_hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(m_hwnd, &client);
    const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_icon);
    EndPaint(m_hwnd, &ps);
}

bool CLauncherDlg::OnMessage(UINT msg, WPARAM wp, LPARAM, INT_PTR& result)
{
    switch (msg) {
    case WM_BOXES_CHANGED:
        SendMessageA(Item(IDC_LAUNCHER_BOXES), LB_RESETCONTENT, 0, 0);
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
        PaintMinimised();
        result = 0;
        return true;
    default:
        return false;
    }
}
