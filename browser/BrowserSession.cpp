#include <winsock2.h>

#include "browser/BrowserSession.h"

#include <atomic>
#include <vector>

#include "browser/BrowserRules.h"

namespace {

std::atomic<unsigned> g_windows{0};

}  // namespace

CBrowserSession::CBrowserSession(CProfile& profileIn, std::string boxIn, int portIn)
    : profile(profileIn),
      box(std::move(boxIn)),
      settings(profileIn, box, BoxReader::Browser),
      port(portIn),
      listingFile(ListingFileName(GetCurrentProcessId(), ++g_windows))
{
}

CBrowserSession::~CBrowserSession()
{
    const SocketHandle control = m_control.exchange(InvalidSocket);
    if (control != InvalidSocket)
        CloseSocket(control);
    // A listing that failed after its data leaves the raw file behind.
    DeleteFileA(listingFile.c_str());
}

CStream& CBrowserSession::Control()
{
    if (!m_controlStream || m_control.load() == InvalidSocket)
        return m_noControl;
    return *m_controlStream;
}

bool CBrowserSession::SetControl(std::unique_ptr<CStream> stream)
{
    std::lock_guard<std::mutex> hold(m_lock);
    const SocketHandle s = stream ? stream->Socket() : InvalidSocket;
    if (m_closing) {
        if (s != InvalidSocket)
            CloseSocket(s);
        return false;
    }
    const SocketHandle old = m_control.exchange(s);
    if (old != InvalidSocket && old != s)
        CloseSocket(old);
    m_controlStream = std::move(stream);
    return true;
}

bool CBrowserSession::TrackData(SocketHandle s)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_closing)
        return false;
    m_data = s;
    return true;
}

void CBrowserSession::UntrackData()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_data = InvalidSocket;
}

void CBrowserSession::WorkerStarting()
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_workers++ == 0)
        m_idleEvent.Reset();
}

void CBrowserSession::WorkerRunning()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_workerThreads.insert(GetCurrentThreadId());
}

void CBrowserSession::WorkerEnded()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_workerThreads.erase(GetCurrentThreadId());
    if (--m_workers == 0)
        m_idleEvent.Set();
}

bool CBrowserSession::Close(DWORD ms)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_closing = true;
        // Closing the control socket wakes a worker blocked on a reply (a
        // shutdown does not, under Wine); no worker closes it but through
        // SetControl, which now refuses. The data socket is the transfer's
        // to close: it is only shut down, and the server ends the transfer
        // when its control connection goes.
        const SocketHandle control = m_control.exchange(InvalidSocket);
        if (control != InvalidSocket)
            CloseSocket(control);
        if (m_data != InvalidSocket)
            shutdown(m_data, SD_BOTH);
    }
    gate.Close();
    m_closedEvent.Set();

    const DWORD start = GetTickCount();
    for (;;) {
        CloseWorkerWindows();
        const DWORD spent = GetTickCount() - start;
        if (spent >= ms || !m_idleEvent)
            return false;
        const DWORD slice = ms - spent < 100 ? ms - spent : 100;
        HANDLE idle = m_idleEvent.Get();
        const DWORD woke = MsgWaitForMultipleObjects(1, &idle, FALSE, slice, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0)
            return true;
        if (woke == WAIT_OBJECT_0 + 1) {
            // Serves the messages a worker is sending to the window.
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
}

namespace {

BOOL CALLBACK PostClose(HWND hwnd, LPARAM)
{
    if (IsWindowVisible(hwnd))
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

void CBrowserSession::CloseWorkerWindows()
{
    std::vector<DWORD> threads;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        threads.assign(m_workerThreads.begin(), m_workerThreads.end());
    }
    // A worker's failure message would otherwise keep it, and the close, waiting.
    for (DWORD id : threads)
        EnumThreadWindows(id, PostClose, 0);
}
