// A server that goes silent at any step: with a time limit of one second
// every wait gives up about then and says so; without one the wait goes on.
// Real sockets against scripted servers, natively and under Wine.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "ScriptedServer.h"
#include "TempDir.h"
#include "ftp/Transfer.h"

namespace {

const char Login[] = R"({"reply": "220 Hi\r\n"}, {"expect": "USER ann", "reply": "331 Password\r\n"})";
const char Port[] = R"(, {"expect": "PORT *", "reply": "200 PORT ok\r\n"})";
// A server that stops talking holds its next step this long.
const char Silence[] = R"({"sleep": 4})";

struct Stall {
    const char* name;
    const char* script;  // after the log-in
    bool upload;         // the transfer: STOR of a file of `size` bytes, or RETR
    TransferStep step;   // where the transfer stopped; DataPort for USER alone
    size_t size = 100;
};

const Stall Stalls[] = {
    {"no reply to a command", "", false, TransferStep::DataPort},
    {"no data connection after 150",
     R"(, {"expect": "RETR f", "reply": "150 Go\r\n"}, {"sleep": 4})", false, TransferStep::DataConnection},
    {"no data on the data connection",
     R"(, {"expect": "RETR f", "reply": "150 Go\r\n", "data": "stall", "stall": 4})", false, TransferStep::Data},
    // Large enough to fill the socket buffers of both ends.
    {"data not taken", R"(, {"expect": "STOR f", "reply": "150 Go\r\n", "data": "stall", "stall": 4})", true,
     TransferStep::Data, 16 << 20},
    {"no completion reply", R"(, {"expect": "STOR f", "reply": "150 Go\r\n", "data": "receive"}, {"sleep": 4})", true,
     TransferStep::Completion},
};

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(FtpTimeLimit, EveryStepGivesUpAfterTheLimit)
{
    REQUIRE_SCRIPTED_SERVERS();
    CTempDir dir;
    for (const Stall& c : Stalls) {
        SCOPED_TRACE(c.name);
        const std::string local = dir.Path("up.bin");
        WriteFile(local, std::string(c.size, 'x'));
        const std::string tail = *c.script ? R"(, {"expect": "PASS pw", "reply": "230 In\r\n"})" + std::string(Port) +
                                                 c.script
                                           : std::string(", ") + Silence;
        CScriptedServer server(std::string("[") + Login + tail + "]");
        CFtpClient ftp;
        ftp.SetTimeLimit(1);
        CSocketOwner socket(ftp.ConnectToHost("127.0.0.1", server.Port()));
        ASSERT_TRUE(socket.IsValid());
        CPlainStream control(socket.Get(), ftp.TimeLimit());
        ASSERT_EQ(ftp.SendCommand(control, "USER ann\r\n"), 331);
        const auto start = std::chrono::steady_clock::now();
        if (!*c.script) {
            EXPECT_EQ(ftp.SendCommand(control, "PASS pw\r\n"), ReplyFailed);
            EXPECT_TRUE(ftp.TimedOut());
            EXPECT_EQ(ftp.FailureReason(), "no answer within 1 second");
        } else {
            ASSERT_EQ(ftp.SendCommand(control, "PASS pw\r\n"), 230);
            CTransfer transfer(ftp, control);
            ASSERT_TRUE(transfer.OpenDataPort());
            CInputFile file(local.c_str());
            const TransferResult r =
                c.upload ? transfer.Upload("STOR f\r\n", file) : transfer.Download("RETR f\r\n", dir.Path("f").c_str());
            EXPECT_TRUE(r.timedOut);
            EXPECT_EQ(r.outcome, TransferResult::Connection);
            EXPECT_EQ(static_cast<int>(r.step), static_cast<int>(c.step));
        }
        EXPECT_LT(SecondsSince(start), 4.0) << "gave up too late";
    }
}

TEST(FtpTimeLimit, ConnectSaysWhereAndWhy)
{
    REQUIRE_SCRIPTED_SERVERS();
    CFtpClient ftp;
    ftp.SetTimeLimit(1);
    {
        CScriptedServer silent(std::string("[") + Silence + "]");
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(ftp.ConnectToHost("127.0.0.1", silent.Port()), InvalidSocket);
        EXPECT_LT(SecondsSince(start), 4.0);
        EXPECT_EQ(ftp.FailureReason(), "127.0.0.1, port " + std::to_string(silent.Port()) + ": no answer within 1 second");
    }
    {
        CScriptedServer busy(R"([{"reply": "421 Too many users\r\n"}])");
        EXPECT_EQ(ftp.ConnectToHost("127.0.0.1", busy.Port()), InvalidSocket);
        EXPECT_EQ(ftp.FailureReason(), "127.0.0.1, port " + std::to_string(busy.Port()) + ": 421 Too many users");
    }
    // A port nobody listens on any more.
    unsigned short closed = 0;
    {
        CSocketOwner probe(OpenStreamSocket());
        unsigned char address[4];
        ASSERT_TRUE(ListenOnFreePort(probe.Get()) && LocalSocketName(probe.Get(), address, &closed));
    }
    EXPECT_EQ(ftp.ConnectToHost("127.0.0.1", closed), InvalidSocket);
    EXPECT_EQ(ftp.FailureReason(), "127.0.0.1, port " + std::to_string(closed) + ": the connection was refused");
    EXPECT_EQ(ftp.ConnectToHost("no-such-host.invalid", 21), InvalidSocket);
    EXPECT_EQ(ftp.FailureReason(), "no-such-host.invalid, port 21: the name was not found");
}

TEST(FtpTimeLimit, NoLimitWaitsOn)
{
    REQUIRE_SCRIPTED_SERVERS();
    CScriptedServer late(R"([{"sleep": 2, "reply": "220 Late\r\n"}])");
    CFtpClient ftp;
    ftp.SetTimeLimit(1);
    ftp.SetTimeLimit(0);
    CSocketOwner socket(ftp.ConnectToHost("127.0.0.1", late.Port()));
    EXPECT_TRUE(socket.IsValid()) << ftp.FailureReason();
}

}  // namespace
