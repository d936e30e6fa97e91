// FTP over TLS, explicit (RFC 4217): the control connection is plain up to
// AUTH TLS and encrypted from its 234 on, so the log-in already travels
// encrypted; after the log-in PBSZ 0 and PROT P have every data connection
// encrypted too, each a TLS session of its own with us as the client, made
// from the control connection's credentials so that the platform can resume
// that session on it (vsftpd insists by default).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ftp/FtpClient.h"
#include "ftp/TlsStream.h"
#include "ftp/Transfer.h"

class CTlsControlStream : public CTlsStream {
public:
    // Over the plain control connection, which it owns (the socket stays
    // the caller's).
    CTlsControlStream(std::unique_ptr<CStream> plain, std::shared_ptr<CTlsCredentials> credentials);
    // The data connection's handshake and certificate; null when either
    // fails (see AcceptDataCertificate): whoever answers a data connection
    // must not get a file or give us a listing.
    std::unique_ptr<CStream> DataStream(SocketHandle s, std::string* why) override;
    // The control connection's certificate, once accepted.
    void Accepted(const TlsCertificate& certificate) { m_certificate = certificate; }

private:
    std::shared_ptr<CTlsCredentials> m_credentials;
    TlsCertificate m_certificate;
};

enum class TlsStart {
    Secured,     // encrypted, and the server's certificate accepted
    NotOffered,  // AUTH TLS refused: nothing more was sent
    Failed,      // the connection or the handshake failed
    Untrusted,   // the certificate was not accepted: nothing was sent after the handshake
};

struct TlsStartResult {
    TlsStart outcome = TlsStart::Failed;
    std::unique_ptr<CTlsControlStream> stream;  // when Secured
    std::string why;                            // when Failed
};

// Asked about a certificate that is neither trusted nor the one the user
// trusted for the box before; true trusts it.
typedef std::function<bool(const TlsCertificate&)> CertificateQuestionFn;

// After the greeting: AUTH TLS, the handshake, and the server's certificate
// judged against the box's stored fingerprint, asking about any other.
TlsStartResult StartTls(CFtpClient& ftp, std::unique_ptr<CStream> plain,
                        const std::shared_ptr<CTlsCredentials>& credentials, const std::string& storedFingerprint,
                        const CertificateQuestionFn& ask);

// After the log-in: PBSZ 0, then PROT P; their replies are appended to
// replies when given. False when either is refused; the client's last reply
// says which.
bool ProtectDataConnections(CFtpClient& ftp, CStream& control, std::string* replies = nullptr);

// A completion reply with which a server refused an encrypted data
// connection (vsftpd when it cannot resume the control connection's
// session): "522 SSL connection failed: session reuse required".
constexpr int DataTlsRefused = 522;

// Before the first upload changes anything on the server: a listing, read
// and dropped, shows that the server takes our encrypted data connections
// and that they are its own. A server that demands TLS session reuse, which
// not every platform can give, refuses them only once the transfer has
// begun: after STOR that is once it has emptied the file.
TransferResult ProveDataConnections(CFtpClient& ftp, CStream& control, DataMode mode);
// A listing the server refuses outright (550: upload folders often cannot
// be listed) proves nothing either way: only a failed data connection, or
// a refusal that speaks of one, counts against it.
bool DataConnectionsProven(const TransferResult& probe);
