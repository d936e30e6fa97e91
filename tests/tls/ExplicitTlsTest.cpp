// FTP over TLS as a box starts it, over the toy provider: AUTH TLS, the
// handshake and the certificate's judgement, and what reaches the server
// on each way it can end; then PBSZ and PROT, and the data connections'
// sessions.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include "ftp/ExplicitTls.h"
#include "tls/ToyTls.h"

namespace {

const std::string Handshaken = ToyRecord('H', "hello") + ToyRecord('H', "finished");

// Sessions of one server, each showing the same certificate.
class CToyCredentials : public CTlsCredentials {
public:
    explicit CToyCredentials(TlsCertificate certificate) : m_certificate(std::move(certificate)) {}
    std::unique_ptr<CTlsProvider> NewSession() override
    {
        ++sessions;
        return std::make_unique<CToyProvider>(16, m_certificate);
    }
    int sessions = 0;

private:
    TlsCertificate m_certificate;
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

TlsCertificate Untrusted()
{
    TlsCertificate certificate;
    certificate.fingerprint = "AB";
    for (int i = 1; i < 32; ++i)
        certificate.fingerprint += ":AB";
    certificate.error = 0x800B0109;  // CERT_E_UNTRUSTEDROOT
    return certificate;
}

TEST(ExplicitTls, WhatTheServerGetsOnEachWayTheStartEnds)
{
    const std::string fingerprint = Untrusted().fingerprint;
    const struct {
        const char* name;
        std::string server;  // after the greeting
        bool trusted;
        std::string stored;
        int answer;  // to the question: 1 yes, 0 no, -1 not asked
        TlsStart outcome;
        std::string written;  // by us, the AUTH line included
        const char* why;
    } cases[] = {
        {"AUTH refused", "504 AUTH not understood\r\n", true, "", -1, TlsStart::NotOffered, "AUTH TLS\r\n", ""},
        {"AUTH answered other than 234", "334 ADAT=x\r\n", true, "", -1, TlsStart::NotOffered, "AUTH TLS\r\n", ""},
        {"the connection ends at AUTH", "", true, "", -1, TlsStart::Failed, "AUTH TLS\r\n", "the connection failed"},
        {"trusted", "234 Go\r\n" + ToyServerHandshake(), true, "", -1, TlsStart::Secured, "AUTH TLS\r\n" + Handshaken,
         ""},
        {"untrusted, No", "234 Go\r\n" + ToyServerHandshake(), false, "", 0, TlsStart::Untrusted,
         "AUTH TLS\r\n" + Handshaken, ""},
        {"untrusted, Yes", "234 Go\r\n" + ToyServerHandshake(), false, "", 1, TlsStart::Secured,
         "AUTH TLS\r\n" + Handshaken, ""},
        {"trusted for the box before", "234 Go\r\n" + ToyServerHandshake(), false, fingerprint, -1, TlsStart::Secured,
         "AUTH TLS\r\n" + Handshaken, ""},
        {"another certificate than the box's", "234 Go\r\n" + ToyServerHandshake(), false, "00" + fingerprint.substr(2),
         0, TlsStart::Untrusted, "AUTH TLS\r\n" + Handshaken, ""},
        {"the handshake fails", "234 Go\r\n" + ToyRecord('A', "refused"), true, "", -1, TlsStart::Failed,
         "AUTH TLS\r\n" + ToyRecord('H', "hello") + ToyRecord('A', "handshake_failure"),
         "the TLS handshake failed: unexpected handshake message"},
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
        const auto credentials = std::make_shared<CToyCredentials>(c.trusted ? TlsCertificate() : Untrusted());
        int asked = 0;
        CFtpClient ftp;
        TlsStartResult result = StartTls(ftp, std::make_unique<CBorrowedWire>(wire), credentials, c.stored,
                                         [&](const TlsCertificate& shown) {
                                             ++asked;
                                             EXPECT_EQ(shown.fingerprint, Untrusted().fingerprint);
                                             return c.answer == 1;
                                         });
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.why, c.why);
        EXPECT_EQ(asked, c.answer >= 0 ? 1 : 0);
        EXPECT_EQ(result.stream != nullptr, c.outcome == TlsStart::Secured);
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
    const auto credentials = std::make_shared<CToyCredentials>(TlsCertificate());
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
        std::unique_ptr<CStream> data = control.DataStream(pair[0]);
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
