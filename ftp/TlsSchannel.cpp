// SChannel behind CTlsProvider. What this Wine showed, kept in mind here:
// its DecryptMessage gives the server's close_notify as SEC_E_OK with no
// data (not SEC_I_CONTEXT_EXPIRED); the record trailer EncryptMessage uses
// may be shorter than the stream sizes say; only the DATA and EXTRA buffers
// DecryptMessage hands back are to be read, and the buffer descriptions are
// made afresh for every call; a certificate has no SHA-256 property there
// (CRYPT_E_NOT_FOUND), CryptHashCertificate gives it. It never checks
// certificates, so we do.
#define SECURITY_WIN32
#define SCHANNEL_USE_BLACKLISTS           // for SCH_CREDENTIALS
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS  // for the revocation time limit
#include "ftp/TlsSchannel.h"

#include <windows.h>

#include <subauth.h>
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>
#include <vector>

#ifndef CALG_SHA_256
// Known since XP SP3; the headers offer it only above the SP2 we build for.
#define CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | 12)  // ALG_SID_SHA_256
#endif

namespace {

const unsigned char AlertRecord = 21;  // TLS ContentType alert

// We check the certificate ourselves after the handshake, and offer no
// client certificate of our own: a server that asks for one optionally gets
// none rather than an answer SChannel picks from the user's store.
const DWORD CredentialFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
const ULONG ContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                           ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                           ISC_REQ_USE_SUPPLIED_CREDS;
// Revocation lists are fetched where a certificate names them, but a run
// waits no longer than this for all of them together.
const DWORD RevocationWaitMs = 3000;

std::string ErrorText(const char* what, long code)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s (0x%08lX)", what, static_cast<unsigned long>(code));
    return text;
}

std::string TimeText(const FILETIME& time)
{
    SYSTEMTIME t;
    if (!FileTimeToSystemTime(&time, &t))
        return "?";
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
    return text;
}

std::string NameText(const CERT_CONTEXT* cert, CERT_NAME_BLOB* name)
{
    const DWORD type = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
    const DWORD size = CertNameToStrA(cert->dwCertEncodingType, name, type, nullptr, 0);
    std::vector<char> text(size + 1, '\0');
    CertNameToStrA(cert->dwCertEncodingType, name, type, text.data(), size);
    return text.data();
}

// The SHA-256 of the certificate as upper-case hex pairs joined by colons,
// the form stored in a box; "" when the system cannot hash it.
std::string Fingerprint(const CERT_CONTEXT* cert)
{
    BYTE digest[32];
    DWORD size = sizeof digest;
    if (!CertGetCertificateContextProperty(cert, CERT_SHA256_HASH_PROP_ID, digest, &size) || size != sizeof digest) {
        size = sizeof digest;
        if (!CryptHashCertificate(0, CALG_SHA_256, 0, cert->pbCertEncoded, cert->cbCertEncoded, digest, &size) ||
            size != sizeof digest)
            return std::string();
    }
    static const char hex[] = "0123456789ABCDEF";
    std::string text;
    for (BYTE byte : digest) {
        if (!text.empty())
            text += ':';
        text += hex[byte >> 4];
        text += hex[byte & 15];
    }
    return text;
}

// An output token SSPI allocated, freed when done.
struct CContextBuffer {
    SecBuffer buffer = {0, SECBUFFER_TOKEN, nullptr};
    ~CContextBuffer()
    {
        if (buffer.pvBuffer != nullptr)
            FreeContextBuffer(buffer.pvBuffer);
    }
};

class CSchannelCredentials : public CTlsCredentials, public std::enable_shared_from_this<CSchannelCredentials> {
public:
    CSchannelCredentials(const CredHandle& handle, const std::string& serverName)
        : m_handle(handle),
          m_serverName(serverName)
    {
    }
    ~CSchannelCredentials() override { FreeCredentialsHandle(&m_handle); }
    CSchannelCredentials(const CSchannelCredentials&) = delete;
    CSchannelCredentials& operator=(const CSchannelCredentials&) = delete;

    std::unique_ptr<CTlsProvider> NewSession() override;
    CredHandle* Handle() { return &m_handle; }
    const std::string& ServerName() const { return m_serverName; }

private:
    CredHandle m_handle;
    std::string m_serverName;
};

class CSchannelProvider : public CTlsProvider {
public:
    explicit CSchannelProvider(std::shared_ptr<CSchannelCredentials> credentials)
        : m_credentials(std::move(credentials)),
          m_context(),
          m_hasContext(false),
          m_sizes(),
          m_error()
    {
    }
    ~CSchannelProvider() override
    {
        if (m_hasContext)
            DeleteSecurityContext(&m_context);
    }
    CSchannelProvider(const CSchannelProvider&) = delete;
    CSchannelProvider& operator=(const CSchannelProvider&) = delete;

    TlsStatus Handshake(char* input, size_t length, size_t* consumed, std::string* output) override;
    size_t MaxRecordData() const override { return m_sizes.cbMaximumMessage; }
    bool Encrypt(const char* data, size_t length, std::string* record) override;
    TlsStatus Decrypt(char* input, size_t length, size_t* consumed, std::string* plain) override;
    bool Shutdown(std::string* output) override;
    bool ServerCertificate(TlsCertificate* certificate) override;
    std::string LastError() const override { return m_error; }
    unsigned ProtocolVersion() const override;

private:
    SECURITY_STATUS Initialize(SecBufferDesc* input, std::string* output);
    void Failed(const char* what, long code) { m_error = ErrorText(what, code); }

    std::shared_ptr<CSchannelCredentials> m_credentials;
    CtxtHandle m_context;
    bool m_hasContext;
    SecPkgContext_StreamSizes m_sizes;
    std::string m_error;
};

std::unique_ptr<CTlsProvider> CSchannelCredentials::NewSession()
{
    return std::unique_ptr<CTlsProvider>(new CSchannelProvider(shared_from_this()));
}

SECURITY_STATUS CSchannelProvider::Initialize(SecBufferDesc* input, std::string* output)
{
    CContextBuffer token;
    SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, &token.buffer};
    ULONG attributes = 0;
    SEC_CHAR* target = const_cast<SEC_CHAR*>(m_credentials->ServerName().c_str());
    const SECURITY_STATUS status =
        InitializeSecurityContextA(m_credentials->Handle(), m_hasContext ? &m_context : nullptr, target, ContextFlags,
                                   0, 0, input, 0, m_hasContext ? nullptr : &m_context, &outDesc, &attributes, nullptr);
    if (!m_hasContext && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED))
        m_hasContext = true;
    if (token.buffer.pvBuffer != nullptr && token.buffer.cbBuffer > 0)
        output->append(static_cast<const char*>(token.buffer.pvBuffer), token.buffer.cbBuffer);
    return status;
}

TlsStatus CSchannelProvider::Handshake(char* input, size_t length, size_t* consumed, std::string* output)
{
    *consumed = 0;
    SECURITY_STATUS status;
    SecBuffer in[2];
    // A server asking for a client certificate gets none: one more call goes on without.
    for (int attempt = 0;; ++attempt) {
        in[0] = {static_cast<ULONG>(length), SECBUFFER_TOKEN, input};
        in[1] = {0, SECBUFFER_EMPTY, nullptr};
        SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, in};
        status = Initialize(m_hasContext ? &inDesc : nullptr, output);
        if (status != SEC_I_INCOMPLETE_CREDENTIALS || attempt > 0)
            break;
    }
    if (status == SEC_E_INCOMPLETE_MESSAGE)
        return TlsStatus::Incomplete;
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
        Failed("InitializeSecurityContext failed", status);
        return TlsStatus::Failed;
    }
    const size_t extra = in[1].BufferType == SECBUFFER_EXTRA ? in[1].cbBuffer : 0;
    *consumed = extra <= length ? length - extra : 0;
    if (status == SEC_I_CONTINUE_NEEDED)
        return TlsStatus::Continue;
    status = QueryContextAttributesA(&m_context, SECPKG_ATTR_STREAM_SIZES, &m_sizes);
    if (status != SEC_E_OK) {
        Failed("QueryContextAttributes(STREAM_SIZES) failed", status);
        return TlsStatus::Failed;
    }
    return TlsStatus::Ok;
}

bool CSchannelProvider::Encrypt(const char* data, size_t length, std::string* record)
{
    const size_t start = record->size();
    record->resize(start + m_sizes.cbHeader + length + m_sizes.cbTrailer);
    char* header = &(*record)[start];
    char* body = header + m_sizes.cbHeader;
    std::memcpy(body, data, length);
    SecBuffer b[4] = {{m_sizes.cbHeader, SECBUFFER_STREAM_HEADER, header},
                      {static_cast<ULONG>(length), SECBUFFER_DATA, body},
                      {m_sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, body + length},
                      {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, b};
    const SECURITY_STATUS status = EncryptMessage(&m_context, 0, &desc, 0);
    if (status != SEC_E_OK) {
        record->resize(start);
        Failed("EncryptMessage failed", status);
        return false;
    }
    record->resize(start + b[0].cbBuffer + b[1].cbBuffer + b[2].cbBuffer);
    return true;
}

TlsStatus CSchannelProvider::Decrypt(char* input, size_t length, size_t* consumed, std::string* plain)
{
    const bool alert = length > 0 && static_cast<unsigned char>(input[0]) == AlertRecord;
    SecBuffer b[4] = {{static_cast<ULONG>(length), SECBUFFER_DATA, input},
                      {0, SECBUFFER_EMPTY, nullptr},
                      {0, SECBUFFER_EMPTY, nullptr},
                      {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, b};
    const SECURITY_STATUS status = DecryptMessage(&m_context, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE)
        return TlsStatus::Incomplete;
    if (status != SEC_E_OK && status != SEC_I_CONTEXT_EXPIRED && status != SEC_I_RENEGOTIATE) {
        Failed("DecryptMessage failed", status);
        return TlsStatus::Failed;
    }
    const SecBuffer* data = nullptr;
    size_t extra = 0;
    for (const SecBuffer& buffer : b) {
        if (buffer.BufferType == SECBUFFER_DATA && data == nullptr)
            data = &buffer;
        else if (buffer.BufferType == SECBUFFER_EXTRA)
            extra = buffer.cbBuffer;
    }
    *consumed = extra <= length ? length - extra : 0;
    // Data that came with a close or a renegotiation is the server's too.
    const bool gotData = data != nullptr && data->cbBuffer > 0;
    if (gotData)
        plain->append(static_cast<const char*>(data->pvBuffer), data->cbBuffer);
    if (status == SEC_I_CONTEXT_EXPIRED)
        return TlsStatus::Closed;
    if (status == SEC_I_RENEGOTIATE)
        return TlsStatus::Renegotiate;
    // Wine's way of handing over the server's close_notify.
    return alert && !gotData ? TlsStatus::Closed : TlsStatus::Ok;
}

bool CSchannelProvider::Shutdown(std::string* output)
{
    DWORD type = SCHANNEL_SHUTDOWN;
    SecBuffer token = {sizeof type, SECBUFFER_TOKEN, &type};
    SecBufferDesc desc = {SECBUFFER_VERSION, 1, &token};
    SECURITY_STATUS status = ApplyControlToken(&m_context, &desc);
    if (status == SEC_E_OK) {
        status = Initialize(nullptr, output);
        if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)
            return true;
    }
    Failed("the TLS session could not be ended", status);
    return false;
}

unsigned CSchannelProvider::ProtocolVersion() const
{
    SecPkgContext_ConnectionInfo info = {};
    CtxtHandle context = m_context;
    if (!m_hasContext || QueryContextAttributesA(&context, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK)
        return 0;
    static const struct {
        DWORD protocols;
        unsigned version;
    } versions[] = {
        {SP_PROT_TLS1_3_CLIENT, 0x0304}, {SP_PROT_TLS1_2_CLIENT, 0x0303}, {SP_PROT_TLS1_1_CLIENT, 0x0302},
        {SP_PROT_TLS1_0_CLIENT, 0x0301}, {SP_PROT_SSL3_CLIENT, 0x0300},   {SP_PROT_SSL2_CLIENT, 0x0002},
    };
    for (const auto& v : versions)
        if (info.dwProtocol & v.protocols)
            return v.version;
    return 0;
}

bool CSchannelProvider::ServerCertificate(TlsCertificate* out)
{
    const CERT_CONTEXT* cert = nullptr;
    const SECURITY_STATUS status = QueryContextAttributesA(&m_context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert);
    if (status != SEC_E_OK || cert == nullptr) {
        Failed("the server sent no certificate", status);
        return false;
    }
    out->subject = NameText(cert, &cert->pCertInfo->Subject);
    out->issuer = NameText(cert, &cert->pCertInfo->Issuer);
    out->validFrom = TimeText(cert->pCertInfo->NotBefore);
    out->validTo = TimeText(cert->pCertInfo->NotAfter);
    out->fingerprint = Fingerprint(cert);

    // The chain through the user's trusted roots, and the name we asked for.
    CERT_CHAIN_PARA chainPara = {};
    chainPara.cbSize = sizeof chainPara;
    LPSTR serverUse = const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH);
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = &serverUse;
    chainPara.dwUrlRetrievalTimeout = RevocationWaitMs;
    const DWORD chainFlags =
        CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT;
    const CERT_CHAIN_CONTEXT* chain = nullptr;
    if (!CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &chainPara, chainFlags, nullptr, &chain)) {
        out->error = HRESULT_FROM_WIN32(GetLastError());
        CertFreeCertificateContext(cert);
        return true;
    }
    const std::string& name = m_credentials->ServerName();
    std::vector<WCHAR> wideName(name.size() + 1, 0);
    MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, wideName.data(), static_cast<int>(wideName.size()));
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = wideName.data();
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    // A revocation list that could not be had is no verdict (see above).
    policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS verdict = {};
    verdict.cbSize = sizeof verdict;
    // The policy alone lets a partial chain or a non-CA issuer pass under
    // Wine: the chain's own status is judged first.
    out->error = ChainStatusError(chain->TrustStatus.dwErrorStatus);
    if (out->error == 0)
        out->error = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &verdict)
                         ? verdict.dwError
                         : HRESULT_FROM_WIN32(GetLastError());
    // Wine's policy disregards the flag; a revoked certificate failed above.
    if (out->error == static_cast<uint32_t>(CERT_E_REVOCATION_FAILURE))
        out->error = 0;
    CertFreeCertificateChain(chain);
    CertFreeCertificateContext(cert);
    return true;
}

SECURITY_STATUS Acquire(void* authData, CredHandle* handle)
{
    TimeStamp expiry;
    return AcquireCredentialsHandleA(nullptr, const_cast<SEC_CHAR*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr,
                                     authData, nullptr, nullptr, handle, &expiry);
}

}  // namespace

std::shared_ptr<CTlsCredentials> MakeSchannelCredentials(const std::string& serverName, std::string* why)
{
    CredHandle handle;
    // SCH_CREDENTIALS brings TLS 1.3 where Windows has it; older systems
    // know only SCHANNEL_CRED, and TLS 1.2 at best.
    TLS_PARAMETERS parameters = {};
    parameters.grbitDisabledProtocols = ~static_cast<DWORD>(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT);
    SCH_CREDENTIALS modern = {};
    modern.dwVersion = SCH_CREDENTIALS_VERSION;
    modern.dwFlags = CredentialFlags;
    modern.cTlsParameters = 1;
    modern.pTlsParameters = &parameters;
    SECURITY_STATUS status = Acquire(&modern, &handle);
    if (status != SEC_E_OK) {
        SCHANNEL_CRED classic = {};
        classic.dwVersion = SCHANNEL_CRED_VERSION;
        classic.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
        classic.dwFlags = CredentialFlags;
        status = Acquire(&classic, &handle);
    }
    if (status != SEC_E_OK) {
        if (why != nullptr)
            *why = ErrorText("AcquireCredentialsHandle failed", status);
        return nullptr;
    }
    return std::make_shared<CSchannelCredentials>(handle, serverName);
}
