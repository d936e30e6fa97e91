#include "ftp/TlsStream.h"

#include <cstring>

namespace {

// One read takes up to a whole TLS record (header, 2^14 bytes, expansion).
const size_t ReadChunk = 5 + 16384 + 2048;
// A peer whose message never completes must not make us buffer for ever.
const size_t MaxHeld = 256 * 1024;

}  // namespace

CTlsStream::CTlsStream(SocketHandle s, std::unique_ptr<CTlsProvider> provider)
    : CTlsStream(std::unique_ptr<CStream>(new CPlainStream(s)), std::move(provider))
{
}

CTlsStream::CTlsStream(std::unique_ptr<CStream> transport, std::unique_ptr<CTlsProvider> provider)
    : m_transport(std::move(transport)),
      m_provider(std::move(provider)),
      m_state(State::Start),
      m_established(false),
      m_closing(false),
      m_closeSent(false)
{
}

bool CTlsStream::Fail(const std::string& why)
{
    if (m_state != State::Failed)
        m_failure = why;
    m_state = State::Failed;
    return false;
}

std::string CTlsStream::TransportFailure() const
{
    return m_transport->TimedOut() ? NoAnswerText(m_transport->TimeLimit()) : "the connection failed";
}

bool CTlsStream::SendWhole(const std::string& bytes)
{
    // A record sent in part cannot be taken back: the rest must follow.
    size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = m_transport->Send(bytes.data() + sent, static_cast<int>(bytes.size() - sent));
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool CTlsStream::ReadMore()
{
    if (m_raw.size() > MaxHeld)
        return Fail("the server sent a TLS message too long to take");
    const size_t held = m_raw.size();
    m_raw.resize(held + ReadChunk);
    const int n = m_transport->Receive(&m_raw[held], static_cast<int>(ReadChunk));
    m_raw.resize(held + (n > 0 ? static_cast<size_t>(n) : 0));
    if (n > 0)
        return true;
    if (n < 0)
        return Fail(TransportFailure());
    return Fail(m_state == State::Start ? "the server closed the connection during the TLS handshake"
                                        : "the server closed the connection without ending TLS");
}

bool CTlsStream::Negotiate()
{
    for (;;) {
        size_t consumed = 0;
        std::string output;
        // With nothing held the provider still gets a valid (empty) buffer.
        const TlsStatus status = m_provider->Handshake(&m_raw[0], m_raw.size(), &consumed, &output);
        if (!output.empty() && !SendWhole(output) && status != TlsStatus::Failed)
            return Fail(TransportFailure());
        m_raw.erase(0, consumed);
        switch (status) {
        case TlsStatus::Ok:
            return true;
        case TlsStatus::Continue:
            // Messages that came with the last read go in before reading on.
            if (!m_raw.empty() && (consumed > 0 || !output.empty()))
                continue;
            if (!ReadMore())
                return false;
            continue;
        case TlsStatus::Incomplete:
            if (!ReadMore())
                return false;
            continue;
        default:
            return Fail("the TLS handshake failed: " + m_provider->LastError());
        }
    }
}

bool CTlsStream::Handshake()
{
    if (m_state != State::Start)
        return false;
    if (!Negotiate())
        return false;
    m_state = State::Open;
    m_established = true;
    // Data may have come right behind the server's last handshake message.
    DecryptHeld();
    return true;
}

bool CTlsStream::ServerCertificate(TlsCertificate* certificate)
{
    return m_established && m_provider->ServerCertificate(certificate);
}

void CTlsStream::DecryptHeld()
{
    while (m_state == State::Open && !m_raw.empty()) {
        size_t consumed = 0;
        const TlsStatus status = m_provider->Decrypt(&m_raw[0], m_raw.size(), &consumed, &m_plain);
        if (status == TlsStatus::Incomplete)
            return;
        if (status == TlsStatus::Failed || consumed > m_raw.size()) {
            Fail("a TLS record could not be decrypted: " + m_provider->LastError());
            return;
        }
        m_raw.erase(0, consumed);
        if (status == TlsStatus::Closed) {
            // TLS 1.2 asks for our close_notify in answer, and servers wait
            // for it; the data is whole even if the answer cannot go.
            m_state = State::Closed;
            Shutdown();
        } else if (status == TlsStatus::Renegotiate && !Negotiate()) {
            return;
        }
    }
}

bool CTlsStream::Fill()
{
    while (m_plain.empty()) {
        if (m_state == State::Closed)
            return true;
        if (m_state != State::Open || !ReadMore())
            return false;
        DecryptHeld();
    }
    return true;
}

int CTlsStream::Peek(char* buffer, int length)
{
    if (length <= 0)
        return 0;
    if (!Fill())
        return -1;
    const size_t n = m_plain.size() < static_cast<size_t>(length) ? m_plain.size() : static_cast<size_t>(length);
    std::memcpy(buffer, m_plain.data(), n);
    return static_cast<int>(n);
}

int CTlsStream::Receive(char* buffer, int length)
{
    const int n = Peek(buffer, length);
    if (n > 0)
        m_plain.erase(0, static_cast<size_t>(n));
    return n;
}

bool CTlsStream::Pending() const
{
    return !m_plain.empty() || m_state == State::Closed || m_state == State::Failed;
}

int CTlsStream::Send(const char* data, int length)
{
    if (m_state != State::Open || m_closing)
        return -1;
    const size_t most = m_provider->MaxRecordData();
    size_t sent = 0;
    const size_t total = length > 0 ? static_cast<size_t>(length) : 0;
    while (sent < total) {
        const size_t n = total - sent < most ? total - sent : most;
        std::string record;
        if (n == 0 || !m_provider->Encrypt(data + sent, n, &record)) {
            Fail("a TLS record could not be made: " + m_provider->LastError());
            return -1;
        }
        if (!SendWhole(record)) {
            Fail(TransportFailure());
            return -1;
        }
        sent += n;
    }
    return static_cast<int>(sent);
}

bool CTlsStream::Shutdown()
{
    if (!m_closing) {
        if (m_state != State::Open && m_state != State::Closed)
            return false;
        m_closing = true;
        std::string output;
        m_closeSent = m_provider->Shutdown(&output) && SendWhole(output);
    }
    return m_closeSent;
}
