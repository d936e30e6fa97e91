// The upload worker: connect, log in, send every path, report. Every failure
// it shows ends the program; a path that could not be sent is remembered and
// reported at the end, so a run never claims success it did not have.
#include <windows.h>

#include "boxconfig/BoxSettings.h"
#include "boxconfig/CachedProfile.h"
#include "boxconfig/StoredPassword.h"
#include "boxconfig/SuiteNames.h"
#include "engine/EngineMessages.h"
#include "engine/PathList.h"
#include "engine/ProgressDlg.h"
#include "engine/SftpUpload.h"
#include "engine/TransferRules.h"
#include "engine/UploadSession.h"
#include "ftp/CommandText.h"
#include "ftp/ExplicitTls.h"
#include "ftp/Session.h"
#include "ftp/ReplyText.h"
#include "ftp/TlsSchannel.h"
#include "ftp/Transfer.h"
#include "win/CodePages.h"
#include "win/Handles.h"
#include "win/MsgBox.h"

extern const char NoConnection[] = "Unable to establish a connection to the FTP host";
extern const char NoLogon[] = "Unable to logon to FTP host";
extern const char NoDirectory[] = "Unable to locate specified directory";

namespace {

const char NotSent[] = "File transfer was not successful";
const char NameRefused[] = "the server cannot take this name";

// Shows the failure, with why below it, and ends the program: the window's
// handler does not return. The details log gets the reason too.
[[noreturn]] void Fail(UploadSession& s, const std::string& text, const std::string& reason = std::string())
{
    // The user has gone: a failure met while cleaning up is not reported.
    if (s.cancelled)
        EndCancelled(s);
    if (!reason.empty())
        s.window->AppendLog(reason + "\r\n");
    s.window->Flush();
    ShowFailure(s.window->Handle(), WithReason(text.c_str(), reason), SuiteTitle);
    SendMessageA(s.window->Handle(), WM_UPLOAD_ABORT, 0, 0);
    ExitProcess(1);  // not reached while the window exists
}

// "File transfer was not successful", and the paths that did not arrive.
std::string NotSentText(const std::vector<std::string>& paths)
{
    std::string text = std::string(NotSent) + ":\r\n";
    for (const std::string& p : paths)
        text += "\r\n" + p;
    return text;
}

// Ends the run before the first file: none of them was sent.
[[noreturn]] void FailBeforeSending(UploadSession& s, const std::string& why)
{
    std::vector<std::string> paths;
    for (size_t n = 0; n < CountPaths(s.pathList); ++n)
        paths.push_back(PathAt(s.pathList, n));
    Fail(s, why + "\r\n\r\n" + NotSentText(paths));
}

// Ends the run when the server will not take the file being sent: the
// message names every path that did not arrive, in the order they were
// taken: those that failed before, this one, and those not tried yet (the
// rest of each folder being sent, innermost first, then of the path list);
// why, when given, stands above it, the reason below.
[[noreturn]] void FailSending(UploadSession& s, const std::string& why = std::string(),
                              const std::string& reason = std::string())
{
    std::vector<std::string> missing = s.notSent;
    missing.push_back(s.localPath);
    for (auto folder = s.folders.rbegin(); folder != s.folders.rend(); ++folder)
        while (folder->listing->Next()) {
            const std::string entry = folder->listing->Name();
            if (entry != "." && entry != "..")
                missing.push_back(folder->path + "\\" + entry);
        }
    for (size_t n = s.pathIndex + 1; n < CountPaths(s.pathList); ++n)
        missing.push_back(PathAt(s.pathList, n));
    if (!reason.empty())
        s.window->AppendLog(reason + "\r\n");
    const std::string text = why.empty() ? NotSentText(missing) : why + "\r\n\r\n" + NotSentText(missing);
    Fail(s, reason.empty() ? text : text + "\r\n\r\n" + reason);
}

CBoxSettings Settings(UploadSession& s)
{
    return CBoxSettings(*s.runProfile, s.boxName, BoxReader::Engine);
}

DataMode Mode(UploadSession& s)
{
    return Settings(s).Passive() ? DataMode::Passive : DataMode::Active;
}

// The opening's replies go to the details log; a certificate the user
// trusts is stored for the box.
class CEngineOpening : public CSessionObserver {
public:
    CEngineOpening(UploadSession& s, const std::string& host) : m_session(s), m_host(host) {}
    void Reply(const char* text) override { m_session.window->AppendLog(text); }
    bool TrustCertificate(const TlsCertificate& certificate) override
    {
        m_session.window->Flush();
        if (!AskYesNo(m_session.window->Handle(), CertificateQuestion(certificate, m_host), SuiteTitle,
                      HelpCertificateQuestion, DefaultAnswer::No))
            return false;
        m_session.runProfile->WriteString(m_session.boxName, BoxValue::Certificate, certificate.fingerprint);
        return true;
    }

private:
    UploadSession& m_session;
    const std::string& m_host;
};

// Connects and logs in; ends the program on any failure, so nothing of the
// log-in is ever sent in clear for a TLS box.
void Open(UploadSession& s)
{
    const CBoxSettings settings = Settings(s);
    SessionOptions options;
    options.host = settings.Text(BoxText::HostName);
    // Kept to 16 bits such a port would reach some other service.
    const int port = settings.Number(BoxNumber::Port);
    if (!IsValidPort(port))
        Fail(s, NoConnection, options.host + ", port " + std::to_string(port) + ": " + PortOutOfRange);
    options.port = static_cast<unsigned short>(port);
    options.timeLimit = settings.TimeLimit();
    options.user = settings.Text(BoxText::UserId);
    options.password = ReadBoxPassword(*s.runProfile, s.boxName, BoxReader::Engine, UserPasswordSeal());
    options.tls = settings.Tls();
    options.storedFingerprint = settings.Text(BoxText::Certificate);
    options.makeCredentials = MakeSchannelCredentials;
    CEngineOpening opening(s, options.host);
    SessionResult opened = OpenSession(s.client, options, opening);
    switch (opened.failure) {
    case SessionFailure::None:
        break;
    case SessionFailure::Connect:
    case SessionFailure::GivenUp:
        Fail(s, NoConnection, opened.why);
    case SessionFailure::Logon:
        Fail(s, NoLogon, opened.why);
    case SessionFailure::AuthRefused:
        FailBeforeSending(s, TlsNotOffered);
    case SessionFailure::Untrusted:
        FailBeforeSending(s, NoLogon);
    case SessionFailure::TlsBroken:
    case SessionFailure::Protect:
        FailBeforeSending(s, WithReason(TlsFailed, opened.why));
    }
    s.control = std::move(opened.control);
}

// Sends "VERB argument" and gives the reply code; an argument that would
// split the line (a hand-edited setting) is never sent and fails the step.
int Send(UploadSession& s, const std::string& verb, const std::string& argument)
{
    if (!IsSendableArgument(argument))
        return ReplyFailed;
    return s.client.SendCommand(*s.control, CommandLine(verb, argument).c_str());
}

// The bytes a name goes out as; false (and the reason noted) when this
// server cannot be given it.
bool WireName(UploadSession& s, const std::string& name, std::string& wire)
{
    // SFTP names are UTF-8, as the program's own text is.
    if (s.sftp) {
        wire = name;
        return true;
    }
    std::string replies;
    const bool ok = s.names.Encode(s.client, *s.control, name, wire, &replies);
    if (!replies.empty())
        s.window->AppendLog(replies);
    if (!ok)
        s.refusal = NameRefused;
    return ok;
}

// A path for the closing report, with the reason it could not go if known.
void NoteNotSent(UploadSession& s, const std::string& path)
{
    s.notSent.push_back(s.refusal.empty() ? path : path + " - " + s.refusal);
    s.refusal.clear();
}

// Why the command with this argument failed: nothing to add for one never sent.
std::string Reason(UploadSession& s, const std::string& argument)
{
    return IsSendableArgument(argument) ? s.client.FailureReason() : std::string();
}

std::string ApplyFilenameCase(std::string name, FilenameCase filenameCase)
{
    if (name.empty() || filenameCase == FilenameCase::Unchanged)
        return name;
    // Through UTF-16: in a UTF-8 code page one letter is several bytes, and
    // its other case may not be as many.
    const int n = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    if (n <= 0)
        return name;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), &wide[0], n);
    if (filenameCase == FilenameCase::Lower)
        CharLowerBuffW(&wide[0], static_cast<DWORD>(n));
    else
        CharUpperBuffW(&wide[0], static_cast<DWORD>(n));
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return name;
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), n, &out[0], bytes, nullptr, nullptr);
    return out;
}

// The details log gets the transfer command's reply as soon as it is read,
// and the status line changes once the server's data connection is up.
class CUploadObserver : public CTransferObserver {
public:
    explicit CUploadObserver(UploadSession& s) : m_session(s) {}
    void CommandAccepted() override { m_session.window->AppendLog(m_session.client.LastReply()); }
    bool DataConnected(SocketHandle) override
    {
        m_connected = true;
        m_session.window->SetStatus("Sending " + remote + "...");
        return true;
    }
    // Once the data flows, a cancelled file is stopped between blocks and
    // its completion read, so that the temporary copy can still be deleted.
    bool Abandoned() override { return m_session.cancelled && !m_connected; }

    std::string remote;

private:
    UploadSession& m_session;
    bool m_connected = false;
};

void Run(UploadSession& s)
{
    // Each file would read the same values again, at a registry call each.
    CCachedProfile settings(*s.profile);
    s.runProfile = &settings;
    s.window->SetStatus("Connecting to " + s.boxName + "...");
    s.window->SetTitle(std::string(SuiteTitle) + " - [" + s.boxName + "]");

    s.names = CRemoteNames({ToUtf8, ToLegacy});
    if (Settings(s).Sftp())
        OpenSftp(s);
    else
        Open(s);
    s.window->SetStatus("Connected to " + s.boxName);
    s.rememberedTarget.clear();

    const size_t count = CountPaths(s.pathList);
    for (s.pathIndex = 0; s.pathIndex < count; ++s.pathIndex) {
        const std::string path = PathAt(s.pathList, s.pathIndex);
        CFindFile find;
        if (!find.First(path)) {
            s.notSent.push_back(path);
            continue;
        }
        const std::string name = find.Name();
        const bool folder = find.IsDirectory();
        find.Close();
        s.localPath = path;
        if (folder) {
            // The box directory once per path: the folder's tree goes below it.
            ChangeToBoxDirectory(s);
            UploadFolder(s, path);
        } else if (!UploadFile(s, name, true)) {
            NoteNotSent(s, path);
        }
    }

    CloseSftp(s);
    if (!s.notSent.empty()) {
        s.window->Flush();
        ShowFailure(s.window->Handle(), NotSentText(s.notSent), SuiteTitle);
    }
    SendMessageA(s.window->Handle(), WM_UPLOAD_DONE, 0, 0);
}

}  // namespace

void EndRun(UploadSession& s, const std::string& text)
{
    Fail(s, text);
}

void EndRunNotSent(UploadSession& s, const std::string& why, const std::string& reason)
{
    FailSending(s, why, reason);
}

void EndCancelled(UploadSession& s)
{
    SendMessageA(s.window->Handle(), WM_UPLOAD_ABORT, ExitCancelled, 0);
    ExitProcess(ExitCancelled);  // not reached while the window exists
}

unsigned long __stdcall UploadWorker(void* session)
{
    try {
        Run(*static_cast<UploadSession*>(session));
    } catch (...) {
        ExitProcess(1);  // an exception cannot unwind into the system
    }
    return 0;
}

void ChangeToBoxDirectory(UploadSession& s)
{
    if (s.sftp)
        return SftpChangeToBoxDirectory(s);
    const BoxDirectory dir = ParseBoxDirectory(Settings(s).Text(BoxText::Directory));
    if (dir.kind == BoxDirectory::None)
        return;
    std::string target = dir.path;
    if (dir.kind == BoxDirectory::RelativeToLogin) {
        s.client.SendCommand(*s.control, "PWD\r\n");
        std::string current;
        if (!QuotedPath(s.client.LastReply(), current))
            Fail(s, NoDirectory, s.client.FailureReason());
        if (current != s.rememberedTarget)
            s.rememberedTarget = JoinRemoteDirectory(current, dir.path);
        target = s.rememberedTarget;
    }
    if (!WireName(s, target, target) || Send(s, "CWD", target) >= 400)
        Fail(s, NoDirectory, Reason(s, target));
}

namespace {

// Where a file goes: the box directory as set, and the folders entered
// below it. Two files of one remote name there would be one file.
std::string RemoteDirectoryKey(UploadSession& s)
{
    std::string key = Settings(s).Text(BoxText::Directory);
    for (const SendingFolder& folder : s.folders)
        key += "\n" + folder.name;  // no name holds a line feed
    return key;
}

// Why the encrypted data connection failed: the server's refusal, or ours.
std::string DataFailure(const TransferResult& result)
{
    if (result.code == DataTlsRefused)
        return WithReason(TlsDataRefused, result.text);
    if (!result.failure.empty())
        return WithReason(TlsDataFailed, result.failure);
    return WithReason(TlsDataFailed, result.text.empty() ? "the connection failed" : result.text);
}

// Once a run, before its first STOR: a server that will not take our
// encrypted data connections ends the run while its files are whole.
void CheckDataConnections(UploadSession& s)
{
    s.window->SetStatus("Checking the data connection...");
    const TransferResult probe = ProveDataConnections(s.client, *s.control, Mode(s));
    s.window->AppendLog(s.client.LastReply());
    if (!DataConnectionsProven(probe))
        FailSending(s, DataFailure(probe));
    s.dataProven = true;
}

// A transfer that kept us waiting past the limit leaves the control
// connection out of step: nothing more can be sent on it.
void FailIfTimedOut(UploadSession& s, const TransferResult& result)
{
    if (result.timedOut)
        FailSending(s, std::string(), NoAnswerText(s.client.TimeLimit()));
}

// Why the data port failed: the server's refusal, a connection that failed
// or gave up waiting, or nothing to add (our own socket calls).
std::string DataPortFailure(UploadSession& s, const TransferResult& result)
{
    if (result.timedOut)
        return NoAnswerText(s.client.TimeLimit());
    if (result.outcome == TransferResult::Refused || result.code == ReplyFailed)
        return s.client.FailureReason();
    return std::string();
}

// DELE; what the server answers is logged only.
void DeleteRemote(UploadSession& s, const std::string& name)
{
    Send(s, "DELE", name);
    s.window->AppendLog(s.client.LastReply());
}

// RNFR and RNTO give the temporary copy its real name. A server that takes
// RNFR but will not rename onto an existing file gets that file deleted
// first: the new copy is whole by now. When even that fails the run ends,
// naming the temporary copy, which holds the file.
void RenameTemporary(UploadSession& s, const std::string& temporary, const std::string& remote)
{
    bool fromTaken = false;
    auto rename = [&] {
        fromTaken = Send(s, "RNFR", temporary) < 400;
        s.window->AppendLog(s.client.LastReply());
        if (!fromTaken)
            return false;
        const int to = Send(s, "RNTO", remote);
        s.window->AppendLog(s.client.LastReply());
        return to < 400;
    };
    if (rename())
        return;
    if (fromTaken && s.client.LastReplyCode() != ReplyFailed) {
        DeleteRemote(s, remote);
        if (rename())
            return;
    }
    FailSending(s, std::string(), TemporaryKeptText(temporary, remote, s.client.FailureReason()));
}

// PORT, TYPE, the box directory, STOR and the data: the transfer step for a
// file already open. True when the server kept it. With "TempUpload" the
// file goes to a temporary name beside the real one and takes the real name
// only once it is whole, so the server's earlier copy never lies cut short.
bool StoreFile(UploadSession& s, CInputFile& file, const std::string& name, const TransferChoice& choice,
               const std::string& remote, const std::string& wire, bool enterBoxDirectory)
{
    if (!s.dataProven && Settings(s).Tls())
        CheckDataConnections(s);
    CUploadObserver observer(s);
    observer.remote = remote;
    CTransfer transfer(s.client, *s.control, &observer, Mode(s));
    const bool open = transfer.OpenDataPort();
    s.window->AppendLog(s.client.LastReply());
    if (!open)
        FailSending(s, std::string(), DataPortFailure(s, transfer.Result()));

    s.window->SetStatus("Preparing to send " + name + "...");
    s.window->ResetProgress();
    if (!choice.typeCommand.empty()) {
        s.client.SendCommand(*s.control, choice.typeCommand.c_str());
        s.window->AppendLog(s.client.LastReply());
    }
    if (enterBoxDirectory)
        ChangeToBoxDirectory(s);

    const bool temporary = Settings(s).TempUpload();
    const std::string target = temporary ? TemporaryUploadName(wire) : wire;
    s.temporaryInFlight = temporary;
    const TransferResult result = transfer.Upload(CommandLine("STOR", target), file);
    if (s.cancelled) {
        // The server has answered for the part it got (else the session is
        // out of step and the copy stays).
        if (result.code > 0 && result.code != ReplyFailed) {
            s.control->SetTimeLimit(1);
            DeleteRemote(s, target);
        }
        EndCancelled(s);
    }
    FailIfTimedOut(s, result);
    if (result.step == TransferStep::Command)
        FailSending(s, std::string(), Reason(s, target));
    // The completion reply, also of a transfer that failed here, or the
    // reply with which the server gave up before connecting.
    s.window->AppendLog(s.client.LastReply());
    // Every later file would meet the same refusal.
    if (result.code == DataTlsRefused || !result.failure.empty())
        FailSending(s, DataFailure(result));
    if (temporary && !result.IsDone()) {
        if (result.outcome != TransferResult::Abandoned && s.client.LastReplyCode() != ReplyFailed)
            DeleteRemote(s, target);
    } else if (temporary) {
        RenameTemporary(s, target, wire);
    }
    s.temporaryInFlight = false;
    return result.IsDone();
}

// Makes the folder (it may exist) and goes into it.
bool EnterFolder(UploadSession& s, const std::string& name)
{
    if (s.sftp)
        return SftpEnterFolder(s, name);
    Send(s, "MKD", name);  // may exist already
    s.window->AppendLog(s.client.LastReply());
    const int cwd = Send(s, "CWD", name);
    s.window->AppendLog(s.client.LastReply());
    return cwd < 400;
}

}  // namespace

bool UploadFile(UploadSession& s, const std::string& name, bool enterBoxDirectory)
{
    // Nothing goes to the server before the remote name is free and the
    // file is open: a second file under a name stored here in this run
    // would replace the first, and a STOR for a file that cannot be read
    // would empty the server's copy.
    const TransferChoice choice = ChooseTransfer(name, Settings(s).Transfer(), Settings(s).Extensions());
    const std::string remote = ApplyFilenameCase(choice.remoteName, Settings(s).NameCase());
    std::string wire;
    if (!WireName(s, remote, wire))
        return false;
    // By the bytes sent: two names the server receives alike are one file.
    const std::pair<std::string, std::string> stored(RemoteDirectoryKey(s), wire);
    if (s.storedNames.count(stored) != 0)
        return false;
    {
        CInputFile file(OpenLocalFile(s.localPath, L"rb"));
        const bool sent = file.IsOpen() && (s.sftp ? SftpStoreFile(s, file, name, choice, remote, enterBoxDirectory)
                                                   : StoreFile(s, file, name, choice, remote, wire, enterBoxDirectory));
        if (!sent)
            return false;
    }
    s.storedNames.insert(stored);
    if (Settings(s).Number(BoxNumber::Erase) != 0)
        DeleteLocalFile(s.localPath);
    return true;
}

void UploadFolder(UploadSession& s, const std::string& folderPath)
{
    const size_t slash = folderPath.find_last_of('\\');
    const std::string name = slash == std::string::npos ? folderPath : folderPath.substr(slash + 1);
    // Listed before anything is made on the server: a folder another
    // program holds, or one gone meanwhile, did not arrive. (Only a root
    // can list nothing at all, not even ".".)
    CFindFile listing;
    const bool listed = listing.First(folderPath + "\\*.*");
    if (!listed && GetLastError() != ERROR_FILE_NOT_FOUND) {
        s.notSent.push_back(folderPath);
        return;
    }
    std::string wire;
    if (!WireName(s, name, wire)) {
        NoteNotSent(s, folderPath);
        return;
    }
    SetCurrentDirectoryA(folderPath.c_str());

    if (!EnterFolder(s, wire)) {
        // Not inside it: its files would land in the parent, and CDUP would
        // climb a level too far.
        s.notSent.push_back(folderPath);
        return;
    }

    s.folders.push_back({folderPath, wire, &listing});
    for (bool more = listed; more; more = listing.Next()) {
        const std::string entry = listing.Name();
        if (entry == "." || entry == "..")
            continue;
        const std::string full = folderPath + "\\" + entry;
        if (listing.IsDirectory()) {
            UploadFolder(s, full);
            SetCurrentDirectoryA(folderPath.c_str());
        } else {
            s.localPath = full;
            if (!UploadFile(s, entry, false))
                NoteNotSent(s, full);
        }
    }
    s.folders.pop_back();

    if (s.sftp)
        return SftpLeaveFolder(s);
    s.client.SendCommand(*s.control, "CDUP\r\n");
    s.window->AppendLog(s.client.LastReply());
}
