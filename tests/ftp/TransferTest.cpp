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
#include <functional>
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

// A control stream that takes in whatever has arrived, as an encrypted
// stream does with whole records, so that a wait on its socket alone would
// miss a reply it holds; and data streams that fail as a test asks.
class CReadAheadStream : public CStream {
public:
    enum DataKind { PlainData, NoDataStream, ShutdownFails };

    CReadAheadStream(SocketHandle s, DataKind data) : m_socket(s), m_dataKind(data) {}
    int Send(const char* data, int length) override { return SendSome(m_socket, data, length); }
    int Receive(char* buffer, int length) override { return Take(buffer, length, true); }
    int Peek(char* buffer, int length) override { return Take(buffer, length, false); }
    bool Pending() const override { return !m_held.empty(); }
    SocketHandle Socket() const override { return m_socket; }
    std::unique_ptr<CStream> DataStream(SocketHandle s) override
    {
        if (m_dataKind == NoDataStream)
            return nullptr;
        if (m_dataKind == ShutdownFails)
            return std::unique_ptr<CStream>(new CFailingShutdown(s));
        return CStream::DataStream(s);
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
    DataKind m_dataKind;
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
    const char* port;      // the PORT reply
    const char* transfer;  // the script steps from the transfer command on
    R::Outcome outcome;
    S step;
    int code;
    const char* events;
    long arrived;  // bytes the server received or the local file holds; -1: none
};

const char Go[] = R"(150 Opening data connection.\r\n)";

const Step Steps[] = {
    {"upload", true, 2500, false, "200 PORT ok",
     R"({"expect": "STOR up.bin", "reply": "$go", "data": "receive", "then": "226 Transfer complete.\r\n"})", R::Done,
     S::Completion, 226, "accepted 150 Opening data connection.\r\nconnected;closing;", 2500},
    {"download", false, 2500, false, "200 PORT ok",
     R"({"expect": "RETR down.txt", "reply": "$go", "data": "send", "payload": "$payload",
         "then": "226 Transfer complete.\r\n"})",
     R::Done, S::Completion, 226, "accepted 150 Opening data connection.\r\nconnected;closing;", 2500},
    {"empty download", false, 0, false, "200 PORT ok",
     R"({"expect": "RETR down.txt", "reply": "$go", "data": "send", "then": "226 Transfer complete.\r\n"})", R::Done,
     S::Completion, 226, "accepted 150 Opening data connection.\r\nconnected;closing;", 0},

    {"PORT refused", true, 10, false, "500 Illegal PORT command.", "", R::Refused, S::DataPort, 500, "", -1},
    {"PORT answered other than 200", false, 10, false, "227 Not quite", "", R::Refused, S::DataPort, 227, "", -1},

    {"upload refused at once (425 before 150)", true, 10, false, "200 PORT ok",
     R"({"expect": "STOR up.bin", "reply": "425 Can't open data connection.\r\n"})", R::Refused, S::Command, 425, "",
     -1},
    {"download refused at once", false, 10, false, "200 PORT ok",
     R"({"expect": "RETR down.txt", "reply": "550 No such file.\r\n"})", R::Refused, S::Command, 550, "", -1},

    // The server could not connect and says so instead: no connection comes.
    {"upload: 425 after 150", true, 10, false, "200 PORT ok",
     R"({"expect": "STOR up.bin", "reply": ["$go", "425 Can't open data connection.\r\n"], "pause": 0.3})", R::Refused,
     S::DataConnection, 425, "accepted 150 Opening data connection.\r\n", -1},
    {"download: 425 after 150", false, 10, false, "200 PORT ok",
     R"({"expect": "RETR down.txt", "reply": ["$go", "425 Can't open data connection.\r\n"], "pause": 0.3})",
     R::Refused, S::DataConnection, 425, "accepted 150 Opening data connection.\r\n", -1},
    {"a second preliminary reply is waited past", false, 10, false, "200 PORT ok",
     R"({"expect": "RETR down.txt", "reply": ["125 Starting\r\n", "150 Still starting\r\n"], "pause": 0.3,
         "data": "send", "payload": "$payload", "data_delay": 0.3, "then": "226 Done\r\n"})",
     R::Done, S::Completion, 226, "accepted 125 Starting\r\nconnected;closing;", 10},

    {"upload kept whole, refused at completion", true, 3000, false, "200 PORT ok",
     R"({"expect": "STOR up.bin", "reply": "$go", "data": "receive",
         "then": "451-Local error\r\n451 in processing.\r\n"})",
     R::Refused, S::Completion, 451, "accepted 150 Opening data connection.\r\nconnected;closing;", 3000},
    {"download cut short by the server", false, 700, false, "200 PORT ok",
     R"({"expect": "RETR down.txt", "reply": "$go", "data": "send", "payload": "$payload",
         "then": "426 Connection closed; transfer aborted.\r\n"})",
     R::Refused, S::Completion, 426, "accepted 150 Opening data connection.\r\nconnected;closing;", 700},
    {"upload: the server closes the data connection early", true, 2 << 20, false, "200 PORT ok",
     R"({"expect": "STOR up.bin", "reply": "$go", "data": "probe",
         "then": "426 Connection closed; transfer aborted.\r\n"})",
     R::Connection, S::Data, 426, "accepted 150 Opening data connection.\r\nconnected;closing;", -1},

    {"upload of a local file that cannot be opened", true, 10, true, "200 PORT ok",
     R"({"expect": "STOR up.bin", "reply": "$go", "data": "receive", "then": "226 Transfer complete.\r\n"})",
     R::LocalFile, S::Data, 226, "accepted 150 Opening data connection.\r\nconnected;closing;", 0},
    {"download into a folder that does not exist", false, 2500, true, "200 PORT ok",
     R"({"expect": "RETR down.txt", "reply": "$go", "data": "connect",
         "then": "426 Connection closed; transfer aborted.\r\n"})",
     R::LocalFile, S::Data, 426, "accepted 150 Opening data connection.\r\nconnected;closing;", -1},
};

struct StepRun {
    TransferResult result;
    ScriptedRecord record;
    std::string events;
    std::string local;  // what the local file holds after a download
    bool localExists = false;
};

// Greeting, PORT, TYPE I between the data port and the command, the
// transfer, NOOP. The control stream is a plain one unless one is given.
StepRun RunStep(const Step& c, const std::string& script,
                CReadAheadStream::DataKind dataKind = CReadAheadStream::PlainData, bool readAhead = false,
                const std::function<void(CRecordingObserver&)>& setUp = nullptr)
{
    StepRun run;
    CScriptedServer server(script);
    EXPECT_EQ(server.Failure(), "");
    const int socketsBefore = OpenSocketCount();
    CTempDir dir;
    const std::string path = c.upload ? dir.Path("up.bin") : dir.Path(c.localMissing ? "no/such/folder/x" : "down");
    if (c.upload && !c.localMissing)
        WriteFile(path, PatternBytes(c.size));
    {
        CSocketOwner socket(server.Connect());
        std::unique_ptr<CStream> control;
        if (readAhead || dataKind != CReadAheadStream::PlainData)
            control.reset(new CReadAheadStream(socket.Get(), dataKind));
        else
            control.reset(new CPlainStream(socket.Get()));
        CFtpClient ftp;
        EXPECT_EQ(ftp.ReadReply(*control), 220);
        CRecordingObserver observer(ftp);
        observer.abandonAfter = 150;  // a transfer that never ends fails after 30 s
        if (setUp)
            setUp(observer);
        {
            CTransfer transfer(ftp, *control, &observer);
            if (transfer.OpenDataPort()) {
                EXPECT_EQ(ftp.SendCommand(*control, "TYPE I\r\n"), 200);
                run.result = c.upload ? transfer.Upload("STOR up.bin\r\n", path.c_str())
                                      : transfer.Download("RETR down.txt\r\n", path.c_str());
            } else {
                run.result = transfer.Result();
            }
        }
        run.events = observer.events;
        if (run.result.outcome != R::Abandoned) {
            EXPECT_EQ(ftp.SendCommand(*control, "NOOP\r\n"), 200) << "out of step: " << ftp.LastReply();
        }
    }
    run.record = server.Finish();
    if (socketsBefore >= 0) {
        EXPECT_EQ(OpenSocketCount(), socketsBefore) << "a socket left open";
    }
    run.localExists = std::filesystem::exists(path);
    run.local = ReadFile(path);
    return run;
}

std::string Script(const Step& c, const std::string& transfer)
{
    std::string script = std::string("[") + Greeting + R"(, {"expect": "PORT *", "reply": ")" + c.port + R"(\r\n"})";
    if (!transfer.empty())
        script += R"(, {"expect": "TYPE I", "reply": "200 Type set\r\n"}, )" + transfer;
    script += R"(, {"expect": "NOOP", "data": "probe", "reply": "200 In step\r\n"}])";
    return Replace(Replace(script, "$go", Go), "$payload", Payload(c.size));
}

std::vector<std::string> Commands(const Step& c)
{
    if (c.step == S::DataPort)
        return {"PORT", "NOOP"};
    return {"PORT", "TYPE I", c.upload ? "STOR up.bin" : "RETR down.txt", "NOOP"};
}

// The PORT line names the control connection's address (loopback here).
bool NamesLoopback(const std::string& port)
{
    int n[6] = {};
    return std::sscanf(port.c_str(), "PORT %d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]) == 6 &&
           n[0] == 127 && n[1] == 0 && n[2] == 0 && n[3] == 1;
}

void Check(const Step& c, const StepRun& run)
{
    EXPECT_EQ(run.result.outcome, c.outcome);
    EXPECT_EQ(static_cast<int>(run.result.step), static_cast<int>(c.step));
    EXPECT_EQ(run.result.code, c.code);
    EXPECT_EQ(run.result.text.compare(0, 3, std::to_string(c.code)), 0) << run.result.text;
    EXPECT_EQ(run.events, c.events);

    std::vector<std::string> commands = run.record.commands;
    if (!commands.empty()) {
        EXPECT_TRUE(NamesLoopback(commands[0])) << commands[0];
        commands[0] = commands[0].substr(0, 4);
    }
    EXPECT_EQ(commands, Commands(c));
    EXPECT_EQ(run.record.errors, std::vector<std::string>());
    ASSERT_FALSE(run.record.transfers.empty());
    EXPECT_EQ(run.record.transfers.back().result, "refused") << "the data port is still open";

    if (c.upload) {
        const bool received = run.record.transfers.size() == 2 && run.record.transfers[0].kind == "receive";
        EXPECT_EQ(received ? static_cast<long>(run.record.transfers[0].data.size()) : -1, c.arrived);
        if (received) {
            EXPECT_TRUE(run.record.transfers[0].data == PatternBytes(c.size).substr(0, c.arrived));
        }
    } else {
        EXPECT_EQ(run.localExists ? static_cast<long>(run.local.size()) : -1, c.arrived);
        if (run.localExists) {
            EXPECT_EQ(run.local, Payload(c.size));
        }
    }
}

TEST(FtpTransfer, Transcripts)
{
    REQUIRE_SCRIPTED_SERVERS();
    for (const Step& c : Steps) {
        SCOPED_TRACE(c.name);
        Check(c, RunStep(c, Script(c, c.transfer)));
    }
}

// A stream that holds both the opening reply and the refusal behind it has
// nothing left in its socket: the wait must ask the stream first.
TEST(FtpTransfer, ReplyHeldByTheStreamEndsTheWait)
{
    REQUIRE_SCRIPTED_SERVERS();
    const Step c = {"",
                    true,
                    10,
                    false,
                    "200 PORT ok",
                    R"({"expect": "STOR up.bin", "reply": "$go425 Can't open data connection.\r\n"})",
                    R::Refused,
                    S::DataConnection,
                    425,
                    "accepted 150 Opening data connection.\r\n",
                    -1};
    // Not waiting for ever if the reply is missed: given up after 5 s.
    Check(c, RunStep(c, Script(c, c.transfer), CReadAheadStream::PlainData, true,
                     [](CRecordingObserver& o) { o.abandonAfter = 25; }));
}

// The data connection is up, but its stream cannot be had (a failed
// handshake) or not ended in order: a failure here, the completion read.
TEST(FtpTransfer, DataStreamFailures)
{
    REQUIRE_SCRIPTED_SERVERS();
    const Step noStream = {"",
                           false,
                           0,
                           false,
                           "200 PORT ok",
                           R"({"expect": "RETR down.txt", "reply": "$go", "data": "connect",
                               "then": "426 Connection closed; transfer aborted.\r\n"})",
                           R::Connection,
                           S::DataConnection,
                           426,
                           "accepted 150 Opening data connection.\r\nconnected;closing;",
                           -1};
    Check(noStream, RunStep(noStream, Script(noStream, noStream.transfer), CReadAheadStream::NoDataStream));

    const Step noShutdown = {"",
                             true,
                             1500,
                             false,
                             "200 PORT ok",
                             R"({"expect": "STOR up.bin", "reply": "$go", "data": "receive",
                                 "then": "426 Connection closed; transfer aborted.\r\n"})",
                             R::Connection,
                             S::Data,
                             426,
                             "accepted 150 Opening data connection.\r\nconnected;closing;",
                             1500};
    Check(noShutdown, RunStep(noShutdown, Script(noShutdown, noShutdown.transfer), CReadAheadStream::ShutdownFails));
}

// Given up by the caller (the window closing): while waiting for a server
// that never connects, and when the data connection comes. Nothing more is
// read, and nothing stays open.
TEST(FtpTransfer, AbandonedTransfersCloseEverything)
{
    REQUIRE_SCRIPTED_SERVERS();
    const Step waiting = {"",
                          false,
                          0,
                          false,
                          "200 PORT ok",
                          R"({"expect": "RETR down.txt", "reply": "$go"})",
                          R::Abandoned,
                          S::DataConnection,
                          0,
                          "accepted 150 Opening data connection.\r\n",
                          -1};
    StepRun run = RunStep(waiting, Script(waiting, waiting.transfer), CReadAheadStream::PlainData, false,
                          [](CRecordingObserver& o) { o.abandonAfter = 3; });
    EXPECT_EQ(run.result.outcome, R::Abandoned);
    EXPECT_EQ(run.events, waiting.events);
    EXPECT_EQ(run.result.code, 0);

    const Step connected = {"",
                            false,
                            0,
                            false,
                            "200 PORT ok",
                            R"({"expect": "RETR down.txt", "reply": "$go", "data": "connect"})",
                            R::Abandoned,
                            S::DataConnection,
                            0,
                            "",
                            -1};
    run = RunStep(connected, Script(connected, connected.transfer), CReadAheadStream::PlainData, false,
                  [](CRecordingObserver& o) { o.refuseData = true; });
    EXPECT_EQ(run.result.outcome, R::Abandoned);
    EXPECT_EQ(static_cast<int>(run.result.step), static_cast<int>(S::DataConnection));
    EXPECT_EQ(run.events, "accepted 150 Opening data connection.\r\nconnected;closing;");
    EXPECT_FALSE(run.localExists);
}

struct Progress {
    uint64_t size;
    uint64_t sent;
    bool operator==(const Progress& o) const { return size == o.size && sent == o.sent; }
};

std::ostream& operator<<(std::ostream& out, const Progress& p)
{
    return out << p.sent << " of " << p.size;
}

std::string UploadScript(const char* completion)
{
    return std::string("[") + Greeting + R"(, {"expect": "PORT *", "reply": "200 PORT ok\r\n"},
        {"expect": "STOR *", "reply": "150 Go ahead\r\n", "data": "receive", "then": ")" +
           completion + R"("}])";
}

TEST(FtpTransfer, FilesGoInBlocksWithOneNotificationEach)
{
    REQUIRE_SCRIPTED_SERVERS();
    const struct {
        size_t size;
        std::vector<Progress> progress;
    } cases[] = {
        {2048, {{2048, 1024}, {2048, 2048}}},
        {1500, {{1500, 1024}, {1500, 1500}}},
        {0, {{0, 0}}},  // one empty block: the data connection closes at once
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " bytes");
        CTempDir dir;
        std::string content = PatternBytes(c.size);
        WriteFile(dir.Path("up.bin"), content);

        CScriptedServer server(UploadScript(R"(226 Transfer complete.\r\n)"));
        CSocketOwner socket(server.Connect());
        CPlainStream control(socket.Get());
        CFtpClient ftp;
        ASSERT_EQ(ftp.ReadReply(control), 220);
        std::vector<Progress> progress;
        ftp.EnableProgress([&](uint64_t size, uint64_t sent) { progress.push_back({size, sent}); });
        CTransfer transfer(ftp, control);
        ASSERT_TRUE(transfer.OpenDataPort());
        EXPECT_TRUE(transfer.Upload("STOR up.bin\r\n", dir.Path("up.bin").c_str()).IsDone());
        EXPECT_EQ(progress, c.progress);
        socket.Reset();

        ScriptedRecord record = server.Finish();
        ASSERT_EQ(record.transfers.size(), 1u);
        EXPECT_TRUE(record.transfers[0].data == content) << record.transfers[0].data.size() << " bytes arrived";
        EXPECT_EQ(record.errors, std::vector<std::string>());
    }
}

// A file that shrinks while it is sent runs dry: a local failure, not an
// endless loop; the server gets what there was and the completion is read.
TEST(FtpTransfer, ShrinkingFileFailsHere)
{
    REQUIRE_SCRIPTED_SERVERS();
    const size_t original = 100000, shrunk = 20000;
    CTempDir dir;
    std::string path = dir.Path("up.bin");
    std::string content = PatternBytes(original);
    WriteFile(path, content);

    CScriptedServer server(UploadScript(R"(226 Closed early\r\n)"));
    CSocketOwner socket(server.Connect());
    CPlainStream control(socket.Get());
    CFtpClient ftp;
    ASSERT_EQ(ftp.ReadReply(control), 220);
    ftp.EnableProgress([&](uint64_t, uint64_t sent) {
        if (sent == 1024)
            std::filesystem::resize_file(path, shrunk);
    });
    CTransfer transfer(ftp, control);
    ASSERT_TRUE(transfer.OpenDataPort());
    const TransferResult result = transfer.Upload("STOR up.bin\r\n", path.c_str());
    EXPECT_EQ(result.outcome, R::LocalFile);
    EXPECT_EQ(result.text, "226 Closed early\r\n");
    socket.Reset();

    ScriptedRecord record = server.Finish();
    ASSERT_EQ(record.transfers.size(), 1u);
    EXPECT_TRUE(record.transfers[0].data == content.substr(0, shrunk))
        << record.transfers[0].data.size() << " bytes arrived";
}

TEST(FtpTransfer, EveryReceiveIsReported)
{
    REQUIRE_SCRIPTED_SERVERS();
    const std::string payload = Payload(2500);
    CScriptedServer server(std::string("[") + Greeting + R"(, {"expect": "PORT *", "reply": "200 PORT ok\r\n"},
        {"expect": "RETR *", "reply": "150 Opening\r\n", "data": "send", "payload": ")" +
                           payload + R"(", "then": "226 Done\r\n"}])");
    CTempDir dir;
    WriteFile(dir.Path("down.txt"), "old content, longer than nothing");
    CSocketOwner socket(server.Connect());
    CPlainStream control(socket.Get());
    CFtpClient ftp;
    ASSERT_EQ(ftp.ReadReply(control), 220);
    CTransfer transfer(ftp, control);
    ASSERT_TRUE(transfer.OpenDataPort());
    std::vector<size_t> counts;
    EXPECT_TRUE(
        transfer.Download("RETR down.txt\r\n", dir.Path("down.txt").c_str(), [&](size_t n) { counts.push_back(n); })
            .IsDone());
    EXPECT_EQ(ReadFile(dir.Path("down.txt")), payload);
    ASSERT_FALSE(counts.empty());
    EXPECT_EQ(counts.back(), 0u);  // the closing receive is reported too
    size_t total = 0;
    for (size_t n : counts) {
        EXPECT_LE(n, CFtpClient::BlockSize);
        total += n;
    }
    EXPECT_EQ(total, payload.size());
    socket.Reset();
    server.Finish();
}

}  // namespace
