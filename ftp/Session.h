// Opening an FTP session: connect, greeting, AUTH TLS and the certificate
// judgement, USER/PASS, PBSZ/PROT. The one place that sends those commands;
// the engine and the browser each keep their own words and policies for
// what went wrong, and get here one result, as a transfer gives one.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ftp/FtpClient.h"
#include "ftp/Stream.h"
#include "ftp/TlsCertificate.h"
#include "ftp/TlsStream.h"

// Makes the TLS credentials for a host (the platform's TLS); null, with
// why set, when it cannot.
typedef std::function<std::shared_ptr<CTlsCredentials>(const std::string& host, std::string* why)> TlsCredentialsFn;

struct SessionOptions {
    std::string host;
    unsigned short port = 21;
    std::string user;
    std::string password;
    bool tls = false;
    std::string storedFingerprint;  // the certificate the user trusted for the box, or empty
    TlsCredentialsFn makeCredentials;
    // Seconds any wait of the session (this opening and every later call on
    // its streams) may last; 0 for as long as the platform waits.
    int timeLimit = 0;
};

// Where the opening stands, for the caller's status line.
enum class SessionStage { Connecting, Connected, LoggingIn, LoggedIn };

class CSessionObserver {
public:
    virtual ~CSessionObserver() = default;
    virtual void Stage(SessionStage) {}
    // The control socket is up and greeted; from now on it is the caller's
    // (the opener never closes it). False gives the opening up.
    virtual bool Connected(SocketHandle) { return true; }
    // Every reply read (greeting, AUTH, USER, PASS, PBSZ, PROT), for a log.
    virtual void Reply(const char*) {}
    // A certificate that is neither trusted nor the stored one; true trusts it.
    virtual bool TrustCertificate(const TlsCertificate&) { return false; }
};

enum class SessionFailure {
    None,
    Connect,        // no connection, or a greeting of 400 or above
    TlsNotOffered,  // AUTH TLS refused: nothing more was sent
    TlsFailed,      // the TLS start or its handshake failed (why says how)
    Untrusted,      // the certificate was refused: nothing was sent after the handshake
    Logon,          // USER or PASS refused, failed or not sendable
    Protect,        // PBSZ or PROT refused (reply says how)
    GivenUp,        // the observer gave the opening up
};

struct SessionResult {
    SessionFailure failure = SessionFailure::Connect;
    // Why, for the user: the TLS reason; for Connect host, port and what
    // happened; for Logon and Protect the reply or what happened instead
    // (empty for a setting that could not be sent).
    std::string why;
    std::string reply;  // the last reply read, for Logon and Protect
    // The control connection, plain or TLS over the same socket: when there
    // is no failure, and after a refused log-on (Logon, Protect), which a
    // caller may keep.
    std::unique_ptr<CStream> control;
    bool Opened() const { return failure == SessionFailure::None; }
};

SessionResult OpenSession(CFtpClient& ftp, const SessionOptions& options, CSessionObserver& observer);
