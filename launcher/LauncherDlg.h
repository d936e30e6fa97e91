// CLauncherDlg: every box, a double-click opening its remote browser.
#pragma once

#include <windows.h>

#include "win/Dialog.h"
#include "win/HelpFile.h"
#include "win/ProgramIcon.h"

class CLauncherDlg : public CDialog {
public:
    CLauncherDlg();

protected:
    BOOL OnInit() override;
    bool OnCommand(int code, int id, HWND control) override;
    void OnHelp(DWORD context) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;

private:
    // Lists the boxes and, when there is none, asks whether to create one.
    void ListBoxes();
    // Empties the list and fills it from the Boxes folder; gives the count.
    int FillBoxList();
    void OpenBrowser();

    CProgramIcon m_icon;
    CHelpFile m_help{"sendora.chm"};
};
