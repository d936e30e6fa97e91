// The state of one engine run, shared by the worker and the progress window.
// The worker owns it while it runs; the window touches the FTP client only
// while the worker waits inside a sent message, so no lock is needed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ftp/FtpClient.h"

class CProgressDlg;
class CProfile;

struct UploadSession {
    std::string boxName;
    std::string pathList;
    CProfile* profile = nullptr;
    CProgressDlg* window = nullptr;

    CFtpClient client;
    // The control connection, once connected; the process end closes its socket.
    std::unique_ptr<CStream> control;
    std::string localPath;             // the file being sent
    std::string rememberedTarget;      // the absolute directory a relative box directory led to
    std::vector<std::string> notSent;  // paths not sent whole, for the closing report
};

// The worker thread; its argument is the UploadSession.
unsigned long __stdcall UploadWorker(void* session);

// Changes to the box's remote directory; ends the program on failure.
void ChangeToBoxDirectory(UploadSession& s);

// Sends one file (the session's local path) under the given name. With
// enterBoxDirectory it first changes to the box directory. False when the
// server did not get the file whole.
bool UploadFile(UploadSession& s, const std::string& name, bool enterBoxDirectory);

// Recreates the folder below the current remote directory, with its files
// and subfolders; paths that were not sent go to s.notSent.
void UploadFolder(UploadSession& s, const std::string& folderPath);
