// SHA-256 against the FIPS 180-4 examples, and what a server certificate
// leads to: go on, or the question put to the user.
#include <gtest/gtest.h>

#include <string>

#include "ftp/Sha256.h"
#include "ftp/TlsCertificate.h"

namespace {

const std::string Fingerprint =
    "BA:78:16:BF:8F:01:CF:EA:41:41:40:DE:5D:AE:22:23:B0:03:61:A3:96:17:7A:9C:B4:10:FF:61:F2:00:15:AD";

TEST(Sha256, KnownDigests)
{
    EXPECT_EQ(Sha256Fingerprint("abc", 3), Fingerprint);
    EXPECT_EQ(Sha256Fingerprint("", 0), "E3:B0:C4:42:98:FC:1C:14:9A:FB:F4:C8:99:6F:B9:24:"
                                        "27:AE:41:E4:64:9B:93:4C:A4:95:99:1B:78:52:B8:55");
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(Sha256Fingerprint(twoBlocks.data(), twoBlocks.size()),
              "24:8D:6A:61:D2:06:38:B8:E5:C0:26:93:0C:3E:60:39:A3:3C:E4:59:64:FF:21:67:F6:EC:ED:D4:19:DB:06:C1");
    // A million "a", fed in pieces that straddle the 64-byte blocks.
    const std::string a(1000, 'a');
    CSha256 hash;
    for (size_t fed = 0, piece = 1; fed < 1000000; fed += piece, piece = piece % 150 + 7)
        hash.Update(a.data(), piece < 1000000 - fed ? piece : 1000000 - fed);
    unsigned char digest[CSha256::DigestSize];
    hash.Final(digest);
    EXPECT_EQ(digest[0], 0xcd);
    EXPECT_EQ(digest[1], 0xc7);
    EXPECT_EQ(digest[31], 0xd0);
}

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
