// Opening a session against scripted servers: which commands reach the
// server before each way of failing, what the caller is told, and that the
// observer sees every reply a log would show.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptedServer.h"
#include "ftp/Session.h"

namespace {

class CRecordingOpening : public CSessionObserver {
public:
    bool Connected(SocketHandle s) override
    {
        socket = s;
        return true;
    }
    void Reply(const char* text) override { replies += text; }
    SocketHandle socket = InvalidSocket;
    std::string replies;
};

class CUnusedCredentials : public CTlsCredentials {
public:
    std::unique_ptr<CTlsProvider> NewSession() override { return nullptr; }
};

TEST(Session, EachFailureStopsBeforeTheNextCommand)
{
    REQUIRE_SCRIPTED_SERVERS();
    const struct {
        const char* name;
        std::string script;
        std::string user;
        bool tls;
        SessionFailure failure;
        std::vector<std::string> commands;
        std::string replies;  // as the observer saw them
    } cases[] = {
        {"greeting refused", R"([{"reply": "421 Busy\r\n"}])", "ann", false, SessionFailure::Connect, {}, ""},
        {"user refused: no PASS",
         R"([{"reply": "220 Hi\r\n"}, {"expect": "USER ann", "reply": "530 No\r\n"}])", "ann", false,
         SessionFailure::Logon, {"USER ann"}, "220 Hi\r\n"},
        {"a user name that would split the line is never sent", R"([{"reply": "220 Hi\r\n"}])", "ann\r\nDELE x",
         false, SessionFailure::Logon, {}, "220 Hi\r\n"},
        {"password refused",
         R"([{"reply": "220 Hi\r\n"}, {"expect": "USER ann", "reply": "331 Pw\r\n"},
             {"expect": "PASS pw", "reply": "530 No\r\n"}])",
         "ann", false, SessionFailure::Logon, {"USER ann", "PASS pw"}, "220 Hi\r\n331 Pw\r\n"},
        {"PASS follows a 230 to USER",
         R"([{"reply": "220 Hi\r\n"}, {"expect": "USER ann", "reply": "230 In\r\n"},
             {"expect": "PASS pw", "reply": "230 Still in\r\n"}])",
         "ann", false, SessionFailure::None, {"USER ann", "PASS pw"}, "220 Hi\r\n230 In\r\n230 Still in\r\n"},
        {"AUTH TLS refused: no USER",
         R"([{"reply": "220 Hi\r\n"}, {"expect": "AUTH TLS", "reply": "500 What\r\n"}])", "ann", true,
         SessionFailure::TlsNotOffered, {"AUTH TLS"}, "220 Hi\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CScriptedServer server(c.script);
        ASSERT_EQ(server.Failure(), "");
        SessionOptions options;
        options.host = "127.0.0.1";
        options.port = server.Port();
        options.user = c.user;
        options.password = "pw";
        options.tls = c.tls;
        // A refused AUTH comes before any session is made from them.
        options.makeCredentials = [](const std::string&, std::string*) {
            return std::shared_ptr<CTlsCredentials>(new CUnusedCredentials);
        };
        CFtpClient ftp;
        CRecordingOpening observer;
        SessionResult result = OpenSession(ftp, options, observer);
        EXPECT_EQ(result.failure, c.failure);
        EXPECT_EQ(result.control != nullptr,
                  result.Opened() || c.failure == SessionFailure::Logon || c.failure == SessionFailure::Protect);
        EXPECT_EQ(observer.replies, c.replies);
        if (observer.socket != InvalidSocket)
            CloseSocket(observer.socket);
        const ScriptedRecord record = server.Finish();
        EXPECT_EQ(record.commands, c.commands);
    }
}

}  // namespace
