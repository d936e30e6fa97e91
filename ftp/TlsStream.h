// TLS over a connection, as a CStream. The record loop lives here, free of
// any platform: buffering what the socket gives, whole records out of any
// split, the peer's close_notify and ours. The platform's TLS (SChannel on
// Windows) sits behind CTlsProvider, which is shaped after SSPI so that
// SChannel fits it call for call; natively a test double stands in for it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "ftp/Stream.h"
#include "ftp/TlsCertificate.h"

enum class TlsStatus {
    Ok,           // the handshake is complete, or one record was decrypted
    Continue,     // handshake: send the output, then go on with more input
    Incomplete,   // the input holds no whole message: read more, then call again with all of it
    Closed,       // the record was the peer's close_notify
    Renegotiate,  // the peer asks for a new handshake (or, in TLS 1.3, sent a post-handshake message)
    Failed
};

// One TLS session of a client (one security context).
class CTlsProvider {
public:
    virtual ~CTlsProvider() = default;

    // One step of the handshake over the bytes received and not yet used
    // (none at first). Sets consumed to the bytes it used, the rest being
    // kept for the next step, and appends to output what goes to the peer
    // (with Failed, perhaps an alert). The input may be changed.
    virtual TlsStatus Handshake(char* input, size_t length, size_t* consumed, std::string* output) = 0;

    // After the handshake: the most plain bytes one record carries.
    virtual size_t MaxRecordData() const = 0;
    // Appends one record carrying the bytes to record.
    virtual bool Encrypt(const char* data, size_t length, std::string* record) = 0;
    // Decrypts the first record of the input, in place, and appends its
    // bytes to plain. Except with Incomplete and Failed, consumed is the
    // length of that record.
    virtual TlsStatus Decrypt(char* input, size_t length, size_t* consumed, std::string* plain) = 0;
    // Appends our close_notify to output.
    virtual bool Shutdown(std::string* output) = 0;

    // After the handshake: the server's certificate, judged against the
    // host name the session was made for. False when there is none to be had.
    virtual bool ServerCertificate(TlsCertificate* certificate) = 0;
    // Why the last call failed, in a few words (with the platform's code).
    virtual std::string LastError() const = 0;
};

// Makes the sessions of one server: the control connection's and those of
// its data connections. They share one set of credentials and one host
// name, so that the platform can resume the control connection's session
// on a data connection (servers may insist on that).
class CTlsCredentials {
public:
    virtual ~CTlsCredentials() = default;
    virtual std::unique_ptr<CTlsProvider> NewSession() = 0;
};

class CTlsStream : public CStream {
public:
    // Over a socket, which stays the caller's to close.
    CTlsStream(SocketHandle s, std::unique_ptr<CTlsProvider> provider);
    // Over another stream, which it owns.
    CTlsStream(std::unique_ptr<CStream> transport, std::unique_ptr<CTlsProvider> provider);

    // Runs the handshake as the client; false when it failed (see Failure).
    // Nothing else works before it has succeeded.
    bool Handshake();
    // The server's certificate, once the handshake is done.
    bool ServerCertificate(TlsCertificate* certificate);
    // Why the stream failed; empty while it has not.
    const std::string& Failure() const { return m_failure; }

    // Sends everything as records of at most MaxRecordData bytes.
    int Send(const char* data, int length) override;
    // Decrypted bytes, as a socket gives them: 0 once the peer's
    // close_notify has come, -1 when the connection ended without one
    // (the data may have been cut short) or failed. Bytes decrypted before
    // a failure are given first.
    int Receive(char* buffer, int length) override;
    int Peek(char* buffer, int length) override;
    // True while decrypted bytes are held, or the end is known: then
    // Receive gives without waiting on the socket. Every whole record
    // received is decrypted at once, so none waits undecrypted.
    bool Pending() const override;
    // Sends our close_notify, once. The peer's close_notify is answered
    // with ours as soon as it arrives.
    bool Shutdown() override;
    SocketHandle Socket() const override { return m_transport->Socket(); }
    void SetTimeLimit(int seconds) override { m_transport->SetTimeLimit(seconds); }
    int TimeLimit() const override { return m_transport->TimeLimit(); }
    bool TimedOut() const override { return m_transport->TimedOut(); }

private:
    enum class State { Start, Open, Closed, Failed };

    bool Negotiate();
    bool ReadMore();
    void DecryptHeld();
    bool Fill();
    bool SendWhole(const std::string& bytes);
    bool Fail(const std::string& why);
    std::string TransportFailure() const;

    std::unique_ptr<CStream> m_transport;
    std::unique_ptr<CTlsProvider> m_provider;
    State m_state;
    bool m_established;
    bool m_closing;       // our close_notify is made: no data may follow
    bool m_closeSent;     // and it went out whole
    std::string m_raw;    // received from the transport, not yet decrypted
    std::string m_plain;  // decrypted, not yet taken by Receive
    std::string m_failure;
};
