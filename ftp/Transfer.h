// One data transfer (STOR, RETR, LIST) on a control connection, in the order
// servers expect: the data port, then whatever the caller still has to send
// (TYPE, CWD), the transfer command, the data connection, the data, the
// completion reply. Every path closes what it opened, and once the server
// has accepted the command its completion reply is read on every path but
// an abandoned one, so the next command reads its own reply.
//
// How the data connection is made is decided here alone: in active mode a
// listener and PORT before the command, the server's connection accepted
// after it; in passive mode PASV and our connect before the command. Either
// way the data connection is read and written through the stream the
// control stream makes for it (CStream::DataStream) once the command has
// its preliminary reply, so encryption follows the control connection.
#pragma once

#include <memory>
#include <string>

#include "ftp/FtpClient.h"
#include "ftp/Socket.h"
#include "ftp/Stream.h"

// Who opens the data connection: the server (active, PORT) or we (passive,
// PASV), as a box's "Passive" value says.
enum class DataMode { Active, Passive };

// Where a transfer stopped.
enum class TransferStep { DataPort, Command, DataConnection, Data, Completion };

struct TransferResult {
    enum Outcome {
        Done,        // the data went whole and the completion reply is in the 2xx range
        Refused,     // the server said no, or not clearly yes (the reply below)
        LocalFile,   // the local file could not be opened, read, created or written
        Connection,  // a socket call failed, or the server closed a connection
        Abandoned,   // the observer gave the transfer up; nothing more was read
        Stopped,     // the sender stopped midway; the server's reply to that was read
    };
    Outcome outcome = Connection;
    TransferStep step = TransferStep::DataPort;
    // The last reply the transfer read: the refusal, or the completion
    // reply (also after a local failure); 0 and empty when none was read.
    int code = 0;
    std::string text;
    // Why we gave up a data connection the server made (its TLS session or
    // certificate); empty otherwise.
    std::string failure;
    // The server kept us waiting past the client's time limit: the control
    // connection is out of step (a completion reply may still come).
    bool timedOut = false;

    bool IsDone() const { return outcome == Done; }
};

// What a caller learns and decides while a transfer runs; every hook is
// called on the transfer's thread.
class CTransferObserver {
public:
    virtual ~CTransferObserver() = default;
    // The transfer command was accepted; its reply is the client's last reply.
    virtual void CommandAccepted() {}
    // The server's data connection is up; false gives the transfer up.
    virtual bool DataConnected(SocketHandle) { return true; }
    // The data connection is about to be closed.
    virtual void DataClosing() {}
    // Asked about every PollMs while the transfer waits for the server's
    // connection, and once after the data: true gives the transfer up.
    // The wait itself ends after the client's time limit.
    virtual bool Abandoned() { return false; }
};

class CTransfer {
public:
    static constexpr int PollMs = 200;

    // The client, the control stream and the observer are the caller's and
    // must outlive the transfer.
    CTransfer(CFtpClient& ftp, CStream& control, CTransferObserver* observer = nullptr,
              DataMode mode = DataMode::Active);
    ~CTransfer();
    CTransfer(const CTransfer&) = delete;
    CTransfer& operator=(const CTransfer&) = delete;

    // The first step, before the caller's own commands. Active: a listener
    // on a free port, and PORT with the control connection's local address
    // (the server reaches us through the interface it already talks to);
    // only 200 accepts it. Only a connection from the control connection's
    // peer is taken on it: anyone else is closed and the wait goes on. Passive: PASV, whose 227 reply gives the port,
    // and a connection to that port at the control connection's peer
    // address. False when that failed; Result() says why.
    bool OpenDataPort();

    // The rest: the command line (with its "\r\n"), then the local file
    // sent (opened by the caller before the data port) or received. The
    // client's progress callback sees every block sent; onReceive every
    // receive call.
    TransferResult Upload(const std::string& command, CInputFile& file);
    TransferResult Download(const std::string& command, const char* localPath,
                            const CFtpClient::ReceiveCallback& onReceive = CFtpClient::ReceiveCallback());

    // A transfer whose data is read and dropped (a listing that only shows
    // the server takes our data connections).
    TransferResult Discard(const std::string& command);

    const TransferResult& Result() const { return m_result; }

private:
    template <typename Move>
    TransferResult Run(const std::string& command, Move move);
    bool OpenActive();
    bool OpenPassive();
    bool AwaitDataConnection();
    bool Stop(TransferResult::Outcome outcome, TransferStep step, bool replyRead);
    bool StopTimedOut(TransferStep step);
    void ReadCompletion(TransferResult::Outcome failure, TransferStep step);
    bool IsAbandoned();
    void CloseData();

    CFtpClient& m_ftp;
    CStream& m_control;
    CTransferObserver* m_observer;
    DataMode m_mode;
    CSocketOwner m_listener;   // active mode, until the server has connected
    CSocketOwner m_connected;  // passive mode, until the command is accepted
    SocketHandle m_dataSocket = InvalidSocket;
    std::unique_ptr<CStream> m_data;
    TransferResult m_result;
};
