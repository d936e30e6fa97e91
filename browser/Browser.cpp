#include "browser/Browser.h"

#include "boxconfig/RegistryProfile.h"
#include "browser/BrowserDlg.h"

namespace {

// The modeless window's keyboard: the owner's modal loop does not call
// IsDialogMessage for it, so a message hook of the thread does.
HWND g_modeless = nullptr;
HHOOK g_hook = nullptr;

LRESULT CALLBACK DialogKeysHook(int code, WPARAM wp, LPARAM lp)
{
    if (code >= 0 && wp == PM_REMOVE) {
        MSG* msg = reinterpret_cast<MSG*>(lp);
        if (g_modeless && IsWindow(g_modeless) && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST &&
            (msg->hwnd == g_modeless || IsChild(g_modeless, msg->hwnd)) && IsDialogMessageA(g_modeless, msg)) {
            msg->message = WM_NULL;
            msg->wParam = 0;
            msg->lParam = 0;
        }
    }
    return CallNextHookEx(g_hook, code, wp, lp);
}

}  // namespace

INT_PTR RunBrowser(HINSTANCE instance, HWND owner, const std::string& boxName, int port)
{
    CBrowserDlg dialog(SuiteProfile(), boxName, port);
    return dialog.DoModal(owner, instance);
}

CBrowserWindow::CBrowserWindow() = default;

CBrowserWindow::~CBrowserWindow()
{
    Destroy();
}

bool CBrowserWindow::Open(HINSTANCE instance, HWND owner, const std::string& boxName, int port)
{
    Destroy();
    m_dialog.reset(new CBrowserDlg(SuiteProfile(), boxName, port));
    HWND hwnd = m_dialog->Create(owner, instance);
    if (!hwnd) {
        m_dialog.reset();
        return false;
    }
    g_modeless = hwnd;
    if (!g_hook)
        g_hook = SetWindowsHookExA(WH_GETMESSAGE, DialogKeysHook, nullptr, GetCurrentThreadId());
    ShowWindow(hwnd, SW_SHOW);
    return true;
}

void CBrowserWindow::Destroy()
{
    if (!m_dialog)
        return;
    if (m_dialog->Handle())
        DestroyWindow(m_dialog->Handle());
    m_dialog.reset();
    g_modeless = nullptr;
    if (g_hook) {
        UnhookWindowsHookEx(g_hook);
        g_hook = nullptr;
    }
}

HWND CBrowserWindow::Handle() const
{
    return m_dialog ? m_dialog->Handle() : nullptr;
}
