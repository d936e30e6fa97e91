// How the browser's workers make their transfers and word their failures.
#pragma once

#include <string>

#include "browser/BrowserSession.h"
#include "ftp/Transfer.h"

constexpr char kNoDataChannel[] = "Unable to establish a data channel to the FTP host";

// A transfer of the browser's workers: given up once the window is closing,
// its data connection known to the session, so that closing cuts it short.
class CSessionTransferObserver : public CTransferObserver {
public:
    explicit CSessionTransferObserver(CBrowserSession& s) : m_session(s) {}
    bool DataConnected(SocketHandle data) override { return m_session.TrackData(data); }
    void DataClosing() override { m_session.UntrackData(); }
    bool Abandoned() override { return m_session.Closing(); }

private:
    CBrowserSession& m_session;
};

// How the box's data connections are made.
DataMode DataModeOf(const CBrowserSession& s);

// The message for a transfer that failed, empty for one that went through
// or was given up. A transfer went through only when its data connection
// ended normally and the completion reply is 2xx: data cut off, a 426 after
// the data or a control connection lost before the reply leave a file or a
// listing that may lack its end, whatever its size. `refused` is the
// message for a transfer command the server refused. A transfer that gave
// up waiting says so below the message, and marks the session lost.
std::string TransferFailure(CBrowserSession& s, const TransferResult& result, const char* refused);
