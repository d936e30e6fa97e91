// Random byte streams, cut at random, through the reply reader: every read
// ends, stays inside its buffers (the sanitizers watch), gives a code, and
// takes exactly one reply as a plain line-by-line reading defines it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "FakeSocket.h"
#include "ftp/FtpClient.h"

namespace {

struct Expected {
    size_t length;  // bytes the read takes
    int code;
};

// The reply at the front of `s`, read line by line (a line feed ends a
// line, with or without a carriage return before it): one line, unless the
// first line's fourth character is "-"; then up to the first later line
// that begins with the first three characters and a space. At most
// ReplySize bytes; a stream that ends early ends the reply, one that breaks
// (`broken`) makes it fail.
Expected Oracle(const std::string& s, bool broken)
{
    std::vector<std::string> lines;  // complete lines with their line ends
    size_t at = 0;
    for (size_t lf; (lf = s.find('\n', at)) != std::string::npos; at = lf + 1)
        lines.push_back(s.substr(at, lf + 1 - at));

    size_t end = std::string::npos;
    bool multi = s.size() >= 4 && s[3] == '-' && (lines.empty() || lines[0].size() > 4);
    if (!multi && !lines.empty()) {
        end = lines[0].size();
    } else if (multi && !lines.empty()) {
        std::string closing = s.substr(0, 3) + " ";
        size_t offset = lines[0].size();
        for (size_t i = 1; i < lines.size(); offset += lines[i].size(), ++i) {
            if (lines[i].compare(0, 4, closing) == 0) {
                end = offset + lines[i].size();
                break;
            }
        }
    }
    const size_t cap = CFtpClient::ReplySize;
    if (end != std::string::npos && end <= cap)
        return {end, 0};
    if (s.size() >= cap)
        return {cap, 0};
    if (broken || s.empty())
        return {s.size(), ReplyFailed};
    return {s.size(), 0};
}

int CodeOf(const std::string& text)
{
    std::string first = text.substr(0, 3);
    return static_cast<int>(std::strtol(first.c_str(), nullptr, 10));
}

std::string RandomStream(std::mt19937& rng)
{
    static const char* const tokens[] = {"220", "230", "226", "-",    " ",    "\r\n",     "\r",      "\n",
                                         "2",   "0",   "x",   "220 ", "220-", "\r\n220 ", "\r\n220-"};
    std::uniform_int_distribution<int> kind(0, 9);
    std::string s;
    size_t length = std::uniform_int_distribution<size_t>(0, rng() % 20 == 0 ? 6000 : 160)(rng);
    while (s.size() < length) {
        if (kind(rng) < 7)
            s += tokens[rng() % (sizeof tokens / sizeof tokens[0])];
        else
            s += static_cast<char>(rng() & 0xFF);
    }
    return s;
}

TEST(FtpReplyFuzz, RandomStreamsCutAtRandom)
{
    std::mt19937 rng(20240611);
    CFtpClient ftp;
    for (int round = 0; round < 20000; ++round) {
        Fake() = FakeNet();
        std::string stream = RandomStream(rng);
        bool broken = rng() % 4 == 0;
        SocketHandle s = Fake().AddStream({});
        CPlainStream control(s);
        for (size_t at = 0; at < stream.size();) {
            size_t piece = 1 + rng() % (rng() % 2 ? 8 : 600);
            Fake().Stream(s).incoming.push_back({stream.substr(at, piece), false});
            at += piece;
        }
        if (broken)
            Fake().Stream(s).incoming.push_back({"", true});

        std::string rest = stream;
        for (int reads = 0;; ++reads) {
            ASSERT_LE(reads, 6001) << "round " << round;
            Expected want = Oracle(rest, broken);
            unsigned callsBefore = Fake().Stream(s).receiveCalls;
            int code = ftp.ReadReply(control);
            std::string taken = rest.substr(0, want.length);
            ASSERT_EQ(code, want.code == ReplyFailed ? ReplyFailed : CodeOf(taken))
                << "round " << round << ", stream " << ::testing::PrintToString(rest);
            ASSERT_EQ(std::string(ftp.LastReply()), taken.substr(0, taken.find('\0'))) << "round " << round;
            // A peek and at most one receive per piece: no spinning.
            ASSERT_LE(Fake().Stream(s).receiveCalls - callsBefore, 2 * want.length + 2) << "round " << round;
            rest.erase(0, want.length);
            if (code == ReplyFailed)
                break;
        }
        ASSERT_TRUE(rest.empty()) << "round " << round;
        ASSERT_EQ(Fake().errors, std::vector<std::string>());
    }
}

}  // namespace
