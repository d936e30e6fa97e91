// What a server certificate leads to: go on, or the question put to the user.
#include <gtest/gtest.h>

#include <string>

#include "ftp/TlsCertificate.h"

namespace {

const std::string Fingerprint =
    "BA:78:16:BF:8F:01:CF:EA:41:41:40:DE:5D:AE:22:23:B0:03:61:A3:96:17:7A:9C:B4:10:FF:61:F2:00:15:AD";

TEST(TlsCertificate, WhatIsAcceptedWithoutAsking)
{
    TlsCertificate trusted, untrusted;
    trusted.fingerprint = untrusted.fingerprint = Fingerprint;
    untrusted.error = 0x800B0109;
    const std::string lower = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    EXPECT_EQ(JudgeCertificate(trusted, ""), CertificateVerdict::Accept);
    EXPECT_EQ(JudgeCertificate(untrusted, ""), CertificateVerdict::Ask);
    EXPECT_EQ(JudgeCertificate(untrusted, Fingerprint), CertificateVerdict::Accept);
    EXPECT_EQ(JudgeCertificate(untrusted, lower), CertificateVerdict::Accept);
    for (const std::string& other : {Fingerprint.substr(0, 92), "CB" + Fingerprint.substr(2), Fingerprint + ":00"})
        EXPECT_EQ(JudgeCertificate(untrusted, other), CertificateVerdict::Ask) << other;
    untrusted.fingerprint.clear();
    EXPECT_EQ(JudgeCertificate(untrusted, ""), CertificateVerdict::Ask);
}

TEST(TlsCertificate, TheQuestionShowsTheCertificateAndNothingTheServerSlipsIn)
{
    TlsCertificate c;
    c.subject = "CN=localhost, O=Test";
    c.issuer = "CN=Test CA";
    c.validFrom = "2025-01-01 00:00";
    c.validTo = "2026-01-01 00:00";
    c.fingerprint = Fingerprint;
    c.error = 0x800B010F;
    EXPECT_EQ(CertificateQuestion(c, "ftp.example.com"),
              "The certificate of the FTP host \"ftp.example.com\" is not trusted.\n"
              "It is issued for another host name.\n\n"
              "Subject: CN=localhost, O=Test\nIssuer: CN=Test CA\n"
              "Valid from 2025-01-01 00:00 to 2026-01-01 00:00 (UTC)\n"
              "SHA-256 fingerprint:\n" +
                  Fingerprint + "\n\nDo you want to trust this certificate for this box?");

    c.subject = "CN=evil\r\nSHA-256 fingerprint:\n00:11" + std::string(500, 'x');
    const std::string question = CertificateQuestion(c, "h");
    EXPECT_EQ(question.find("\nSHA-256 fingerprint:"), question.rfind("\nSHA-256 fingerprint:"));
    EXPECT_NE(question.find("Subject: CN=evil??SHA-256 fingerprint:?00:11xxx"), std::string::npos);
    EXPECT_NE(question.find("xxx...\nIssuer:"), std::string::npos);
    EXPECT_LT(question.size(), 600u);

    EXPECT_EQ(CertificateReason(0x800B0109), "It is not issued by a trusted certification authority.");
    EXPECT_EQ(CertificateReason(0x800B0101), "It has expired or is not yet valid.");
    EXPECT_EQ(CertificateReason(0x80001234), "It cannot be verified (error 0x80001234).");
}

}  // namespace
