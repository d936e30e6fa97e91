// The FTP client over real sockets against scripted servers: replies in,
// codes, reply texts and the command lines the server saw out. Built for the
// build machine and for Windows (run under Wine by wine_ftp_client.py).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <cstring>
#include <string>
#include <vector>

#include "ScriptedServer.h"
#include "TempDir.h"
#include "ftp/FtpClient.h"

namespace {

// One step of a transcript: the command sent (nullptr: only read a reply),
// the code it gave and the reply text then held.
struct Exchange {
    const char* command;
    int code;
    const char* reply;
};

struct Transcript {
    const char* name;
    const char* script;
    std::vector<Exchange> exchanges;
};

void RunTranscript(const Transcript& t)
{
    SCOPED_TRACE(t.name);
    CScriptedServer server(t.script);
    ASSERT_EQ(server.Failure(), "");
    SocketHandle control = server.Connect();
    ASSERT_NE(control, InvalidSocket);

    CFtpClient ftp;
    std::vector<std::string> sent;
    for (size_t i = 0; i < t.exchanges.size(); ++i) {
        const Exchange& e = t.exchanges[i];
        SCOPED_TRACE("exchange " + std::to_string(i));
        int code = e.command != nullptr ? ftp.SendCommand(control, e.command) : ftp.ReadReply(control);
        EXPECT_EQ(code, e.code);
        EXPECT_EQ(ftp.LastReplyCode(), e.code);
        EXPECT_EQ(std::string(ftp.LastReply()), e.reply);
        if (e.command != nullptr)
            sent.push_back(std::string(e.command).substr(0, std::string(e.command).size() - 2));
    }
    CloseSocket(control);

    ScriptedRecord record = server.Finish();
    EXPECT_TRUE(record.ended);
    EXPECT_EQ(record.commands, sent);
    EXPECT_EQ(record.errors, std::vector<std::string>());
}

// ---------------------------------------------------------------------------
// Replies: one read takes one reply, whole, and leaves the next in the socket.

const Transcript ReplyTranscripts[] = {
    {"single line; the next reply stays in the socket",
     R"([{"reply": "220 Ready\r\n230 Next\r\n"}])",
     {{nullptr, 220, "220 Ready\r\n"}, {nullptr, 230, "230 Next\r\n"}}},

    {"single line arriving in pieces",
     R"([{"reply": ["22", "0 Rea", "dy\r", "\n"]}, {"expect": "NOOP", "reply": "200 Fine\r\n"}])",
     {{nullptr, 220, "220 Ready\r\n"}, {"NOOP\r\n", 200, "200 Fine\r\n"}}},

    {"multi-line reply read whole",
     R"([{"reply": "230-Welcome\r\n230-Second\r\n230 Done\r\n"}, {"expect": "NOOP", "reply": "200 Fine\r\n"}])",
     {{nullptr, 230, "230-Welcome\r\n230-Second\r\n230 Done\r\n"}, {"NOOP\r\n", 200, "200 Fine\r\n"}}},

    {"multi-line reply arriving in pieces",
     R"([{"reply": ["230-Wel", "come\r\n230-Sec", "ond\r\n230 Do", "ne\r\n"]},
         {"expect": "NOOP", "reply": "200 Fine\r\n"}])",
     {{nullptr, 230, "230-Welcome\r\n230-Second\r\n230 Done\r\n"}, {"NOOP\r\n", 200, "200 Fine\r\n"}}},

    {"a line mentioning the code does not end the reply; the next is read whole",
     R"([{"reply": "220-Call 220 now\r\n220-Or 220 later\r\n220 Ready\r\n331 Password please\r\n"}])",
     {{nullptr, 220, "220-Call 220 now\r\n220-Or 220 later\r\n220 Ready\r\n"},
      {nullptr, 331, "331 Password please\r\n"}}},

    {"the same in pieces cut inside the inner code",
     R"([{"reply": ["220-Call 22", "0 now\r\n220", " Rea", "dy\r\n331 Pass", "word please\r\n"]}])",
     {{nullptr, 220, "220-Call 220 now\r\n220 Ready\r\n"}, {nullptr, 331, "331 Password please\r\n"}}},

    {"lines of other codes inside a multi-line reply",
     R"([{"reply": "211-Features:\r\n MDTM\r\n200 not the end\r\n211 End\r\n"}])",
     {{nullptr, 211, "211-Features:\r\n MDTM\r\n200 not the end\r\n211 End\r\n"}}},

    {"a multi-line completion reply right behind the opening reply",
     R"([{"reply": "220 Hi\r\n"},
         {"expect": "LIST", "reply": "150 Opening\r\n226-Options: -l\r\n226 6 matches total\r\n"}])",
     {{nullptr, 220, "220 Hi\r\n"},
      {"LIST\r\n", 150, "150 Opening\r\n"},
      {nullptr, 226, "226-Options: -l\r\n226 6 matches total\r\n"}}},

    {"commands go out as given and each gets its own reply",
     R"([{"reply": "220 Hi\r\n"},
         {"expect": "USER bob", "reply": "331 Password\r\n"},
         {"expect": "PASS secret", "reply": "530 Login incorrect.\r\n"}])",
     {{nullptr, 220, "220 Hi\r\n"},
      {"USER bob\r\n", 331, "331 Password\r\n"},
      {"PASS secret\r\n", 530, "530 Login incorrect.\r\n"}}},
};

TEST(FtpReplies, Transcripts)
{
    REQUIRE_SCRIPTED_SERVERS();
    for (const Transcript& t : ReplyTranscripts)
        RunTranscript(t);
}

// ---------------------------------------------------------------------------
// Dropped connections: 999 when nothing came, what came when something did.

const Transcript DroppedTranscripts[] = {
    {"server closes before replying", R"([{"close": true}])", {{nullptr, ReplyFailed, ""}}},

    {"server closes in the middle of a reply",
     R"([{"reply": "230-Partial\r\n230-more", "close": true}])",
     {{nullptr, 230, "230-Partial\r\n230-more"}}},

    {"server closes after a reply; the next command fails",
     R"([{"reply": "220 Bye\r\n", "close": true}])",
     {{nullptr, 220, "220 Bye\r\n"}, {nullptr, ReplyFailed, ""}}},
};

TEST(FtpReplies, DroppedConnections)
{
    REQUIRE_SCRIPTED_SERVERS();
    for (const Transcript& t : DroppedTranscripts)
        RunTranscript(t);
}

// ---------------------------------------------------------------------------
// Connecting: the greeting decides, and a refused connection leaves nothing
// open (the server sees its session end without our closing anything).

TEST(FtpConnect, Greetings)
{
    REQUIRE_SCRIPTED_SERVERS();
    const struct {
        const char* host;
        const char* script;
        bool connected;
        const char* reply;
    } cases[] = {
        {"127.0.0.1", R"([{"reply": "220 Ready\r\n"}])", true, "220 Ready\r\n"},
        {"localhost", R"([{"reply": "220-Hello\r\n220 Ready\r\n"}])", true, "220-Hello\r\n220 Ready\r\n"},
        {"127.0.0.1", R"([{"reply": "421 Too many users\r\n"}])", false, "421 Too many users\r\n"},
        {"127.0.0.1", R"([{"close": true}])", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        CScriptedServer server(c.script);
        ASSERT_EQ(server.Failure(), "");
        CFtpClient ftp;
        SocketHandle control = ftp.ConnectToHost(c.host, server.Port());
        EXPECT_EQ(control != InvalidSocket, c.connected);
        EXPECT_EQ(std::string(ftp.LastReply()), c.reply);
        if (control != InvalidSocket)
            CloseSocket(control);
        EXPECT_TRUE(server.Finish(10).ended);
    }
}

// ---------------------------------------------------------------------------
// The data port: PORT names the control connection's address and the
// listener's port; only 200 keeps the listener, which then takes the
// server's connection. After any other reply nobody listens there any more.

struct PortLine {
    unsigned char address[4];
    unsigned short port;
};

PortLine ParsePortLine(const std::string& command)
{
    int n[6] = {};
    PortLine p = {};
    if (std::sscanf(command.c_str(), "PORT %d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]) == 6) {
        for (int i = 0; i < 4; ++i)
            p.address[i] = static_cast<unsigned char>(n[i]);
        p.port = static_cast<unsigned short>(n[4] * 256 + n[5]);
    }
    return p;
}

TEST(FtpDataPort, AcceptedPortTakesTheServersConnection)
{
    REQUIRE_SCRIPTED_SERVERS();
    CScriptedServer server(R"([{"reply": "220 Hi\r\n"},
                               {"expect": "PORT *", "reply": "200 PORT command successful.\r\n"},
                               {"expect": "NOOP", "data": "probe", "reply": "200 Probed\r\n"}])");
    CFtpClient ftp;
    SocketHandle control = ftp.ConnectToHost("127.0.0.1", server.Port());
    ASSERT_NE(control, InvalidSocket);

    SocketHandle listener = ftp.OpenDataPort(control);
    ASSERT_NE(listener, InvalidSocket);
    unsigned char listenAddress[4];
    unsigned short listenPort = 0;
    ASSERT_TRUE(LocalSocketName(listener, listenAddress, &listenPort));

    EXPECT_EQ(ftp.SendCommand(control, "NOOP\r\n"), 200);
    SocketHandle data = ftp.AcceptDataConnection(listener);
    EXPECT_NE(data, InvalidSocket);
    if (data != InvalidSocket)
        CloseSocket(data);
    CloseSocket(control);

    ScriptedRecord record = server.Finish();
    ASSERT_EQ(record.commands.size(), 2u);
    PortLine sent = ParsePortLine(record.commands[0]);
    const unsigned char loopback[4] = {127, 0, 0, 1};
    EXPECT_EQ(std::memcmp(sent.address, loopback, 4), 0) << record.commands[0];
    EXPECT_EQ(sent.port, listenPort) << record.commands[0];
    ASSERT_EQ(record.transfers.size(), 1u);
    EXPECT_EQ(record.transfers[0].result, "accepted");
    EXPECT_EQ(record.errors, std::vector<std::string>());
}

TEST(FtpDataPort, RefusedPortClosesTheListener)
{
    REQUIRE_SCRIPTED_SERVERS();
    const struct {
        const char* script;
        const char* reply;
    } cases[] = {
        {R"([{"reply": "220 Hi\r\n"}, {"expect": "PORT *", "reply": "500 Illegal PORT command.\r\n"},
             {"expect": "NOOP", "data": "probe", "reply": "200 Probed\r\n"}])",
         "500 Illegal PORT command.\r\n"},
        {R"([{"reply": "220 Hi\r\n"}, {"expect": "PORT *", "reply": "227 Not quite\r\n"},
             {"expect": "NOOP", "data": "probe", "reply": "200 Probed\r\n"}])",
         "227 Not quite\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        CScriptedServer server(c.script);
        CFtpClient ftp;
        SocketHandle control = ftp.ConnectToHost("127.0.0.1", server.Port());
        ASSERT_NE(control, InvalidSocket);

        EXPECT_EQ(ftp.OpenDataPort(control), InvalidSocket);
        EXPECT_EQ(std::string(ftp.LastReply()), c.reply);
        // The server tries the announced port only after the next command.
        EXPECT_EQ(ftp.SendCommand(control, "NOOP\r\n"), 200);
        CloseSocket(control);

        ScriptedRecord record = server.Finish();
        ASSERT_EQ(record.transfers.size(), 1u);
        EXPECT_EQ(record.transfers[0].result, "refused");
        EXPECT_EQ(record.errors, std::vector<std::string>());
    }
}

// ---------------------------------------------------------------------------
// Transfers: the order every caller keeps (data port, transfer command,
// accept, send or receive), then the completion reply.

struct Transfer {
    SocketHandle control = InvalidSocket;
    SocketHandle data = InvalidSocket;
};

Transfer StartTransfer(CFtpClient& ftp, const CScriptedServer& server, const char* command)
{
    Transfer t;
    t.control = ftp.ConnectToHost("127.0.0.1", server.Port());
    if (t.control == InvalidSocket)
        return t;
    SocketHandle listener = ftp.OpenDataPort(t.control);
    if (listener == InvalidSocket)
        return t;
    EXPECT_EQ(ftp.SendCommand(t.control, command), 150);
    t.data = ftp.AcceptDataConnection(listener);
    return t;
}

std::string UploadScript(const char* completion)
{
    return std::string(R"([{"reply": "220 Hi\r\n"}, {"expect": "PORT *", "reply": "200 PORT ok\r\n"},
                           {"expect": "STOR *", "reply": "150 Go ahead\r\n", "data": "receive", "then": ")") +
           completion + R"("}])";
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

TEST(FtpUpload, FilesGoInBlocksWithOneNotificationEach)
{
    REQUIRE_SCRIPTED_SERVERS();
    const struct {
        size_t size;
        std::vector<Progress> progress;
        int lastBlock;
    } cases[] = {
        {2048, {{2048, 1024}, {2048, 2048}}, 1024},
        {1500, {{1500, 1024}, {1500, 1500}}, 476},
        {0, {{0, 0}}, 0},  // one empty block: the data connection closes at once
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " bytes");
        CTempDir dir;
        std::string content = PatternBytes(c.size);
        WriteFile(dir.Path("up.bin"), content);

        CScriptedServer server(UploadScript(R"(226 Transfer complete.\r\n)"));
        CFtpClient ftp;
        std::vector<Progress> progress;
        ftp.EnableProgress([&](uint64_t size, uint64_t sent) { progress.push_back({size, sent}); });
        Transfer t = StartTransfer(ftp, server, "STOR up.bin\r\n");
        ASSERT_NE(t.data, InvalidSocket);

        EXPECT_EQ(ftp.SendFile(t.control, t.data, dir.Path("up.bin").c_str()), c.lastBlock);
        EXPECT_EQ(progress, c.progress);
        EXPECT_EQ(ftp.LastReplyCode(), 226);
        EXPECT_EQ(std::string(ftp.LastReply()), "226 Transfer complete.\r\n");
        CloseSocket(t.control);

        ScriptedRecord record = server.Finish();
        ASSERT_EQ(record.transfers.size(), 1u);
        EXPECT_TRUE(record.transfers[0].data == content) << record.transfers[0].data.size() << " bytes arrived";
        EXPECT_EQ(record.errors, std::vector<std::string>());
    }
}

TEST(FtpUpload, CompletionCodeIsLeftToTheCaller)
{
    REQUIRE_SCRIPTED_SERVERS();
    CTempDir dir;
    WriteFile(dir.Path("up.bin"), PatternBytes(3000));
    CScriptedServer server(UploadScript(R"(451-Local error\r\n451 in processing.\r\n)"));
    CFtpClient ftp;
    Transfer t = StartTransfer(ftp, server, "STOR up.bin\r\n");
    ASSERT_NE(t.data, InvalidSocket);

    // Sent whole, yet the server refused it: not a file to delete.
    EXPECT_EQ(ftp.SendFile(t.control, t.data, dir.Path("up.bin").c_str()), 3000 - 2048);
    EXPECT_EQ(ftp.LastReplyCode(), 451);
    EXPECT_EQ(std::string(ftp.LastReply()), "451-Local error\r\n451 in processing.\r\n");
    CloseSocket(t.control);
    server.Finish();
}

// After a failed send the data socket is still the caller's: closing it ends
// the server's transfer, and the completion reply is read as usual. A file
// that shrinks while it is sent is such a failure, not an endless loop.
TEST(FtpUpload, ShrinkingFileFailsAndLeavesTheCompletionToTheCaller)
{
    REQUIRE_SCRIPTED_SERVERS();
    const size_t original = 100000, shrunk = 20000;
    CTempDir dir;
    std::string path = dir.Path("up.bin");
    std::string content = PatternBytes(original);
    WriteFile(path, content);

    CScriptedServer server(UploadScript(R"(226 Closed early\r\n)"));
    CFtpClient ftp;
    ftp.EnableProgress([&](uint64_t, uint64_t sent) {
        if (sent == 1024)
            std::filesystem::resize_file(path, shrunk);
    });
    Transfer t = StartTransfer(ftp, server, "STOR up.bin\r\n");
    ASSERT_NE(t.data, InvalidSocket);

    EXPECT_EQ(ftp.SendFile(t.control, t.data, path.c_str()), -1);
    CloseSocket(t.data);
    EXPECT_EQ(ftp.ReadReply(t.control), 226);
    EXPECT_EQ(std::string(ftp.LastReply()), "226 Closed early\r\n");
    CloseSocket(t.control);

    ScriptedRecord record = server.Finish();
    ASSERT_EQ(record.transfers.size(), 1u);
    EXPECT_TRUE(record.transfers[0].data == content.substr(0, shrunk))
        << record.transfers[0].data.size() << " bytes arrived";
}

TEST(FtpDownload, ReceivesUntilTheServerCloses)
{
    REQUIRE_SCRIPTED_SERVERS();
    std::string payload;
    for (int i = 0; payload.size() < 2500; ++i)
        payload += "line " + std::to_string(i) + ";";
    payload.resize(2500);
    CScriptedServer server(R"([{"reply": "220 Hi\r\n"}, {"expect": "PORT *", "reply": "200 PORT ok\r\n"},
                               {"expect": "RETR *", "reply": "150 Opening\r\n", "data": "send", "payload": ")" +
                           payload + R"(", "then": "226 Done\r\n"}])");
    CTempDir dir;
    WriteFile(dir.Path("down.txt"), "old content, longer than nothing");
    CFtpClient ftp;
    Transfer t = StartTransfer(ftp, server, "RETR down.txt\r\n");
    ASSERT_NE(t.data, InvalidSocket);

    std::vector<size_t> counts;
    EXPECT_TRUE(
        ftp.ReceiveToFile(t.control, t.data, dir.Path("down.txt").c_str(), [&](size_t n) { counts.push_back(n); }));
    EXPECT_EQ(ReadFile(dir.Path("down.txt")), payload);
    EXPECT_EQ(std::string(ftp.LastReply()), "226 Done\r\n");
    ASSERT_FALSE(counts.empty());
    EXPECT_EQ(counts.back(), 0u);  // the closing receive is reported too
    size_t total = 0;
    for (size_t n : counts) {
        EXPECT_LE(n, CFtpClient::BlockSize);
        total += n;
    }
    EXPECT_EQ(total, payload.size());
    CloseSocket(t.control);
    server.Finish();
}

TEST(FtpDownload, FileThatCannotBeCreatedLeavesTheDataSocketOpen)
{
    REQUIRE_SCRIPTED_SERVERS();
    CScriptedServer server(R"([{"reply": "220 Hi\r\n"}, {"expect": "PORT *", "reply": "200 PORT ok\r\n"},
                               {"expect": "RETR *", "reply": "150 Opening\r\n", "data": "connect",
                                "then": "426 Connection closed; transfer aborted.\r\n"}])");
    CTempDir dir;
    CFtpClient ftp;
    Transfer t = StartTransfer(ftp, server, "RETR x\r\n");
    ASSERT_NE(t.data, InvalidSocket);

    EXPECT_FALSE(ftp.ReceiveToFile(t.control, t.data, dir.Path("no/such/folder/x").c_str()));
    CloseSocket(t.data);
    EXPECT_EQ(ftp.ReadReply(t.control), 426);
    CloseSocket(t.control);
    server.Finish();
}

}  // namespace
