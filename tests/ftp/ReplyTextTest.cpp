#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ftp/CommandText.h"
#include "ftp/ReplyText.h"

namespace {

TEST(PwdReply, PathBetweenTheFirstPairOfQuotes)
{
    const struct {
        const char* reply;
        bool found;
        const char* path;
    } cases[] = {
        {"257 \"/home/ann\" is the current directory.\r\n", true, "/home/ann"},
        {"257 \"/\"\r\n", true, "/"},
        {"257 \"/a b\" and \"/c\"\r\n", true, "/a b"},
        {"257 \"\" is nowhere\r\n", true, ""},
        {"257-\"/multi\" first line\r\n257 done\r\n", true, "/multi"},
        {"257 /home/ann\r\n", false, ""},
        {"257 \"/unterminated\r\n", false, ""},
        {"257-\"/a\r\n257 b\"\r\n", false, ""},  // a line end inside: never sent back in a CWD
        {"257 \"/a\tb\"\r\n", false, ""},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        std::string path = "unchanged";
        EXPECT_EQ(QuotedPath(c.reply, path), c.found) << c.reply;
        EXPECT_EQ(path, c.found ? c.path : "unchanged") << c.reply;
    }
}

TEST(PasvReply, ThePortOfTheSixNumbersAsServersWriteThem)
{
    const struct {
        const char* reply;
        int port;  // -1: refused
    } cases[] = {
        {"227 Entering Passive Mode (127,0,0,1,4,1).\r\n", 1025},          // pyftpdlib, vsftpd
        {"227 Entering Passive Mode (10,0,0,5,195,80)\r\n", 50000},        // a private address: not used
        {"227 Entering Passive Mode 127,0,0,1,4,1\r\n", 1025},             // no parentheses
        {"227 =127,0,0,1,0,21\r\n", 21},                                   // "=" before the numbers
        {"227 Passive (127,0,0,1,255,255) and some text 1,2\r\n", 65535},  // text after them
        {"227 Passive 127,0,0,1,0,80 (the port is 80)\r\n", 80},
        {"227 (001,002,003,004,000,099)\r\n", 99},                       // leading zeros
        {"227-Entering Passive Mode\r\n227 (127,0,0,1,4,1)\r\n", 1025},  // multi-line
        {"227-(127,0,0,1,4,2)\r\n227 Done\r\n", 1026},
        {"227 Entering Passive Mode (127,0,0,1,4)\r\n", -1},  // a number missing
        {"227 Entering Passive Mode (127,0,0,1,4,)\r\n", -1},
        {"227 Entering Passive Mode (127,0,0,1,,4,1)\r\n", -1},
        {"227 Entering Passive Mode (127,0,0,1,256,1)\r\n", -1},  // not a byte
        {"227 Entering Passive Mode (127,0,0,1,4,99999999999999999999)\r\n", -1},
        {"227 Entering Passive Mode (127,0,0,1,0,0)\r\n", -1},       // no port at all
        {"227 Entering Passive Mode (127, 0, 0, 1, 4, 1)\r\n", -1},  // blanks inside
        {"227 Entering Passive Mode (-1,0,0,1,4,1)\r\n", -1},
        {"227 Entering Passive Mode\r\n", -1},
        {"227 Entering Passive Mode (\r\n", -1},
        {"227", -1},
        {"", -1},
    };
    for (const auto& c : cases) {
        unsigned short port = 7;
        EXPECT_EQ(PassivePort(c.reply, port), c.port >= 0) << c.reply;
        EXPECT_EQ(port, c.port >= 0 ? c.port : 7) << c.reply;
    }
}

// Hostile replies: random six numbers in the forms above must give their
// port exactly; the same replies with one number spoilt (missing, past a
// byte, huge, not a number), and random bytes, give none or a port that
// the text holds, and never read outside the text (the sanitizers watch).
TEST(PasvReply, FuzzedRepliesGiveTheirPortOrNone)
{
    std::mt19937 rng(14);
    auto number = [&](int most) { return std::uniform_int_distribution<int>(0, most)(rng); };
    const char* const openings[] = {"227 Entering Passive Mode (", "227 Entering Passive Mode ", "227 =", "227 ("};
    const char* const spoilers[] = {"", "256", "99999999999999999999999", "x", "(", " 4"};
    for (int round = 0; round < 20000; ++round) {
        int numbers[6];
        std::string text = openings[number(3)];
        const int spoilt = number(1) ? 1 + number(4) : -1;  // the first number starts the search
        for (int i = 0; i < 6; ++i) {
            numbers[i] = number(255);
            if (i > 0)
                text += ",";
            text += i == spoilt ? spoilers[number(5)] : std::to_string(numbers[i]);
        }
        text += number(1) ? ").\r\n" : " 1,2,3,4,5,6 (7)\r\n";
        const int expected = numbers[4] * 256 + numbers[5];
        unsigned short port = 0;
        const bool found = PassivePort(text, port);
        if (spoilt < 0) {
            EXPECT_EQ(found, expected != 0) << text;
            if (found) {
                EXPECT_EQ(port, expected) << text;
            }
        } else {
            EXPECT_FALSE(found) << text;
        }

        std::string noise = text.substr(0, number(static_cast<int>(text.size())));
        for (int i = number(12); i > 0; --i)
            noise += static_cast<char>(number(1) ? "0123456789,()"[number(12)] : number(255));
        if (PassivePort(noise, port)) {
            EXPECT_NE(port, 0) << noise;
        }
    }
}

// A line break in an argument would make the rest a second command.
TEST(CommandArgument, ALineBreakAnywhereKeepsTheCommandFromBeingSent)
{
    for (const char* bad : {"ann\r\nDELE x", "pw\n", "\rx", "/www\r\nDELE index.html"})
        EXPECT_FALSE(IsSendableArgument(bad)) << bad;
    for (const char* good : {"", "ann", "p w\t#\xe9", "[MN]'USER.DATA'", "/a b/c"})
        EXPECT_TRUE(IsSendableArgument(good)) << good;
    EXPECT_EQ(CommandLine("USER", "ann"), "USER ann\r\n");
    EXPECT_EQ(CommandLine("QUIT"), "QUIT\r\n");
}

}  // namespace
