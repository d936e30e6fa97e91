#include "ftp/TlsCertificate.h"

#include <cctype>
#include <cstdio>

namespace {

// The hex digits of a fingerprint, upper case; empty unless all 32 bytes.
std::string FingerprintDigits(const std::string& text)
{
    std::string digits;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c)))
            digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        else if (c != ':' && c != ' ')
            return std::string();
    }
    return digits.size() == 64 ? digits : std::string();
}

// A certificate's names are the server's words: keep them from adding lines
// to the question (a forged "SHA-256:" line) or from flooding it.
std::string Printable(const std::string& text)
{
    const size_t limit = 200;
    std::string out;
    for (char c : text) {
        if (out.size() == limit)
            return out + "...";
        const unsigned char u = static_cast<unsigned char>(c);
        out += u < 0x20 || u == 0x7f ? '?' : c;
    }
    return out;
}

}  // namespace

CertificateVerdict JudgeCertificate(const TlsCertificate& certificate, const std::string& storedFingerprint)
{
    if (certificate.error == 0 || SameFingerprint(certificate.fingerprint, storedFingerprint))
        return CertificateVerdict::Accept;
    return CertificateVerdict::Ask;
}

bool AcceptDataCertificate(const TlsCertificate& control, const TlsCertificate& data)
{
    return SameFingerprint(control.fingerprint, data.fingerprint) || (control.error == 0 && data.error == 0);
}

uint32_t ChainStatusError(uint32_t trustStatus)
{
    // Revocation unknown or offline: no list could be had in time.
    const uint32_t unknown = 0x00000040 | 0x01000000;
    static const struct {
        uint32_t status;
        uint32_t error;
    } errors[] = {
        {0x00010000, 0x800B010A},  // partial chain: CERT_E_CHAINING
        {0x00000080, 0x800B010A},  // cyclic
        {0x00000020, 0x800B0109},  // untrusted root
        {0x04000000, 0x800B0109},  // explicitly distrusted
        {0x00000004, 0x800B010C},  // revoked
        {0x00000008, 0x80096004},  // signature not valid
        {0x00000400, 0x80096019},  // basic constraints
        {0x00000010, 0x800B0110},  // not valid for server use
        {0x00000001, 0x800B0101},  // not time valid
        {0x00000002, 0x800B0102},  // validity not nested
    };
    if ((trustStatus & ~unknown) == 0)
        return 0;
    for (const auto& e : errors)
        if (trustStatus & e.status)
            return e.error;
    return 0x800B010B;  // TRUST_E_FAIL
}

bool SameFingerprint(const std::string& a, const std::string& b)
{
    const std::string digits = FingerprintDigits(a);
    return !digits.empty() && digits == FingerprintDigits(b);
}

std::string CertificateReason(uint32_t error)
{
    static const struct {
        uint32_t error;
        const char* reason;
    } reasons[] = {
        {0x800B0109, "It is not issued by a trusted certification authority."},  // CERT_E_UNTRUSTEDROOT
        {0x800B010D, "It is issued by a test authority."},                       // CERT_E_UNTRUSTEDTESTROOT
        {0x800B010F, "It is issued for another host name."},                     // CERT_E_CN_NO_MATCH
        {0x800B0101, "It has expired or is not yet valid."},                     // CERT_E_EXPIRED
        {0x800B0102, "Its validity does not lie within its issuer's."},          // CERT_E_VALIDITYPERIODNESTING
        {0x800B010A, "Its chain of issuers cannot be completed."},               // CERT_E_CHAINING
        {0x800B010C, "It has been revoked by its issuer."},                      // CERT_E_REVOKED
        {0x800B0110, "It is not meant for servers."},                            // CERT_E_WRONG_USAGE
        {0x800B0106, "It is not meant for servers."},                            // CERT_E_PURPOSE
        {0x800B0103, "Its issuer is not allowed to issue certificates."},        // CERT_E_ROLE
        {0x80096019, "Its issuer is not allowed to issue certificates."},        // TRUST_E_BASIC_CONSTRAINTS
        {0x80096004, "Its signature is not valid."},                             // TRUST_E_CERT_SIGNATURE
        {0x800B0114, "It carries an invalid name."},                             // CERT_E_INVALID_NAME
        {0x800B010B, "Its chain of issuers does not pass the checks."},          // TRUST_E_FAIL
    };
    for (const auto& r : reasons)
        if (r.error == error)
            return r.reason;
    char text[64];
    std::snprintf(text, sizeof text, "It cannot be verified (error 0x%08X).", static_cast<unsigned>(error));
    return text;
}

std::string CertificateQuestion(const TlsCertificate& certificate, const std::string& host)
{
    return "The certificate of the FTP host \"" + Printable(host) + "\" is not trusted.\n" +
           CertificateReason(certificate.error) + "\n\nSubject: " + Printable(certificate.subject) +
           "\nIssuer: " + Printable(certificate.issuer) + "\nValid from " + Printable(certificate.validFrom) + " to " +
           Printable(certificate.validTo) + " (UTC)\nSHA-256 fingerprint:\n" + Printable(certificate.fingerprint) +
           "\n\nDo you want to trust this certificate for this box?";
}
