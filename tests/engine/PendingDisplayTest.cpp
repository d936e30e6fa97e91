#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "engine/PendingDisplay.h"

namespace {

TEST(PendingDisplay, KeepsEveryReplyInOrderAndTheLatestStatus)
{
    CPendingDisplay pending;
    EXPECT_FALSE(pending.Take().hasStatus);

    pending.SetStatus("Preparing to send a.txt...");
    pending.AppendLog("200 PORT ok\r\n");
    pending.ResetBar();
    pending.AppendLog("200 Type set to A\n");  // a reply keeps its own line end
    pending.SetStatus("Sending a.txt...");
    CPendingDisplay::Changes taken = pending.Take();
    EXPECT_TRUE(taken.hasStatus);
    EXPECT_EQ(taken.status, "Sending a.txt...");
    EXPECT_EQ(taken.log, "200 PORT ok\r\n200 Type set to A\n");
    EXPECT_TRUE(taken.resetBar);

    // Taken means shown: nothing twice.
    taken = pending.Take();
    EXPECT_FALSE(taken.hasStatus);
    EXPECT_EQ(taken.log, "");
    EXPECT_FALSE(taken.resetBar);

    // A block's position after the reset supersedes it.
    pending.ResetBar();
    pending.DropBarReset();
    EXPECT_FALSE(pending.Take().resetBar);
}

TEST(PendingDisplay, NothingIsLostBetweenTheWorkerAndTheWindow)
{
    CPendingDisplay pending;
    const int replies = 20000;
    std::atomic<bool> done(false);
    std::thread worker([&] {
        for (int i = 0; i < replies; ++i)
            pending.AppendLog(std::to_string(i) + "\n");
        done = true;
    });
    std::string shown;
    while (!done)
        shown += pending.Take().log;
    worker.join();
    shown += pending.Take().log;
    std::string expected;
    for (int i = 0; i < replies; ++i)
        expected += std::to_string(i) + "\n";
    EXPECT_EQ(shown, expected);
}

}  // namespace
