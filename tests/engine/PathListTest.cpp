#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/PathList.h"

namespace {

std::vector<std::string> Split(const std::string& list)
{
    std::vector<std::string> paths;
    for (size_t i = 0; i < CountPaths(list); ++i)
        paths.push_back(PathAt(list, i));
    return paths;
}

using Paths = std::vector<std::string>;

TEST(PathList, PathsAreFoundByTheirDriveColonsAndNetworkStarts)
{
    const struct {
        std::string list;
        Paths paths;
    } cases[] = {
        {"C:\\A B\\x.txt D:\\y.txt", {"C:\\A B\\x.txt", "D:\\y.txt"}},
        {"C:\\one.txt", {"C:\\one.txt"}},
        {"C:\\Web\\index.htm C:\\Web\\img", {"C:\\Web\\index.htm", "C:\\Web\\img"}},
        {"C:\\a  b\\c d e.txt E:\\f", {"C:\\a  b\\c d e.txt", "E:\\f"}},
        {"", {}},
        {"no colon at all", {}},
        // Explorer passes files of a network place without a drive letter.
        {"\\\\server\\share\\file.txt", {"\\\\server\\share\\file.txt"}},
        {"\\\\srv\\x.txt C:\\y.txt", {"\\\\srv\\x.txt", "C:\\y.txt"}},
        {"C:\\y.txt \\\\srv\\my docs\\x.txt D:\\z", {"C:\\y.txt", "\\\\srv\\my docs\\x.txt", "D:\\z"}},
        {"\\\\?\\C:\\long\\a.txt", {"\\\\?\\C:\\long\\a.txt"}},
        // Only at a path's start: not a colon or backslashes inside a path.
        {"C:\\a\\\\b.txt", {"C:\\a\\\\b.txt"}},
        {"junk C:\\x", {"C:\\x"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Split(c.list), c.paths) << c.list;
}

TEST(PathList, DegenerateListsStayInBounds)
{
    EXPECT_EQ(Split(":"), Paths{});
    EXPECT_EQ(Split("::"), Paths{"::"});
    EXPECT_EQ(Split("C:"), Paths{"C:"});
    EXPECT_EQ(Split("\\\\"), Paths{"\\\\"});
    EXPECT_EQ(Split("C: D:"), (Paths{"C:", "D:"}));
    EXPECT_EQ(PathAt("C:\\x", 5), "");
}

TEST(PathList, QuotedPathsFromTheShellLoseTheirQuotes)
{
    const std::string shell = "\"C:\\My Documents\\a b.txt\" C:\\plain.txt \"D:\\x y\"";
    EXPECT_EQ(Split(StripQuotes(shell)), (Paths{"C:\\My Documents\\a b.txt", "C:\\plain.txt", "D:\\x y"}));
}

TEST(PathList, FolderSwitch)
{
    EXPECT_TRUE(IsFolderSwitch("/b Incoming"));
    EXPECT_TRUE(IsFolderSwitch("/B Incoming"));
    EXPECT_TRUE(IsFolderSwitch("/bIncoming"));
    EXPECT_FALSE(IsFolderSwitch("-b Incoming"));
    EXPECT_FALSE(IsFolderSwitch("/"));
    EXPECT_FALSE(IsFolderSwitch("C:\\b"));
    EXPECT_EQ(FolderSwitchArgument("/b    Incoming"), "Incoming");
    EXPECT_EQ(FolderSwitchArgument("/B\tNew Stuff"), "New Stuff");
    EXPECT_EQ(FolderSwitchArgument("/b"), "");
    EXPECT_EQ(FolderSwitchArgument("/b   "), "");
    EXPECT_EQ(FolderSwitchArgument("/b \"New Stuff\""), "New Stuff");
}

TEST(PathList, FolderEntriesJoinIntoAPathList)
{
    const std::string dir = "C:\\Suite\\Boxes\\Incoming\\";
    const std::string list = JoinFolderEntries(dir, {".", "..", "a.txt", "my pics", "z"});
    EXPECT_EQ(list, dir + "a.txt " + dir + "my pics " + dir + "z");
    EXPECT_EQ(Split(list), (Paths{dir + "a.txt", dir + "my pics", dir + "z"}));
    EXPECT_EQ(JoinFolderEntries(dir, {".", ".."}), "");
}

TEST(PathList, LargeFolderListsAreComplete)
{
    // Far beyond a 64 KB buffer: every entry must come back.
    const std::string dir = "C:\\Suite\\Boxes\\Big\\";
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i)
        names.push_back("a rather long file name number " + std::to_string(i) + ".dat");
    const Paths paths = Split(JoinFolderEntries(dir, names));
    ASSERT_EQ(paths.size(), names.size());
    EXPECT_EQ(paths.front(), dir + names.front());
    EXPECT_EQ(paths.back(), dir + names.back());
}

TEST(PathList, BoxNameIsTheModuleFileNameWithoutExe)
{
    EXPECT_EQ(BoxNameFromModulePath("C:\\Suite\\Boxes\\Site.exe"), "Site");
    EXPECT_EQ(BoxNameFromModulePath("C:\\Suite\\Boxes\\my site.v2.exe"), "my site.v2");
    EXPECT_EQ(BoxNameFromModulePath("Z:\\x\\.exe"), "");
    EXPECT_EQ(BoxNameFromModulePath("C:\\a\\b"), "");
}

}  // namespace
