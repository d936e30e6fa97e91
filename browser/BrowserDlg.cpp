#include "browser/BrowserDlg.h"

#include <commctrl.h>

#include <cstdio>

#include "boxconfig/BoxSettings.h"
#include "boxconfig/SuiteNames.h"
#include "browser/BrowserList.h"
#include "browser/BrowserRules.h"
#include "browser/NameDlg.h"
#include "browser/resource.h"
#include "ftp/Socket.h"
#include "win/MsgBox.h"
#include "win/ProgramIcon.h"
#include "win/SuiteMessages.h"

namespace {

// How long closing waits for a command to notice; only a worker inside a
// connect to a silent host takes longer, and it ends by itself.
const DWORD CloseWait = 5000;

}  // namespace

CBrowserDlg::CBrowserDlg(CProfile& profile, std::string boxName, int port)
    : CDialog(IDD_BROWSER),
      m_profile(profile),
      m_box(std::move(boxName)),
      m_session(std::make_shared<CBrowserSession>(profile, m_box, static_cast<unsigned short>(port)))
{
}

CBrowserDlg::~CBrowserDlg()
{
    Shutdown();
}

BOOL CBrowserDlg::OnInit()
{
    m_list = Item(IDC_BROWSER_LIST);
    CBrowserSession& s = *m_session;
    s.window = m_hwnd;
    s.status = Item(IDC_BROWSER_STATUS);
    s.connection = Item(IDC_BROWSER_CONNECTION);
    s.directories = Item(IDC_BROWSER_DIRECTORIES);

    CProgramIcon(IDI_SNDMGR).Apply(m_hwnd);
    SendDlgItemMessageA(m_hwnd, IDC_BROWSER_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    InsertListColumns(m_list);

    m_socketsStarted = SocketsStartup();
    if (!m_socketsStarted)
        MessageBoxA(m_hwnd, "Could not load Windows Sockets DLL.", kSuiteTitle, MB_OK | MB_ICONERROR);
    const CBoxSettings& settings = m_session->settings;
    SetItemText(IDC_BROWSER_CONNECTION, ConnectionLine(m_box, settings.Text(BoxText::HostName), false));
    m_sortOrder = NormalSortOrder(settings.Number(BoxNumber::SortOrder));
    SetListSortOrder(m_list, m_sortOrder);
    SetItemText(IDC_BROWSER_TARGET, settings.Text(BoxText::TargetDirectory));
    CreateAnimation();
    OpenFromCacheOrServer();
    return TRUE;
}

void CBrowserDlg::CreateAnimation()
{
    m_animationAt = m_animator.CreateOver(m_hwnd, IDC_BROWSER_ANIMATION, IDC_BROWSER_ANIMATOR, m_dc.Acquire(m_hwnd),
                                          IDB_BROWSER_FIRST, IDB_BROWSER_END, m_colorMap);
}

void CBrowserDlg::OpenFromCacheOrServer()
{
    const long long cacheSize = CacheFileSize(CacheFileName(m_box));
    if (cacheSize >= static_cast<long long>(ListingRecordSize)) {
        // The last listing at once, without connecting.
        LoadCache();
        const std::string current = m_session->settings.Text(BoxText::CurrentDirectory);
        HWND combo = Item(IDC_BROWSER_DIRECTORIES);
        LRESULT index =
            SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(current.c_str()));
        if (index == CB_ERR)
            index = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(current.c_str()));
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        Queue({CommandKind::KeepAlive});
        return;
    }
    if (cacheSize >= 0)
        m_session->resetToHome = true;  // an empty cache: start from the box's home
    QueueConnectPair(false);
    Queue({CommandKind::List});
    Queue({CommandKind::KeepAlive});
}

void CBrowserDlg::Queue(const Command& command)
{
    QueueCommand(m_session, command);
}

void CBrowserDlg::QueueConnectPair(bool setsFlag)
{
    if (m_session->connected) {
        if (setsFlag)
            m_changeDirectory = false;
        return;
    }
    if (setsFlag)
        m_changeDirectory = true;
    // Counts as up from now on, so one action queues one pair.
    m_session->connected = true;
    Queue({CommandKind::Connect});
    Command restore = {CommandKind::RestoreDirectory};
    restore.changeDirectory = m_changeDirectory;
    Queue(restore);
}

void CBrowserDlg::Refresh()
{
    QueueConnectPair(false);
    Queue({CommandKind::List});
}

bool CBrowserDlg::OnCommand(int code, int id, HWND control)
{
    if (m_shutDown)
        return true;
    switch (id) {
    case IDC_BROWSER_REFRESH:
        Refresh();
        return true;
    case IDC_BROWSER_NEW_DIRECTORY:
        OnNewDirectory();
        return true;
    case IDC_BROWSER_DELETE:
    case IDM_BROWSER_DELETE:
        OnDelete();
        return true;
    case IDC_BROWSER_RENAME:
    case IDM_BROWSER_RENAME:
        OnRename();
        return true;
    case IDM_BROWSER_DOWNLOAD:
    case IDM_BROWSER_CHANGE_DIRECTORY:
        OpenSelected();
        return true;
    case IDC_BROWSER_BACK:
        OnBack();
        return true;
    case IDC_BROWSER_DIRECTORIES:
        if (code == CBN_SELCHANGE)
            OnDirectoryChosen();
        return true;
    case IDC_BROWSER_BROWSE:
        OnBrowse();
        return true;
    case IDC_BROWSER_DOWNLOAD:
        OnDownload();
        return true;
    case IDC_BROWSER_COPY:
    case IDM_BROWSER_COPY:
        OnCopyTo();
        return true;
    case IDC_BROWSER_HELP:
        m_help.Open(m_hwnd, kSuiteTitle);
        return true;
    default:
        return CDialog::OnCommand(code, id, control);
    }
}

bool CBrowserDlg::OnNotify(NMHDR* header)
{
    if (m_shutDown || header->hwndFrom != m_list)
        return false;
    switch (header->code) {
    case NM_DBLCLK:
        OpenSelected();
        return true;
    case NM_RCLICK:
        ShowContextMenu();
        return true;
    case LVN_KEYDOWN:
        if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_DELETE)
            OnDelete();
        return true;
    case LVN_COLUMNCLICK:
        if (reinterpret_cast<NMLISTVIEW*>(header)->iSubItem == ColumnName)
            CycleSortOrder();
        return true;
    default:
        return false;
    }
}

void CBrowserDlg::OnOK()
{
    // Enter opens the selected row when the list has the focus.
    if (!m_shutDown && GetFocus() == m_list)
        OpenSelected();
}

void CBrowserDlg::OnCancel()
{
    Shutdown();
    End(IDCANCEL);
}

void CBrowserDlg::OnNewDirectory()
{
    CNameDlg dialog(IDD_BROWSER_NEW_DIRECTORY, "", "Invalid directory name used!");
    if (dialog.DoModal(m_hwnd, GetModuleHandleA(nullptr)) != IDOK)
        return;
    QueueConnectPair(true);
    Command make = {CommandKind::MakeDirectory};
    make.name = dialog.Name;
    Queue(make);
    Refresh();
}

void CBrowserDlg::OnDelete()
{
    const std::vector<int> rows = SelectedRows(m_list);
    if (rows.empty())
        return;
    if (!AskYesNo(m_hwnd, "Are you sure you want to delete the selected item(s)?", kSuiteTitle))
        return;
    for (int row : rows) {
        QueueConnectPair(true);
        Command remove = {CommandKind::Delete};
        remove.name = ListServerName(m_list, row);
        remove.directory = IsDirectoryRow(m_list, row);
        Queue(remove);
    }
    Refresh();
}

void CBrowserDlg::OnRename()
{
    const std::vector<int> rows = SelectedRows(m_list);
    if (rows.empty()) {
        ShowFailure(m_hwnd, "Please select a file to rename", kSuiteTitle);
        return;
    }
    CNameDlg dialog(IDD_BROWSER_RENAME, ListText(m_list, rows.front(), ColumnName), "Invalid filename used!");
    if (dialog.DoModal(m_hwnd, GetModuleHandleA(nullptr)) != IDOK)
        return;
    if (!AskYesNo(m_hwnd, "Are you sure you want to rename the selected file(s)?", kSuiteTitle))
        return;
    QueueConnectPair(true);
    Command rename = {CommandKind::Rename};
    rename.name = ListServerName(m_list, rows.front());
    rename.newName = dialog.Name;
    Queue(rename);
    Refresh();
}

void CBrowserDlg::OpenSelected()
{
    const std::vector<int> rows = SelectedRows(m_list);
    if (rows.empty())
        return;
    if (!IsDirectoryRow(m_list, rows.front())) {
        OpenFileRow(rows.front());
        return;
    }
    QueueConnectPair(true);
    Command change = {CommandKind::ChangeDirectory};
    change.name = ListServerName(m_list, rows.front());
    Queue(change);
    Refresh();
}

void CBrowserDlg::OnBack()
{
    QueueConnectPair(false);
    Command change = {CommandKind::ChangeDirectory};
    change.name = "..";
    Queue(change);
    Refresh();
}

void CBrowserDlg::OnDirectoryChosen()
{
    HWND combo = Item(IDC_BROWSER_DIRECTORIES);
    const LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return;
    const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR)
        return;
    std::string path(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&path[0]));
    path.resize(static_cast<size_t>(length));
    QueueConnectPair(false);
    Command change = {CommandKind::ChangeDirectory};
    change.name = path;
    Queue(change);
    Refresh();
}

void CBrowserDlg::CycleSortOrder()
{
    m_sortOrder = NextSortOrder(m_sortOrder);
    SetListSortOrder(m_list, m_sortOrder);
    SendMessageA(m_list, LVM_DELETEALLITEMS, 0, 0);
    LoadCache();
    m_profile.WriteInt(m_box, BoxValue::SortOrder, m_sortOrder);
}

void CBrowserDlg::LoadCache()
{
    m_animator.Start();
    LoadCacheRows(m_list, CacheFileName(m_box));
    m_animator.Stop(IDB_BROWSER_END);
}

void CBrowserDlg::ShowContextMenu()
{
    const std::vector<int> rows = SelectedRows(m_list);
    if (rows.empty())
        return;
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_BROWSER_MENU));
    if (!menu)
        return;
    HMENU popup = GetSubMenu(menu, 0);
    if (IsDirectoryRow(m_list, rows.front())) {
        RemoveMenu(popup, IDM_BROWSER_DOWNLOAD, MF_BYCOMMAND);
        RemoveMenu(popup, IDM_BROWSER_COPY, MF_BYCOMMAND);
    } else {
        RemoveMenu(popup, IDM_BROWSER_CHANGE_DIRECTORY, MF_BYCOMMAND);
    }
    POINT at;
    GetCursorPos(&at);
    const int chosen = static_cast<int>(
        TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, m_hwnd, nullptr));
    DestroyMenu(menu);
    if (chosen != 0)
        OnCommand(0, chosen, nullptr);
}

void CBrowserDlg::Paint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hwnd, &paint);
    CAnimator::DrawBitmap(dc, m_animationAt.x, m_animationAt.y, IDB_BROWSER_END, m_colorMap.Pairs(),
                          m_colorMap.Count());
    EndPaint(m_hwnd, &paint);
}

void CBrowserDlg::OnWorkerSignal(WPARAM signal)
{
    if (m_shutDown)
        return;
    HMENU system = GetSystemMenu(m_hwnd, FALSE);
    switch (signal) {
    case SignalGreyClose:
        EnableMenuItem(system, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
        break;
    case SignalEnableClose:
        EnableMenuItem(system, SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
        break;
    case SignalStartAnimation:
        m_animator.Start();
        break;
    case SignalStopAnimation:
        m_animator.Stop(IDB_BROWSER_END);
        break;
    default:
        break;
    }
}

bool CBrowserDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result)
{
    switch (msg) {
    case WM_BROWSER_WORKER:
        OnWorkerSignal(wp);
        result = 0;
        return true;
    case WM_BROWSER_ROWS:
        if (!m_shutDown)
            ReplaceListingRows(m_list, *reinterpret_cast<const std::vector<ListingRecord>*>(lp));
        result = 0;
        return true;
    case WM_BOX_FINISHED:
        if (!m_shutDown)
            StartNextBox();
        result = 0;
        return true;
    case WM_PAINT:
        Paint();
        result = 0;
        return true;
    case WM_DESTROY:
        // Also when the owner goes first and takes this window with it.
        Shutdown();
        ForgetServerNames(m_list);
        return false;
    default:
        return false;
    }
}

void CBrowserDlg::Shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_session->Close(CloseWait);
    if (m_socketsStarted) {
        if (!SocketsCleanup()) {
            char text[64];
            std::snprintf(text, sizeof text, "WSACleanup() caused error# %d", SocketLastError());
            MessageBoxA(m_hwnd, text, kSuiteTitle, MB_OK | MB_ICONERROR);
        }
        m_socketsStarted = false;
    }
    m_help.Close();
    m_animator.Destroy();
    m_dc.Release();
}
