// Which server names may become local files, how far a download's bar
// goes, and the command that hands the files to a box.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "browser/DownloadRules.h"

namespace {

// Which names are file names lives in SuiteNamesTest; the browser refuses
// every kind of fault, and says which name it refused.
TEST(ServerNames, ThoseThatWouldLeaveTheFolderOrOpenADeviceAreRefused)
{
    for (const char* name :
         {"..\\evil.txt", "..", " ", "", "a\r\nDELE b", "com9.log", "COM\xb9", "CONOUT$", "CONIN$", "a.txt.", "a.txt "})
        EXPECT_FALSE(IsSafeLocalName(name)) << name;
    EXPECT_TRUE(IsSafeLocalName("my file.zip"));
    EXPECT_TRUE(IsSafeLocalName("  lead.txt"));
    EXPECT_NE(UnsafeNameMessage("..\\evil.txt").find("\"..\\evil.txt\""), std::string::npos);
}

TEST(ExpectedSize, FirstFifteenCharactersAsADecimalNumber)
{
    EXPECT_EQ(ExpectedSize("10240"), 10240u);
    EXPECT_EQ(ExpectedSize("  +77"), 77u);
    EXPECT_EQ(ExpectedSize(""), 0u);
    EXPECT_EQ(ExpectedSize("<DIR>"), 0u);
    EXPECT_EQ(ExpectedSize("-5"), 0u);
    EXPECT_EQ(ExpectedSize("12abc"), 12u);
    EXPECT_EQ(ExpectedSize("5368709120"), 5368709120u);  // beyond 32 bits
    EXPECT_EQ(ExpectedSize("1234567890123456789"), 123456789012345u);
}

TEST(ProgressBar, PercentWithoutOverflowOrDivisionByZero)
{
    EXPECT_EQ(ProgressPosition(0, 1500), 0);
    EXPECT_EQ(ProgressPosition(1024, 1500), 68);
    EXPECT_EQ(ProgressPosition(1500, 1500), 100);
    EXPECT_EQ(ProgressPosition(0, 0), 0);
    EXPECT_EQ(ProgressPosition(1024, 0), 0);
    EXPECT_EQ(ProgressPosition(2000, 1500), 100) << "a stale size stops the bar at the end";
    const uint64_t fiveGb = 5ull << 30;
    // 32-bit arithmetic would wrap at 42949673 bytes times 100.
    EXPECT_EQ(ProgressPosition(fiveGb / 2, fiveGb), 50);
    EXPECT_EQ(ProgressPosition(fiveGb - 1024, fiveGb), 99);
    EXPECT_EQ(ProgressPosition(UINT64_MAX / 4, UINT64_MAX), 24);
    EXPECT_EQ(ProgressPosition(UINT64_MAX - 1, UINT64_MAX), 99);
}

TEST(CopyCommand, QuotedEngineTwoBlanksThenTheDownloadedPaths)
{
    EXPECT_EQ(CopyEngineCommand("C:\\Program Files\\Sendora\\", "One", "C:\\In", {"a.txt", "b.txt"}),
              "\"C:\\Program Files\\Sendora\\boxes\\One.exe\"  C:\\In\\a.txt C:\\In\\b.txt");
    // An empty target leaves paths without a drive, which the engine skips.
    EXPECT_EQ(CopyEngineCommand("C:\\S\\", "my site", "", {"a.txt"}), "\"C:\\S\\boxes\\my site.exe\"  \\a.txt");
    EXPECT_EQ(CopyEngineCommand("C:\\S\\", "One", "C:\\In", {}), "\"C:\\S\\boxes\\One.exe\" ");
}

// A copy's boxes start with the files that arrived, in the rows' order, and
// not before every download of that copy has ended: any engine that ends
// posts the message that starts the next box.
TEST(CopyQueue, BoxesTakeTheFilesThatArrivedOnceTheirCopyHasDownloaded)
{
    typedef std::vector<std::string> Names;
    CBoxQueue queue;
    auto first = std::make_shared<CCopyFiles>("C:\\In", Names{"a.txt", "cut.txt", "b.txt"});
    auto second = std::make_shared<CCopyFiles>("C:\\In", Names{"c.txt"});
    queue.Append({"One", "Two"}, first);
    queue.Append({"Three", "Four"}, second);
    std::string box;
    std::shared_ptr<CCopyFiles> files;
    EXPECT_FALSE(queue.TakeFront(box, files)) << "still downloading";
    first->Arrived("b.txt");
    first->Arrived("a.txt");
    first->DownloadsEnded();
    ASSERT_TRUE(queue.TakeFront(box, files));
    EXPECT_EQ(box, "One");
    EXPECT_EQ(files->Names(true), (Names{"a.txt", "b.txt"}));
    EXPECT_EQ(files->Names(false), Names{"cut.txt"});
    EXPECT_TRUE(files->TakeReport());
    EXPECT_FALSE(files->TakeReport()) << "told once per copy";
    // Nothing of the second copy arrived: its boxes go, Two stays.
    second->DownloadsEnded();
    queue.Drop(second);
    ASSERT_TRUE(queue.TakeFront(box, files));
    EXPECT_EQ(box, "Two");
    EXPECT_FALSE(queue.TakeFront(box, files));
}

}  // namespace
