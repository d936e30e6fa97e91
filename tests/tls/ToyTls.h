// A stand-in for the platform's TLS, and a scripted wire under it, so that
// the record loop of CTlsStream is tested natively.
//
// Toy records: a type byte, a 4-byte big-endian length, the payload.
// 'H' handshake message, 'D' data (bytes XOR 0x5A), 'A' alert (a
// "close_notify" ends the session, any other fails), 'R' a renegotiation
// request, 'T' a session ticket, given as SChannel gives a TLS 1.3 one: as a
// renegotiation that the next handshake call takes with nothing to send.
// The handshake: we send H"hello"; the server answers
// H"server-hello" and H"server-done"; we end with H"finished".
#pragma once

#include <deque>
#include <string>
#include <utility>

#include "ftp/TlsStream.h"

std::string ToyRecord(char type, const std::string& payload);
std::string ToyData(const std::string& plain);
std::string ToyServerHandshake();

class CToyProvider : public CTlsProvider {
public:
    explicit CToyProvider(size_t maxRecordData) : m_maxRecordData(maxRecordData) {}

    TlsStatus Handshake(char* input, size_t length, size_t* consumed, std::string* output) override;
    size_t MaxRecordData() const override { return m_maxRecordData; }
    bool Encrypt(const char* data, size_t length, std::string* record) override;
    TlsStatus Decrypt(char* input, size_t length, size_t* consumed, std::string* plain) override;
    bool Shutdown(std::string* output) override;
    bool ServerCertificate(TlsCertificate* certificate) override;
    std::string LastError() const override { return m_error; }
    unsigned ProtocolVersion() const override { return TlsVersion12; }

private:
    size_t m_maxRecordData;
    bool m_helloSent = false;
    bool m_ticket = false;
    std::string m_error;
};

// Receive gives the scripted reads in order, cut to the caller's buffer,
// then endResult; Peek shows what Receive would give. Send takes at most
// sendLimit bytes a call, or fails.
class CScriptedWire : public CStream {
public:
    explicit CScriptedWire(std::deque<std::string> scriptedReads) : reads(std::move(scriptedReads)) {}
    int Send(const char* data, int length) override;
    int Receive(char* buffer, int length) override;
    int Peek(char* buffer, int length) override;
    SocketHandle Socket() const override { return InvalidSocket; }

    std::deque<std::string> reads;
    int endResult = 0;
    int sendLimit = 1 << 30;
    bool failSends = false;
    std::string written;
};
