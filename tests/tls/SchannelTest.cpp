// SChannel under Wine against the TLS servers that tests/tls/wine_tls.py
// runs with certificates made for the run: round trips, both ends of a
// session, failures, and our own check of the server's certificate.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ftp/Socket.h"
#include "ftp/TlsSchannel.h"
#include "tls/StreamIo.h"

namespace {

const uint32_t UntrustedRoot = 0x800B0109;  // CERT_E_UNTRUSTEDROOT
const uint32_t NameMismatch = 0x800B010F;   // CERT_E_CN_NO_MATCH

const bool SocketsStarted = SocketsStartup();

unsigned short Port(const char* server)
{
    const char* value = std::getenv(server);
    return static_cast<unsigned short>(value != nullptr ? std::atoi(value) : 0);
}

SocketHandle ConnectTo(const char* server)
{
    const unsigned char loopback[4] = {127, 0, 0, 1};
    CSocketOwner s(OpenStreamSocket());
    return s.IsValid() && ConnectSocket(s.Get(), loopback, Port(server)) ? s.Release() : InvalidSocket;
}

// A TLS session with one of the servers, its socket closed with it.
struct Session {
    Session(const char* server, CTlsCredentials& credentials)
        : socket(ConnectTo(server)),
          stream(socket.Get(), credentials.NewSession())
    {
    }
    CSocketOwner socket;
    CTlsStream stream;
};

#define HANDSHAKE(session) ASSERT_TRUE((session).stream.Handshake()) << (session).stream.Failure()

// What the server saw of the session that named itself id.
std::string Outcome(const std::string& id)
{
    CSocketOwner report(ConnectTo("TLS_REPORT_PORT"));
    const std::string line = id + "\n";
    SendSome(report.Get(), line.data(), static_cast<int>(line.size()));
    std::string answer;
    char c;
    while (ReceiveSome(report.Get(), &c, 1) == 1 && c != '\n')
        answer += c;
    return answer;
}

// One set of credentials for all sessions of a test, as data connections
// share the control connection's.
class Schannel : public testing::Test {
protected:
    void SetUp() override
    {
        if (!SocketsStarted || Port("TLS_PORT") == 0)
            GTEST_SKIP() << "no TLS servers: run through tests/tls/wine_tls.py";
        std::string why;
        credentials = MakeSchannelCredentials("localhost", &why);
        ASSERT_TRUE(credentials) << why;
    }

    TlsCertificate CertificateOf(const char* server)
    {
        Session session(server, *credentials);
        TlsCertificate certificate;
        EXPECT_TRUE(session.stream.Handshake()) << session.stream.Failure();
        EXPECT_TRUE(session.stream.ServerCertificate(&certificate));
        return certificate;
    }

    std::shared_ptr<CTlsCredentials> credentials;
};

// Runs before the certificates are trusted in the prefix.
class SchannelUntrusted : public Schannel {};

TEST_F(SchannelUntrusted, ACertificateOutsideTheTrustedRootsIsRefusedWithItsReason)
{
    const TlsCertificate certificate = CertificateOf("TLS_PORT");
    EXPECT_EQ(certificate.error, UntrustedRoot);
    // Python's SHA-256 of the DER bytes in the stored form: boxes that trust a
    // certificate keep trusting it.
    EXPECT_EQ(certificate.fingerprint, std::getenv("TLS_FINGERPRINT"));
    EXPECT_EQ(certificate.subject, "CN=localhost, O=Suite test");
    EXPECT_EQ(certificate.issuer, certificate.subject);
    EXPECT_EQ(certificate.validFrom.size(), 16u);
    EXPECT_LT(certificate.validFrom, certificate.validTo);
    EXPECT_EQ(JudgeCertificate(certificate, ""), CertificateVerdict::Ask);
    EXPECT_EQ(JudgeCertificate(certificate, certificate.fingerprint), CertificateVerdict::Accept);
}

TEST_F(Schannel, TheTrustedRootPassesForItsNameOnly)
{
    EXPECT_EQ(CertificateOf("TLS_PORT").error, 0u);
    EXPECT_EQ(CertificateOf("TLS_OTHER_PORT").error, NameMismatch);
}

TEST_F(Schannel, EchoesEndWithTheServersCloseNotifyAndOurs)
{
    for (size_t size : {0, 1, 16 * 1024 + 1, 1024 * 1024}) {
        SCOPED_TRACE(size);
        Session session("TLS_PORT", *credentials);
        HANDSHAKE(session);
        std::string data(size, '\0');
        for (size_t i = 0; i < size; ++i)
            data[i] = static_cast<char>(i * 31 + i / 256);
        const std::string id = "echo" + std::to_string(size);
        ASSERT_TRUE(SendAll(session.stream, "echo " + std::to_string(size) + " " + id + "\n" + data));
        int last = 1;
        const std::string back = ReceiveAll(session.stream, 1024, &last);
        EXPECT_TRUE(back == data) << back.size() << " bytes came back";
        EXPECT_EQ(last, 0) << session.stream.Failure();
        EXPECT_EQ(Outcome(id), "clean TLSv1.2");
    }
}

TEST_F(Schannel, AnUploadEndsWithOurCloseNotify)
{
    Session session("TLS_PORT", *credentials);
    HANDSHAKE(session);
    ASSERT_TRUE(SendAll(session.stream, "upload up1\n" + std::string(100000, 'u')));
    EXPECT_TRUE(session.stream.Shutdown());
    EXPECT_EQ(Outcome("up1"), "received 100000 clean");
}

TEST_F(Schannel, EndsWithoutCloseNotifyAndServersWithoutTlsAreFailures)
{
    Session dropped("TLS_PORT", *credentials);
    HANDSHAKE(dropped);
    ASSERT_TRUE(SendAll(dropped.stream, "drop 5000 drop1\n"));
    int last = 0;
    EXPECT_EQ(ReceiveAll(dropped.stream, 1024, &last).size(), 5000u);
    EXPECT_EQ(last, -1);
    EXPECT_EQ(dropped.stream.Failure(), "the server closed the connection without ending TLS");

    Session plain("TLS_PLAIN_PORT", *credentials);
    EXPECT_FALSE(plain.stream.Handshake());
    EXPECT_EQ(plain.stream.Failure().find("the TLS handshake failed: InitializeSecurityContext failed"), 0u);
}

}  // namespace
