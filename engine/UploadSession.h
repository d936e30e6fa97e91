// The state of one engine run, shared by the worker and the progress window.
// The worker owns it while it runs; the window touches the FTP client only
// while the worker waits inside a sent message, so no lock is needed.
#pragma once

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ftp/FtpClient.h"
#include "ftp/RemoteNames.h"

class CFindFile;
class CSftpClient;
class CProgressDlg;
class CProfile;

// A local folder being sent, with its listing at the entry being sent.
struct SendingFolder {
    std::string path;
    std::string name;  // as made on the server
    CFindFile* listing;
};

struct UploadSession {
    std::string boxName;
    std::string pathList;
    CProfile* profile = nullptr;
    // The same settings as the worker reads them: once per run.
    CProfile* runProfile = nullptr;
    CProgressDlg* window = nullptr;

    CFtpClient client;
    // The control connection, once connected; the process end closes its socket.
    std::unique_ptr<CStream> control;
    CRemoteNames names{NameConversions()};  // the platform's, set by the worker
    std::string localPath;               // the file being sent
    std::string refusal;                 // why the path being sent cannot go, if it cannot
    std::string rememberedTarget;        // the absolute directory a relative box directory led to
    std::vector<std::string> notSent;    // paths not sent whole, for the closing report
    size_t pathIndex = 0;                // the path of the list being sent
    std::vector<SendingFolder> folders;  // outermost first
    bool dataProven = false;             // an encrypted box's data connections work
    // Cancel while a file goes to a temporary name does not end the run at
    // once: the window sets cancelled, and the worker stops the file,
    // removes what the server holds of it and ends the run.
    std::atomic<bool> temporaryInFlight{false};
    std::atomic<bool> cancelled{false};
    // The remote names stored in this run, by remote directory.
    std::set<std::pair<std::string, std::string>> storedNames;

    // A box that sends over SFTP has this instead of the control connection,
    // and the run keeps the remote directories itself: SFTP has no current one.
    std::shared_ptr<CSftpClient> sftp;
    std::string sftpLogin;  // where the log-in put the user
    std::string sftpHere;   // where the next file goes
};

// The worker's failure texts, also for the SFTP path.
extern const char NoConnection[];
extern const char NoLogon[];
extern const char NoDirectory[];

// Show the failure and end the program, as the worker's own failures do;
// EndRunNotSent also lists the paths that did not arrive.
[[noreturn]] void EndRun(UploadSession& s, const std::string& text);
[[noreturn]] void EndRunNotSent(UploadSession& s, const std::string& why, const std::string& reason = std::string());
// Ends a cancelled run as Cancel does, without a message.
[[noreturn]] void EndCancelled(UploadSession& s);

// The worker thread; its argument is the UploadSession.
unsigned long __stdcall UploadWorker(void* session);

// Changes to the box's remote directory; ends the program on failure.
void ChangeToBoxDirectory(UploadSession& s);

// Sends one file (the session's local path) under the given name. With
// enterBoxDirectory it first changes to the box directory. False when the
// server did not get the file whole, and when nothing was sent: the file
// could not be opened, or its remote name was stored in the same remote
// directory before in this run.
bool UploadFile(UploadSession& s, const std::string& name, bool enterBoxDirectory);

// Recreates the folder below the current remote directory, with its files
// and subfolders; paths that were not sent go to s.notSent, a folder that
// cannot be listed whole and unmade.
void UploadFolder(UploadSession& s, const std::string& folderPath);
