// FTP over TLS as a box starts it, over the toy provider: what reaches the
// server when AUTH TLS or the handshake does not go through, and the data
// connections' sessions. (How the certificate is judged and asked about is
// shown end to end under Wine, tests/connection/ftps_e2e.py.)
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include "ftp/ExplicitTls.h"
#include "tls/ToyTls.h"

namespace {

const std::string Handshaken = ToyRecord('H', "hello") + ToyRecord('H', "finished");

// The sessions of one server.
class CToyCredentials : public CTlsCredentials {
public:
    std::unique_ptr<CTlsProvider> NewSession() override
    {
        ++sessions;
        return std::make_unique<CToyProvider>(16);
    }
    int sessions = 0;
};

// Every call handed on to a wire the test keeps, so that what was sent can
// be seen after the stream has gone.
class CBorrowedWire : public CStream {
public:
    explicit CBorrowedWire(CStream& wire) : m_wire(wire) {}
    int Send(const char* data, int length) override { return m_wire.Send(data, length); }
    int Receive(char* buffer, int length) override { return m_wire.Receive(buffer, length); }
    int Peek(char* buffer, int length) override { return m_wire.Peek(buffer, length); }
    SocketHandle Socket() const override { return InvalidSocket; }

private:
    CStream& m_wire;
};

TEST(ExplicitTls, NothingFollowsAnAuthOrAHandshakeThatDidNotGoThrough)
{
    const struct {
        const char* name;
        std::string server;  // after the greeting
        TlsStart outcome;
        std::string written;  // by us, the AUTH line included
        const char* why;
    } cases[] = {
        {"AUTH answered other than 234", "334 ADAT=x\r\n", TlsStart::NotOffered, "AUTH TLS\r\n", ""},
        {"the connection ends at AUTH", "", TlsStart::Failed, "AUTH TLS\r\n", "the connection failed"},
        {"the handshake fails", "234 Go\r\n" + ToyRecord('A', "refused"), TlsStart::Failed,
         "AUTH TLS\r\n" + ToyRecord('H', "hello") + ToyRecord('A', "handshake_failure"),
         "the TLS handshake failed: unexpected handshake message"},
        {"secured", "234 Go\r\n" + ToyServerHandshake(), TlsStart::Secured, "AUTH TLS\r\n" + Handshaken, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CScriptedWire wire({});
        // The reply and the handshake arrive apart, as the server sends them.
        const size_t replyEnd = c.server.find("\r\n");
        if (replyEnd != std::string::npos) {
            wire.reads.push_back(c.server.substr(0, replyEnd + 2));
            if (replyEnd + 2 < c.server.size())
                wire.reads.push_back(c.server.substr(replyEnd + 2));
        }
        wire.endResult = -1;
        CFtpClient ftp;
        bool asked = false;
        TlsStartResult result = StartTls(ftp, std::make_unique<CBorrowedWire>(wire),
                                         std::make_shared<CToyCredentials>(), "", [&](const TlsCertificate&) {
                                             asked = true;
                                             return false;
                                         });
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.why, c.why);
        EXPECT_FALSE(asked) << "a trusted certificate is not asked about";
        EXPECT_EQ(wire.written, c.written);
        if (result.stream) {
            // The log-in that follows goes encrypted.
            ASSERT_EQ(result.stream->Send("USER ann\r\n", 10), 10);
            EXPECT_EQ(wire.written, c.written + ToyData("USER ann\r\n"));
        }
    }
}

TEST(ExplicitTls, EachDataConnectionIsASessionOfTheControlConnectionsCredentials)
{
    const auto credentials = std::make_shared<CToyCredentials>();
    CScriptedWire wire({ToyServerHandshake()});
    CTlsControlStream control(std::make_unique<CBorrowedWire>(wire), credentials);
    ASSERT_TRUE(control.Handshake());
    const struct {
        std::string server;
        bool made;
        std::string received;
    } cases[] = {
        {ToyServerHandshake() + ToyData("a listing") + ToyRecord('A', "close_notify"), true, "a listing"},
        {ToyRecord('A', "refused"), false, ""},
    };
    for (const auto& c : cases) {
        int pair[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        ASSERT_EQ(write(pair[1], c.server.data(), c.server.size()), static_cast<ssize_t>(c.server.size()));
        shutdown(pair[1], SHUT_WR);
        std::string why;
        std::unique_ptr<CStream> data = control.DataStream(pair[0], &why);
        EXPECT_EQ(why.empty(), c.made);
        EXPECT_EQ(data != nullptr, c.made);
        if (data) {
            char buffer[64];
            const int n = data->Receive(buffer, sizeof buffer);
            EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0), c.received);
            EXPECT_EQ(data->Receive(buffer, sizeof buffer), 0);
        }
        close(pair[0]);
        close(pair[1]);
    }
    EXPECT_EQ(credentials->sessions, 3);
}

}  // namespace
