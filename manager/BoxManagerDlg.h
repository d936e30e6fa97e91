// "FTP Sendora Manager": one box's connection settings, with the ways to its
// options, to saving and deleting it, and to a further manager.
#pragma once

#include <string>

#include "boxconfig/Profile.h"
#include "browser/Browser.h"
#include "manager/ManagerState.h"
#include "res/art_ids.h"
#include "win/Dialog.h"
#include "win/HelpFile.h"
#include "win/ProgramIcon.h"

class CBoxManagerDlg : public CDialog {
public:
    CBoxManagerDlg(ManagerState& state, CProfile& profile);

    // The dialog's entries, exchanged with the controls in one pass.
    std::string UserId;
    std::string Password;
    std::string Account;
    int Anonymous = 0;
    int GeoCities = 0;
    std::string Alias;
    std::string HostName;
    std::string Directory;

protected:
    BOOL OnInit() override;
    bool OnCommand(int code, int id, HWND control) override;
    void OnOK() override;
    void OnCancel() override;
    void OnHelp(DWORD context) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;

private:
    void Exchange(bool save);
    void LoadBox();
    void OnAnonymous();
    void OnGeoCities();
    void SaveBox(const std::string& box);
    // The longest box name the suite's folder and the shortcut folders allow.
    size_t LongestName() const;
    void DeleteBox();
    void Close(INT_PTR result);
    void Enable(int id, bool enabled) const { EnableWindow(Item(id), enabled ? TRUE : FALSE); }
    // As the dialog manager moves the focus: an edit's text comes selected.
    void FocusItem(int id) const { SendMessageA(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE); }

    ManagerState& m_state;
    CProfile& m_profile;
    CProgramIcon m_icon{IDI_SNDMGR};
    CHelpFile m_help{"sendora.chm"};
    CBrowserWindow m_browser;  // opened by "&FTP Fetchora..."
};
