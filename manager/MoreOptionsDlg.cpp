#include "manager/MoreOptionsDlg.h"

#include <string>

#include "boxconfig/SuiteNames.h"
#include "manager/BoxRecord.h"
#include "manager/BoxRules.h"
#include "manager/resource.h"
#include "win/MsgBox.h"

CMoreOptionsDlg::CMoreOptionsDlg(ManagerState& state, CProfile& profile)
    : CDialog(IDD_MORE_OPTIONS),
      m_state(state),
      m_profile(profile)
{
}

int CMoreOptionsDlg::Exchange(bool save)
{
    auto radio = [&](int first, int& field) {
        if (save) {
            field = -1;
            for (int i = 0; i < 3; ++i)
                if (IsDlgButtonChecked(m_hwnd, first + i) == BST_CHECKED)
                    field = i;
            return;
        }
        const int shown = RadioForStored(field, 3);
        for (int i = 0; i < 3; ++i)
            CheckDlgButton(m_hwnd, first + i, i == shown ? BST_CHECKED : BST_UNCHECKED);
    };
    radio(IDC_OPTIONS_ASCII, TransferMode);
    radio(IDC_OPTIONS_LOWERCASE, NameCase);
    radio(IDC_OPTIONS_HTM_TO_HTML, ExtensionRule);
    auto check = [&](int id, int& field) {
        if (save)
            field = IsDlgButtonChecked(m_hwnd, id) == BST_CHECKED ? 1 : 0;
        else
            CheckDlgButton(m_hwnd, id, field != 0 ? BST_CHECKED : BST_UNCHECKED);
    };
    check(IDC_OPTIONS_PASSIVE, Passive);
    check(IDC_OPTIONS_TLS, Tls);
    check(IDC_OPTIONS_SFTP, Sftp);
    check(IDC_OPTIONS_TEMP_UPLOAD, TempUpload);
    if (save) {
        Erase = IsDlgButtonChecked(m_hwnd, IDC_OPTIONS_ERASE) == BST_CHECKED ? 1 : 0;
        if (!ParseIntegerText(GetItemText(IDC_OPTIONS_PORT), Port))
            return IDC_OPTIONS_PORT;
        return ParseIntegerText(GetItemText(IDC_OPTIONS_TIMEOUT), Timeout) ? 0 : IDC_OPTIONS_TIMEOUT;
    }
    CheckDlgButton(m_hwnd, IDC_OPTIONS_ERASE, EraseCheckForStored(Erase) ? BST_CHECKED : BST_UNCHECKED);
    SetItemText(IDC_OPTIONS_PORT, std::to_string(Port));
    SetItemText(IDC_OPTIONS_TIMEOUT, std::to_string(Timeout));
    return 0;
}

BOOL CMoreOptionsDlg::OnInit()
{
    // The stored choices, always from the registry; the port is the pending one.
    BoxOptions stored;
    ReadStoredOptions(m_profile, m_state.CurrentBoxName, stored);
    TransferMode = stored.TransferMode;
    NameCase = stored.NameCase;
    ExtensionRule = stored.ExtensionRule;
    Erase = stored.Erase;
    Passive = stored.Passive;
    Tls = stored.Tls;
    Sftp = stored.Sftp;
    Timeout = stored.Timeout;
    TempUpload = stored.TempUpload;
    Port = m_state.PendingOptions.Port;
    Exchange(false);
    ShowProtocol(Sftp != 0);
    return TRUE;
}

bool CMoreOptionsDlg::OnCommand(int code, int id, HWND control)
{
    if (id == IDC_OPTIONS_SFTP && code == BN_CLICKED) {
        const bool sftp = IsDlgButtonChecked(m_hwnd, IDC_OPTIONS_SFTP) == BST_CHECKED;
        // Only the protocol's own default port follows the choice; a port
        // the user set stays.
        const std::string port = GetItemText(IDC_OPTIONS_PORT);
        if (port == (sftp ? "21" : "22"))
            SetItemText(IDC_OPTIONS_PORT, sftp ? "22" : "21");
        ShowProtocol(sftp);
        return true;
    }
    return CDialog::OnCommand(code, id, control);
}

void CMoreOptionsDlg::ShowProtocol(bool sftp)
{
    EnableWindow(Item(IDC_OPTIONS_PASSIVE), !sftp);
    EnableWindow(Item(IDC_OPTIONS_TLS), !sftp);
}

void CMoreOptionsDlg::OnOK()
{
    const int notInteger = Exchange(true);
    if (notInteger != 0)
        return Refuse(notInteger, "Please enter an integer.");
    // A port kept to 16 bits would reach some other service.
    if (!IsValidPort(Port))
        return Refuse(IDC_OPTIONS_PORT, "Please enter a port from 1 to 65535.");
    if (Timeout < 0 || Timeout > MaxTimeout)
        return Refuse(IDC_OPTIONS_TIMEOUT, "Please enter a time limit from 0 to 3600 seconds (0: no limit).");
    BoxOptions& pending = m_state.PendingOptions;
    pending.TransferMode = TransferMode;
    pending.NameCase = NameCase;
    pending.ExtensionRule = ExtensionRule;
    pending.Erase = Erase;
    pending.Port = Port;
    pending.Passive = Passive;
    pending.Tls = Tls;
    pending.Sftp = Sftp;
    pending.Timeout = Timeout;
    pending.TempUpload = TempUpload;
    pending.Confirmed = true;
    End(IDOK);
}

void CMoreOptionsDlg::OnHelp(DWORD)
{
    m_help.Open(m_hwnd, kSuiteTitle, "options.htm");
}

void CMoreOptionsDlg::Refuse(int field, const char* text)
{
    ShowFailure(m_hwnd, text, kSuiteTitle);
    // The dialog manager's way of moving the focus also selects the text.
    SendMessageA(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(field)), TRUE);
}
