// The driver self-test's target: one dialog with a control of every kind the
// suite uses. Every notification it gets is appended to the log edit, so a
// test sees which ones arrived, in order, and none twice.
//
// At start it writes its command line, a NUL, its current directory and a NUL
// to the file named by DRIVER_TARGET_OUT (or "/out:FILE" on the command line),
// so a test can compare what arrived byte for byte. "/msgbox" shows an
// ownerless message box before the dialog.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/driver/DriverTargetIds.h"

namespace {

void WriteStartInfo()
{
    const char* line = GetCommandLineA();
    char path[MAX_PATH] = "";
    if (!GetEnvironmentVariableA("DRIVER_TARGET_OUT", path, sizeof path)) {
        const char* out = std::strstr(line, "/out:");
        if (!out)
            return;
        out += 5;
        size_t n = std::strcspn(out, " \r\n");
        if (n >= sizeof path)
            return;
        std::memcpy(path, out, n);
        path[n] = '\0';
    }
    char dir[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof dir, dir);
    if (FILE* f = std::fopen(path, "wb")) {
        std::fwrite(line, 1, std::strlen(line) + 1, f);
        std::fwrite(dir, 1, std::strlen(dir) + 1, f);
        std::fclose(f);
    }
}

void Log(HWND dlg, const std::string& event)
{
    HWND log = GetDlgItem(dlg, IDC_TARGET_LOG);
    int end = GetWindowTextLengthA(log);
    SendMessageA(log, EM_SETSEL, end, end);
    SendMessageA(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>((event + "\r\n").c_str()));
}

void Fill(HWND dlg)
{
    static const char* const icons[] = {"none", "error", "question", "warning", "information"};
    for (const char* s : icons)
        SendDlgItemMessageA(dlg, IDC_TARGET_ICON, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendDlgItemMessageA(dlg, IDC_TARGET_ICON, CB_SETCURSEL, 3, 0);
    static const char* const words[] = {"alpha", "beta", "gamma"};
    for (const char* s : words)
        SendDlgItemMessageA(dlg, IDC_TARGET_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    for (const char* s : {"m0", "m1", "m2", "m3"})
        SendDlgItemMessageA(dlg, IDC_TARGET_MULTI, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));

    HWND view = GetDlgItem(dlg, IDC_TARGET_VIEW);
    SendMessageA(view, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const char* const columns[] = {"Name", "Size"};
    for (int c = 0; c < 2; ++c) {
        LVCOLUMNA col = {};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.cx = c == 0 ? 120 : 60;
        col.pszText = const_cast<char*>(columns[c]);
        SendMessageA(view, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&col));
    }
    const char* const rows[][2] = {{"one", "1"}, {"two words", "22"}, {"three", "333"}};
    for (int r = 0; r < 3; ++r) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = r;
        item.pszText = const_cast<char*>(rows[r][0]);
        SendMessageA(view, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = const_cast<char*>(rows[r][1]);
        SendMessageA(view, LVM_SETITEMTEXTA, r, reinterpret_cast<LPARAM>(&item));
    }

    SendDlgItemMessageA(dlg, IDC_TARGET_PROGRESS, PBM_SETRANGE32, 0, 200);
    SendDlgItemMessageA(dlg, IDC_TARGET_PROGRESS, PBM_SETPOS, 75, 0);
}

void Ask(HWND dlg)
{
    static const UINT icons[] = {0, MB_ICONHAND, MB_ICONQUESTION, MB_ICONEXCLAMATION, MB_ICONASTERISK};
    LRESULT icon = SendDlgItemMessageA(dlg, IDC_TARGET_ICON, CB_GETCURSEL, 0, 0);
    UINT type = IsDlgButtonChecked(dlg, IDC_TARGET_CHECK) == BST_CHECKED ? MB_YESNO : MB_OK;
    if (icon >= 0 && icon < 5)
        type |= icons[icon];
    char text[512] = "";
    GetDlgItemTextA(dlg, IDC_TARGET_EDIT, text, sizeof text);
    int answer = MessageBoxA(dlg, text, "Driver Target", type);
    Log(dlg, "answer " + std::to_string(answer));
}

void OnCommand(HWND dlg, WORD id, WORD code)
{
    switch (id) {
    case IDC_TARGET_ASK:
        Ask(dlg);
        break;
    case IDC_TARGET_CHECK:
        Log(dlg, "check " + std::to_string(IsDlgButtonChecked(dlg, IDC_TARGET_CHECK)));
        break;
    case IDC_TARGET_ICON:
        if (code == CBN_SELCHANGE)
            Log(dlg, "icon " + std::to_string(SendDlgItemMessageA(dlg, id, CB_GETCURSEL, 0, 0)));
        break;
    case IDC_TARGET_LIST:
        if (code == LBN_SELCHANGE || code == LBN_DBLCLK)
            Log(dlg, std::string(code == LBN_DBLCLK ? "list dblclk " : "list select ") +
                         std::to_string(SendDlgItemMessageA(dlg, id, LB_GETCURSEL, 0, 0)));
        break;
    case IDC_TARGET_MULTI:
        if (code == LBN_SELCHANGE)
            Log(dlg, "multi select " + std::to_string(SendDlgItemMessageA(dlg, id, LB_GETSELCOUNT, 0, 0)));
        break;
    case IDOK:
        Log(dlg, "ok");
        break;
    case IDCANCEL:
        EndDialog(dlg, 3);
        break;
    }
}

void OnNotify(HWND dlg, const NMHDR* nm)
{
    if (nm->idFrom != IDC_TARGET_VIEW)
        return;
    switch (nm->code) {
    case NM_DBLCLK:
        Log(dlg, "view dblclk " + std::to_string(reinterpret_cast<const NMITEMACTIVATE*>(nm)->iItem));
        break;
    case LVN_COLUMNCLICK:
        Log(dlg, "view column " + std::to_string(reinterpret_cast<const NMLISTVIEW*>(nm)->iSubItem));
        break;
    case LVN_ITEMCHANGED: {
        const NMLISTVIEW* lv = reinterpret_cast<const NMLISTVIEW*>(nm);
        if ((lv->uChanged & LVIF_STATE) && (lv->uNewState & LVIS_SELECTED) && !(lv->uOldState & LVIS_SELECTED))
            Log(dlg, "view select " + std::to_string(lv->iItem));
        break;
    }
    }
}

INT_PTR CALLBACK TargetProc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam)
{
    switch (msg) {
    case WM_INITDIALOG:
        Fill(dlg);
        return TRUE;
    case WM_COMMAND:
        OnCommand(dlg, LOWORD(wparam), HIWORD(wparam));
        return TRUE;
    case WM_NOTIFY:
        OnNotify(dlg, reinterpret_cast<const NMHDR*>(lparam));
        return TRUE;
    case WM_TARGET_ADD:
        Log(dlg, "add " + std::to_string(wparam) + " " + std::to_string(lparam));
        SetWindowLongPtrA(dlg, DWLP_MSGRESULT, static_cast<LONG_PTR>(wparam) + lparam);
        return TRUE;
    case WM_TARGET_SHOW:
        ShowWindow(dlg, static_cast<int>(wparam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WriteStartInfo();
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    if (std::strstr(GetCommandLineA(), "/msgbox"))
        MessageBoxA(nullptr, "Started.\r\nSecond line", "Driver Target", MB_OK | MB_ICONASTERISK);
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_TARGET), nullptr, TargetProc, 0));
}
