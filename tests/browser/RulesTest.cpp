// Where the stored directory leads, how replies are judged, the sort cycle.
#include <gtest/gtest.h>

#include <string>

#include "browser/BrowserRules.h"

namespace {

TEST(StoredDirectory, BecomesTheCwdArgument)
{
    struct {
        const char* stored;
        const char* working;
        bool relative;
        const char* target;
    } cases[] = {
        {"public_html", "/home/user", true, "/home/user/public_html"},
        {"public_html", "/", true, "/public_html"},
        {"a/b", "/srv", true, "/srv/a/b"},
        {"public_html", "", true, ""},
        {"[MN]www", "/ignored", false, "www"},
        {"[MN]", "/ignored", false, ""},
        {"[MN", "/w", true, "/w/[MN"},
        {"/www", "/ignored", false, "/www"},
        {"", "/ignored", false, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsRelativeDirectory(c.stored), c.relative) << c.stored;
        EXPECT_EQ(DirectoryTarget(c.stored, c.working), c.target) << c.stored << " in " << c.working;
    }
}

TEST(Replies, FailureFrom400AndForBrokenCodes)
{
    EXPECT_FALSE(IsFailureCode(0));
    EXPECT_FALSE(IsFailureCode(257));
    EXPECT_FALSE(IsFailureCode(399));
    EXPECT_TRUE(IsFailureCode(400));
    EXPECT_TRUE(IsFailureCode(550));
    EXPECT_TRUE(IsFailureCode(999));
    EXPECT_TRUE(IsFailureCode(-1)) << "compared unsigned";
}

TEST(SortOrder, ThreeClicksReturnToNone)
{
    int order = SortNone;
    order = NextSortOrder(order);
    EXPECT_EQ(order, 16);
    order = NextSortOrder(order);
    EXPECT_EQ(order, 32);
    order = NextSortOrder(order);
    EXPECT_EQ(order, 0);
    // A hand-made value is no sort at all, never a stray style bit.
    EXPECT_EQ(NormalSortOrder(48), SortNone);
    EXPECT_EQ(NormalSortOrder(0x1000), SortNone);
    EXPECT_EQ(NextSortOrder(7), SortAscending);
}

}  // namespace
