// The remote browser "FTP Fetchora" as SndMgr opens it: for one box, on the
// port the manager holds for it (PendingOptions.Port). The browser reads the
// box's settings itself and starts and stops Windows Sockets with its window.
// The program's .rc must #include "browser/Browser.rc".
#pragma once

#include <windows.h>

#include <memory>
#include <string>

// Runs the window modally (owner may be null: then it is the program's main
// window) and returns when it closes. For "SndMgr <box>\r".
INT_PTR RunBrowser(HINSTANCE instance, HWND owner, const std::string& boxName, int port);

class CBrowserDlg;

// The window as the manager's "&FTP Fetchora..." button opens it: modeless,
// owned by the manager's dialog. Open destroys a window opened before; the
// object's end destroys the window too. Keyboard navigation works inside the
// owner's modal loop.
class CBrowserWindow {
public:
    CBrowserWindow();
    ~CBrowserWindow();
    CBrowserWindow(const CBrowserWindow&) = delete;
    CBrowserWindow& operator=(const CBrowserWindow&) = delete;

    bool Open(HINSTANCE instance, HWND owner, const std::string& boxName, int port);
    void Destroy();
    // The open window, or null (never opened, destroyed, or closed by the user).
    HWND Handle() const;

private:
    std::unique_ptr<CBrowserDlg> m_dialog;
};
