#include "engine/ProgressDlg.h"

#include <windows.h>
#include <commctrl.h>
#include <ras.h>

#include "boxconfig/BoxSettings.h"
#include "engine/EngineMessages.h"
#include "engine/TransferRules.h"
#include "engine/UploadSession.h"
#include "engine/resource.h"
#include "win/SuiteMessages.h"

// How long the completion waits for the QUIT reply.
const int QuitReplyWaitMs = 3000;
// How often the worker's display changes reach the screen: every repaint
// costs as much as several blocks of data, and ten a second look smooth.
const UINT ShowPeriodMs = 100;
const UINT_PTR ShowTimer = 1;
// Cancel ends the run within this, whether the worker's clean-up is done or not.
const UINT_PTR CancelTimer = 2;
const UINT CancelCleanupMs = 900;

// The active dial-up connection, asked for with room for one entry: more
// than one does not fit and counts as none.
static bool FirstDialUpConnection(HRASCONN& connection)
{
    RASCONNA conn[1];
    ZeroMemory(conn, sizeof conn);
    conn[0].dwSize = sizeof conn[0];
    DWORD size = sizeof conn, count = 0;
    if (RasEnumConnectionsA(conn, &size, &count) != 0 || count == 0)
        return false;
    connection = conn[0].hrasconn;
    return true;
}

bool DialUpActive()
{
    HRASCONN connection;
    return FirstDialUpConnection(connection);
}

CProgressDlg::CProgressDlg(UploadSession& session) : CDialog(IDD_PROGRESS), m_session(session) {}

BOOL CProgressDlg::OnInit()
{
    m_dialUpWasActive = DialUpActive();
    // The log holds every reply of a long run, beyond the edit's usual limit.
    SendDlgItemMessageA(m_hwnd, IDC_PROGRESS_LOG, EM_SETLIMITTEXT, 0, 0);
    SendDlgItemMessageA(m_hwnd, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));

    const int details =
        CBoxSettings(*m_session.profile, m_session.boxName, BoxReader::Engine).Number(BoxNumber::Details);
    if (details != 0) {
        ShowDetails(true);  // the template's full height already shows the log
    } else {
        RECT r;
        GetWindowRect(m_hwnd, &r);
        SetWindowPos(m_hwnd, nullptr, 0, 0, r.right - r.left, HeightFor(false),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    m_animator.CreateOver(m_hwnd, IDC_PROGRESS_ANIMATION, IDC_PROGRESS_ANIMATOR, m_dc.Acquire(m_hwnd), IDB_UPLOAD_FIRST,
                          IDB_UPLOAD_END, m_colorMap);
    m_animator.Start();
    SetTimer(m_hwnd, ShowTimer, ShowPeriodMs, nullptr);

    SetForegroundWindow(m_hwnd);
    // The window comes to the front while the user may be typing elsewhere:
    // with the focus on Cancel a stray Enter would end the upload. On the
    // bar, Enter reaches the (empty) OK action instead.
    SetFocus(Item(IDC_PROGRESS_BAR));
    return FALSE;
}

int CProgressDlg::HeightFor(bool detailsShown) const
{
    RECT r;
    GetWindowRect(Item(detailsShown ? IDC_PROGRESS_LOG : IDCANCEL), &r);
    POINT bottom = {r.left, r.bottom};
    ScreenToClient(m_hwnd, &bottom);
    return GetSystemMetrics(SM_CYCAPTION) + bottom.y + 12;
}

void CProgressDlg::ShowDetails(bool shown)
{
    m_detailsShown = shown;
    SetItemText(IDC_PROGRESS_DETAILS, shown ? "<< &Details" : "&Details >>");
    if (shown)
        ShowPending(true);
    ShowItem(IDC_PROGRESS_LOG, shown);
}

void CProgressDlg::ToggleDetails()
{
    ShowDetails(!m_detailsShown);
    RECT r;
    GetWindowRect(m_hwnd, &r);
    SetWindowPos(m_hwnd, nullptr, 0, 0, r.right - r.left, HeightFor(m_detailsShown), SWP_NOMOVE | SWP_NOZORDER);
    if (!m_session.boxName.empty())
        m_session.profile->WriteInt(m_session.boxName, BoxValue::Details, m_detailsShown ? 1 : 0);
}

bool CProgressDlg::OnCommand(int code, int id, HWND control)
{
    if (id == IDC_PROGRESS_DETAILS && code == BN_CLICKED) {
        ToggleDetails();
        return true;
    }
    return CDialog::OnCommand(code, id, control);
}

void CProgressDlg::OnCancel()
{
    // A file going to a temporary name is stopped and removed by the worker
    // first; the window goes at once all the same.
    if (m_session.temporaryInFlight && !m_session.cancelled) {
        m_session.cancelled = true;
        ShowWindow(m_hwnd, SW_HIDE);
        SetTimer(m_hwnd, CancelTimer, CancelCleanupMs, nullptr);
        return;
    }
    Abort(ExitCancelled);
}

bool CProgressDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result)
{
    switch (msg) {
    case WM_UPLOAD_PROGRESS:
        // The worker waits for each block's message: a repaint per block would
        // cost more than the block. The bar shows the newest position at once
        // when the last showing is long enough ago, else a moment later.
        m_pending.DropBarReset();
        m_barWanted = ProgressPercent(static_cast<uint64_t>(wp), static_cast<uint64_t>(lp));
        if (GetTickCount() - m_lastShown >= ShowPeriodMs)
            ShowPending(false);
        result = 0;
        return true;
    case WM_PROGRESS_FLUSH:
        ShowPending(true);
        result = 0;
        return true;
    case WM_UPLOAD_DONE:
        Complete();
        result = 0;
        return true;
    case WM_UPLOAD_ABORT:
        Abort(wp == ExitCancelled ? ExitCancelled : ExitFailed);
        return true;
    case WM_DESTROY:
        KillTimer(m_hwnd, ShowTimer);
        // The animation draws into the window's context until here.
        m_animator.Destroy();
        m_dc.Release();
        return false;
    default:
        return false;
    }
}

void CProgressDlg::OnTimer(UINT_PTR id)
{
    if (id == ShowTimer)
        ShowPending(false);
    else if (id == CancelTimer)
        Abort(ExitCancelled);
}

void CProgressDlg::ShowPending(bool wholeLog)
{
    CPendingDisplay::Changes changes = m_pending.Take();
    if (changes.hasStatus)
        ShowStatus(changes.status);
    // A hidden log is filled when it is opened or before a message box: each
    // edit of it costs as much as painting all the rest.
    m_unshownLog += changes.log;
    if (!m_unshownLog.empty() && (m_detailsShown || wholeLog)) {
        AppendLogHere(m_unshownLog);
        m_unshownLog.clear();
    }
    if (changes.resetBar)
        m_barWanted = 0;
    ShowBar();
    m_lastShown = GetTickCount();
}

void CProgressDlg::ShowBar()
{
    if (SendDlgItemMessageA(m_hwnd, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0) != m_barWanted)
        SendDlgItemMessageA(m_hwnd, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(m_barWanted), 0);
}

void CProgressDlg::Complete()
{
    ShowPending(true);  // the worker recorded all it did before it sent this
    const bool allSent = m_session.notSent.empty();
    if (allSent)
        ShowStatus("Send complete");
    // The worker waits inside WM_UPLOAD_DONE, so the connection is ours now.
    // Everything is sent: a server that never answers QUIT must not keep the
    // window (and Cancel with it) waiting, so its reply gets a few seconds.
    // An SFTP run has no control connection: its worker closed the session.
    const char quit[] = "QUIT\r\n";
    const int length = static_cast<int>(sizeof quit - 1);
    CStream* control = m_session.control.get();
    if (control && control->Send(quit, length) == length &&
        (control->Pending() || WaitReadable(control->Socket(), InvalidSocket, QuitReplyWaitMs) > 0)) {
        m_session.client.ReadReply(*control);
        AppendLogHere(m_session.client.LastReply());
    }

    HWND browser = FindWindowA(nullptr, BrowserTitle);
    if (browser)
        PostMessageA(browser, WM_BOX_FINISHED, 0, 0);  // the browser still needs the line
    else if (!m_dialUpWasActive)
        HangUp();

    DestroyWindow(m_hwnd);
    PostQuitMessage(allSent ? ExitComplete : ExitFailed);
}

void CProgressDlg::Abort(int exitCode)
{
    if (!m_dialUpWasActive)
        HangUp();
    DestroyWindow(m_hwnd);
    // Whatever the worker is doing, even waiting on the network.
    ExitProcess(static_cast<UINT>(exitCode));
}

void CProgressDlg::HangUp()
{
    HRASCONN connection;
    if (!FirstDialUpConnection(connection))
        return;
    if (RasHangUpA(connection) == 0) {
        ShowStatus("Hanging up modem...");
        Sleep(3000);  // give the line time to drop before the program ends
    }
}

void CProgressDlg::SetStatus(const std::string& text)
{
    m_pending.SetStatus(text);
}

void CProgressDlg::AppendLog(const std::string& reply)
{
    m_pending.AppendLog(reply);
}

void CProgressDlg::ResetProgress()
{
    m_pending.ResetBar();
}

void CProgressDlg::Flush()
{
    SendMessageA(m_hwnd, WM_PROGRESS_FLUSH, 0, 0);
}

void CProgressDlg::ShowStatus(const std::string& text)
{
    SetItemText(IDC_PROGRESS_STATUS, text);
}

void CProgressDlg::AppendLogHere(const std::string& text)
{
    HWND log = Item(IDC_PROGRESS_LOG);
    const LRESULT end = SendMessageA(log, WM_GETTEXTLENGTH, 0, 0);
    SendMessageA(log, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageA(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(log, EM_SCROLLCARET, 0, 0);
}

void CProgressDlg::SetTitle(const std::string& text)
{
    SetWindowTextA(m_hwnd, text.c_str());
}

void CProgressDlg::ReportProgress(uint64_t size, uint64_t sent)
{
    ScaleForMessage(size, sent);
    SendMessageA(m_hwnd, WM_UPLOAD_PROGRESS, static_cast<WPARAM>(size), static_cast<LPARAM>(sent));
}
