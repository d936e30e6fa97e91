// "More Options": the transfer and connection options of the box. It writes nothing
// itself: OK hands the choices to the run's pending options, which the main
// dialog's save writes.
#pragma once

#include "boxconfig/Profile.h"
#include "manager/ManagerState.h"
#include "win/Dialog.h"
#include "win/HelpFile.h"

class CMoreOptionsDlg : public CDialog {
public:
    CMoreOptionsDlg(ManagerState& state, CProfile& profile);

    // Radio numbers are button positions, -1 when a group has none checked.
    // OnInit fills them from the stored options and the pending port.
    int TransferMode = 0;
    int NameCase = 0;
    int ExtensionRule = 0;
    int Erase = 0;
    int Port = 0;
    int Passive = 0;  // 0 or 1, as the check boxes
    int Tls = 0;
    int Sftp = 0;
    int Timeout = 0;     // seconds, 0 for no limit
    int TempUpload = 0;  // 0 or 1

protected:
    BOOL OnInit() override;
    void OnOK() override;
    void OnHelp(DWORD context) override;
    bool OnCommand(int code, int id, HWND control) override;

private:
    // SFTP has no passive mode or TLS of FTP's: those are greyed for it.
    void ShowProtocol(bool sftp);
    // Taking the fields: 0, or the edit control whose text is no integer.
    int Exchange(bool save);
    // Focuses the field, its text selected, after its refusal.
    void Refuse(int field, const char* text);

    ManagerState& m_state;
    CProfile& m_profile;
    CHelpFile m_help{"sendora.chm"};
};
