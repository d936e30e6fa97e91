#include "tls/ToyTls.h"

#include <cstring>

namespace {

const size_t HeaderSize = 5;

// The length of the whole first record of the bytes, or 0 when it is not all there.
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
    std::string payload;
    unsigned char sum = 0;
    for (char c : plain) {
        payload += static_cast<char>(c ^ 0x5a);
        sum = static_cast<unsigned char>(sum + c);
    }
    return ToyRecord('D', payload + static_cast<char>(sum));
}

std::string ToyServerHandshake()
{
    return ToyRecord('H', "server-hello") + ToyRecord('H', "server-done");
}

std::vector<std::pair<char, std::string>> ToyRecords(const std::string& bytes)
{
    std::vector<std::pair<char, std::string>> records;
    for (size_t at = 0, n; (n = WholeRecord(bytes.data() + at, bytes.size() - at)) != 0; at += n) {
        std::string payload = bytes.substr(at + HeaderSize, n - HeaderSize);
        if (bytes[at] == 'D') {
            payload.pop_back();
            for (char& c : payload)
                c ^= 0x5a;
        }
        records.emplace_back(bytes[at], payload);
    }
    return records;
}

TlsStatus CToyProvider::Handshake(char* input, size_t length, size_t* consumed, std::string* output)
{
    *consumed = 0;
    if (!m_helloSent) {
        m_helloSent = true;
        *output += ToyRecord('H', "hello");
        return TlsStatus::Continue;
    }
    const size_t n = WholeRecord(input, length);
    if (n == 0)
        return TlsStatus::Incomplete;
    const std::string message(input, n);
    *consumed = n;
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
    if (length > m_maxRecordData)
        return false;
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
    if (input[0] == 'A' && payload == "close_notify")
        return TlsStatus::Closed;
    if (input[0] == 'R')
        return TlsStatus::Renegotiate;
    if (input[0] == 'D' && !payload.empty()) {
        std::string bytes;
        unsigned char sum = 0;
        for (size_t i = 0; i + 1 < payload.size(); ++i) {
            bytes += static_cast<char>(payload[i] ^ 0x5a);
            sum = static_cast<unsigned char>(sum + bytes.back());
        }
        if (static_cast<char>(sum) == payload.back()) {
            *plain += bytes;
            return TlsStatus::Ok;
        }
    }
    m_error = "bad record";
    return TlsStatus::Failed;
}

bool CToyProvider::Shutdown(std::string* output)
{
    *output += ToyRecord('A', "close_notify");
    return true;
}

bool CToyProvider::ServerCertificate(TlsCertificate* out)
{
    *out = certificate;
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
