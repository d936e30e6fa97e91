// The TLS record loop over a toy provider and a scripted wire: messages and
// records however the socket splits or joins them, the ends of a session,
// and failures.
#include <gtest/gtest.h>

#include "tls/StreamIo.h"
#include "tls/ToyTls.h"

namespace {

const std::string Handshaken = ToyRecord('H', "hello") + ToyRecord('H', "finished");
const std::string CloseNotify = ToyRecord('A', "close_notify");

// A client session whose server sends the bytes, cut into reads of readSize.
struct Toy {
    explicit Toy(const std::string& server, size_t readSize = 1 << 20)
        : wire(new CScriptedWire({})),
          stream(std::unique_ptr<CStream>(wire), std::make_unique<CToyProvider>(16))
    {
        for (size_t at = 0; at < server.size(); at += readSize)
            wire->reads.push_back(server.substr(at, readSize));
    }
    CScriptedWire* wire;  // owned by the stream
    CTlsStream stream;
};

TEST(TlsStream, HandshakeAndRecordsComeWholeHoweverTheWireCutsThem)
{
    // Data right behind the last handshake message, an empty record, records
    // longer than the caller's buffer.
    const std::string server = ToyServerHandshake() + ToyData("first") + ToyData("") + ToyData("a second record") +
                               ToyData("3rd") + CloseNotify;
    for (size_t readSize : {1, 2, 7, 1000})
        for (int bufferSize : {1, 4, 100}) {
            SCOPED_TRACE(testing::Message() << readSize << " " << bufferSize);
            Toy toy(server, readSize);
            ASSERT_TRUE(toy.stream.Handshake());
            int last = 1;
            EXPECT_EQ(ReceiveAll(toy.stream, bufferSize, &last), "firsta second record3rd");
            EXPECT_EQ(last, 0);
            // The peer's close_notify is answered at once, and only once.
            EXPECT_EQ(toy.wire->written, Handshaken + CloseNotify);
            EXPECT_TRUE(toy.stream.Shutdown());
            EXPECT_EQ(toy.stream.Send("x", 1), -1);
            EXPECT_EQ(toy.wire->written, Handshaken + CloseNotify);
        }
}

TEST(TlsStream, FailedHandshakeLeavesNothingUsable)
{
    Toy refused(ToyRecord('A', "refused"));
    EXPECT_FALSE(refused.stream.Handshake());
    EXPECT_EQ(refused.stream.Failure(), "the TLS handshake failed: unexpected handshake message");
    EXPECT_EQ(refused.wire->written, ToyRecord('H', "hello") + ToyRecord('A', "handshake_failure"));
    char byte;
    TlsCertificate certificate;
    EXPECT_EQ(refused.stream.Send("x", 1), -1);
    EXPECT_EQ(refused.stream.Receive(&byte, 1), -1);
    EXPECT_FALSE(refused.stream.Shutdown());
    EXPECT_FALSE(refused.stream.ServerCertificate(&certificate));

    Toy hungUp(ToyServerHandshake().substr(0, 20));
    EXPECT_FALSE(hungUp.stream.Handshake());
    EXPECT_EQ(hungUp.stream.Failure(), "the server closed the connection during the TLS handshake");
}

TEST(TlsStream, PeekLeavesTheBytesAndPendingSaysWhatIsHeld)
{
    Toy toy(ToyServerHandshake());
    toy.wire->reads.push_back(ToyData("220 ready\r\n") + ToyData("230 in\r\n"));
    toy.wire->reads.push_back(ToyData("tail") + CloseNotify);
    ASSERT_TRUE(toy.stream.Handshake());
    EXPECT_FALSE(toy.stream.Pending());
    char buffer[64];
    // Everything whole that one read brought is there to peek at.
    ASSERT_EQ(toy.stream.Peek(buffer, sizeof buffer), 19);
    EXPECT_EQ(std::string(buffer, 19), "220 ready\r\n230 in\r\n");
    EXPECT_TRUE(toy.stream.Pending());
    ASSERT_EQ(toy.stream.Receive(buffer, 11), 11);
    ASSERT_EQ(toy.stream.Peek(buffer, sizeof buffer), 8);
    EXPECT_EQ(std::string(buffer, 8), "230 in\r\n");
    ASSERT_EQ(toy.stream.Receive(buffer, sizeof buffer), 8);
    EXPECT_FALSE(toy.stream.Pending());
    ASSERT_EQ(toy.stream.Receive(buffer, sizeof buffer), 4);
    // The end is known: a wait on the socket would see nothing more.
    EXPECT_TRUE(toy.stream.Pending());
    EXPECT_EQ(toy.stream.Peek(buffer, sizeof buffer), 0);
    EXPECT_EQ(toy.stream.Receive(buffer, sizeof buffer), 0);
}

TEST(TlsStream, AnEndWithoutCloseNotifyIsAFailureAfterTheDataBeforeIt)
{
    std::string endless = "D\x7f\xff\xff\xff";  // a record that never completes
    endless.resize(400 * 1024, 'x');
    const struct {
        std::string after;  // what comes after a good record
        int endResult;
        const char* failure;
    } cases[] = {
        {"", 0, "the server closed the connection without ending TLS"},
        {ToyData("cut short").substr(0, 9), 0, "the server closed the connection without ending TLS"},
        {"", -1, "the connection failed"},
        {ToyRecord('A', "bad_record_mac"), 0, "a TLS record could not be decrypted: bad record"},
        {endless, 0, "the server sent a TLS message too long to take"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failure);
        Toy toy(ToyServerHandshake() + ToyData("kept") + c.after, 4096);
        toy.wire->endResult = c.endResult;
        ASSERT_TRUE(toy.stream.Handshake());
        int last = 0;
        EXPECT_EQ(ReceiveAll(toy.stream, 100, &last), "kept");
        EXPECT_EQ(last, -1);
        EXPECT_EQ(toy.stream.Failure(), c.failure);
        EXPECT_TRUE(toy.stream.Pending());
        EXPECT_FALSE(toy.stream.Shutdown());
    }
}

TEST(TlsStream, RenegotiationInTheMiddleOfTheData)
{
    Toy toy(ToyServerHandshake() + ToyData("before") + ToyRecord('R', "") + ToyServerHandshake() + ToyData("after") +
                CloseNotify,
            5);
    ASSERT_TRUE(toy.stream.Handshake());
    int last = 1;
    EXPECT_EQ(ReceiveAll(toy.stream, 100, &last), "beforeafter");
    EXPECT_EQ(last, 0);
    EXPECT_EQ(toy.wire->written, Handshaken + Handshaken + CloseNotify);
}

TEST(TlsStream, ASessionTicketWithNothingToAnswerNeverWaitsForTheServer)
{
    Toy toy(ToyServerHandshake() + ToyData("226 done\r\n") + ToyRecord('T', "ticket"));
    toy.wire->reads.push_back(ToyData("later") + CloseNotify);
    ASSERT_TRUE(toy.stream.Handshake());
    char buffer[64];
    ASSERT_EQ(toy.stream.Receive(buffer, sizeof buffer), 10);
    EXPECT_EQ(toy.wire->reads.size(), 1u) << "the next read waits for the caller";
    int last = 1;
    EXPECT_EQ(ReceiveAll(toy.stream, 100, &last), "later");
    EXPECT_EQ(last, 0);
    EXPECT_EQ(toy.wire->written, Handshaken + CloseNotify);
}

TEST(TlsStream, SendMakesRecordsAndSendsThemWholeThroughShortSends)
{
    Toy toy(ToyServerHandshake());
    ASSERT_TRUE(toy.stream.Handshake());
    toy.wire->sendLimit = 3;
    std::string data(100, '\0'), expected = Handshaken;
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7);
    for (size_t at = 0; at < data.size(); at += 16)
        expected += ToyData(data.substr(at, 16));
    EXPECT_EQ(toy.stream.Send(data.data(), 0), 0);
    EXPECT_EQ(toy.stream.Send(data.data(), static_cast<int>(data.size())), 100);
    EXPECT_TRUE(toy.stream.Shutdown());
    EXPECT_TRUE(toy.stream.Shutdown());
    EXPECT_EQ(toy.wire->written, expected + CloseNotify);
    EXPECT_EQ(toy.stream.Send("x", 1), -1);

    Toy broken(ToyServerHandshake());
    ASSERT_TRUE(broken.stream.Handshake());
    broken.wire->failSends = true;
    EXPECT_EQ(broken.stream.Send("x", 1), -1);
    EXPECT_EQ(broken.stream.Failure(), "the connection failed");
    EXPECT_FALSE(broken.stream.Shutdown());
}

}  // namespace
