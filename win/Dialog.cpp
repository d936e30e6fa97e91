#include "win/Dialog.h"

#include <vector>

#include "win/Placement.h"

INT_PTR CDialog::DoModal(HWND owner, HINSTANCE instance)
{
    m_modal = true;
    if (!instance)
        instance = GetModuleHandleA(nullptr);
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(m_templateId), owner, Proc, reinterpret_cast<LPARAM>(this));
}

HWND CDialog::Create(HWND owner, HINSTANCE instance)
{
    m_modal = false;
    if (!instance)
        instance = GetModuleHandleA(nullptr);
    return CreateDialogParamA(instance, MAKEINTRESOURCEA(m_templateId), owner, Proc, reinterpret_cast<LPARAM>(this));
}

std::string WindowText(HWND window)
{
    const int length = window ? GetWindowTextLengthA(window) : 0;
    if (length <= 0)
        return std::string();
    std::vector<char> buf(static_cast<size_t>(length) + 1);
    const int got = GetWindowTextA(window, buf.data(), length + 1);
    return std::string(buf.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

bool CDialog::OnCommand(int, int id, HWND)
{
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    if (id == IDHELP) {
        OnHelp(0);
        return true;
    }
    return false;
}

void CDialog::End(INT_PTR result)
{
    if (m_modal)
        EndDialog(m_hwnd, result);
    else
        DestroyWindow(m_hwnd);
}

INT_PTR CALLBACK CDialog::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    CDialog* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lp);
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_hwnd = hwnd;
    } else {
        self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (!self)
        return FALSE;
    // An exception must not unwind into the system's code.
    try {
        return self->Dispatch(msg, wp, lp);
    } catch (...) {
        return FALSE;
    }
}

// These messages take a dialog procedure's own return value as their result,
// not the DWLP_MSGRESULT slot.
static bool ReturnsDirectly(UINT msg)
{
    switch (msg) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

INT_PTR CDialog::Dispatch(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_INITDIALOG: {
        const BOOL focus = OnInit();
        // Opens where the user looks: on the owner's monitor, or the cursor's.
        if (m_hwnd && IsWindow(m_hwnd) && !(GetWindowLongPtrA(m_hwnd, GWL_STYLE) & WS_CHILD))
            CenterOnMonitor(m_hwnd);
        return focus;
    }
    case WM_HELP: {
        const HELPINFO* info = reinterpret_cast<const HELPINFO*>(lp);
        const DWORD context = info ? static_cast<DWORD>(info->dwContextId) : 0;
        const HANDLE from = info ? info->hItemHandle : nullptr;
        if (context == 0 && from != nullptr && from == m_contextHelpFrom) {
            // The echo: its page is open already.
            m_contextHelpFrom = nullptr;
        } else {
            m_contextHelpFrom = context != 0 ? from : nullptr;
            OnHelp(context);
        }
        SetWindowLongPtrA(m_hwnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
    }
    case WM_COMMAND:
        return OnCommand(HIWORD(wp), LOWORD(wp), reinterpret_cast<HWND>(lp)) ? TRUE : FALSE;
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lp)) ? TRUE : FALSE;
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wp));
        return TRUE;
    case WM_NCDESTROY:
        SetWindowLongPtrA(m_hwnd, DWLP_USER, 0);
        m_hwnd = nullptr;
        return FALSE;
    default: {
        INT_PTR result = 0;
        if (!OnMessage(msg, wp, lp, result))
            return FALSE;
        if (ReturnsDirectly(msg))
            return result;
        SetWindowLongPtrA(m_hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    }
}
