// What the browser window and its command workers share: the box, the one
// control connection, the gate in front of it, the flags of the queuing rule
// and the window's controls. The window and every worker hold it by shared
// pointer, so it outlives a worker that is still inside a blocking call when
// the window closes; such a worker finds the session closing and ends
// without touching the window again.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "boxconfig/BoxSettings.h"
#include "boxconfig/Profile.h"
#include "browser/DownloadRules.h"
#include "browser/Gate.h"
#include "ftp/RemoteNames.h"
#include "win/CodePages.h"
#include "ftp/Socket.h"
#include "ftp/Stream.h"
#include "win/Handles.h"

class CSftpClient;

// Sent by a worker to the window, whose thread owns the animation's timer.
// wParam: a WorkerSignal; lParam 0.
#define WM_BROWSER_WORKER (WM_USER + 700)
// Sent by the list worker: replace the rows with those of a new listing.
// lParam: the listing's records (const std::vector<ListingRecord>*).
#define WM_BROWSER_ROWS (WM_USER + 701)

enum WorkerSignal : WPARAM {
    SignalStartAnimation = 1,
    SignalStopAnimation,
};

class CBrowserSession {
public:
    CBrowserSession(CProfile& profile, std::string box, int port);
    ~CBrowserSession();
    CBrowserSession(const CBrowserSession&) = delete;
    CBrowserSession& operator=(const CBrowserSession&) = delete;

    CProfile& profile;  // for the values the browser writes
    const std::string box;
    const CBoxSettings settings;  // the box as the browser reads it
    const int port;  // as stored: one outside 1-65535 is refused, never cut to 16 bits
    // This window's raw listing file, in the current directory.
    const std::string listingFile;
    CGate gate;

    // Set by the window before the first worker starts, then only read.
    HWND window = nullptr;
    HWND status = nullptr;
    HWND connection = nullptr;
    HWND directories = nullptr;

    // Up, or a connect queued and not yet failed: the queuing rule's test.
    // It stays set when the server drops the session: the next command
    // logs in again by itself.
    std::atomic<bool> connected{false};
    // The control connection is out of step (a wait was given up): the gate's
    // holder closes it when its command ends.
    std::atomic<bool> sessionLost{false};
    // The cache was empty: the restore goes to the box's home directory.
    std::atomic<bool> resetToHome{false};

    // Downloads and copies: set by the replace prompt's "Yes to all",
    // cleared by every open, download and copy action.
    std::atomic<bool> yesToAll{false};
    // The boxes a copy has still to start.
    CBoxQueue boxQueue;
    // How names the user typed go to the server; only the gate's holder
    // uses it, and each new connection asks afresh.
    CRemoteNames names{{ToUtf8, ToLegacy}};

    // An SFTP box's session and the directory shown, which the browser
    // keeps itself (SFTP has no current one); only the gate's holder uses them.
    std::shared_ptr<CSftpClient> sftp;
    std::string sftpLogin;
    std::string sftpHere;

    // The control connection's stream; only the gate's holder uses it.
    // Before the first connect, after a failed one and once the window is
    // closing, a stream over no socket, on which every call fails.
    CStream& Control();
    // Replaces the control connection (closing an earlier socket unless the
    // new stream runs over it, as an encrypted one would); null for none.
    // The session owns the stream's socket from now on. False, with that
    // socket closed, once the window is closing.
    bool SetControl(std::unique_ptr<CStream> stream);
    // The data connection in progress, so that closing can cut it short.
    // False, socket untouched, once the window is closing.
    bool TrackData(SocketHandle s);
    void UntrackData();

    bool Closing() const { return m_closing.load(); }
    // Signalled when the window closes; a keep-alive sleeps on it.
    HANDLE ClosedEvent() const { return m_closedEvent.Get(); }

    // Worker bookkeeping: started on the window thread, ended by the worker.
    void WorkerStarting();
    void WorkerRunning();  // on the worker's own thread
    void WorkerEnded();

    // Window thread, on closing: refuses every queued command, closes the
    // control connection under the running one, then waits up to `ms` for
    // the workers while serving the messages they send (and closing their
    // message boxes). True when none is left; a worker still inside a
    // connect may remain, and ends by itself later without the window.
    bool Close(DWORD ms);

private:
    void CloseWorkerWindows();

    // The socket is closed from the window thread to wake a worker; the
    // stream over it changes only under the gate.
    std::atomic<SocketHandle> m_control{InvalidSocket};
    std::unique_ptr<CStream> m_controlStream;
    CPlainStream m_noControl{InvalidSocket};
    std::atomic<bool> m_closing{false};
    CEvent m_closedEvent{true, false};
    CEvent m_idleEvent{true, true};  // no worker left

    std::mutex m_lock;  // the sockets below and the worker set
    SocketHandle m_data = InvalidSocket;
    int m_workers = 0;
    std::set<DWORD> m_workerThreads;
};
