// The server certificate of a TLS connection, as checked by us (not by the
// handshake), and what follows from it: go on when the chain is trusted
// and issued for the host name, or when the user trusted exactly this
// certificate for the box before; otherwise ask the user.
#pragma once

#include <cstdint>
#include <string>

struct TlsCertificate {
    std::string subject;
    std::string issuer;
    std::string validFrom;  // UTC, "YYYY-MM-DD HH:MM"
    std::string validTo;
    std::string fingerprint;  // SHA-256 of the DER bytes, "AB:CD:..." in upper case
    // The platform's verdict on the chain and the host name: 0 when
    // trusted, else a CERT_E_* or TRUST_E_* code.
    uint32_t error = 0;
};

enum class CertificateVerdict { Accept, Ask };

// Accept a trusted certificate, or the one whose fingerprint the user chose
// to trust for this box (stored; empty when none); ask about any other.
CertificateVerdict JudgeCertificate(const TlsCertificate& certificate, const std::string& storedFingerprint);

// A data connection's certificate may serve when it is the control
// connection's own, or, when that one was trusted through its chain (not by
// a fingerprint the user stored), when it passes the same checks.
bool AcceptDataCertificate(const TlsCertificate& control, const TlsCertificate& data);

// The error of a certificate chain's trust status (CERT_TRUST_* bits), as a
// CERT_E_* or TRUST_E_* code; 0 when it has none. A revocation state that
// could not be learnt is none.
uint32_t ChainStatusError(uint32_t trustStatus);

// Two fingerprints name the same certificate: hex digits compared without
// regard to case or separators; an incomplete one matches nothing.
bool SameFingerprint(const std::string& a, const std::string& b);

// Why a certificate is not trusted, in one short English sentence.
std::string CertificateReason(uint32_t error);

// The text of the question put to the user (Yes trusts it for the box).
std::string CertificateQuestion(const TlsCertificate& certificate, const std::string& host);
