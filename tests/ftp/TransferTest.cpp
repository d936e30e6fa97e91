// The transfer step against scripted servers over real sockets: server
// replies in; the commands the server saw, the result, what arrived and the
// observer's calls out. After every transfer the client sends NOOP, which
// must get its own reply (a completion left unread would answer it), while
// the server tries the announced data port once more: nobody may listen
// there any more. Built for the build machine and for Windows (run under
// Wine by wine_ftp_client.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ScriptedServer.h"
#include "TempDir.h"
#include "ftp/Transfer.h"

namespace {

typedef TransferResult R;
typedef TransferStep S;

const char Greeting[] = R"({"reply": "220 Hi\r\n"})";

// Records the hooks in the order they were called.
class CRecordingObserver : public CTransferObserver {
public:
    explicit CRecordingObserver(CFtpClient& ftp) : m_ftp(ftp) {}
    void CommandAccepted() override { events += std::string("accepted ") + m_ftp.LastReply(); }
    bool DataConnected(SocketHandle) override
    {
        events += "connected;";
        return !refuseData;
    }
    void DataClosing() override { events += "closing;"; }
    bool Abandoned() override { return abandonAfter >= 0 && ++polls > abandonAfter; }

    std::string events;
    bool refuseData = false;
    int abandonAfter = -1;  // polls answered "go on"; -1: never give up
    int polls = 0;

private:
    CFtpClient& m_ftp;
};

// How a case's client differs from a plain one.
enum Setup {
    Plain,
    ReadAhead,      // the control stream holds what has arrived (CReadAheadStream)
    NoDataStream,   // ... and makes no data stream
    ShutdownFails,  // ... and makes data streams that cannot be ended in order
    Shrinks,        // the local file shrinks to 20000 bytes after the first block
    GiveUp,         // the observer gives up at its third poll
    RefuseData,     // the observer refuses the data connection
    Stops,          // the progress callback stops the upload after its fifth block
};

// A control stream that takes in whatever has arrived, as an encrypted
// stream does with whole records, so that a wait on its socket alone would
// miss a reply it holds; and data streams that fail as a test asks.
class CReadAheadStream : public CStream {
public:
    CReadAheadStream(SocketHandle s, Setup setup) : m_socket(s), m_setup(setup) {}
    int Send(const char* data, int length) override { return SendSome(m_socket, data, length); }
    int Receive(char* buffer, int length) override { return Take(buffer, length, true); }
    int Peek(char* buffer, int length) override { return Take(buffer, length, false); }
    bool Pending() const override { return !m_held.empty(); }
    SocketHandle Socket() const override { return m_socket; }
    std::unique_ptr<CStream> DataStream(SocketHandle s, std::string* why) override
    {
        if (m_setup == NoDataStream)
            return nullptr;
        if (m_setup == ShutdownFails)
            return std::unique_ptr<CStream>(new CFailingShutdown(s));
        return CStream::DataStream(s, why);
    }

private:
    struct CFailingShutdown : CPlainStream {
        using CPlainStream::CPlainStream;
        bool Shutdown() override { return false; }
    };

    int Take(char* buffer, int length, bool consume)
    {
        if (m_held.empty()) {
            char chunk[65536];
            const int n = ReceiveSome(m_socket, chunk, sizeof chunk);
            if (n <= 0)
                return n;
            m_held.assign(chunk, static_cast<size_t>(n));
        }
        const size_t n = std::min(m_held.size(), static_cast<size_t>(length));
        std::memcpy(buffer, m_held.data(), n);
        if (consume)
            m_held.erase(0, n);
        return static_cast<int>(n);
    }

    SocketHandle m_socket;
    Setup m_setup;
    std::string m_held;
};

// Text that shows a lost, repeated or reordered block.
std::string Payload(size_t size)
{
    std::string text;
    for (int i = 0; text.size() < size; ++i)
        text += "line " + std::to_string(i) + ";";
    text.resize(size);
    return text;
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at; (at = text.find(from)) != std::string::npos;)
        text.replace(at, from.size(), to);
    return text;
}

struct Step {
    const char* name;
    bool upload;
    size_t size;           // upload: the local file; download: what the server sends ($payload)
    bool localMissing;     // upload: no local file; download: no local folder
    const char* transfer;  // the script steps from the transfer command on
    R::Outcome outcome;
    S step;
    int code;
    const char* events;
    long arrived;  // bytes the server received or the local file holds; -1: none
    Setup setup = Plain;
    const char* port = "200 PORT ok";
    // Passive mode, with this answer to PASV: {pasv} and {port} stand for
    // the server's passive port (see scripted_ftpd.py).
    const char* pasv = nullptr;
};

const char Go[] = R"(150 Opening data connection.\r\n)";
const char Accepted[] = "accepted 150 Opening data connection.\r\n";
const char Moved[] = "accepted 150 Opening data connection.\r\nconnected;closing;";
const char Stored[] = R"({"expect": "STOR up.bin", "reply": "$go", "data": "receive", "then": "226 Stored.\r\n"})";
const char Sent[] = R"({"expect": "RETR down.txt", "reply": "$go", "data": "send", "payload": "$payload",
                        "then": "226 Sent.\r\n"})";
const char Aborted[] = R"(426 Connection closed; transfer aborted.\r\n)";

const Step Steps[] = {
    {"upload", true, 2500, false, Stored, R::Done, S::Completion, 226, Moved, 2500},
    {"upload of whole blocks", true, 2048, false, Stored, R::Done, S::Completion, 226, Moved, 2048},
    {"empty upload", true, 0, false, Stored, R::Done, S::Completion, 226, Moved, 0},
    {"download", false, 2500, false, Sent, R::Done, S::Completion, 226, Moved, 2500},
    {"empty download", false, 0, false, Sent, R::Done, S::Completion, 226, Moved, 0},

    {"PORT refused", true, 10, false, "", R::Refused, S::DataPort, 500, "", -1, Plain, "500 Illegal PORT command."},
    {"PORT answered other than 200", false, 10, false, "", R::Refused, S::DataPort, 227, "", -1, Plain,
     "227 Not quite"},

    {"upload refused at once (425 before 150)", true, 10, false,
     R"({"expect": "STOR up.bin", "reply": "425 Can't open data connection.\r\n"})", R::Refused, S::Command, 425, "",
     -1},
    {"download refused at once", false, 10, false, R"({"expect": "RETR down.txt", "reply": "550 No such file.\r\n"})",
     R::Refused, S::Command, 550, "", -1},

    // The server could not connect and says so instead: no connection comes.
    {"upload: 425 after 150", true, 10, false,
     R"({"expect": "STOR up.bin", "reply": ["$go", "425 Can't open data connection.\r\n"], "pause": 0.3})", R::Refused,
     S::DataConnection, 425, Accepted, -1},
    {"download: 425 after 150", false, 10, false,
     R"({"expect": "RETR down.txt", "reply": ["$go", "425 Can't open data connection.\r\n"], "pause": 0.3})",
     R::Refused, S::DataConnection, 425, Accepted, -1},
    // A stream holding the opening reply and the refusal behind it leaves
    // nothing in its socket: the wait must ask the stream first.
    {"425 held by the stream", true, 10, false,
     R"({"expect": "STOR up.bin", "reply": "$go425 Can't open data connection.\r\n"})", R::Refused, S::DataConnection,
     425, Accepted, -1, ReadAhead},
    {"a second preliminary reply is waited past", false, 10, false,
     R"({"expect": "RETR down.txt", "reply": ["125 Starting\r\n", "150 Still starting\r\n"], "pause": 0.3,
         "data": "send", "payload": "$payload", "data_delay": 0.3, "then": "226 Done\r\n"})",
     R::Done, S::Completion, 226, "accepted 125 Starting\r\nconnected;closing;", 10},

    {"upload kept whole, refused at completion", true, 3000, false,
     R"({"expect": "STOR up.bin", "reply": "$go", "data": "receive", "then": "451-Local error\r\n451 in processing.\r\n"})",
     R::Refused, S::Completion, 451, Moved, 3000},
    // Only 2xx says the server kept it (a line without a number: the engine's e2e).
    {"upload answered by a preliminary reply where the completion belongs", true, 100, false,
     R"({"expect": "STOR up.bin", "reply": "$go", "data": "receive", "then": "150 Still going.\r\n"})", R::Refused,
     S::Completion, 150, Moved, 100},
    {"download cut short by the server", false, 700, false,
     R"({"expect": "RETR down.txt", "reply": "$go", "data": "send", "payload": "$payload", "then": "$aborted"})",
     R::Refused, S::Completion, 426, Moved, 700},
    // More than loopback buffers can hold, so the close is met while sending.
    {"upload: the server closes the data connection early", true, 32 << 20, false,
     R"({"expect": "STOR up.bin", "reply": "$go", "data": "probe", "then": "$aborted"})", R::Connection, S::Data, 426,
     Moved, -1},

    // Stopped by the sender (Cancel): the server's answer is read, so the
    // session stays in step for a clean-up command.
    {"upload stopped by the sender", true, 100000, false, Stored, R::Stopped, S::Data, 226, Moved,
     CFtpClient::BlockSize * CFtpClient::SendBlocks, Stops},

    {"upload of a local file that cannot be opened", true, 10, true, Stored, R::LocalFile, S::Data, 226, Moved, 0},
    {"upload of a file that shrinks while it is sent", true, 100000, false, Stored, R::LocalFile, S::Data, 226, Moved,
     20000, Shrinks},
    {"download into a folder that does not exist", false, 2500, true,
     R"({"expect": "RETR down.txt", "reply": "$go", "data": "connect", "then": "$aborted"})", R::LocalFile, S::Data,
     426, Moved, -1},

    // The data connection is up, but its stream cannot be had (a failed
    // handshake) or not ended in order.
    {"no data stream", false, 0, false,
     R"({"expect": "RETR down.txt", "reply": "$go", "data": "connect", "then": "$aborted"})", R::Connection,
     S::DataConnection, 426, Moved, -1, NoDataStream},
    {"data stream not ended in order", true, 1500, false,
     R"({"expect": "STOR up.bin", "reply": "$go", "data": "receive", "then": "$aborted"})", R::Connection, S::Data, 426,
     Moved, 1500, ShutdownFails},

    // Passive: we connect to the port of the 227 reply at the control
    // connection's peer, before the command.
    {"passive upload", true, 2500, false, Stored, R::Done, S::Completion, 226, Moved, 2500, Plain, "", "$pasv"},
    {"passive download", false, 2500, false, Sent, R::Done, S::Completion, 226, Moved, 2500, Plain, "", "$pasv"},
    {"passive: the address in the reply is not followed", false, 700, false, Sent, R::Done, S::Completion, 226, Moved,
     700, Plain, "", "227 Entering Passive Mode (10,99,0,1,{port})"},
    {"passive: the server closes the data connection early", true, 32 << 20, false,
     R"({"expect": "STOR up.bin", "reply": "$go", "data": "probe", "then": "$aborted"})", R::Connection, S::Data, 426,
     Moved, -1, Plain, "", "$pasv"},
    {"PASV refused", true, 10, false, "", R::Refused, S::DataPort, 500, "", -1, Plain, "", "500 PASV not understood"},
    {"a 227 without its numbers", false, 10, false, "", R::Refused, S::DataPort, 227, "", -1, Plain, "",
     "227 Entering Passive Mode"},
    {"nobody at the passive port", false, 10, false, "", R::Connection, S::DataPort, 227, "", -1, Plain, "",
     "227 Entering Passive Mode (127,0,0,1,0,1)"},

    // Given up by the caller (the window closing): nothing more is read.
    {"given up while waiting", false, 0, false, R"({"expect": "RETR down.txt", "reply": "$go"})", R::Abandoned,
     S::DataConnection, 0, Accepted, -1, GiveUp},
    {"data connection refused by the observer", false, 0, false,
     R"({"expect": "RETR down.txt", "reply": "$go", "data": "connect"})", R::Abandoned, S::DataConnection, 0, Moved, -1,
     RefuseData},
};

struct StepRun {
    TransferResult result;
    ScriptedRecord record;
    std::string events;
    std::vector<uint64_t> sent;    // the running totals the client reported
    std::vector<size_t> received;  // the receive counts
    std::string local;             // what the local file holds after a download
    bool localExists = false;
};

std::string Script(const Step& c)
{
    std::string script = std::string("[") + Greeting;
    if (c.pasv == nullptr)
        script += R"(, {"expect": "PORT *", "reply": ")" + std::string(c.port) + R"(\r\n"})";
    else if (std::string(c.pasv) == "$pasv")
        script += R"(, {"expect": "PASV", "passive": true})";
    else
        script += R"(, {"expect": "PASV", "passive": true, "reply": ")" + std::string(c.pasv) + R"(\r\n"})";
    if (*c.transfer != 0)
        script += R"(, {"expect": "TYPE I", "reply": "200 Type set\r\n"}, )" + std::string(c.transfer);
    // Active: the announced data port must be closed by now. (Passive: the
    // socket count shows the data connection closed.)
    script += c.pasv == nullptr ? R"(, {"expect": "NOOP", "data": "probe", "reply": "200 In step\r\n"}])"
                                : R"(, {"expect": "NOOP", "reply": "200 In step\r\n"}])";
    return Replace(Replace(Replace(script, "$go", Go), "$aborted", Aborted), "$payload", Payload(c.size));
}

// Greeting, PORT, TYPE I between the data port and the command, the
// transfer, NOOP.
StepRun RunStep(const Step& c)
{
    StepRun run;
    CScriptedServer server(Script(c));
    EXPECT_EQ(server.Failure(), "");
    const int socketsBefore = OpenSocketCount();
    CTempDir dir;
    const std::string path = c.upload ? dir.Path("up.bin") : dir.Path(c.localMissing ? "no/such/folder/x" : "down");
    if (c.upload && !c.localMissing)
        WriteFile(path, PatternBytes(c.size));
    {
        CSocketOwner socket(server.Connect());
        std::unique_ptr<CStream> control;
        if (c.setup == ReadAhead || c.setup == NoDataStream || c.setup == ShutdownFails)
            control.reset(new CReadAheadStream(socket.Get(), c.setup));
        else
            control.reset(new CPlainStream(socket.Get()));
        CFtpClient ftp;
        EXPECT_EQ(ftp.ReadReply(*control), 220);
        ftp.EnableProgress([&](uint64_t size, uint64_t sent) {
            EXPECT_EQ(size, c.size);
            run.sent.push_back(sent);
            if (c.setup == Shrinks && sent == 1024)
                std::filesystem::resize_file(path, 20000);
            return c.setup != Stops || sent < 5 * CFtpClient::BlockSize;
        });
        CRecordingObserver observer(ftp);
        observer.refuseData = c.setup == RefuseData;
        // A transfer that would never end fails after 5 s.
        observer.abandonAfter = c.setup == GiveUp ? 3 : 25;
        {
            CTransfer transfer(ftp, *control, &observer, c.pasv != nullptr ? DataMode::Passive : DataMode::Active);
            // An upload's file is opened first, as the engine opens it.
            std::unique_ptr<CInputFile> file(c.upload ? new CInputFile(path.c_str()) : nullptr);
            if (transfer.OpenDataPort()) {
                EXPECT_EQ(ftp.SendCommand(*control, "TYPE I\r\n"), 200);
                run.result = c.upload ? transfer.Upload("STOR up.bin\r\n", *file)
                                      : transfer.Download("RETR down.txt\r\n", path.c_str(),
                                                          [&](size_t n) { run.received.push_back(n); });
            } else {
                run.result = transfer.Result();
            }
        }
        run.events = observer.events;
        EXPECT_EQ(ftp.SendCommand(*control, "NOOP\r\n"), 200) << "out of step: " << ftp.LastReply();
    }
    run.record = server.Finish();
    if (socketsBefore >= 0) {
        EXPECT_EQ(OpenSocketCount(), socketsBefore) << "a socket left open";
    }
    run.localExists = std::filesystem::exists(path);
    run.local = ReadFile(path);
    return run;
}

std::vector<std::string> Commands(const Step& c)
{
    const char* port = c.pasv != nullptr ? "PASV" : "PORT";
    if (c.step == S::DataPort)
        return {port, "NOOP"};
    return {port, "TYPE I", c.upload ? "STOR up.bin" : "RETR down.txt", "NOOP"};
}

// The PORT line names the control connection's address (loopback here).
bool NamesLoopback(const std::string& port)
{
    int n[6] = {};
    return std::sscanf(port.c_str(), "PORT %d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]) == 6 &&
           n[0] == 127 && n[1] == 0 && n[2] == 0 && n[3] == 1;
}

// One notification per block, the last at the file's size; one for an
// empty file.
std::vector<uint64_t> BlockTotals(size_t size)
{
    std::vector<uint64_t> totals;
    for (uint64_t sent = 0; sent < size || totals.empty();) {
        sent = std::min<uint64_t>(sent + CFtpClient::BlockSize, size);
        totals.push_back(sent);
    }
    return totals;
}

void Check(const Step& c, const StepRun& run)
{
    EXPECT_EQ(run.result.outcome, c.outcome);
    EXPECT_EQ(static_cast<int>(run.result.step), static_cast<int>(c.step));
    EXPECT_EQ(run.result.code, c.code);
    EXPECT_EQ(run.result.text.substr(0, 3), c.code ? std::to_string(c.code) : "");
    EXPECT_EQ(run.events, c.events);

    std::vector<std::string> commands = run.record.commands;
    if (!commands.empty() && c.pasv == nullptr) {
        EXPECT_TRUE(NamesLoopback(commands[0])) << commands[0];
        commands[0] = commands[0].substr(0, 4);
    }
    EXPECT_EQ(commands, Commands(c));
    EXPECT_EQ(run.record.errors, std::vector<std::string>());
    if (c.pasv == nullptr) {
        ASSERT_FALSE(run.record.transfers.empty());
        EXPECT_EQ(run.record.transfers.back().result, "refused") << "the data port is still open";
    }

    if (c.upload) {
        const size_t transfers = c.pasv == nullptr ? 2 : 1;  // active: the probe too
        const bool received = run.record.transfers.size() == transfers && run.record.transfers[0].kind == "receive";
        EXPECT_EQ(received ? static_cast<long>(run.record.transfers[0].data.size()) : -1, c.arrived);
        if (received) {
            EXPECT_TRUE(run.record.transfers[0].data == PatternBytes(c.size).substr(0, c.arrived));
        }
        if (c.outcome == R::Done) {
            EXPECT_EQ(run.sent, BlockTotals(c.size));
        }
    } else {
        EXPECT_EQ(run.localExists ? static_cast<long>(run.local.size()) : -1, c.arrived);
        if (run.localExists) {
            EXPECT_EQ(run.local, Payload(c.size));
            // Every receive is reported, the closing one of 0 bytes too.
            size_t total = 0;
            for (size_t n : run.received) {
                EXPECT_LE(n, CFtpClient::BlockSize);
                total += n;
            }
            EXPECT_EQ(total, run.local.size());
            EXPECT_EQ(run.received.empty() ? 1 : run.received.back(), 0u);
        }
    }
}

TEST(FtpTransfer, Transcripts)
{
    REQUIRE_SCRIPTED_SERVERS();
    for (const Step& c : Steps) {
        SCOPED_TRACE(c.name);
        Check(c, RunStep(c));
    }
}

}  // namespace
