// tls_trust_root CERT.der: adds the certificate to the current user's
// trusted roots, so that tests under Wine can have a server certificate
// that the chain check accepts (tests/support/tls_certs.py runs it).
#include <windows.h>

#include <wincrypt.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tls_trust_root CERT.der\n");
        return 2;
    }
    std::vector<BYTE> der;
    if (FILE* file = std::fopen(argv[1], "rb")) {
        int c;
        while ((c = std::fgetc(file)) != EOF)
            der.push_back(static_cast<BYTE>(c));
        std::fclose(file);
    }
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "Root");
    const bool added =
        root != nullptr && !der.empty() &&
        CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                         CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    const DWORD error = GetLastError();
    if (root != nullptr)
        CertCloseStore(root, 0);
    if (!added) {
        std::fprintf(stderr, "tls_trust_root: %s not added (error 0x%08lX)\n", argv[1], error);
        return 1;
    }
    return 0;
}
