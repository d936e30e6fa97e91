#include <gtest/gtest.h>

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
