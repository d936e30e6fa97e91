// CSenderDlg: the boxes to send the command tail to.
#pragma once

#include <windows.h>

#include <string>

#include "win/Dialog.h"
#include "win/HelpFile.h"
#include "win/ProgramIcon.h"

class CSenderDlg : public CDialog {
public:
    explicit CSenderDlg(std::string commandTail);

protected:
    BOOL OnInit() override;
    void OnOK() override;
    void OnHelp(DWORD context) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;

private:
    void StartBox(const std::string& programFolder, int index);

    std::string m_commandTail;
    CProgramIcon m_icon;
    CHelpFile m_help{"sendora.chm"};
    // The directory fill's file names, index-aligned with the box list.
    HWND m_scratch = nullptr;
};
