#include "manager/BoxManagerDlg.h"

#include <commctrl.h>

#include "boxconfig/SuiteNames.h"
#include "ftp/CommandText.h"
#include "manager/BoxRecord.h"
#include "manager/BoxRules.h"
#include "manager/MoreOptionsDlg.h"
#include "manager/resource.h"
#include "shell/BoxFiles.h"
#include "shell/ShellFolders.h"
#include "win/MsgBox.h"
#include "win/ProgramIcon.h"
#include "win/Process.h"

namespace {

constexpr char AnonymousUser[] = "anonymous";
constexpr char GuestPassword[] = "guest@sendora.invalid";
constexpr char GeoCitiesAlias[] = "GeoCities";
constexpr char GeoCitiesHost[] = "ftp.geocities.com";

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUT) {}
};

std::string Replace(const char* format, const std::string& name)
{
    std::string text = format;
    text.replace(text.find("%s"), 2, name);
    return text;
}

}  // namespace

CBoxManagerDlg::CBoxManagerDlg(ManagerState& state, CProfile& profile)
    : CDialog(IDD_BOX_MANAGER),
      m_state(state),
      m_profile(profile)
{
}

void CBoxManagerDlg::Exchange(bool save)
{
    auto text = [&](int id, std::string& field) {
        if (save)
            field = GetItemText(id);
        else
            SetItemText(id, field);
    };
    auto check = [&](int id, int& field) {
        if (save)
            field = IsDlgButtonChecked(m_hwnd, id) == BST_CHECKED ? 1 : 0;
        else
            CheckDlgButton(m_hwnd, id, field ? BST_CHECKED : BST_UNCHECKED);
    };
    text(IDC_MANAGER_USER_ID, UserId);
    text(IDC_MANAGER_PASSWORD, Password);
    text(IDC_MANAGER_ACCOUNT, Account);
    check(IDC_MANAGER_ANONYMOUS, Anonymous);
    check(IDC_MANAGER_GEOCITIES, GeoCities);
    text(IDC_MANAGER_ALIAS, Alias);
    text(IDC_MANAGER_HOST_NAME, HostName);
    text(IDC_MANAGER_DIRECTORY, Directory);
}

BOOL CBoxManagerDlg::OnInit()
{
    // A password of any length is kept: lift the edits' default limit.
    SendDlgItemMessageA(m_hwnd, IDC_MANAGER_PASSWORD, EM_SETLIMITTEXT, 0, 0);
    Exchange(false);

    AppendSystemMenuEntry(m_hwnd, IDM_ABOUTBOX, "&About FTP Sendora...");
    m_icon.Apply(m_hwnd);

    if (m_state.CurrentBoxName.empty()) {
        Enable(IDC_MANAGER_DELETE, false);
        Enable(IDC_MANAGER_NEW, false);
        Enable(IDC_MANAGER_FETCHORA, false);
    }
    LoadBox();
    return TRUE;
}

void CBoxManagerDlg::LoadBox()
{
    const BoxEntries stored = ReadBoxEntries(m_profile, m_state.CurrentBoxName, UserPasswordSeal());
    UserId = stored.UserId;
    // Only this exact spelling is the preset's; "Anonymous" is a user's own.
    if (UserId == AnonymousUser) {
        Enable(IDC_MANAGER_USER_ID, false);
        Enable(IDC_MANAGER_ACCOUNT, false);
        Anonymous = 1;
    }
    GeoCities = stored.GeoCities;
    if (GeoCities != 0) {
        Anonymous = 1;
        Enable(IDC_MANAGER_ANONYMOUS, false);
    }
    Account = stored.Account;
    HostName = stored.HostName;
    Alias = m_state.CurrentBoxName;
    Directory = stored.Directory;
    Password = stored.Password;
    Exchange(false);
}

void CBoxManagerDlg::OnHelp(DWORD)
{
    m_help.Open(m_hwnd, SuiteTitle, "box.htm");
}

bool CBoxManagerDlg::OnCommand(int code, int id, HWND control)
{
    switch (id) {
    case IDC_MANAGER_ANONYMOUS:
        if (code == BN_CLICKED)
            OnAnonymous();
        return true;
    case IDC_MANAGER_GEOCITIES:
        if (code == BN_CLICKED)
            OnGeoCities();
        return true;
    case IDC_MANAGER_MORE_OPTIONS: {
        CMoreOptionsDlg options(m_state, m_profile);
        options.DoModal(m_hwnd);
        return true;
    }
    case IDC_MANAGER_DELETE:
        DeleteBox();
        return true;
    case IDC_MANAGER_NEW:
        StartCommandLine("SndMgr.exe");
        return true;
    case IDC_MANAGER_FETCHORA:
        m_browser.Open(GetModuleHandleA(nullptr), m_hwnd, m_state.CurrentBoxName, m_state.PendingOptions.Port);
        return true;
    default:
        return CDialog::OnCommand(code, id, control);
    }
}

void CBoxManagerDlg::OnAnonymous()
{
    Exchange(true);
    if (Anonymous) {
        UserId = AnonymousUser;
        Password = GuestPassword;
        GeoCities = 0;
        Exchange(false);
        Enable(IDC_MANAGER_USER_ID, false);
        Enable(IDC_MANAGER_ACCOUNT, false);
        Enable(IDC_MANAGER_GEOCITIES, false);
    } else {
        UserId.clear();
        Password.clear();
        Exchange(false);
        Enable(IDC_MANAGER_USER_ID, true);
        Enable(IDC_MANAGER_PASSWORD, true);
        Enable(IDC_MANAGER_ACCOUNT, true);
        Enable(IDC_MANAGER_GEOCITIES, true);
        FocusItem(IDC_MANAGER_USER_ID);
    }
}

void CBoxManagerDlg::OnGeoCities()
{
    Exchange(true);
    // The user's own User ID and Password stay in both directions.
    if (GeoCities) {
        Anonymous = 1;
        Alias = GeoCitiesAlias;
        HostName = GeoCitiesHost;
        Directory.clear();
    } else {
        Anonymous = 0;
        Alias.clear();
        HostName.clear();
        Directory.clear();
    }
    Exchange(false);
    Enable(IDC_MANAGER_ANONYMOUS, !GeoCities);
}

void CBoxManagerDlg::OnOK()
{
    Exchange(true);
    if (const char* missing = MissingLogonEntry(UserId, Password, HostName)) {
        ShowFailure(m_hwnd, missing, SuiteTitle);
        return;
    }
    // These travel to the server in command lines, where a line break would
    // start a second command.
    const struct {
        const std::string& text;
        const char* name;
        int control;
    } sent[] = {{UserId, "User ID", IDC_MANAGER_USER_ID},
                {Password, "Password", IDC_MANAGER_PASSWORD},
                {Account, "Account", IDC_MANAGER_ACCOUNT},
                {Directory, "Directory", IDC_MANAGER_DIRECTORY}};
    for (const auto& entry : sent)
        if (!IsSendableArgument(entry.text)) {
            ShowFailure(m_hwnd, std::string("The ") + entry.name + " cannot contain a line break.", SuiteTitle);
            FocusItem(entry.control);
            return;
        }
    Alias = BoxNameFor(Alias, HostName);
    // Before anything is written: the name becomes a key, a file and shortcuts.
    const std::string refusal = BoxNameRefusal(Alias, LongestName());
    if (!refusal.empty()) {
        SetItemText(IDC_MANAGER_ALIAS, Alias);
        ShowFailure(m_hwnd, refusal, SuiteTitle);
        FocusItem(IDC_MANAGER_ALIAS);
        return;
    }
    // Another box of that name (the registry and the file system ignore the
    // case) would lose its settings, engine copy and shortcuts.
    std::string existing;
    if (CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, Alias.c_str(), -1, m_state.CurrentBoxName.c_str(), -1) !=
            CSTR_EQUAL &&
        FindBox(m_profile, CurrentDirectory(), Alias, existing) &&
        !AskYesNo(m_hwnd, Replace("A box named %s already exists. Replace it?", existing), SuiteTitle))
        return;
    SaveBox(Alias);
}

size_t CBoxManagerDlg::LongestName() const
{
    return LongestBoxName(CurrentDirectory(), m_state.DesktopFolder, m_state.SendToFolder);
}

void CBoxManagerDlg::SaveBox(const std::string& box)
{
    BoxEntries entries;
    entries.UserId = UserId;
    entries.Password = Password;
    entries.Account = Account;
    entries.GeoCities = GeoCities;
    entries.HostName = HostName;
    entries.Directory = Directory;
    WriteBoxEntries(m_profile, box, entries, m_state.PendingOptions, UserPasswordSeal());

    const std::string cwd = CurrentDirectory();
    const std::string engine = BoxEnginePath(cwd, box);
    if (const DWORD error = CopyEngine(cwd, box)) {
        // Settings and shortcuts still follow, but without its engine the box
        // sends nothing: the user must hear of it.
        ShowFailure(m_hwnd,
                    "The box \"" + box + "\" has no up-to-date engine: copying\n" + cwd + "\\Sendora.exe\nto\n" +
                        engine + "\nfailed (" + ErrorText(error) +
                        ").\n\nThe box's settings are saved, but its engine is "
                        "missing or out of date until this copy succeeds. Save the box again "
                        "once Sendora.exe is in " +
                        cwd + " and the box is not sending.",
                    SuiteTitle);
    }

    ComScope com;
    CreateShortcut(engine, m_state.DesktopFolder, box, SuiteTitle);
    CreateShortcut(engine, m_state.SendToFolder, box, SuiteTitle);
    ShowInfo(m_hwnd, Replace("%s has been created", box), SuiteTitle);
    NotifyLauncher();
    Close(IDOK);
}

void CBoxManagerDlg::DeleteBox()
{
    // The box the manager was started for, whatever the Alias shows now.
    const std::string& box = m_state.CurrentBoxName;
    // A name no box can have ("..\\Sendora") would aim the deletions at
    // files outside the Boxes folder.
    const std::string fault = BoxNameFault(box, LongestName());
    if (!fault.empty()) {
        ShowFailure(m_hwnd, "\"" + box + "\" cannot be the name of a box, so nothing is deleted: " + fault,
                    SuiteTitle);
        return;
    }
    if (!AskYesNo(m_hwnd, Replace("Are you sure you want to delete %s?", box), SuiteTitle))
        return;
    const SuiteFolders folders = {CurrentDirectory(), m_state.DesktopFolder, m_state.SendToFolder};
    if (const DWORD error = RemoveBoxFiles(folders, box)) {
        // An engine that is sending right now stays behind, and the launcher
        // would go on listing the box.
        ShowFailure(m_hwnd,
                    "The engine of the box \"" + box + "\",\n" + BoxEnginePath(folders.program, box) +
                        "\ncould not be deleted (" + ErrorText(error) +
                        ").\n\nIt may be sending files right now; delete it by hand once it "
                        "has finished.",
                    SuiteTitle);
    }
    m_profile.DeleteSection(box);
    ShowInfo(m_hwnd, Replace("%s has been deleted", box), SuiteTitle);
    NotifyLauncher();
    Close(IDCANCEL);
}

void CBoxManagerDlg::OnCancel()
{
    Close(IDCANCEL);
}

void CBoxManagerDlg::Close(INT_PTR result)
{
    m_help.Close();
    m_browser.Destroy();
    End(result);
}

bool CBoxManagerDlg::OnMessage(UINT msg, WPARAM wp, LPARAM, INT_PTR& result)
{
    if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal(m_hwnd);
        result = 0;
        return true;
    }
    if (msg == WM_PAINT && IsIconic(m_hwnd)) {
        m_icon.PaintMinimised(m_hwnd);
        result = 0;
        return true;
    }
    if (msg == WM_QUERYDRAGICON) {
        result = m_icon.DragImage();
        return true;
    }
    return false;
}
