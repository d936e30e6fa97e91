#include "ftp/ExplicitTls.h"

CTlsControlStream::CTlsControlStream(std::unique_ptr<CStream> plain, std::shared_ptr<CTlsCredentials> credentials)
    : CTlsStream(std::move(plain), credentials->NewSession()),
      m_credentials(std::move(credentials))
{
}

std::unique_ptr<CStream> CTlsControlStream::DataStream(SocketHandle s)
{
    std::unique_ptr<CTlsStream> data(new CTlsStream(s, m_credentials->NewSession()));
    data->SetTimeLimit(TimeLimit());
    if (!data->Handshake())
        return nullptr;
    return std::unique_ptr<CStream>(data.release());
}

TlsStartResult StartTls(CFtpClient& ftp, std::unique_ptr<CStream> plain,
                        const std::shared_ptr<CTlsCredentials>& credentials, const std::string& storedFingerprint,
                        const CertificateQuestionFn& ask)
{
    TlsStartResult result;
    const int code = ftp.SendCommand(*plain, "AUTH TLS\r\n");
    if (code == ReplyFailed) {
        result.why = ftp.FailureReason();
        return result;
    }
    // Only 234 says the server now waits for our handshake (RFC 4217).
    if (code != 234) {
        result.outcome = TlsStart::NotOffered;
        return result;
    }
    std::unique_ptr<CTlsControlStream> stream(new CTlsControlStream(std::move(plain), credentials));
    TlsCertificate certificate;
    if (!stream->Handshake()) {
        result.why = stream->Failure();
        return result;
    }
    if (!stream->ServerCertificate(&certificate)) {
        result.why = "the server's certificate could not be read";
        return result;
    }
    if (JudgeCertificate(certificate, storedFingerprint) == CertificateVerdict::Ask && !ask(certificate)) {
        result.outcome = TlsStart::Untrusted;
        return result;
    }
    result.outcome = TlsStart::Secured;
    result.stream = std::move(stream);
    return result;
}

namespace {

bool Completed(int code)
{
    return code >= 200 && code < 300;
}

}  // namespace

bool ProtectDataConnections(CFtpClient& ftp, CStream& control, std::string* replies)
{
    for (const char* line : {"PBSZ 0\r\n", "PROT P\r\n"}) {
        if (!Completed(ftp.SendCommand(control, line)))
            return false;
        if (replies != nullptr)
            *replies += ftp.LastReply();
    }
    return true;
}
