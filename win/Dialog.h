// A dialog is a thin skin over its HWND: a static procedure finds the object
// (kept in the dialog's DWLP_USER slot from WM_INITDIALOG on) and hands each
// message to a small set of virtual handlers.
#pragma once

#include <windows.h>

#include <string>

// The whole text of a window or control, however long.
std::string WindowText(HWND window);

class CDialog {
public:
    explicit CDialog(UINT templateId) : m_templateId(templateId) {}
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    INT_PTR DoModal(HWND owner, HINSTANCE instance = nullptr);
    // Modeless: the caller runs the message loop (with IsDialogMessage).
    HWND Create(HWND owner, HINSTANCE instance = nullptr);

    HWND Handle() const { return m_hwnd; }
    HWND Item(int id) const { return GetDlgItem(m_hwnd, id); }
    std::string GetItemText(int id) const { return WindowText(Item(id)); }
    void SetItemText(int id, const std::string& text) const { SetDlgItemTextA(m_hwnd, id, text.c_str()); }
    void ShowItem(int id, bool show) const { ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE); }

protected:
    // Return TRUE to let the system set the focus.
    virtual BOOL OnInit() { return TRUE; }
    // Return true when handled.
    virtual bool OnCommand(int code, int id, HWND control);
    virtual bool OnNotify(NMHDR*) { return false; }
    virtual void OnTimer(UINT_PTR) {}
    virtual void OnOK() { End(IDOK); }
    virtual void OnCancel() { End(IDCANCEL); }
    // F1 and the Help buttons: the help topic of this window (context 0),
    // or of a question it asked (a context of MsgBox.h).
    virtual void OnHelp(DWORD) {}
    // Anything else; return true when handled (result in result).
    virtual bool OnMessage(UINT, WPARAM, LPARAM, INT_PTR& result)
    {
        (void)result;
        return false;
    }

    // Ends a modal dialog, or destroys a modeless one.
    void End(INT_PTR result);

    HWND m_hwnd = nullptr;

private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR Dispatch(UINT msg, WPARAM wp, LPARAM lp);

    UINT m_templateId;
    bool m_modal = false;
    // The window whose help request with a context came last: Wine's message
    // box passes the same request on once more without it.
    HANDLE m_contextHelpFrom = nullptr;
};
