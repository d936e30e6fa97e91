#include <winsock2.h>

#include "browser/Download.h"

#include <commctrl.h>

#include "boxconfig/SuiteNames.h"
#include "browser/BrowserList.h"
#include "browser/BrowserRules.h"
#include "browser/DownloadRules.h"
#include "browser/ReplaceDlg.h"
#include "browser/resource.h"
#include "ftp/FtpClient.h"
#include "win/Dialog.h"
#include "win/ModulePath.h"
#include "win/Process.h"

namespace {

void SetStatus(CBrowserSession& s, const std::string& text)
{
    if (!s.Closing())
        SetWindowTextA(s.status, text.c_str());
}

void SetProgress(CBrowserSession& s, int position)
{
    if (!s.Closing())
        SendDlgItemMessageA(s.window, IDC_BROWSER_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

// The frame's failure message, shown while the gate is still held.
bool Fail(CBrowserSession& s, const std::string& message)
{
    if (!s.Closing())
        MessageBoxA(s.window, message.c_str(), kSuiteTitle, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// False: the user keeps the existing file (or the window is closing).
bool MayReplace(CBrowserSession& s, const std::string& local)
{
    if (s.yesToAll || !FileExists(local))
        return true;
    CReplaceDlg prompt(local);
    const CReplaceDlg::Answer answer = prompt.Ask(s.window);
    if (s.Closing() || answer == CReplaceDlg::No)
        return false;
    if (answer == CReplaceDlg::YesToAll)
        s.yesToAll = true;
    return true;
}

}  // namespace

bool DownloadFile(CBrowserSession& s, CFtpClient& ftp, const Command& command)
{
    const std::string& name = command.name;
    // Checked first: nothing of such a name reaches the disk or the server.
    if (!IsSafeLocalName(name))
        return Fail(s, UnsafeNameMessage(name));
    const std::string local = LocalDownloadPath(command.target, name);
    if (!MayReplace(s, local))
        return false;

    ftp.SendCommand(s.Control(), CommandLine("TYPE", IsTextName(name) ? "A" : "I").c_str());
    SetStatus(s, "Establishing data channel.  Please wait...");
    CSessionTransferObserver observer(s);
    CTransfer transfer(ftp, s.Control(), &observer, DataModeOf(s));
    const char* refused = "Unable to download the requested file";
    if (!transfer.OpenDataPort())
        return Fail(s, TransferFailure(transfer.Result(), refused));
    SetStatus(s, "Downloading " + name + ".  Please wait...");
    uint64_t received = 0;
    const TransferResult result = transfer.Download(CommandLine("RETR", name), local.c_str(), [&](size_t count) {
        received += count;
        SetProgress(s, ProgressPosition(received, command.size));
    });
    if (result.outcome == TransferResult::Abandoned)
        return false;
    const std::string failure = TransferFailure(result, refused);
    if (!failure.empty()) {
        Fail(s, failure);
        SetProgress(s, 0);  // only once the message is dismissed
        return false;
    }
    SetStatus(s, "Download completed");
    SetProgress(s, 0);
    return true;
}

void StartNextBox(CBrowserSession& s)
{
    std::string box;
    if (s.Closing() || !s.boxQueue.TakeFront(box))
        return;
    const std::vector<int> rows = SelectedRows(s.list);
    if (rows.empty())
        return;  // the box is dropped
    std::vector<std::string> names;
    for (int row : rows)
        names.push_back(ListText(s.list, row, ColumnName));
    const std::string target = WindowText(GetDlgItem(s.window, IDC_BROWSER_TARGET));
    StartCommandLine(CopyEngineCommand(ProgramFolder(), box, target, names));
}
