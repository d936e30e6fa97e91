// Opening an SFTP session, as OpenSession opens an FTP one: connect, judge
// the host key against the one the box trusts (asking about any other;
// nothing of the log-in goes out before it is trusted), log in, and find
// the log-in directory. The engine and the browser keep their own words for
// each failure.
#pragma once

#include <functional>
#include <string>

#include "ftp/Session.h"
#include "ftp/SftpClient.h"

struct SftpSessionOptions {
    std::string host;
    int port = 22;
    std::string user;
    std::string password;
    std::string storedKey;  // the fingerprint the box trusts, or empty
    int timeoutSeconds = 0;  // 0: none
};

enum class SftpFailure {
    None,
    Connect,    // no connection or no key exchange (why says how)
    Untrusted,  // the key was refused: nothing of the log-in was sent
    Logon,      // the log-in, the SFTP start or the log-in directory failed (why says how)
};

struct SftpSessionResult {
    SftpFailure failure = SftpFailure::Connect;
    std::string why;
    std::string loginDirectory;
    bool Opened() const { return failure == SftpFailure::None; }
};

struct SftpOpening {
    // Where the opening stands, for a status line.
    std::function<void(SessionStage)> stage;
    // A key that is unknown or changed; true trusts it (the caller stores it).
    std::function<bool(const SftpHostKey&, HostKeyVerdict)> trust;
};

SftpSessionResult OpenSftpSession(CSftpClient& sftp, const SftpSessionOptions& options, const SftpOpening& opening);
