// The FTP client and the transfer step over scripted sockets
// (FakeSocket.cpp): replies cut at every point, short sends, failing calls,
// and every socket accounted for. What real sockets can show lives in
// FtpClientTest.cpp and TransferTest.cpp.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FakeSocket.h"
#include "TempDir.h"
#include "ftp/FtpClient.h"
#include "ftp/Transfer.h"

namespace {

class FtpFake : public ::testing::Test {
protected:
    void SetUp() override { Fake() = FakeNet(); }
    // No socket used after it was closed, none closed twice.
    void TearDown() override { EXPECT_EQ(Fake().errors, std::vector<std::string>()); }

    bool AllRead(SocketHandle s) { return Fake().Stream(s).ready.empty() && Fake().Stream(s).incoming.empty(); }

    CFtpClient ftp;
    std::unique_ptr<CPlainStream> stream;
    // A control stream over a new fake socket with the given pieces.
    CStream& Control(const std::vector<std::string>& pieces)
    {
        stream.reset(new CPlainStream(Fake().AddStream(pieces)));
        return *stream;
    }
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
    // Only a line that begins with the code ends it, not one indented nor
    // one of another code.
    {"211-Features:\r\n 211 MDTM\r\n211 End\r\n", {"211-Features:\r\n 211 MDTM\r\n211 End\r\n"}, {211}},
    {"211-Features:\r\n MDTM\r\n200 not the end\r\n211 End\r\n",
     {"211-Features:\r\n MDTM\r\n200 not the end\r\n211 End\r\n"},
     {211}},
    {"22\r\n-9 Odd\r\n", {"22\r\n", "-9 Odd\r\n"}, {22, -9}},
    // Some servers end their lines with a bare line feed, some mix the two.
    {"220 Ready\n331 Next\r\n", {"220 Ready\n", "331 Next\r\n"}, {220, 331}},
    {"230-Welcome\n230-Second\r\n230 Done\n200 Next\n",
     {"230-Welcome\n230-Second\r\n230 Done\n", "200 Next\n"},
     {230, 200}},
    {"22\n-9 Odd\n", {"22\n", "-9 Odd\n"}, {22, -9}},
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
            CStream& s = Control(pieces);
            for (size_t i = 0; i < r.replies.size(); ++i) {
                EXPECT_EQ(ftp.ReadReply(s), r.codes[i]);
                EXPECT_EQ(std::string(ftp.LastReply()), r.replies[i]);
            }
            EXPECT_TRUE(AllRead(s.Socket()));
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
    for (const auto& c : cases)
        EXPECT_EQ(ftp.ReadReply(Control({c.reply})), c.code) << c.reply;
}

TEST_F(FtpFake, OversizeReplyIsTakenInPiecesOfTheBuffersSize)
{
    std::string line = "220 " + std::string(4994, 'x') + "\r\n";
    CStream& s = Control({line, "230 After\r\n"});
    EXPECT_EQ(ftp.ReadReply(s), 220);
    EXPECT_EQ(std::string(ftp.LastReply()), line.substr(0, CFtpClient::ReplySize));
    EXPECT_EQ(ftp.ReadReply(s), 0);
    EXPECT_EQ(std::string(ftp.LastReply()), line.substr(CFtpClient::ReplySize));
    EXPECT_EQ(ftp.ReadReply(s), 230);
}

TEST_F(FtpFake, FailedReceivesGive999)
{
    CStream& nothing = Control({});
    Fake().Stream(nothing.Socket()).incoming.push_back({"", true});
    EXPECT_EQ(ftp.ReadReply(nothing), ReplyFailed);

    CStream& partly = Control({"230-Part\r\n"});
    Fake().Stream(partly.Socket()).incoming.push_back({"", true});
    EXPECT_EQ(ftp.ReadReply(partly), ReplyFailed);
    EXPECT_EQ(ftp.LastReplyCode(), ReplyFailed);

    CStream& sendFails = Control({"200 Never read\r\n"});
    Fake().Stream(sendFails.Socket()).sendFails = true;
    EXPECT_EQ(ftp.SendCommand(sendFails, "NOOP\r\n"), ReplyFailed);
    EXPECT_FALSE(AllRead(sendFails.Socket()));
}

TEST_F(FtpFake, ShortSendsLoseNothing)
{
    CStream& s = Control({"200 Fine\r\n"});
    Fake().Stream(s.Socket()).sendLimit = 3;
    EXPECT_EQ(ftp.SendCommand(s, "CWD /a/long/enough/path\r\n"), 200);
    EXPECT_EQ(Fake().Stream(s.Socket()).sent, "CWD /a/long/enough/path\r\n");
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
    CStream& control = Control({"200 PORT command successful.\r\n"});
    CTransfer transfer(ftp, control);
    ASSERT_TRUE(transfer.OpenDataPort());
    EXPECT_EQ(Fake().Stream(control.Socket()).sent, "PORT 10,0,0,5,4,1\r\n");
    EXPECT_EQ(Fake().OpenCount(), 2);
}

// On an IPv6 control connection: EPRT and EPSV (RFC 2428), and the EPSV
// reply read strictly; IPv4 keeps PORT (above) and PASV.
TEST_F(FtpFake, DataPortOnIpv6)
{
    const struct {
        const char* what;
        bool v6;
        DataMode mode;
        const char* reply;
        const char* sent;
        const char* connect;  // "" for none
    } cases[] = {
        {"active", true, DataMode::Active, "200 EPRT ok\r\n", "EPRT |2|::5|1025|\r\n", ""},
        {"passive", true, DataMode::Passive, "229 Entering Extended Passive Mode (|||6446|)\r\n", "EPSV\r\n",
         "[v6]:6446"},
        {"another delimiter", true, DataMode::Passive, "229 ok (!!!65535!)\r\n", "EPSV\r\n", "[v6]:65535"},
        {"port 0", true, DataMode::Passive, "229 (|||0|)\r\n", "EPSV\r\n", ""},
        {"port too big", true, DataMode::Passive, "229 (|||65536|)\r\n", "EPSV\r\n", ""},
        {"two delimiters", true, DataMode::Passive, "229 (||6446|)\r\n", "EPSV\r\n", ""},
        {"a digit as delimiter", true, DataMode::Passive, "229 (1116446)\r\n", "EPSV\r\n", ""},
        {"a PASV reply", true, DataMode::Passive, "227 Entering Passive Mode (10,0,0,7,4,1)\r\n", "EPSV\r\n", ""},
        {"IPv4 passive stays PASV", false, DataMode::Passive, "227 Entering Passive Mode (10,0,0,7,4,1)\r\n",
         "PASV\r\n", "192.0.2.7:1025"},
    };
    for (const auto& c : cases) {
        Fake() = FakeNet();
        Fake().v6 = c.v6;
        CStream& control = Control({c.reply});
        CTransfer transfer(ftp, control, nullptr, c.mode);
        EXPECT_EQ(transfer.OpenDataPort(), c.mode == DataMode::Active || *c.connect != '\0') << c.what;
        EXPECT_EQ(Fake().Stream(control.Socket()).sent, c.sent) << c.what;
        EXPECT_EQ(Fake().connects, *c.connect ? std::vector<std::string>{c.connect} : std::vector<std::string>())
            << c.what;
    }
    // The address as RFC 5952 writes it: servers compare it with the peer's as text.
    const struct {
        unsigned char bytes[16];
        const char* line;
    } lines[] = {
        {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x12, 0x34}, "EPRT |2|2001:db8::1234|80|\r\n"},
        {{0x20, 0x01, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}, "EPRT |2|2001:0:1::1:0:0|80|\r\n"},
        {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1}, "EPRT |2|2001:db8:0:1:1:1:1:1|80|\r\n"},
    };
    for (const auto& l : lines) {
        NetAddress address;
        address.v6 = true;
        std::memcpy(address.bytes, l.bytes, 16);
        EXPECT_EQ(CFtpClient::FormatEprtLine(address, 80), l.line);
    }
}

// ---------------------------------------------------------------------------
// Transfers over failing calls: each ends with one result, leaves only the
// control socket open and, once the command was accepted, has read the
// completion reply.

enum ControlFault { None, SendFails, BreaksAfterPort };

struct FailingCall {
    const char* name;
    bool FakeNet::*flag;  // the call that fails, or nullptr
    ControlFault control;
    TransferStep step;
    int code;
};

const FailingCall FailingCalls[] = {
    {"no socket for the data port", &FakeNet::socketFails, None, TransferStep::DataPort, 0},
    {"listen fails", &FakeNet::listenFails, None, TransferStep::DataPort, 0},
    {"no local name", &FakeNet::localNameFails, None, TransferStep::DataPort, 0},
    {"PORT cannot be sent", nullptr, SendFails, TransferStep::DataPort, ReplyFailed},
    {"the command's reply cannot be read", nullptr, BreaksAfterPort, TransferStep::Command, ReplyFailed},
    {"the wait fails", &FakeNet::waitFails, None, TransferStep::DataConnection, 426},
    {"accept fails", &FakeNet::acceptFails, None, TransferStep::DataConnection, 426},
    {"a send fails (upload)", &FakeNet::acceptedSendFails, None, TransferStep::Data, 426},
    {"a receive fails (download)", &FakeNet::acceptedBreaks, None, TransferStep::Data, 426},
};

TEST_F(FtpFake, EveryFailingCallEndsTheTransferWithEverythingClosed)
{
    for (bool upload : {true, false}) {
        for (const FailingCall& c : FailingCalls) {
            if (c.flag == (upload ? &FakeNet::acceptedBreaks : &FakeNet::acceptedSendFails))
                continue;  // the other direction does not make that call
            SCOPED_TRACE(std::string(c.name) + (upload ? ", upload" : ", download"));
            Fake() = FakeNet();
            CTempDir dir;
            WriteFile(dir.Path("f"), PatternBytes(3000));
            Fake().nextIncoming.push_back({"abc"});
            std::vector<std::string> replies;  // none when PORT is not answered
            if (c.control == BreaksAfterPort)
                replies = {"200 PORT ok\r\n"};
            else if (c.step != TransferStep::DataPort)
                replies = {"200 PORT ok\r\n150 Go\r\n426 Aborted\r\n"};
            CStream& control = Control(replies);
            if (c.flag != nullptr)
                Fake().*c.flag = true;
            if (c.control == SendFails)
                Fake().Stream(control.Socket()).sendFails = true;
            if (c.control == BreaksAfterPort)
                Fake().Stream(control.Socket()).incoming.push_back({"", true});

            TransferResult result;
            {
                CTransfer transfer(ftp, control);
                CInputFile file(dir.Path("f").c_str());
                transfer.OpenDataPort();
                result = upload ? transfer.Upload("STOR f\r\n", file)
                                : transfer.Download("RETR f\r\n", dir.Path("f").c_str());
                EXPECT_EQ(Fake().OpenCount(), 1) << "closed before the transfer ends";
            }
            EXPECT_EQ(result.outcome, TransferResult::Connection);
            EXPECT_EQ(static_cast<int>(result.step), static_cast<int>(c.step));
            EXPECT_EQ(result.code, c.code);
            EXPECT_TRUE(AllRead(control.Socket()));
        }
    }
}

// ---------------------------------------------------------------------------
// Sending a file: a send call takes up to 16 blocks, the rest goes in
// further calls, and every 1 KB block is reported once it is taken.

TEST_F(FtpFake, FilesGoInBlocks)
{
    const std::vector<uint64_t> blocksOf1500 = {1024, 1500};
    std::vector<uint64_t> blocksOf20000;
    for (uint64_t sent = 1024; sent < 20000; sent += 1024)
        blocksOf20000.push_back(sent);
    blocksOf20000.push_back(20000);
    const struct {
        size_t size;
        int sendLimit;
        std::vector<int> sendCalls;
        const std::vector<uint64_t>& progress;
    } cases[] = {
        {1500, INT_MAX, {1500}, blocksOf1500},
        {1500, 400, {400, 400, 400, 300}, blocksOf1500},
        {20000, INT_MAX, {16384, 3616}, blocksOf20000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " bytes, sends of up to " + std::to_string(c.sendLimit));
        Fake() = FakeNet();
        CTempDir dir;
        std::string content = PatternBytes(c.size);
        WriteFile(dir.Path("f"), content);
        Fake().acceptedSendLimit = c.sendLimit;
        std::vector<uint64_t> progress;
        ftp.EnableProgress([&](uint64_t, uint64_t sent) { progress.push_back(sent);
            return true;
        });

        CTransfer transfer(ftp, Control({"200 PORT ok\r\n150 Go\r\n226 Transfer complete.\r\n"}));
        ASSERT_TRUE(transfer.OpenDataPort());
        CInputFile file(dir.Path("f").c_str());
        EXPECT_TRUE(transfer.Upload("STOR f\r\n", file).IsDone());
        const FakeStream& data = Fake().Stream(Fake().lastAccepted);
        EXPECT_EQ(data.sendCalls, c.sendCalls);
        EXPECT_TRUE(data.sent == content);
        EXPECT_EQ(progress, c.progress);
        EXPECT_TRUE(data.closed);
    }
}

}  // namespace
