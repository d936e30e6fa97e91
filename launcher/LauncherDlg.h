// CLauncherDlg: every box, a double-click opening its remote browser.
#pragma once

#include <windows.h>

#include "win/Dialog.h"
#include "win/ProgramIcon.h"

class CLauncherDlg : public CDialog {
public:
    CLauncherDlg();

protected:
    BOOL OnInit() override;
    bool OnCommand(int code, int id, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;

private:
    void ListBoxes();
    void OpenBrowser();

    CProgramIcon m_icon;
};
