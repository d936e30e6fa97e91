#include <gtest/gtest.h>

#include <vector>

#include "engine/animator/FrameSequence.h"
#include "res/art_ids.h"

namespace {

std::vector<unsigned> Ticks(CFrameSequence& frames, int count)
{
    std::vector<unsigned> drawn;
    for (int i = 0; i < count; ++i)
        drawn.push_back(frames.Next());
    return drawn;
}

std::vector<unsigned> Range(unsigned first, unsigned last)
{
    std::vector<unsigned> ids;
    for (unsigned id = first; id <= last; ++id)
        ids.push_back(id);
    return ids;
}

}  // namespace

TEST(AnimatorFrames, EngineLoopsOverThirteenFramesThenStartsAgain)
{
    CFrameSequence frames(IDB_UPLOAD_FIRST, IDB_UPLOAD_END);
    EXPECT_EQ(Ticks(frames, 13), Range(150, 162));
    EXPECT_EQ(frames.Counter(), 13u);
    EXPECT_EQ(frames.Next(), 150u) << "the 14th tick starts the loop again";
    EXPECT_EQ(frames.Counter(), 1u);
}

TEST(AnimatorFrames, BrowserLoopsOverTwelveFramesNeverShowingTheRestingPicture)
{
    CFrameSequence frames(IDB_BROWSER_FIRST, IDB_BROWSER_END);
    std::vector<unsigned> expected = Range(141, 152);
    std::vector<unsigned> twice = expected;
    twice.insert(twice.end(), expected.begin(), expected.end());
    EXPECT_EQ(Ticks(frames, 24), twice);
}

TEST(AnimatorFrames, EmptyLoopKeepsToItsFirstFrame)
{
    CFrameSequence frames(153, 153);
    EXPECT_EQ(Ticks(frames, 3), std::vector<unsigned>(3, 153u));
}
