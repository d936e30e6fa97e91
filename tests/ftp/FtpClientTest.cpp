// The FTP client over real sockets against scripted servers: replies in,
// codes, reply texts and the command lines the server saw out. How a reply
// is cut into pieces is tried at every point over scripted sockets
// (FtpClientFakeTest.cpp); here the platform's own receiving and peeking.
// Built for the build machine and for Windows (run under Wine by
// wine_ftp_client.py).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptedServer.h"
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
    CSocketOwner socket(server.Connect());
    ASSERT_TRUE(socket.IsValid());
    CPlainStream control(socket.Get());

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
    socket.Reset();

    ScriptedRecord record = server.Finish();
    EXPECT_TRUE(record.ended);
    EXPECT_EQ(record.commands, sent);
    EXPECT_EQ(record.errors, std::vector<std::string>());
}

// ---------------------------------------------------------------------------
// Replies: one read takes one reply, whole, and leaves the next in the socket.

const Transcript ReplyTranscripts[] = {
    {"single line arriving in pieces",
     R"([{"reply": ["22", "0 Rea", "dy\r", "\n"]}, {"expect": "NOOP", "reply": "200 Fine\r\n"}])",
     {{nullptr, 220, "220 Ready\r\n"}, {"NOOP\r\n", 200, "200 Fine\r\n"}}},

    {"multi-line reply arriving in pieces",
     R"([{"reply": ["230-Wel", "come\r\n230-Sec", "ond\r\n230 Do", "ne\r\n"]},
         {"expect": "NOOP", "reply": "200 Fine\r\n"}])",
     {{nullptr, 230, "230-Welcome\r\n230-Second\r\n230 Done\r\n"}, {"NOOP\r\n", 200, "200 Fine\r\n"}}},

    {"pieces cut inside an inner mention of the code; the next reply stays for the next read",
     R"([{"reply": ["220-Call 22", "0 now\r\n220", " Rea", "dy\r\n331 Pass", "word please\r\n"]}])",
     {{nullptr, 220, "220-Call 220 now\r\n220 Ready\r\n"}, {nullptr, 331, "331 Password please\r\n"}}},

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
// open (the server sees its session end without our closing anything, and
// natively the process holds no socket more than before).

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
        const int sockets = OpenSocketCount();
        CFtpClient ftp;
        SocketHandle control = ftp.ConnectToHost(c.host, server.Port());
        if (sockets >= 0) {
            EXPECT_EQ(OpenSocketCount(), sockets + (c.connected ? 1 : 0));
        }
        EXPECT_EQ(control != InvalidSocket, c.connected);
        EXPECT_EQ(std::string(ftp.LastReply()), c.reply);
        if (control != InvalidSocket)
            CloseSocket(control);
        EXPECT_TRUE(server.Finish(10).ended);
    }
}

}  // namespace
