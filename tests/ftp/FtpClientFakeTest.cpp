// The FTP client over scripted sockets (FakeSocket.cpp): replies cut at
// every point, short sends, failing calls, and every socket accounted for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeSocket.h"
#include "TempDir.h"
#include "ftp/FtpClient.h"

namespace {

class FtpFake : public ::testing::Test {
protected:
    void SetUp() override { Fake() = FakeNet(); }
    // No socket used after it was closed, none closed twice.
    void TearDown() override { EXPECT_EQ(Fake().errors, std::vector<std::string>()); }

    bool AllRead(SocketHandle s) { return Fake().Stream(s).ready.empty() && Fake().Stream(s).incoming.empty(); }

    CFtpClient ftp;
};

// ---------------------------------------------------------------------------
// Reply boundaries do not depend on how the bytes arrive: each stream is
// read whole, cut once at every point, and one byte at a time.

struct ReplyStream {
    std::string bytes;
    std::vector<std::string> replies;
    std::vector<int> codes;
};

const ReplyStream ReplyStreams[] = {
    {"220 Ready\r\n230 Next\r\n", {"220 Ready\r\n", "230 Next\r\n"}, {220, 230}},
    {"230-Welcome\r\n230-Second\r\n230 Done\r\n200 Next\r\n",
     {"230-Welcome\r\n230-Second\r\n230 Done\r\n", "200 Next\r\n"},
     {230, 200}},
    {"220-Call 220 now\r\n220 Ready\r\n331 Next\r\n",
     {"220-Call 220 now\r\n220 Ready\r\n", "331 Next\r\n"},
     {220, 331}},
    {"150 Opening\r\n226-Options: -l\r\n226 6 matches total\r\n",
     {"150 Opening\r\n", "226-Options: -l\r\n226 6 matches total\r\n"},
     {150, 226}},
    // Only a line that begins with the code ends it, not one indented.
    {"211-Features:\r\n 211 MDTM\r\n211 End\r\n", {"211-Features:\r\n 211 MDTM\r\n211 End\r\n"}, {211}},
    {"22\r\n-9 Odd\r\n", {"22\r\n", "-9 Odd\r\n"}, {22, -9}},
    {"abc-x\r\nabc y\r\n\r\n", {"abc-x\r\nabc y\r\n", "\r\n"}, {0, 0}},
};

std::vector<std::vector<std::string>> Cuts(const std::string& bytes)
{
    std::vector<std::vector<std::string>> cuts = {{bytes}};
    for (size_t at = 1; at < bytes.size(); ++at)
        cuts.push_back({bytes.substr(0, at), bytes.substr(at)});
    std::vector<std::string> bytewise;
    for (char c : bytes)
        bytewise.push_back(std::string(1, c));
    cuts.push_back(bytewise);
    return cuts;
}

TEST_F(FtpFake, RepliesEndWhereTheyEndHoweverTheyArrive)
{
    for (const ReplyStream& r : ReplyStreams) {
        for (const auto& pieces : Cuts(r.bytes)) {
            SCOPED_TRACE(::testing::PrintToString(pieces));
            SocketHandle s = Fake().AddStream(pieces);
            for (size_t i = 0; i < r.replies.size(); ++i) {
                EXPECT_EQ(ftp.ReadReply(s), r.codes[i]);
                EXPECT_EQ(std::string(ftp.LastReply()), r.replies[i]);
            }
            EXPECT_TRUE(AllRead(s));
        }
    }
}

TEST_F(FtpFake, ReplyCodeIsTheFirstThreeCharactersAsANumber)
{
    const struct {
        const char* reply;
        int code;
    } cases[] = {
        {"220 Ready\r\n", 220}, {"12x Odd\r\n", 12}, {" 42 Spaced\r\n", 42}, {"+99 Signed\r\n", 99},
        {"-12 Neg\r\n", -12},   {"Hello\r\n", 0},    {"2201 Long\r\n", 220}, {"\r\n", 0},
    };
    for (const auto& c : cases) {
        SocketHandle s = Fake().AddStream({c.reply});
        EXPECT_EQ(ftp.ReadReply(s), c.code) << c.reply;
    }
}

TEST_F(FtpFake, OversizeReplyIsTakenInPiecesOfTheBuffersSize)
{
    std::string line = "220 " + std::string(4994, 'x') + "\r\n";
    SocketHandle s = Fake().AddStream({line, "230 After\r\n"});
    EXPECT_EQ(ftp.ReadReply(s), 220);
    EXPECT_EQ(std::string(ftp.LastReply()), line.substr(0, CFtpClient::ReplySize));
    EXPECT_EQ(ftp.ReadReply(s), 0);
    EXPECT_EQ(std::string(ftp.LastReply()), line.substr(CFtpClient::ReplySize));
    EXPECT_EQ(ftp.ReadReply(s), 230);
}

TEST_F(FtpFake, FailedReceivesGive999)
{
    SocketHandle nothing = Fake().AddStream({});
    Fake().Stream(nothing).incoming.push_back({"", true});
    EXPECT_EQ(ftp.ReadReply(nothing), ReplyFailed);

    SocketHandle partly = Fake().AddStream({"230-Part\r\n"});
    Fake().Stream(partly).incoming.push_back({"", true});
    EXPECT_EQ(ftp.ReadReply(partly), ReplyFailed);
    EXPECT_EQ(ftp.LastReplyCode(), ReplyFailed);

    SocketHandle closed = Fake().AddStream({});
    EXPECT_EQ(ftp.ReadReply(closed), ReplyFailed);

    SocketHandle sendFails = Fake().AddStream({"200 Never read\r\n"});
    Fake().Stream(sendFails).sendFails = true;
    EXPECT_EQ(ftp.SendCommand(sendFails, "NOOP\r\n"), ReplyFailed);
    EXPECT_FALSE(AllRead(sendFails));
}

TEST_F(FtpFake, ShortSendsLoseNothing)
{
    SocketHandle s = Fake().AddStream({"200 Fine\r\n"});
    Fake().Stream(s).sendLimit = 3;
    EXPECT_EQ(ftp.SendCommand(s, "CWD /a/long/enough/path\r\n"), 200);
    EXPECT_EQ(Fake().Stream(s).sent, "CWD /a/long/enough/path\r\n");
}

// ---------------------------------------------------------------------------
// Connecting: dotted addresses go without a look-up, names that do not
// resolve make no socket, and a failed attempt leaves no socket open.

TEST_F(FtpFake, HostTextBecomesTheAddress)
{
    const struct {
        const char* host;
        unsigned resolves;
        const char* connect;  // nullptr: no connection tried
    } cases[] = {
        {"10.0.0.5", 0, "10.0.0.5:21"},
        {"192.168.1.010", 0, "192.168.1.10:21"},  // each part is decimal
        {"ftp.example.test", 1, "172.16.4.2:21"},
        {"no.such.host", 1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        Fake() = FakeNet();
        Fake().names["ftp.example.test"] = {172, 16, 4, 2};
        Fake().nextIncoming.push_back({"220 Hi\r\n"});

        SocketHandle s = ftp.ConnectToHost(c.host, 21);
        EXPECT_EQ(Fake().resolves, c.resolves);
        if (c.connect != nullptr) {
            EXPECT_NE(s, InvalidSocket);
            EXPECT_EQ(Fake().connects, std::vector<std::string>{c.connect});
        } else {
            EXPECT_EQ(s, InvalidSocket);
            EXPECT_EQ(Fake().created, 0);
        }
    }
}

TEST_F(FtpFake, FailedConnectsLeaveNoSocketOpen)
{
    const struct {
        const char* name;
        bool connectFails;
        std::vector<std::string> greeting;
    } cases[] = {
        {"connect refused", true, {}},
        {"greeting 421", false, {"421 Too many users\r\n"}},
        {"no greeting", false, {}},
        {"greeting broken off", false, {"220-Welcome\r\n"}},  // closed mid-reply: 220 counts
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fake() = FakeNet();
        Fake().connectFails = c.connectFails;
        Fake().nextIncoming.push_back(c.greeting);
        SocketHandle s = ftp.ConnectToHost("10.0.0.5", 21);
        bool connected = s != InvalidSocket;
        EXPECT_EQ(connected, std::string(c.name) == "greeting broken off");
        EXPECT_EQ(Fake().OpenCount(), connected ? 1 : 0);
    }
    Fake() = FakeNet();
    Fake().socketFails = true;
    EXPECT_EQ(ftp.ConnectToHost("10.0.0.5", 21), InvalidSocket);
}

// ---------------------------------------------------------------------------
// The data port.

TEST_F(FtpFake, PortLineFormat)
{
    const struct {
        unsigned char address[4];
        unsigned short port;
        const char* line;
    } cases[] = {
        {{10, 0, 0, 5}, 1025, "PORT 10,0,0,5,4,1\r\n"},
        {{127, 0, 0, 1}, 65535, "PORT 127,0,0,1,255,255\r\n"},
        {{192, 168, 1, 20}, 256, "PORT 192,168,1,20,1,0\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CFtpClient::FormatPortLine(c.address, c.port), c.line);
}

TEST_F(FtpFake, DataPortNamesTheControlAddressAndListeningPort)
{
    SocketHandle control = Fake().AddStream({"200 PORT command successful.\r\n"});
    SocketHandle listener = ftp.OpenDataPort(control);
    ASSERT_NE(listener, InvalidSocket);
    EXPECT_TRUE(Fake().Stream(listener).listener);
    EXPECT_EQ(Fake().Stream(control).sent, "PORT 10,0,0,5,4,1\r\n");
    EXPECT_EQ(Fake().OpenCount(), 2);
}

TEST_F(FtpFake, FailedDataPortLeavesOnlyTheControlSocket)
{
    const struct {
        const char* name;
        const char* reply;
        bool listenFails, localNameFails, sendFails;
        const char* sent;
    } cases[] = {
        {"PORT refused", "500 Illegal PORT command.\r\n", false, false, false, "PORT 10,0,0,5,4,1\r\n"},
        {"PORT not exactly 200", "250 Whatever\r\n", false, false, false, "PORT 10,0,0,5,4,1\r\n"},
        {"PORT not sent", "", false, false, true, ""},
        {"listen fails", "", true, false, false, ""},
        {"local name fails", "", false, true, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fake() = FakeNet();
        Fake().listenFails = c.listenFails;
        Fake().localNameFails = c.localNameFails;
        SocketHandle control = Fake().AddStream({c.reply});
        Fake().Stream(control).sendFails = c.sendFails;
        EXPECT_EQ(ftp.OpenDataPort(control), InvalidSocket);
        EXPECT_EQ(Fake().Stream(control).sent, c.sent);
        EXPECT_EQ(Fake().OpenCount(), 1);
    }
}

TEST_F(FtpFake, AcceptAlwaysClosesTheListener)
{
    for (bool fails : {false, true}) {
        Fake() = FakeNet();
        Fake().acceptFails = fails;
        SocketHandle listener = OpenStreamSocket();
        ASSERT_TRUE(ListenOnFreePort(listener));
        SocketHandle data = ftp.AcceptDataConnection(listener);
        EXPECT_EQ(data == InvalidSocket, fails);
        EXPECT_TRUE(Fake().Stream(listener).closed);
    }
}

// ---------------------------------------------------------------------------
// Sending a file: one send call per block unless the socket takes less,
// one notification per block, then the data socket closes and the
// completion reply is read.

TEST_F(FtpFake, FilesGoInBlocks)
{
    const struct {
        size_t size;
        int sendLimit;
        std::vector<int> sendCalls;
        std::vector<uint64_t> progress;
        int result;
    } cases[] = {
        {2048, INT_MAX, {1024, 1024}, {1024, 2048}, 1024},
        {1500, INT_MAX, {1024, 476}, {1024, 1500}, 476},
        {0, INT_MAX, {}, {0}, 0},
        {1500, 400, {400, 400, 224, 400, 76}, {1024, 1500}, 476},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " bytes, sends of up to " + std::to_string(c.sendLimit));
        Fake() = FakeNet();
        CTempDir dir;
        std::string content = PatternBytes(c.size);
        WriteFile(dir.Path("f"), content);
        SocketHandle control = Fake().AddStream({"226 Transfer complete.\r\n"});
        SocketHandle data = Fake().AddStream({});
        Fake().Stream(data).sendLimit = c.sendLimit;
        std::vector<uint64_t> progress;
        ftp.EnableProgress([&](uint64_t size, uint64_t sent) {
            EXPECT_EQ(size, c.size);
            progress.push_back(sent);
        });

        EXPECT_EQ(ftp.SendFile(control, data, dir.Path("f").c_str()), c.result);
        EXPECT_EQ(Fake().Stream(data).sendCalls, c.sendCalls);
        EXPECT_TRUE(Fake().Stream(data).sent == content);
        EXPECT_EQ(progress, c.progress);
        EXPECT_TRUE(Fake().Stream(data).closed);
        EXPECT_TRUE(AllRead(control));
        EXPECT_EQ(ftp.LastReplyCode(), 226);
    }
}

TEST_F(FtpFake, FailedSendKeepsDataSocketAndCompletionReply)
{
    const struct {
        const char* name;
        bool fileExists;
        bool sendFails;
    } cases[] = {
        {"file missing", false, false},
        {"send error", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fake() = FakeNet();
        CTempDir dir;
        if (c.fileExists)
            WriteFile(dir.Path("f"), PatternBytes(3000));
        SocketHandle control = Fake().AddStream({"226 Transfer complete.\r\n"});
        SocketHandle data = Fake().AddStream({});
        Fake().Stream(data).sendFails = c.sendFails;

        EXPECT_EQ(ftp.SendFile(control, data, dir.Path("f").c_str()), -1);
        EXPECT_FALSE(Fake().Stream(data).closed);
        EXPECT_FALSE(AllRead(control));
    }
}

// ---------------------------------------------------------------------------
// Receiving into a file.

TEST_F(FtpFake, ReceiveReportsEveryCallAndStopsAtAnError)
{
    CTempDir dir;
    SocketHandle control = Fake().AddStream({"226 Done\r\n"});
    SocketHandle data = Fake().AddStream({std::string(1500, 'a'), "bc"});
    std::vector<size_t> counts;
    EXPECT_TRUE(ftp.ReceiveToFile(control, data, dir.Path("ok").c_str(), [&](size_t n) { counts.push_back(n); }));
    EXPECT_EQ(counts, (std::vector<size_t>{1024, 476, 2, 0}));
    EXPECT_EQ(ReadFile(dir.Path("ok")), std::string(1500, 'a') + "bc");
    EXPECT_TRUE(Fake().Stream(data).closed);
    EXPECT_TRUE(AllRead(control));

    control = Fake().AddStream({"426 Aborted\r\n"});
    data = Fake().AddStream({"abc"});
    Fake().Stream(data).incoming.push_back({"", true});
    counts.clear();
    EXPECT_FALSE(ftp.ReceiveToFile(control, data, dir.Path("broken").c_str(), [&](size_t n) { counts.push_back(n); }));
    EXPECT_EQ(counts, std::vector<size_t>{3});
    EXPECT_FALSE(Fake().Stream(data).closed);
    EXPECT_FALSE(AllRead(control));
}

}  // namespace
