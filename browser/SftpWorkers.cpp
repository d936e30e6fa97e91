#include "browser/SftpWorkers.h"

#include <cstdio>
#include <vector>

#include "boxconfig/PasswordCodec.h"
#include "boxconfig/SuiteNames.h"
#include "browser/BrowserRules.h"
#include "win/Handles.h"
#include "win/MsgBox.h"

#ifdef SUITE_HAVE_SFTP
#include "ftp/SftpSession.h"

namespace {

const char NoLogon[] = "Unable to logon to FTP host";

void SetStatus(CBrowserSession& s, const std::string& text)
{
    if (!s.Closing())
        SetWindowTextA(s.status, text.c_str());
}

bool Failed(std::string* failure, const std::string& message)
{
    *failure = message;
    return false;
}

// The folder becomes the one shown, in the server's own spelling ("a/.."
// resolved), when it is one.
bool Enter(CBrowserSession& s, const std::string& path)
{
    const std::string real = s.sftp->RealPath(path);
    SftpEntry entry;
    if (real.empty() || !s.sftp->Stat(real, &entry) || !entry.folder)
        return false;
    s.sftpHere = real;
    return true;
}

bool Connect(CBrowserSession& s, std::string* failure)
{
    s.connected = true;
    SftpSessionOptions options;
    options.host = s.settings.Text(BoxText::HostName);
    options.port = s.port;
    options.user = s.settings.Text(BoxText::UserId);
    options.password = DecodePassword(s.settings.Text(BoxText::Password));
    options.storedKey = s.settings.Text(BoxText::HostKey);
    SftpOpening opening;
    opening.stage = [&](SessionStage stage) {
        static const char* const texts[] = {"Connecting to %s.  Please wait...", "Connected to %s",
                                            "Logging in to %s.  Please wait...", "Logged in to %s"};
        std::string text = texts[static_cast<int>(stage)];
        text.replace(text.find("%s"), 2, s.box);
        SetStatus(s, text);
    };
    opening.trust = [&](const SftpHostKey& key, HostKeyVerdict verdict) {
        if (s.Closing() || !AskYesNo(s.window, HostKeyQuestion(key, options.host, verdict), kSuiteTitle, 0, DefaultAnswer::No) ||
            s.Closing())
            return false;
        s.profile.WriteString(s.box, BoxValue::HostKey, key.fingerprint);
        return true;
    };
    std::shared_ptr<CSftpClient> sftp = std::make_shared<CSftpClient>();
    const SftpSessionResult opened = OpenSftpSession(*sftp, options, opening);
    if (!opened.Opened()) {
        s.connected = false;
        if (opened.failure == SftpFailure::Connect)
            return Failed(failure, "Unable to establish a connection to the FTP host");
        if (opened.failure == SftpFailure::Untrusted)
            return Failed(failure, s.Closing() ? "" : kHostKeyRefused);
        return Failed(failure, NoLogon);
    }
    s.sftp = sftp;
    s.sftpLogin = s.sftpHere = opened.loginDirectory;
    if (!s.Closing())
        SetWindowTextA(s.connection, ConnectionLine(s.box, options.host, true).c_str());
    return true;
}

bool RestoreDirectory(CBrowserSession& s, bool changeDirectory, std::string* failure)
{
    std::string stored = s.settings.Text(BoxText::CurrentDirectory);
    const bool reset = s.resetToHome.exchange(false);
    if (stored == kNotFound || reset)
        stored = s.settings.Text(BoxText::Directory);
    if (stored.empty() || !changeDirectory)
        return true;
    if (!Enter(s, DirectoryTarget(stored, s.sftpLogin)))
        return Failed(failure, "Unable to locate specified directory");
    return true;
}

// The listing goes through "list.tmp" as an FTP listing does, in the "ls -l"
// lines OpenSSH's server gives; a server without them gets such lines made.
bool List(CBrowserSession& s, std::string* failure)
{
    std::vector<SftpEntry> entries;
    if (!s.sftp->ReadDirectory(s.sftpHere, &entries))
        return Failed(failure, "Unable to retrieve host directory");
    {
        const CStdFile out(s.listingFile, "wb");
        if (!out)
            return Failed(failure, "Unable to retrieve host directory");
        for (const SftpEntry& e : entries) {
            std::string line = e.longName;
            if (line.empty()) {
                char made[96];
                std::snprintf(made, sizeof made, "%s 1 owner group %llu Jan  1  1970 ",
                              e.folder ? "drwxr-xr-x" : "-rw-r--r--", static_cast<unsigned long long>(e.size));
                line = made + e.name;
            }
            line += "\r\n";
            std::fwrite(line.data(), 1, line.size(), out.Get());
        }
    }
    ShowListing(s, s.sftpHere);
    return true;
}

template <class Step>
bool Simple(CBrowserSession& s, const std::string& working, const char* done, const char* refused, Step step,
            std::string* failure)
{
    SetStatus(s, working);
    if (!step())
        return Failed(failure, refused);
    SetStatus(s, done);
    return true;
}

}  // namespace

void SftpKeepAlive(CBrowserSession& s)
{
    if (s.sftp)
        s.sftp->KeepAlive();
}

std::string SftpPathOf(const CBrowserSession& s, const std::string& name)
{
    if (!name.empty() && name[0] == '/')
        return name;
    return s.sftpHere.empty() || s.sftpHere.back() == '/' ? s.sftpHere + name : s.sftpHere + "/" + name;
}

bool PerformSftp(CBrowserSession& s, const Command& c, std::string* failure)
{
    if (c.kind == CommandKind::Connect)
        return Connect(s, failure);
    if (!s.sftp)
        return c.kind == CommandKind::KeepAlive || c.kind == CommandKind::StartNextBox;
    CSftpClient& sftp = *s.sftp;
    const std::string path = SftpPathOf(s, c.name);
    switch (c.kind) {
    case CommandKind::RestoreDirectory:
        return RestoreDirectory(s, c.changeDirectory, failure);
    case CommandKind::List:
        return List(s, failure);
    case CommandKind::MakeDirectory:
        return Simple(s, "Making new directory.  Please wait...", "New directory made", "Unable to make the directory",
                      [&] { return sftp.MakeDirectory(path); }, failure);
    case CommandKind::Delete:
        if (c.directory)
            return Simple(s, "Deleting " + c.name + ".  Please wait...", "Directory has been deleted",
                          "Unable to remove the directory", [&] { return sftp.RemoveFolder(path); }, failure);
        return Simple(s, "Deleting " + c.name + ".  Please wait...", "File has been deleted",
                      "Unable to delete the file", [&] { return sftp.RemoveFile(path); }, failure);
    case CommandKind::Rename:
        return Simple(s, "Renaming file.  Please wait...", "File has been renamed",
                      "Unable to rename the file or directory",
                      [&] { return sftp.Rename(path, SftpPathOf(s, c.newName)); }, failure);
    case CommandKind::ChangeDirectory:
        return Simple(s, "Changing directory.  Please wait...", "Directory change completed",
                      "Unable to change to the directory", [&] { return Enter(s, path); }, failure);
    case CommandKind::Download:
        return SftpDownloadFile(s, c);
    case CommandKind::Connect:
    case CommandKind::KeepAlive:
    case CommandKind::StartNextBox:
        break;
    }
    return true;
}

#else
// Built without libssh: an SFTP box cannot be reached.
bool PerformSftp(CBrowserSession&, const Command& c, std::string* failure)
{
    if (c.kind != CommandKind::Connect)
        return true;
    *failure = WithReason("Unable to establish a connection to the FTP host", "This program was built without SFTP.");
    return false;
}

bool SftpDownloadFile(CBrowserSession&, const Command&)
{
    return false;
}

void SftpKeepAlive(CBrowserSession&) {}
#endif
