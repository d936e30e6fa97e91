#include "ftp/Transfer.h"

#include <algorithm>
#include <chrono>

#include "ftp/ReplyText.h"

namespace {

// A reply that lets the transfer go on; 999 and codes below 0 do not.
bool IsAccepted(int code)
{
    return code >= 0 && code < 400;
}

bool IsPreliminary(int code)
{
    return code >= 100 && code < 200;
}

// Both sockets talk to the same host (the port may differ).
bool SamePeer(SocketHandle a, SocketHandle b)
{
    NetAddress first, second;
    unsigned short port;
    return PeerSocketAddress(a, first, &port) && PeerSocketAddress(b, second, &port) && first.v6 == second.v6 &&
           std::equal(first.bytes, first.bytes + sizeof first.bytes, second.bytes);
}

}  // namespace

CTransfer::CTransfer(CFtpClient& ftp, CStream& control, CTransferObserver* observer, DataMode mode)
    : m_ftp(ftp),
      m_control(control),
      m_observer(observer),
      m_mode(mode)
{
}

CTransfer::~CTransfer()
{
    CloseData();
}

bool CTransfer::OpenDataPort()
{
    return m_mode == DataMode::Passive ? OpenPassive() : OpenActive();
}

// On an IPv6 control connection the data port is spoken of with EPRT and
// EPSV; IPv4 keeps PORT and PASV.
bool CTransfer::OpenActive()
{
    NetAddress family;
    unsigned short controlPort;
    LocalSocketAddress(m_control.Socket(), family, &controlPort);
    CSocketOwner listener(OpenStreamSocket(family));
    if (!listener.IsValid() || !ListenOnFreePort(listener.Get(), family))
        return Stop(TransferResult::Connection, TransferStep::DataPort, false);
    NetAddress listenAddress, controlAddress;
    unsigned short listenPort;
    if (!LocalSocketAddress(listener.Get(), listenAddress, &listenPort) ||
        !LocalSocketAddress(m_control.Socket(), controlAddress, &controlPort))
        return Stop(TransferResult::Connection, TransferStep::DataPort, false);

    const std::string line = controlAddress.v6 ? CFtpClient::FormatEprtLine(controlAddress, listenPort)
                                               : CFtpClient::FormatPortLine(controlAddress.bytes, listenPort);
    const int code = m_ftp.SendCommand(m_control, line.c_str());
    if (code != 200)
        return Stop(code == ReplyFailed ? TransferResult::Connection : TransferResult::Refused, TransferStep::DataPort,
                    true);
    m_listener.Reset(listener.Release());
    return true;
}

// A reply that cannot be read, or a port nobody answers on, fails the data
// port as a refused PORT does: the command is never sent.
bool CTransfer::OpenPassive()
{
    NetAddress peer;
    unsigned short controlPort;
    const bool v6 = PeerSocketAddress(m_control.Socket(), peer, &controlPort) && peer.v6;
    const int code = m_ftp.SendCommand(m_control, v6 ? "EPSV\r\n" : "PASV\r\n");
    unsigned short port = 0;
    const bool offered =
        v6 ? code == 229 && ExtendedPassivePort(m_ftp.LastReply(), port) : code == 227 && PassivePort(m_ftp.LastReply(), port);
    if (!offered)
        return Stop(code == ReplyFailed ? TransferResult::Connection : TransferResult::Refused, TransferStep::DataPort,
                    true);
    CSocketOwner data(OpenStreamSocket(peer));
    if (!PeerSocketAddress(m_control.Socket(), peer, &controlPort) || !data.IsValid())
        return Stop(TransferResult::Connection, TransferStep::DataPort, true);
    const int limit = m_ftp.TimeLimit();
    const ConnectEnd end = ConnectSocketWithin(data.Get(), peer, port, limit > 0 ? limit * 1000 : -1);
    if (end == ConnectEnd::TimedOut)
        return StopTimedOut(TransferStep::DataPort);
    if (end != ConnectEnd::Connected)
        return Stop(TransferResult::Connection, TransferStep::DataPort, true);
    m_connected.Reset(data.Release());
    return true;
}

TransferResult CTransfer::Upload(const std::string& command, CInputFile& file)
{
    return Run(command, [&](CStream& data) { return m_ftp.SendFile(data, file); });
}

TransferResult CTransfer::Download(const std::string& command, const char* localPath,
                                   const CFtpClient::ReceiveCallback& onReceive)
{
    return Run(command, [&](CStream& data) { return m_ftp.ReceiveToFile(data, localPath, onReceive); });
}

TransferResult CTransfer::Discard(const std::string& command)
{
    return Run(command, [](CStream& data) {
        char block[CFtpClient::BlockSize];
        for (;;) {
            const int n = data.Receive(block, sizeof block);
            if (n <= 0)
                return n == 0 ? CFtpClient::DataEnd::Whole : CFtpClient::DataEnd::Connection;
        }
    });
}

template <typename Move>
TransferResult CTransfer::Run(const std::string& command, Move move)
{
    if (!m_listener.IsValid() && !m_connected.IsValid())
        return m_result;  // no data port: OpenDataPort's failure
    const int code = m_ftp.SendCommand(m_control, command.c_str());
    if (!IsAccepted(code)) {
        Stop(code == ReplyFailed ? TransferResult::Connection : TransferResult::Refused, TransferStep::Command, true);
        return m_result;
    }
    if (m_observer)
        m_observer->CommandAccepted();
    if (!AwaitDataConnection())
        return m_result;

    CFtpClient::DataEnd end = move(*m_data);
    // An encrypted connection must be ended in order, or the server takes
    // an upload for cut off.
    if (end == CFtpClient::DataEnd::Whole && !m_data->Shutdown())
        end = CFtpClient::DataEnd::Connection;
    // A server silent on the data connection would be as slow to reply.
    if (end == CFtpClient::DataEnd::Connection && m_data->TimedOut()) {
        StopTimedOut(TransferStep::Data);
        return m_result;
    }
    // Closing tells the server that an upload is complete.
    CloseData();
    // Cut short on purpose: the server still answers for the part it got.
    if (end == CFtpClient::DataEnd::Stopped) {
        ReadCompletion(TransferResult::Stopped, TransferStep::Data);
        return m_result;
    }
    if (IsAbandoned()) {
        Stop(TransferResult::Abandoned, TransferStep::Data, false);
        return m_result;
    }
    if (end == CFtpClient::DataEnd::Whole)
        ReadCompletion(TransferResult::Done, TransferStep::Completion);
    else
        ReadCompletion(end == CFtpClient::DataEnd::LocalFile ? TransferResult::LocalFile : TransferResult::Connection,
                       TransferStep::Data);
    return m_result;
}

// Waits on the listener and the control connection together: a server that
// cannot connect says so on the control connection (425) and never comes.
// In passive mode the connection is up already.
bool CTransfer::AwaitDataConnection()
{
    const auto start = std::chrono::steady_clock::now();
    const int limit = m_ftp.TimeLimit();
    while (m_listener.IsValid()) {
        // A stream may hold a reply already that a wait on its socket would not see.
        const int ready =
            m_control.Pending() ? ReadableSecond : WaitReadable(m_listener.Get(), m_control.Socket(), PollMs);
        if (IsAbandoned())
            return Stop(TransferResult::Abandoned, TransferStep::DataConnection, false);
        if (ready == 0) {
            if (limit > 0 && std::chrono::steady_clock::now() - start >= std::chrono::seconds(limit))
                return StopTimedOut(TransferStep::DataConnection);
            continue;
        }
        if (ready < 0) {
            m_listener.Reset();
            ReadCompletion(TransferResult::Connection, TransferStep::DataConnection);
            return false;
        }
        if (ready & ReadableFirst) {
            CSocketOwner accepted(AcceptConnection(m_listener.Get()));
            // Another host that finds the port first must not get the data.
            if (accepted.IsValid() && !SamePeer(accepted.Get(), m_control.Socket()))
                continue;
            m_connected.Reset(accepted.Release());
            m_listener.Reset();
            break;
        }
        const int code = m_ftp.ReadReply(m_control);
        if (IsPreliminary(code))
            continue;
        return Stop(code == ReplyFailed ? TransferResult::Connection : TransferResult::Refused,
                    TransferStep::DataConnection, true);
    }

    m_dataSocket = m_connected.Release();
    if (m_dataSocket == InvalidSocket) {
        ReadCompletion(TransferResult::Connection, TransferStep::DataConnection);
        return false;
    }
    if (m_observer && !m_observer->DataConnected(m_dataSocket))
        return Stop(TransferResult::Abandoned, TransferStep::DataConnection, false);
    std::string why;
    m_data = m_control.DataStream(m_dataSocket, &why);
    if (!m_data) {
        CloseData();
        ReadCompletion(TransferResult::Connection, TransferStep::DataConnection);
        m_result.failure = why;
        return false;
    }
    return true;
}

// The server owes a completion reply for every command it accepted; reading
// it on failures too keeps the next command's reply its own.
void CTransfer::ReadCompletion(TransferResult::Outcome outcome, TransferStep step)
{
    const int code = m_ftp.ReadReply(m_control);
    // Only 2xx says the server kept the data: a line without a number (code
    // 0) or a stray preliminary reply does not.
    if (outcome == TransferResult::Done && code == ReplyFailed)
        outcome = TransferResult::Connection;
    else if (outcome == TransferResult::Done && (code < 200 || code > 299))
        outcome = TransferResult::Refused;
    m_result.outcome = outcome;
    m_result.step = step;
    m_result.code = code;
    m_result.text = m_ftp.LastReply();
    m_result.timedOut = code == ReplyFailed && m_ftp.TimedOut();
}

// Nothing more is read: the server has kept us waiting long enough.
bool CTransfer::StopTimedOut(TransferStep step)
{
    Stop(TransferResult::Connection, step, false);
    m_result.timedOut = true;
    return false;
}

bool CTransfer::Stop(TransferResult::Outcome outcome, TransferStep step, bool replyRead)
{
    m_listener.Reset();
    m_connected.Reset();
    CloseData();
    m_result.outcome = outcome;
    m_result.step = step;
    m_result.code = replyRead ? m_ftp.LastReplyCode() : 0;
    m_result.text = replyRead ? m_ftp.LastReply() : "";
    m_result.timedOut = replyRead && m_ftp.LastReplyCode() == ReplyFailed && m_ftp.TimedOut();
    return false;
}

bool CTransfer::IsAbandoned()
{
    return m_observer != nullptr && m_observer->Abandoned();
}

void CTransfer::CloseData()
{
    m_data.reset();
    if (m_dataSocket == InvalidSocket)
        return;
    if (m_observer)
        m_observer->DataClosing();
    CloseSocket(m_dataSocket);
    m_dataSocket = InvalidSocket;
}
