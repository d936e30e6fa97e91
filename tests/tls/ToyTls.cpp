#include "tls/ToyTls.h"

#include <algorithm>
#include <cstring>

namespace {

const size_t HeaderSize = 5;

// The length of the first record when it is all there, else 0.
size_t WholeRecord(const char* input, size_t length)
{
    if (length < HeaderSize)
        return 0;
    size_t payload = 0;
    for (size_t i = 1; i < HeaderSize; ++i)
        payload = payload << 8 | static_cast<unsigned char>(input[i]);
    return length - HeaderSize < payload ? 0 : HeaderSize + payload;
}

}  // namespace

std::string ToyRecord(char type, const std::string& payload)
{
    std::string record(1, type);
    for (int shift = 24; shift >= 0; shift -= 8)
        record += static_cast<char>(payload.size() >> shift & 0xff);
    return record + payload;
}

std::string ToyData(const std::string& plain)
{
    std::string payload = plain;
    for (char& c : payload)
        c ^= 0x5a;
    return ToyRecord('D', payload);
}

std::string ToyServerHandshake()
{
    return ToyRecord('H', "server-hello") + ToyRecord('H', "server-done");
}

TlsStatus CToyProvider::Handshake(char* input, size_t length, size_t* consumed, std::string* output)
{
    *consumed = 0;
    if (m_ticket) {
        m_ticket = false;
        return TlsStatus::Ok;
    }
    if (!m_helloSent) {
        m_helloSent = true;
        *output += ToyRecord('H', "hello");
        return TlsStatus::Continue;
    }
    const size_t n = WholeRecord(input, length);
    if (n == 0)
        return TlsStatus::Incomplete;
    *consumed = n;
    const std::string message(input, n);
    if (message == ToyRecord('H', "server-hello"))
        return TlsStatus::Continue;
    if (message == ToyRecord('H', "server-done")) {
        m_helloSent = false;  // a renegotiation starts over
        *output += ToyRecord('H', "finished");
        return TlsStatus::Ok;
    }
    m_error = "unexpected handshake message";
    *output += ToyRecord('A', "handshake_failure");
    return TlsStatus::Failed;
}

bool CToyProvider::Encrypt(const char* data, size_t length, std::string* record)
{
    *record += ToyData(std::string(data, length));
    return true;
}

TlsStatus CToyProvider::Decrypt(char* input, size_t length, size_t* consumed, std::string* plain)
{
    const size_t n = WholeRecord(input, length);
    if (n == 0)
        return TlsStatus::Incomplete;
    *consumed = n;
    const std::string payload(input + HeaderSize, n - HeaderSize);
    if (input[0] == 'D') {
        for (char c : payload)
            *plain += static_cast<char>(c ^ 0x5a);
        return TlsStatus::Ok;
    }
    if (input[0] == 'R')
        return TlsStatus::Renegotiate;
    if (input[0] == 'T') {
        m_ticket = true;
        return TlsStatus::Renegotiate;
    }
    if (input[0] == 'A' && payload == "close_notify")
        return TlsStatus::Closed;
    m_error = "bad record";
    return TlsStatus::Failed;
}

bool CToyProvider::Shutdown(std::string* output)
{
    *output += ToyRecord('A', "close_notify");
    return true;
}

bool CToyProvider::ServerCertificate(TlsCertificate* certificate)
{
    *certificate = TlsCertificate();
    return true;
}

int CScriptedWire::Send(const char* data, int length)
{
    if (failSends)
        return -1;
    const int n = length < sendLimit ? length : sendLimit;
    written.append(data, static_cast<size_t>(n));
    return n;
}

int CScriptedWire::Peek(char* buffer, int length)
{
    if (reads.empty())
        return endResult;
    const size_t n = std::min(reads.front().size(), static_cast<size_t>(length));
    std::memcpy(buffer, reads.front().data(), n);
    return static_cast<int>(n);
}

int CScriptedWire::Receive(char* buffer, int length)
{
    if (reads.empty())
        return endResult;
    std::string& next = reads.front();
    const size_t n = next.size() < static_cast<size_t>(length) ? next.size() : static_cast<size_t>(length);
    std::memcpy(buffer, next.data(), n);
    next.erase(0, n);
    if (next.empty())
        reads.pop_front();
    return static_cast<int>(n);
}
