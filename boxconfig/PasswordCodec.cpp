#include "boxconfig/PasswordCodec.h"

const char PasswordAlphabet[65] = "A2Qtm7BzhMkTGgI+H3pWnjrSNV4daXlUOFZD8RPC0EeyYvuKbcq15s/Lfw9ix6oJ";

std::string EncodePassword(const std::string& plain)
{
    std::string out;
    out.reserve((plain.size() * 8 + 5) / 6);
    unsigned bits = 0;  // pending bits, right-aligned in acc
    unsigned acc = 0;
    for (unsigned char c : plain) {
        acc = (acc << 8) | c;
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            out += PasswordAlphabet[(acc >> bits) & 0x3F];
        }
        acc &= (1u << bits) - 1;
    }
    if (bits > 0)  // short last group takes the high positions
        out += PasswordAlphabet[(acc << (6 - bits)) & 0x3F];
    return out;
}

static unsigned SymbolValue(char c)
{
    for (unsigned v = 0; v < 64; ++v)
        if (PasswordAlphabet[v] == c)
            return v;
    return 0;
}

std::string DecodePassword(const std::string& encoded)
{
    std::string out;
    unsigned bits = 0;
    unsigned acc = 0;
    for (char c : encoded) {
        acc = (acc << 6) | SymbolValue(c);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            const char byte = static_cast<char>((acc >> bits) & 0xFF);
            if (byte == '\0')
                return out;
            out += byte;
            acc &= (1u << bits) - 1;
        }
    }
    // A short last group becomes a byte of its own; for anything the encoder
    // made it is zero and so only ends the text.
    if (bits > 0) {
        const char byte = static_cast<char>((acc << (8 - bits)) & 0xFF);
        if (byte != '\0')
            out += byte;
    }
    return out;
}
