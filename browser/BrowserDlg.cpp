#include "browser/BrowserDlg.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "boxconfig/BoxSettings.h"
#include "boxconfig/RegistryProfile.h"
#include "boxconfig/SuiteNames.h"
#include "browser/BrowserList.h"
#include "browser/BrowserRules.h"
#include "browser/NameDlg.h"
#include "browser/resource.h"
#include "ftp/Socket.h"
#include "win/Dpi.h"
#include "win/MsgBox.h"
#include "win/ProgramIcon.h"
#include "win/SuiteMessages.h"

namespace {

// How long closing waits for a command to notice; only a worker inside a
// connect to a silent host takes longer, and it ends by itself.
const DWORD CloseWait = 5000;

// The browser's window values, in the user's window key.
const char WidthValue[] = "Width";
const char HeightValue[] = "Height";
const char MaximizedValue[] = "Maximized";
const char ColumnWidthsValue[] = "Column Widths";

// Posted to itself once the system has laid the window out for a new DPI.
const UINT WM_BROWSER_RELAYOUT = WM_APP + 1;

}  // namespace

CBrowserDlg::CBrowserDlg(CProfile& profile, std::string boxName, int port)
    : CDialog(IDD_BROWSER),
      m_profile(profile),
      m_box(std::move(boxName)),
      m_session(std::make_shared<CBrowserSession>(profile, m_box, port))
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
    m_dpi = WindowDpi(m_hwnd);
    InsertListColumns(m_list, ParseColumnWidths(WindowProfile().GetString("", ColumnWidthsValue, ""),
                                                static_cast<size_t>(ListColumnCount)));
    LayOut();

    m_socketsStarted = SocketsStartup();
    if (!m_socketsStarted)
        MessageBoxA(m_hwnd, "Could not load Windows Sockets DLL.", kSuiteTitle, MB_OK | MB_ICONERROR);
    const CBoxSettings& settings = m_session->settings;
    SetItemText(IDC_BROWSER_CONNECTION, ConnectionLine(m_box, settings.Text(BoxText::HostName), false));
    m_sort = NormalSort(settings.Number(BoxNumber::SortColumn), settings.Number(BoxNumber::SortOrder));
    SetListSort(m_list, m_sort);
    SetItemText(IDC_BROWSER_TARGET, settings.Text(BoxText::TargetDirectory));
    CreateAnimation();
    RestoreWindowSize();
    OpenFromCacheOrServer();
    return TRUE;
}

void CBrowserDlg::LayOut()
{
    RECT window;
    GetWindowRect(m_hwnd, &window);
    m_minSize = {window.right - window.left, window.bottom - window.top};
    m_layout.Capture(m_hwnd);
    // Status and connection lines, rules and the target field widen; the
    // list takes all the room; the rows of buttons keep to the bottom, Back,
    // Browse and Help to the right.
    for (int id : {IDC_BROWSER_STATUS, IDC_BROWSER_PROGRESS, IDC_BROWSER_RULE_TOP, IDC_BROWSER_CONNECTION,
                   IDC_BROWSER_DIRECTORIES})
        m_layout.Add(id, GrowWidth);
    m_layout.Add(IDC_BROWSER_BACK, AnchorRight);
    m_layout.Add(IDC_BROWSER_LIST, GrowWidth | GrowHeight);
    for (int id : {IDC_BROWSER_NEW_DIRECTORY, IDC_BROWSER_DELETE, IDC_BROWSER_RENAME, IDC_BROWSER_TARGET_LABEL,
                   IDC_BROWSER_DOWNLOAD, IDC_BROWSER_COPY, IDC_BROWSER_REFRESH})
        m_layout.Add(id, AnchorBottom);
    for (int id : {IDC_BROWSER_RULE_MIDDLE, IDC_BROWSER_TARGET, IDC_BROWSER_RULE_BOTTOM})
        m_layout.Add(id, AnchorBottom | GrowWidth);
    m_layout.Add(IDC_BROWSER_BROWSE, AnchorBottom | AnchorRight);
    m_layout.Add(IDC_BROWSER_HELP, AnchorBottom | AnchorRight);
}

void CBrowserDlg::RestoreWindowSize()
{
    CProfile& profile = WindowProfile();
    const int width = ScaleToDpi(profile.GetInt("", WidthValue, 0), m_dpi);
    const int height = ScaleToDpi(profile.GetInt("", HeightValue, 0), m_dpi);
    if (width > 0 && height > 0)
        SetWindowPos(m_hwnd, nullptr, 0, 0, std::max<int>(width, m_minSize.cx), std::max<int>(height, m_minSize.cy),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CenterOnMonitor(m_hwnd);
    if (profile.GetInt("", MaximizedValue, 0) == 1)
        ShowWindow(m_hwnd, SW_SHOWMAXIMIZED);
}

void CBrowserDlg::SaveWindowSize()
{
    WINDOWPLACEMENT place = {};
    place.length = sizeof place;
    if (!m_hwnd || !m_list || !GetWindowPlacement(m_hwnd, &place))
        return;
    CProfile& profile = WindowProfile();
    const RECT& normal = place.rcNormalPosition;
    profile.WriteInt("", WidthValue, ScaleFromDpi(normal.right - normal.left, m_dpi));
    profile.WriteInt("", HeightValue, ScaleFromDpi(normal.bottom - normal.top, m_dpi));
    profile.WriteInt("", MaximizedValue, place.showCmd == SW_SHOWMAXIMIZED ? 1 : 0);
    profile.WriteString("", ColumnWidthsValue, FormatColumnWidths(ListColumnWidths(m_list)));
}

void CBrowserDlg::OnDpiChanged(int dpi)
{
    if (dpi <= 0 || dpi == m_dpi)
        return;
    RescaleListColumns(m_list, m_dpi, dpi);
    m_minSize = {MulDiv(m_minSize.cx, dpi, m_dpi), MulDiv(m_minSize.cy, dpi, m_dpi)};
    m_dpi = dpi;
    // The system moves and scales the controls; the layout follows once it is done.
    m_dpiChanging = true;
    PostMessageA(m_hwnd, WM_BROWSER_RELAYOUT, 0, 0);
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
        OnHelp(0);
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
        SortBy(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
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

void CBrowserDlg::OnHelp(DWORD context)
{
    m_help.Open(m_hwnd, kSuiteTitle, context == HelpCertificateQuestion ? "messages.htm#certificate" : "browsing.htm");
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

void CBrowserDlg::SortBy(int column)
{
    const ListSort next = NextSort(m_sort, column);
    if (next.column == m_sort.column && next.order == m_sort.order)
        return;
    m_sort = next;
    SetListSort(m_list, m_sort);
    SendMessageA(m_list, LVM_DELETEALLITEMS, 0, 0);
    LoadCache();
    m_profile.WriteInt(m_box, BoxValue::SortOrder, m_sort.order);
    m_profile.WriteInt(m_box, BoxValue::SortColumn, m_sort.column);
}

void CBrowserDlg::LoadCache()
{
    m_animator.Start();
    LoadCacheRows(m_list, CacheFileName(m_box), m_sort);
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
    switch (signal) {
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
            ReplaceListingRows(m_list, *reinterpret_cast<const std::vector<ListingRecord>*>(lp), m_sort);
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
    case WM_SIZE:
        if (!m_dpiChanging)
            m_layout.Apply();
        return false;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lp)->ptMinTrackSize = {m_minSize.cx, m_minSize.cy};
        result = 0;
        return m_minSize.cx > 0;
    case WmDpiChanged:
        OnDpiChanged(LOWORD(wp));
        return false;
    case WM_BROWSER_RELAYOUT:
        m_dpiChanging = false;
        m_layout.Recapture();
        m_animationAt = m_animator.MoveOver(m_hwnd, IDC_BROWSER_ANIMATION);
        InvalidateRect(m_hwnd, nullptr, TRUE);
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
    if (m_hwnd && IsWindow(m_hwnd))
        SaveWindowSize();
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
