#include "ftp/ExplicitTls.h"

CTlsControlStream::CTlsControlStream(std::unique_ptr<CStream> plain, std::shared_ptr<CTlsCredentials> credentials)
    : CTlsStream(std::move(plain), credentials->NewSession()),
      m_credentials(std::move(credentials))
{
}

std::unique_ptr<CStream> CTlsControlStream::DataStream(SocketHandle s, std::string* why)
{
    std::unique_ptr<CTlsStream> data(new CTlsStream(s, m_credentials->NewSession()));
    data->SetTimeLimit(TimeLimit());
    if (!data->Handshake()) {
        *why = data->Failure();
        return nullptr;
    }
    TlsCertificate certificate;
    if (!data->ServerCertificate(&certificate)) {
        *why = "the data connection's certificate could not be read";
        return nullptr;
    }
    if (!AcceptDataCertificate(m_certificate, certificate)) {
        *why = "the data connection presented another certificate than the control connection (SHA-256 " +
               certificate.fingerprint + ")";
        return nullptr;
    }
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
    stream->Accepted(certificate);
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

TransferResult ProveDataConnections(CFtpClient& ftp, CStream& control, DataMode mode)
{
    CTransfer probe(ftp, control, nullptr, mode);
    if (!probe.OpenDataPort())
        return probe.Result();
    return probe.Discard("LIST\r\n");
}

bool DataConnectionsProven(const TransferResult& probe)
{
    // 4xx and 522 speak of the data connection; other 5xx of the listing.
    return probe.IsDone() || (probe.outcome == TransferResult::Refused && probe.step == TransferStep::Command &&
                              probe.code >= 500 && probe.code != DataTlsRefused);
}
