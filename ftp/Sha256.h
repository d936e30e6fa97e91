// SHA-256 (FIPS 180-4), for certificate fingerprints: the platform's own
// hash providers do not offer it on every Windows the suite runs on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CSha256 {
public:
    static constexpr size_t DigestSize = 32;

    CSha256();
    void Update(const void* data, size_t length);
    // Ends the hash; the object must not be updated afterwards.
    void Final(unsigned char digest[DigestSize]);

private:
    void Compress(const unsigned char block[64]);

    uint32_t m_state[8];
    uint64_t m_length;  // bytes hashed so far
    unsigned char m_block[64];
    size_t m_used;  // bytes waiting in m_block
};

// The SHA-256 of the bytes as upper-case hex pairs joined by colons.
std::string Sha256Fingerprint(const void* data, size_t length);
