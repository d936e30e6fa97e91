#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "boxconfig/PasswordCodec.h"

namespace {

std::vector<int> SymbolValues(const std::string& encoded)
{
    std::vector<int> values;
    for (char c : encoded) {
        const char* p = std::char_traits<char>::find(PasswordAlphabet, 64, c);
        values.push_back(p ? static_cast<int>(p - PasswordAlphabet) : -1);
    }
    return values;
}

std::string Symbols(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s += PasswordAlphabet[v];
    return s;
}

TEST(PasswordAlphabet, HoldsDigitsLettersPlusAndSlashOnceEachOutsideBase64Order)
{
    const std::string alphabet(PasswordAlphabet);
    ASSERT_EQ(alphabet.size(), 64u);
    EXPECT_EQ(std::set<char>(alphabet.begin(), alphabet.end()).size(), 64u);
    for (char c : std::string("0123456789+/"))
        EXPECT_NE(alphabet.find(c), std::string::npos) << c;
    for (char c = 'a'; c <= 'z'; ++c) {
        EXPECT_NE(alphabet.find(c), std::string::npos) << c;
        EXPECT_NE(alphabet.find(static_cast<char>(c - 32)), std::string::npos) << c;
    }
    EXPECT_NE(alphabet, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
}

TEST(PasswordCodec, WorkedExamplesAsSixBitValues)
{
    EXPECT_EQ(SymbolValues(EncodePassword("a")), (std::vector<int>{24, 16}));
    EXPECT_EQ(SymbolValues(EncodePassword("abc")), (std::vector<int>{24, 22, 9, 35}));
    EXPECT_EQ(DecodePassword(Symbols({24, 16})), "a");
    EXPECT_EQ(DecodePassword(Symbols({24, 22, 9, 35})), "abc");
    EXPECT_EQ(EncodePassword(""), "");
    EXPECT_EQ(DecodePassword(""), "");
}

TEST(PasswordCodec, LengthsAndRoundTripsWithoutALimit)
{
    const struct {
        size_t bytes, symbols;
    } cases[] = {{1, 2}, {2, 3}, {3, 4}, {126, 168}, {127, 170}, {300, 400}, {5000, 6667}};
    for (const auto& c : cases) {
        std::string plain;
        for (size_t i = 0; i < c.bytes; ++i)
            plain += static_cast<char>(1 + (i * 37 + 11) % 255);  // every byte but zero
        const std::string encoded = EncodePassword(plain);
        EXPECT_EQ(encoded.size(), c.symbols) << c.bytes << " bytes";
        EXPECT_EQ(encoded.find_first_not_of(PasswordAlphabet), std::string::npos);
        EXPECT_EQ(DecodePassword(encoded), plain) << c.bytes << " bytes";
    }
}

TEST(PasswordCodec, HighBitCharactersRoundTrip)
{
    const std::string plain = "p\xE4\xDF w\xF6rd\xFF\x80";
    EXPECT_EQ(DecodePassword(EncodePassword(plain)), plain);
}

TEST(PasswordCodec, CharactersOutsideTheAlphabetCountAsZero)
{
    // "a" is 24,16; putting an unknown character in place of a zero-valued
    // symbol must decode the same.
    const std::string enc = EncodePassword("abc");
    std::string damaged = enc;
    damaged[1] = '*';  // value 22 becomes 0: bits 011000 000000 ...
    const std::string expected = DecodePassword(Symbols({24, 0, 9, 35}));
    EXPECT_EQ(DecodePassword(damaged), expected);
    EXPECT_EQ(DecodePassword("**"), "");  // all-zero bits give an empty text
    EXPECT_EQ(DecodePassword("*\x01\xFF"), "");
}

TEST(PasswordCodec, AnEarlyZeroByteEndsTheText)
{
    // 24,16 then 0,0: "a", a zero byte, and the rest is cut.
    EXPECT_EQ(DecodePassword(Symbols({24, 16, 0, 0, 24, 16})), "a");
}

}  // namespace
