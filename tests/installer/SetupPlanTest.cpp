// What the installer's custom actions take for a box's files, when a removal
// must keep the boxes, and what the user is told.
#include <gtest/gtest.h>

#include "boxconfig/SuiteNames.h"
#include "installer/SetupPlan.h"

namespace {

const SuiteFolders Folders = {"C:\\Users\\ann\\AppData\\Local\\Programs\\FTP Sendora", "C:\\Users\\ann\\Desktop",
                               "C:\\Users\\ann\\SendTo"};

TEST(BoxFiles, ShortcutsAreNamedAsTheManagerWritesThemAndOnlyInKnownFolders)
{
    EXPECT_EQ(BoxShortcuts(Folders, "my site.one"),
              (std::vector<std::string>{"C:\\Users\\ann\\Desktop\\MY SITE.ONE.LNK",
                                        "C:\\Users\\ann\\SendTo\\MY SITE.ONE.LNK"}));
    // An unreadable shell folder must not turn into a path below the current folder.
    SuiteFolders noDesktop = Folders;
    noDesktop.desktop = "Not Found";
    noDesktop.sendTo = "";
    EXPECT_TRUE(BoxShortcuts(noDesktop, "site").empty());
}

TEST(BoxFiles, OnlyTheBrowsersOwnFilesAreSwept)
{
    for (const char* name : {"Site.lst", "my site.LST", "list.tmp", "LIST.TMP", "list-12-3.tmp", "Site.lst.new"})
        EXPECT_TRUE(IsBrowserScratchName(name)) << name;
    // Found by "*.lst" through short names, or merely alike: not the browser's.
    for (const char* name : {"notes.lstx", "a.lst.txt", "list.tmp2", "SndMgr.exe", ".lst", "lst", "list-.tmp2", "a.new"})
        EXPECT_FALSE(IsBrowserScratchName(name)) << name;
}

TEST(Removal, KeepsTheBoxesWhenAnUpgradeRemovesTheOlderVersion)
{
    const std::string own = "{11111111-1111-1111-1111-111111111111}";
    const std::string newer = "{22222222-2222-2222-2222-222222222222}";
    // Windows names the upgrading product; Wine leaves it out, but the newer
    // product is registered under the same upgrade code by then.
    EXPECT_TRUE(IsUpgradeRemoval(newer, own, {own, newer}));
    EXPECT_TRUE(IsUpgradeRemoval("", own, {own, newer}));
    // A plain uninstall: only this product, or none found at all.
    EXPECT_FALSE(IsUpgradeRemoval("", own, {own}));
    EXPECT_FALSE(IsUpgradeRemoval("", own, {}));
}

TEST(Messages, NameEveryBoxItsEngineAndTheWayOut)
{
    const std::vector<BoxFailure> one = {{"Site", "C:\\P\\Boxes\\Site.exe", "error 32"}};
    const std::string stale = StaleEnginesMessage(one);
    EXPECT_NE(stale.find("The box below was sending while FTP Sendora was updated"), std::string::npos) << stale;
    EXPECT_NE(stale.find("\"Site\": C:\\P\\Boxes\\Site.exe (error 32)"), std::string::npos) << stale;
    EXPECT_NE(stale.find("repair FTP Sendora"), std::string::npos) << stale;

    const std::vector<BoxFailure> two = {one[0], {"Two", "C:\\P\\Boxes\\Two.exe", "error 5"}};
    const std::string left = LeftEnginesMessage(two);
    EXPECT_NE(left.find("The boxes below were sending while FTP Sendora was uninstalled"), std::string::npos) << left;
    EXPECT_NE(left.find("\"Two\": C:\\P\\Boxes\\Two.exe (error 5)"), std::string::npos) << left;
    EXPECT_NE(left.find("Delete these files"), std::string::npos) << left;
}

}  // namespace
