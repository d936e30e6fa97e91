// Thousands of seeded random listings through the fuzz target's checks:
// listing-shaped pieces mixed with stray bytes, cut lines and long fields.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ListingFuzzTarget.h"

namespace {

std::string RandomListing(std::mt19937& rng)
{
    static const char* const pieces[] = {
        "d",
        "-",
        "l",
        "total 12",
        "rwxr-xr-x",
        "rw-r--r--",
        " ",
        "   ",
        "1",
        "2",
        "owner",
        "group",
        "0",
        "4096",
        "10240",
        "Jan 12 10:31",
        "Dec  3  1998",
        "Dec 07 15:42",
        "public html",
        "a.txt",
        "\r\n",
        "\r\n",
        "\r\n",
        "\r",
        "\n",
        "\t",
        "->",
        "\"",
        "%s",
        "\x7f",
        "\xff",
        "\xe9",
    };
    const int pieceCount = sizeof pieces / sizeof pieces[0];
    std::uniform_int_distribution<int> length(0, 80), kind(0, 99), piece(0, pieceCount - 1), byte(0, 255),
        run(200, 400);
    std::string out;
    for (int i = length(rng); i > 0; --i) {
        const int k = kind(rng);
        if (k < 75)
            out += pieces[piece(rng)];
        else if (k < 95)
            out += static_cast<char>(byte(rng));
        else
            out += std::string(static_cast<size_t>(run(rng)), k & 1 ? 'n' : '9');  // overlong field
    }
    return out;
}

// A well-formed line with random field contents, so the name and size
// paths are reached often.
std::string RandomLine(std::mt19937& rng)
{
    std::uniform_int_distribution<int> len(0, 300), byte(1, 255), coin(0, 1);
    auto text = [&](int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += static_cast<char>(byte(rng));
        return s;
    };
    return std::string(coin(rng) ? "d" : "-") + "rwxr-xr-x 1 o g " + text(len(rng) / 8) + " Jan 12 10:31 " +
           text(len(rng)) + (coin(rng) ? "\r\n" : "");
}

TEST(ListingFuzz, SeededRandomListingsKeepEveryPromise)
{
    std::mt19937 rng(20240607u);
    for (int i = 0; i < 20000; ++i) {
        std::string listing = RandomListing(rng);
        if (i % 3 == 0)
            listing += RandomLine(rng) + RandomLine(rng);
        const std::string problem = CheckListingParse(listing);
        ASSERT_EQ(problem, "") << "case " << i << ": " << testing::PrintToString(listing);
    }
}

}  // namespace
