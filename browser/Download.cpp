#include <winsock2.h>

#include "browser/Download.h"

#include <commctrl.h>

#include <cstdio>

#include "boxconfig/SuiteNames.h"
#include "browser/BrowserRules.h"
#include "browser/DownloadRules.h"
#include "browser/ReplaceDlg.h"
#include "browser/SessionTransfer.h"
#include "browser/SftpWorkers.h"
#include "browser/resource.h"
#include "ftp/FtpClient.h"
#include "ftp/LineEnds.h"
#ifdef SUITE_HAVE_SFTP
#include "ftp/SftpClient.h"
#endif
#include "win/CodePages.h"
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

// The frame's failure message, shown while the gate is still held (or on
// the window thread, starting a box).
bool Fail(CBrowserSession& s, const std::string& message)
{
    if (!s.Closing())
        MessageBoxA(s.window, message.c_str(), SuiteTitle, MB_OK | MB_ICONEXCLAMATION);
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

// The local file a download goes to, once its name is safe and the user
// lets an existing one be replaced; false otherwise.
bool PrepareDownload(CBrowserSession& s, const Command& command, std::string* local)
{
    const std::string name = ShownName(command.name);
    // Checked first: nothing of such a name reaches the disk or the server.
    if (!IsSafeLocalName(name))
        return Fail(s, UnsafeNameMessage(name));
    *local = LocalDownloadPath(command.target, name);
    return MayReplace(s, *local);
}

}  // namespace

bool DownloadFile(CBrowserSession& s, CFtpClient& ftp, const Command& command)
{
    // The server's bytes go back in RETR; the local file and every message
    // take the name as shown.
    const std::string name = ShownName(command.name);
    std::string local;
    if (!PrepareDownload(s, command, &local))
        return false;
    // The file comes in under a name of its own and takes the real one only
    // once it is whole: until then a file it replaces stays as it was.
    const std::string partial = PartialDownloadPath(local);

    ftp.SendCommand(s.Control(), CommandLine("TYPE", IsTextName(name) ? "A" : "I").c_str());
    SetStatus(s, "Establishing data channel.  Please wait...");
    CSessionTransferObserver observer(s);
    CTransfer transfer(ftp, s.Control(), &observer, DataModeOf(s));
    const char* refused = "Unable to download the requested file";
    if (!transfer.OpenDataPort())
        return Fail(s, TransferFailure(s, transfer.Result(), refused));
    SetStatus(s, "Downloading " + name + ".  Please wait...");
    uint64_t received = 0;
    bool receiving = false;
    const TransferResult result = transfer.Download(CommandLine("RETR", command.name), partial.c_str(), [&](size_t count) {
        receiving = true;
        received += count;
        SetProgress(s, ProgressPosition(received, command.size));
    });
    std::string failure = TransferFailure(s, result, refused);
    if (failure.empty() && result.outcome != TransferResult::Abandoned &&
        !MoveFileExA(partial.c_str(), local.c_str(), MOVEFILE_REPLACE_EXISTING))
        failure = "Unable to write the file on this computer";
    if (failure.empty() && result.outcome != TransferResult::Abandoned) {
        if (command.copy)
            command.copy->Arrived(name);
        SetStatus(s, "Download completed");
        SetProgress(s, 0);
        return true;
    }
    // Once the data flowed, the partial file goes; one that could not even
    // be created was never there.
    const bool reachedFile = result.step == TransferStep::Data || result.step == TransferStep::Completion;
    const bool touched = reachedFile && (receiving || result.outcome != TransferResult::LocalFile);
    const bool removed = DeleteFileA(partial.c_str()) || !FileExists(partial);
    if (result.outcome == TransferResult::Abandoned)
        return false;
    Fail(s, touched ? CutDownloadMessage(failure, name, removed) : failure);
    SetProgress(s, 0);  // only once the message is dismissed
    return false;
}

#ifdef SUITE_HAVE_SFTP
bool SftpDownloadFile(CBrowserSession& s, const Command& command)
{
    const std::string name = ShownName(command.name);
    std::string local;
    if (!PrepareDownload(s, command, &local))
        return false;
    // As over FTP: whole under a name of its own first, then the real name.
    const std::string partial = PartialDownloadPath(local);
    SetStatus(s, "Downloading " + name + ".  Please wait...");
    std::FILE* out = std::fopen(partial.c_str(), "wb");
    if (!out)
        return Fail(s, "Unable to download the requested file");
    // SFTP has no TYPE A: a text file gets the CR LF line ends FTP brings.
    const bool text = IsTextName(name);
    bool afterCr = false;
    uint64_t received = 0;
    const bool read = s.sftp->ReadFile(SftpPathOf(s, command.name), [&](const char* data, size_t length) {
        const std::string crlf = text ? CrLfLineEnds(data, length, afterCr) : std::string();
        const char* bytes = text ? crlf.data() : data;
        const size_t count = text ? crlf.size() : length;
        if (std::fwrite(bytes, 1, count, out) != count)
            return false;
        received += length;
        SetProgress(s, ProgressPosition(received, command.size));
        return !s.Closing();
    });
    const bool written = std::fclose(out) == 0;
    if (read && written && MoveFileExA(partial.c_str(), local.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        if (command.copy)
            command.copy->Arrived(name);
        SetStatus(s, "Download completed");
        SetProgress(s, 0);
        return true;
    }
    const bool removed = DeleteFileA(partial.c_str()) || !FileExists(partial);
    if (s.Closing())
        return false;
    Fail(s, received ? CutDownloadMessage("Unable to receive data from the FTP host", name, removed)
                     : "Unable to download the requested file");
    SetProgress(s, 0);
    return false;
}
#endif

void StartNextBox(CBrowserSession& s)
{
    std::string box;
    std::shared_ptr<CCopyFiles> files;
    if (s.Closing() || !s.boxQueue.TakeFront(box, files))
        return;
    const std::vector<std::string> missing = files->Names(false);
    if (!missing.empty() && files->TakeReport())
        Fail(s, NotCopiedMessage(missing));
    const std::vector<std::string> arrived = files->Names(true);
    if (arrived.empty()) {
        s.boxQueue.Drop(files);  // nothing to pass on: the copy is over
        return;
    }
    StartCommandLine(CopyEngineCommand(ProgramFolder(), box, files->Target(), arrived));
}
