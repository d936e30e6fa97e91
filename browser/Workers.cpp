#include "browser/Workers.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "boxconfig/BoxSettings.h"
#include "boxconfig/StoredPassword.h"
#include "boxconfig/SuiteNames.h"
#include "browser/BrowserList.h"
#include "browser/BrowserRules.h"
#include "browser/Download.h"
#include "browser/Listing.h"
#include "browser/SessionTransfer.h"
#include "browser/SftpWorkers.h"
#include "ftp/ExplicitTls.h"
#include "ftp/FtpClient.h"
#include "ftp/ReplyText.h"
#include "ftp/Session.h"
#include "ftp/TlsSchannel.h"
#include "win/CodePages.h"
#include "win/Handles.h"
#include "win/MsgBox.h"

namespace {

const char NoWorkingDirectory[] = "Unable to get the present working directory";
const char NoLogon[] = "Unable to logon to FTP host";
const char NoConnection[] = "Unable to establish a connection to the FTP host";
const DWORD KeepAlivePeriod = 120000;

struct WorkerTask {
    std::shared_ptr<CBrowserSession> session;
    Command command;
    CGate::Ticket ticket;
};

// What a worker does to the window, skipped once the window is closing.
void Signal(CBrowserSession& s, WorkerSignal signal)
{
    if (!s.Closing())
        SendMessageA(s.window, WM_BROWSER_WORKER, signal, 0);
}

void SetStatus(CBrowserSession& s, const std::string& text)
{
    if (!s.Closing())
        SetWindowTextA(s.status, text.c_str());
}

// A command step's outcome: its failure message, or none for success (and
// for a step cut short by the window closing, which shows nothing).
struct Outcome {
    bool ok;
    std::string message;
};
const Outcome Success = {true, ""};
Outcome Failure(const std::string& message)
{
    return {false, message};
}
const Outcome Silent = {false, ""};

// Sends "VERB argument"; an argument that would split the line is never
// sent and counts as a failed reply.
int Send(CBrowserSession& s, CFtpClient& ftp, const std::string& verb, const std::string& argument)
{
    if (!IsSendableArgument(argument))
        return ReplyFailed;
    return ftp.SendCommand(s.Control(), CommandLine(verb, argument).c_str());
}

int Send(CBrowserSession& s, CFtpClient& ftp, const std::string& verb)
{
    return ftp.SendCommand(s.Control(), CommandLine(verb).c_str());
}

// The opening's steps in the status line; the control socket is the
// session's as soon as it is up, so that closing the window can cut a
// log-in short. A certificate the user trusts is stored for the box.
class CBrowserOpening : public CSessionObserver {
public:
    CBrowserOpening(CBrowserSession& s, const std::string& host) : m_session(s), m_host(host) {}
    void Stage(SessionStage stage) override
    {
        switch (stage) {
        case SessionStage::Connecting:
            SetStatus(m_session, "Connecting to " + m_session.box + ".  Please wait...");
            break;
        case SessionStage::Connected:
            SetStatus(m_session, "Connected to " + m_session.box);
            break;
        case SessionStage::LoggingIn:
            SetStatus(m_session, "Logging in to " + m_session.box + ".  Please wait...");
            break;
        case SessionStage::LoggedIn:
            break;
        }
    }
    bool Connected(SocketHandle socket) override
    {
        return m_session.SetControl(
            std::unique_ptr<CStream>(new CPlainStream(socket, m_session.settings.TimeLimit())));
    }
    bool TrustCertificate(const TlsCertificate& certificate) override
    {
        CBrowserSession& s = m_session;
        if (s.Closing() ||
            !AskYesNo(s.window, CertificateQuestion(certificate, m_host), SuiteTitle, HelpCertificateQuestion,
                      DefaultAnswer::No) ||
            s.Closing())
            return false;
        s.profile.WriteString(s.box, BoxValue::Certificate, certificate.fingerprint);
        return true;
    }

private:
    CBrowserSession& m_session;
    const std::string& m_host;
};

Outcome Connect(CBrowserSession& s, CFtpClient& ftp)
{
    s.connected = true;
    SessionOptions options;
    options.host = s.settings.Text(BoxText::HostName);
    if (!IsValidPort(s.port)) {
        s.connected = false;
        return Failure(
            WithReason(NoConnection, options.host + ", port " + std::to_string(s.port) + ": " + PortOutOfRange));
    }
    options.port = static_cast<unsigned short>(s.port);
    options.timeLimit = s.settings.TimeLimit();
    options.user = s.settings.Text(BoxText::UserId);
    options.password = ReadBoxPassword(s.profile, s.box, BoxReader::Browser, UserPasswordSeal());
    options.tls = s.settings.Tls();
    options.storedFingerprint = s.settings.Text(BoxText::Certificate);
    options.makeCredentials = MakeSchannelCredentials;
    CBrowserOpening opening(s, options.host);
    SessionResult opened = OpenSession(ftp, options, opening);
    s.names.Reset();
    if (opened.Opened()) {
        // The encrypted stream runs over the socket the session already holds.
        if (!s.SetControl(std::move(opened.control)))
            return Silent;
        SetStatus(s, "Logged in to " + s.box);
        if (!s.Closing())
            SetWindowTextA(s.connection, ConnectionLine(s.box, options.host, true).c_str());
        return Success;
    }
    s.connected = false;
    // A refused log-on keeps its connection (plain, or TLS: never a plain
    // stream over a TLS socket); any other failure closes it.
    s.SetControl(std::move(opened.control));
    if (s.Closing())
        return Silent;
    switch (opened.failure) {
    case SessionFailure::AuthRefused:
        return Failure(TlsNotOffered);
    case SessionFailure::Untrusted:
        return Failure(NoLogon);
    case SessionFailure::Logon:
        return Failure(WithReason(NoLogon, opened.why));
    case SessionFailure::TlsBroken:
    case SessionFailure::Protect:
        return Failure(WithReason(TlsFailed, opened.why));
    case SessionFailure::GivenUp:
        return Silent;
    default:
        return Failure(WithReason(NoConnection, opened.why));
    }
}

Outcome RestoreDirectory(CBrowserSession& s, CFtpClient& ftp, bool changeDirectory)
{
    std::string stored = s.settings.Text(BoxText::CurrentDirectory);
    const bool reset = s.resetToHome.exchange(false);
    if (stored == NotFound || reset)
        stored = s.settings.Text(BoxText::Directory);
    if (stored.empty())
        return Success;
    std::string working;
    if (IsRelativeDirectory(stored) && (IsFailureCode(Send(s, ftp, "PWD")) || !QuotedPath(ftp.LastReply(), working)))
        return Failure(NoWorkingDirectory);
    if (changeDirectory && IsFailureCode(Send(s, ftp, "CWD", DirectoryTarget(stored, working))))
        return Failure("Unable to locate specified directory");
    return Success;
}

class CFileListingSource : public CListingSource {
public:
    explicit CFileListingSource(std::FILE* file) : m_file(file) {}
    int Next() override
    {
        const int c = m_file ? std::getc(m_file) : EOF;
        return c == EOF ? -1 : c;
    }

private:
    std::FILE* m_file;
};

// Writes the records to a new file that then replaces the cache, so that a
// full disk never leaves a cache cut short. False, the old cache kept, when
// that failed.
bool WriteCache(const std::string& box, const std::vector<ListingRecord>& records)
{
    const std::string fresh = NewCacheFileName(box);
    std::FILE* cache = std::fopen(fresh.c_str(), "wb");
    bool written = cache != nullptr;
    if (cache) {
        written = records.empty() ||
                  std::fwrite(records.data(), sizeof(ListingRecord), records.size(), cache) == records.size();
        // The last bytes reach the disk, or fail to, only here.
        written = std::fclose(cache) == 0 && written;
    }
    if (written && MoveFileExA(fresh.c_str(), CacheFileName(box).c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    DeleteFileA(fresh.c_str());
    return false;
}

// The window's raw listing into the cache file and then, in one message
// (four per row from this thread would cost a second per hundred rows),
// into the list view, counting the lines that could not be read. False
// when the cache could not be written.
bool ParseIntoList(CBrowserSession& s, size_t* unreadable)
{
    std::vector<ListingRecord> records;
    {
        const CStdFile in(s.listingFile.c_str(), "rb");
        CFileListingSource source(in.Get());
        *unreadable = ParseListing(source, [&](const ListingRecord& record) { records.push_back(record); });
    }
    const bool cached = WriteCache(s.box, records);
    if (!s.Closing())
        SendMessageA(s.window, WM_BROWSER_ROWS, 0, reinterpret_cast<LPARAM>(&records));
    DeleteFileA(s.listingFile.c_str());
    return cached;
}

void SelectDirectoryEntry(CBrowserSession& s, const std::string& path)
{
    if (s.Closing())
        return;
    // The combo box's exact search ignores case.
    LRESULT index = SendMessageA(s.directories, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(path.c_str()));
    if (index == CB_ERR)
        index = SendMessageA(s.directories, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path.c_str()));
    SendMessageA(s.directories, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

Outcome List(CBrowserSession& s, CFtpClient& ftp)
{
    Send(s, ftp, "TYPE", "A");
    SetStatus(s, "Establishing data channel.  Please wait...");
    CSessionTransferObserver observer(s);
    CTransfer transfer(ftp, s.Control(), &observer, DataModeOf(s));
    if (!transfer.OpenDataPort())
        return Failure(TransferFailure(s, transfer.Result(), NoDataChannel));
    const TransferResult result = transfer.Download(CommandLine("LIST"), s.listingFile.c_str());
    if (result.outcome == TransferResult::Abandoned) {
        DeleteFileA(s.listingFile.c_str());
        return Silent;
    }
    const std::string failure = TransferFailure(s, result, "Unable to retrieve host directory");
    if (!failure.empty()) {
        DeleteFileA(s.listingFile.c_str());
        return Failure(failure);
    }
    std::string path;
    if (IsFailureCode(Send(s, ftp, "PWD")) || !QuotedPath(ftp.LastReply(), path))
        return Failure(NoWorkingDirectory);
    if (!ShowListing(s, path))
        return Failure("The directory listing could not be saved on this computer (is the disk full?).\n"
                       "The listing saved before is kept.");
    return Success;
}

// A name the user typed, in the bytes this server takes; "" when it has no
// place in them.
std::string TypedName(CBrowserSession& s, CFtpClient& ftp, const std::string& name)
{
    std::string wire;
    return s.names.Encode(ftp, s.Control(), name, wire) ? wire : std::string();
}

// The simple commands: one line, one status before and one after.
Outcome Simple(CBrowserSession& s, CFtpClient& ftp, const char* verb, const std::string& argument,
               const std::string& working, const char* done, const char* failure)
{
    SetStatus(s, working);
    if (IsFailureCode(Send(s, ftp, verb, argument)))
        return Failure(failure);
    SetStatus(s, done);
    return Success;
}

Outcome Perform(CBrowserSession& s, CFtpClient& ftp, const Command& c)
{
    if (s.settings.Sftp()) {
        std::string failure;
        return PerformSftp(s, c, &failure) ? Success : Failure(failure);
    }
    switch (c.kind) {
    case CommandKind::Connect:
        return Connect(s, ftp);
    case CommandKind::RestoreDirectory:
        return RestoreDirectory(s, ftp, c.changeDirectory);
    case CommandKind::List:
        return List(s, ftp);
    case CommandKind::MakeDirectory: {
        const std::string name = TypedName(s, ftp, c.name);
        if (name.empty())
            return Failure("Unable to make the directory");
        return Simple(s, ftp, "MKD", name, "Making new directory.  Please wait...", "New directory made",
                      "Unable to make the directory");
    }
    case CommandKind::Delete:
        return c.directory ? Simple(s, ftp, "RMD", c.name, "Deleting " + ShownName(c.name) + ".  Please wait...",
                                    "Directory has been deleted", "Unable to remove the directory")
                           : Simple(s, ftp, "DELE", c.name, "Deleting " + ShownName(c.name) + ".  Please wait...",
                                    "File has been deleted", "Unable to delete the file");
    case CommandKind::Rename: {
        const char* failure = "Unable to rename the file or directory";
        SetStatus(s, "Renaming file.  Please wait...");
        const std::string newName = TypedName(s, ftp, c.newName);
        if (newName.empty() || IsFailureCode(Send(s, ftp, "RNFR", c.name)) ||
            IsFailureCode(Send(s, ftp, "RNTO", newName)))
            return Failure(failure);
        SetStatus(s, "File has been renamed");
        return Success;
    }
    case CommandKind::ChangeDirectory:
        return Simple(s, ftp, "CWD", c.name, "Changing directory.  Please wait...", "Directory change completed",
                      "Unable to change to the directory");
    case CommandKind::Download:
        // It shows its own failures: a receive error moves the bar after the message.
        return DownloadFile(s, ftp, c) ? Success : Silent;
    case CommandKind::KeepAlive:
    case CommandKind::StartNextBox:
        break;
    }
    return Success;
}

// True when the server has ended an idle session: its farewell (421) or
// the connection's end is waiting where no reply is due.
bool ServerHungUp(CBrowserSession& s, CFtpClient& ftp)
{
    CStream& control = s.Control();
    if (control.Socket() == InvalidSocket)
        return true;
    if (!control.Pending() && WaitReadable(control.Socket(), InvalidSocket, 0) == 0)
        return false;
    const int code = ftp.ReadReply(control);
    return code == 421 || code == ReplyFailed;
}

// A session the server ended, or one left out of step by a wait given up,
// is closed; the next command logs in again.
void DropIfLost(CBrowserSession& s, const CFtpClient& ftp)
{
    if (s.sessionLost || ftp.LastReplyCode() == 421 || ftp.LastReplyCode() == ReplyFailed) {
        s.sessionLost = false;
        s.SetControl(nullptr);
        if (!s.Closing())
            SetWindowTextA(s.connection, ConnectionLine(s.box, s.settings.Text(BoxText::HostName), false).c_str());
    }
}

// Logs in again and goes back to the directory listed last.
Outcome Reconnect(CBrowserSession& s, CFtpClient& ftp)
{
    const Outcome connected = Connect(s, ftp);
    if (!connected.ok)
        return connected;
    // Connect counted the session as down on failure; it is up again.
    return RestoreDirectory(s, ftp, true);
}

bool NeedsSession(CommandKind kind)
{
    return kind != CommandKind::Connect && kind != CommandKind::KeepAlive && kind != CommandKind::StartNextBox;
}

// The frame of every command: the gate, the animation, a new log-in when
// the server has ended the session, and on failure the message shown while
// the gate is still held, so that every queued command waits until the
// user has read it.
void RunFramed(CBrowserSession& s, const Command& command, CGate::Ticket ticket)
{
    if (!s.gate.Enter(ticket))
        return;  // the window closed while this command waited
    CGateHold hold(s.gate);
    if (s.Closing())
        return;
    Signal(s, SignalStartAnimation);
    Outcome outcome = Silent;
    bool reconnected = false;
    try {
        std::unique_ptr<CFtpClient> ftp(new CFtpClient);
        ftp->SetTimeLimit(s.settings.TimeLimit());
        outcome = Success;
        // An SFTP session is not the FTP control connection looked at here.
        const bool ftpSession = !s.settings.Sftp();
        if (ftpSession && NeedsSession(command.kind) && s.connected && ServerHungUp(s, *ftp)) {
            DropIfLost(s, *ftp);
            SetStatus(s, "The FTP host ended the session.  Reconnecting...");
            outcome = Reconnect(s, *ftp);
            reconnected = outcome.ok;
        }
        if (outcome.ok)
            outcome = Perform(s, *ftp, command);
        if (ftpSession)
            DropIfLost(s, *ftp);
    } catch (...) {
        outcome = Silent;
    }
    if (!outcome.ok && !outcome.message.empty() && !s.Closing())
        MessageBoxA(s.window, outcome.message.c_str(), SuiteTitle, MB_OK | MB_ICONEXCLAMATION);
    Signal(s, SignalStopAnimation);
    hold.Release();
    if (!outcome.ok)
        SetStatus(s, "");
    else if (reconnected)
        SetStatus(s, "Reconnected to " + s.box);
}

// After the downloads queued before it, which are its copy's: gated, but
// without animation or status.
void RunStartNextBox(CBrowserSession& s, const Command& command, CGate::Ticket ticket)
{
    if (!s.gate.Enter(ticket))
        return;
    CGateHold hold(s.gate);
    if (s.Closing())
        return;
    if (command.copy)
        command.copy->DownloadsEnded();
    StartNextBox(s);
}

// NOOP every two minutes from the window's opening on, once there is a
// connection; it neither animates nor greys Close, and ignores every error.
void KeepAlive(CBrowserSession& s)
{
    CFtpClient ftp;
    ftp.SetTimeLimit(s.settings.TimeLimit());
    while (WaitForSingleObject(s.ClosedEvent(), KeepAlivePeriod) == WAIT_TIMEOUT) {
        if (!s.gate.Enter(s.gate.Take()))
            return;
        CGateHold hold(s.gate);
        if (!s.Closing() && s.Control().Socket() != InvalidSocket) {
            Send(s, ftp, "NOOP");
            DropIfLost(s, ftp);
        } else if (!s.Closing()) {
            SftpKeepAlive(s);
        }
    }
}

DWORD WINAPI WorkerProc(LPVOID parameter)
{
    std::unique_ptr<WorkerTask> task(static_cast<WorkerTask*>(parameter));
    CBrowserSession& s = *task->session;
    s.WorkerRunning();
    // Nothing may unwind into the system's thread start.
    try {
        if (task->command.kind == CommandKind::KeepAlive)
            KeepAlive(s);
        else if (task->command.kind == CommandKind::StartNextBox)
            RunStartNextBox(s, task->command, task->ticket);
        else
            RunFramed(s, task->command, task->ticket);
    } catch (...) {
    }
    // The task's reference keeps the session alive past this call.
    s.WorkerEnded();
    return 0;
}

}  // namespace

bool ShowListing(CBrowserSession& s, const std::string& path)
{
    SelectDirectoryEntry(s, path);
    SetStatus(s, "Parsing directory information.  Please wait...");
    size_t unreadable = 0;
    const bool cached = ParseIntoList(s, &unreadable);
    SetStatus(s, UnreadableStatus(unreadable));
    s.profile.WriteString(s.box, BoxValue::CurrentDirectory, path);
    return cached;
}

bool QueueCommand(const std::shared_ptr<CBrowserSession>& session, const Command& command)
{
    if (session->Closing())
        return false;
    const bool gated = command.kind != CommandKind::KeepAlive;
    std::unique_ptr<WorkerTask> task(new WorkerTask{session, command, gated ? session->gate.Take() : 0});
    session->WorkerStarting();
    const CHandle thread(CreateThread(nullptr, 0, WorkerProc, task.get(), 0, nullptr));
    if (!thread) {
        if (gated)
            session->gate.Abandon(task->ticket);
        session->WorkerEnded();
        return false;
    }
    task.release();  // the worker's now
    return true;
}
