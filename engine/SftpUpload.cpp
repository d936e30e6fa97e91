#include "engine/SftpUpload.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>

#include "boxconfig/BoxSettings.h"
#include "boxconfig/StoredPassword.h"
#include "boxconfig/SuiteNames.h"
#include "engine/ProgressDlg.h"
#include "engine/TransferRules.h"
#include "engine/UploadSession.h"
#include "ftp/LineEnds.h"
#include "win/MsgBox.h"

#ifdef SUITE_HAVE_SFTP
#include "ftp/SftpSession.h"

namespace {

CBoxSettings Settings(UploadSession& s)
{
    return CBoxSettings(*s.runProfile, s.boxName, BoxReader::Engine);
}

std::string Below(const std::string& folder, const std::string& name)
{
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Gives the file's bytes as they go to the server, never more than the size
// taken when it was opened (as over FTP), with LF line ends for a text file.
// Runs dry at once when the run is cancelled.
class CFileSource {
public:
    CFileSource(CInputFile& file, uint64_t size, bool text, const std::atomic<bool>& stop)
        : m_file(file), m_left(size), m_text(text), m_stop(stop)
    {
    }

    long operator()(char* buffer, size_t capacity)
    {
        if (m_stop)
            return -1;
        if (m_left == 0) {
            if (!m_heldCr)
                return 0;
            m_heldCr = false;
            buffer[0] = '\r';
            return 1;
        }
        // A converted piece is at most one longer than what was read.
        const size_t want = static_cast<size_t>(std::min<uint64_t>(m_left, capacity - (m_text ? 1 : 0)));
        const size_t got = m_file.Read(buffer, want);
        if (got == 0)
            return -1;  // shrunk, or unreadable
        m_left -= got;
        m_taken += got;
        if (!m_text)
            return static_cast<long>(got);
        const std::string lf = LfLineEnds(buffer, got, m_heldCr);
        lf.copy(buffer, lf.size());
        return static_cast<long>(lf.size());
    }
    uint64_t Taken() const { return m_taken; }

private:
    CInputFile& m_file;
    uint64_t m_left;
    uint64_t m_taken = 0;
    bool m_text;
    const std::atomic<bool>& m_stop;
    bool m_heldCr = false;
};

}  // namespace

void OpenSftp(UploadSession& s)
{
    const CBoxSettings settings = Settings(s);
    SftpSessionOptions options;
    options.host = settings.Text(BoxText::HostName);
    options.port = settings.Number(BoxNumber::Port);
    options.user = settings.Text(BoxText::UserId);
    options.password = ReadBoxPassword(*s.runProfile, s.boxName, BoxReader::Engine, UserPasswordSeal());
    options.storedKey = settings.Text(BoxText::HostKey);
    options.timeoutSeconds = settings.TimeLimit();
    SftpOpening opening;
    opening.trust = [&](const SftpHostKey& key, HostKeyVerdict verdict) {
        s.window->Flush();
        if (!AskYesNo(s.window->Handle(), HostKeyQuestion(key, options.host, verdict), SuiteTitle, HelpHostKeyQuestion, DefaultAnswer::No))
            return false;
        s.runProfile->WriteString(s.boxName, BoxValue::HostKey, key.fingerprint);
        return true;
    };
    s.sftp = std::make_shared<CSftpClient>();
    const SftpSessionResult opened = OpenSftpSession(*s.sftp, options, opening);
    switch (opened.failure) {
    case SftpFailure::None:
        break;
    case SftpFailure::Connect:
        EndRun(s, WithReason(NoConnection, opened.why));
    case SftpFailure::Untrusted:
        EndRun(s, HostKeyRefused);
    case SftpFailure::Logon:
        EndRun(s, WithReason(NoLogon, opened.why));
    }
    s.sftpLogin = s.sftpHere = opened.loginDirectory;
    s.window->AppendLog("SFTP session open in " + s.sftpLogin + "\r\n");
}

void SftpChangeToBoxDirectory(UploadSession& s)
{
    const BoxDirectory dir = ParseBoxDirectory(Settings(s).Text(BoxText::Directory));
    if (dir.kind == BoxDirectory::None)
        return;
    const std::string target =
        dir.kind == BoxDirectory::RelativeToLogin ? JoinRemoteDirectory(s.sftpLogin, dir.path) : dir.path;
    SftpEntry entry;
    if (!s.sftp->Stat(target, &entry) || !entry.folder)
        EndRun(s, NoDirectory);
    s.sftpHere = target;
}

bool SftpEnterFolder(UploadSession& s, const std::string& name)
{
    const std::string path = Below(s.sftpHere, name);
    s.sftp->MakeDirectory(path);  // may exist already
    SftpEntry entry;
    if (!s.sftp->Stat(path, &entry) || !entry.folder)
        return false;
    s.sftpHere = path;
    return true;
}

void SftpLeaveFolder(UploadSession& s)
{
    const size_t slash = s.sftpHere.find_last_of('/');
    if (slash != std::string::npos)
        s.sftpHere.erase(slash == 0 ? 1 : slash);
}

bool SftpStoreFile(UploadSession& s, CInputFile& file, const std::string& name, const TransferChoice& choice,
                   const std::string& remote, bool enterBoxDirectory)
{
    uint64_t size = 0;
    if (!file.Size(&size))
        return false;
    s.window->SetStatus("Preparing to send " + name + "...");
    s.window->ResetProgress();
    if (enterBoxDirectory)
        SftpChangeToBoxDirectory(s);

    s.window->SetStatus("Sending " + remote + "...");
    CFileSource source(file, size, choice.typeCommand == "TYPE A\r\n", s.cancelled);
    // One progress step per 1 KB block of the local file, as over FTP; an
    // empty file is one empty block.
    uint64_t shown = 0;
    auto progress = [&](uint64_t) {
        const uint64_t taken = source.Taken();
        do {
            shown = std::min<uint64_t>(shown + 1024, taken);
            s.window->ReportProgress(size, shown);
        } while (shown < taken);
    };
    // With "TempUpload" the file takes its real name only once it is whole,
    // as over FTP.
    const std::string path = Below(s.sftpHere, remote);
    const bool temporary = Settings(s).TempUpload();
    const std::string target = temporary ? Below(s.sftpHere, TemporaryUploadName(remote)) : path;
    s.temporaryInFlight = temporary;
    bool opened = false;
    const bool written = s.sftp->WriteFile(target, std::ref(source), progress, &opened);
    if (s.cancelled) {
        if (opened)
            s.sftp->RemoveFile(target);
        EndCancelled(s);
    }
    if (!written) {
        // Refused outright, as a refused STOR: every later file would be too.
        if (!opened)
            EndRunNotSent(s, target + ": " + s.sftp->Error());
        s.window->AppendLog(target + ": " + s.sftp->Error() + "\r\n");
        if (temporary)
            s.sftp->RemoveFile(target);
    } else if (temporary && !s.sftp->Rename(target, path)) {
        EndRunNotSent(s, std::string(), TemporaryKeptText(target, path, s.sftp->Error()));
    }
    s.temporaryInFlight = false;
    if (written && size == 0)
        s.window->ReportProgress(0, 0);
    return written;
}

void CloseSftp(UploadSession& s)
{
    if (s.sftp)
        s.sftp->Disconnect();
}

#else
// Built without libssh: an SFTP box fails at once, before anything is sent.

void OpenSftp(UploadSession& s)
{
    EndRun(s, WithReason(NoConnection, "This program was built without SFTP."));
}

void SftpChangeToBoxDirectory(UploadSession&) {}

bool SftpEnterFolder(UploadSession&, const std::string&)
{
    return false;
}

void SftpLeaveFolder(UploadSession&) {}

bool SftpStoreFile(UploadSession&, CInputFile&, const std::string&, const TransferChoice&, const std::string&, bool)
{
    return false;
}

void CloseSftp(UploadSession&) {}
#endif
