// The animation control on a real Windows (Wine): its window, its timer and
// what it draws into the parent's device context, read back pixel by pixel.
// This module carries the browser's frames 141..154.

#include <gtest/gtest.h>

#include <string>

#include "engine/animator/Animator.h"
#include "res/art_ids.h"

namespace {

const COLORREF Untouched = RGB(1, 2, 3);  // in no frame: marks pixels nobody drew
const int CanvasSize = 64;
const int ControlId = 1234;

// A parent window and a memory device context standing in for its DC.
class AnimatorTest : public testing::Test {
protected:
    void SetUp() override
    {
        parent = CreateWindowExA(0, "STATIC", "parent", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        canvas = CreateCompatibleBitmap(screen, CanvasSize, CanvasSize);
        ReleaseDC(nullptr, screen);
        old = SelectObject(dc, canvas);
        Clear();
        ASSERT_TRUE(buttonFace.CreateButtonFace());
    }

    void TearDown() override
    {
        animator.Destroy();
        SelectObject(dc, old);
        DeleteObject(canvas);
        DeleteDC(dc);
        DestroyWindow(parent);
    }

    void Clear()
    {
        for (int y = 0; y < CanvasSize; ++y)
            for (int x = 0; x < CanvasSize; ++x)
                SetPixel(dc, x, y, Untouched);
    }

    // Runs the thread's messages (the control's timer ticks) for a while.
    static void Pump(DWORD ms)
    {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < ms) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            Sleep(5);
        }
    }

    // Pumps until the control has drawn `ticks` more frames, or 5 s passed.
    void PumpTicks(unsigned ticks)
    {
        unsigned target = animator.Frames().Counter() + ticks;
        for (int i = 0; i < 100 && animator.Frames().Counter() < target; ++i)
            Pump(50);
    }

    // Compares the canvas with the frame's own bitmap drawn at x, y with
    // teal -> mapped, and everything else untouched. Returns the first
    // difference, or "" when the canvas is exactly that.
    std::string Differs(UINT frame, int x, int y, COLORREF mapped)
    {
        HBITMAP raw = static_cast<HBITMAP>(
            LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(frame), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (!raw)
            return "bitmap " + std::to_string(frame) + " missing from the test's resources";
        HDC rawDc = CreateCompatibleDC(dc);
        HGDIOBJ rawOld = SelectObject(rawDc, raw);
        std::string diff;
        int teal = 0;
        for (int py = 0; py < CanvasSize && diff.empty(); ++py) {
            for (int px = 0; px < CanvasSize && diff.empty(); ++px) {
                COLORREF want = Untouched;
                if (px >= x && px < x + 32 && py >= y && py < y + 32) {
                    want = GetPixel(rawDc, px - x, py - y);
                    if (want == AnimatorBackground) {
                        want = mapped;
                        ++teal;
                    }
                }
                COLORREF got = GetPixel(dc, px, py);
                if (got != want) {
                    char text[100];
                    wsprintfA(text, "at %d,%d: got %06lx, want %06lx", px, py, got, want);
                    diff = text;
                }
            }
        }
        if (diff.empty() && teal == 0)
            diff = "frame has no teal background, so the colour map went untested";
        SelectObject(rawDc, rawOld);
        DeleteDC(rawDc);
        DeleteObject(raw);
        return diff;
    }

    bool CanvasUntouched()
    {
        for (int y = 0; y < CanvasSize; ++y)
            for (int x = 0; x < CanvasSize; ++x)
                if (GetPixel(dc, x, y) != Untouched)
                    return false;
        return true;
    }

    HWND parent = nullptr;
    HDC dc = nullptr;
    HBITMAP canvas = nullptr;
    HGDIOBJ old = nullptr;
    CColorMapBlock buttonFace;
    CAnimator animator;
};

TEST_F(AnimatorTest, CreateMakesAHiddenEmptyChildTitledAnimator)
{
    animator.Construct(dc, 7, 7, IDB_BROWSER_FIRST, IDB_BROWSER_END);
    ASSERT_TRUE(animator.Create(parent, ControlId));
    HWND hwnd = animator.Window();
    EXPECT_EQ(GetParent(hwnd), parent);
    EXPECT_EQ(GetDlgCtrlID(hwnd), ControlId);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    char title[32] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    EXPECT_STREQ(title, "Animator");
    RECT rc;
    GetWindowRect(hwnd, &rc);
    EXPECT_TRUE(IsRectEmpty(&rc));
    EXPECT_EQ(animator.Timer(), 0u) << "created stopped";

    animator.Destroy();
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(AnimatorTest, ColourMapIsOnePairInEightBytesOfGlobalMemory)
{
    ASSERT_NE(buttonFace.Pairs(), nullptr);
    EXPECT_EQ(buttonFace.Count(), 1);
    EXPECT_EQ(GlobalSize(GlobalHandle(buttonFace.Pairs())), 8u);
    EXPECT_EQ(buttonFace.Pairs()->from, RGB(0, 128, 128));
    EXPECT_EQ(buttonFace.Pairs()->to, GetSysColor(COLOR_BTNFACE));
}

TEST_F(AnimatorTest, TickDrawsTheFrameAtXYWithTealAsButtonFace)
{
    animator.Construct(dc, 5, 9, IDB_BROWSER_FIRST, IDB_BROWSER_END);
    animator.SetColorMap(buttonFace.Pairs(), buttonFace.Count());
    ASSERT_TRUE(animator.Create(parent, ControlId));

    // Any timer identifier ticks; the message then goes on to default handling.
    SendMessageA(animator.Window(), WM_TIMER, 7, 0);
    EXPECT_EQ(Differs(141, 5, 9, GetSysColor(COLOR_BTNFACE)), "");
    SendMessageA(animator.Window(), WM_TIMER, 1, 0);
    EXPECT_EQ(Differs(142, 5, 9, GetSysColor(COLOR_BTNFACE)), "");
    EXPECT_EQ(animator.Frames().Counter(), 2u);
}

TEST_F(AnimatorTest, TealBecomesWhateverColourTheMapNames)
{
    CColorMapBlock odd;
    ASSERT_TRUE(odd.Create(AnimatorBackground, RGB(200, 30, 90)));
    animator.Construct(dc, 20, 0, IDB_BROWSER_FIRST, IDB_BROWSER_END);
    animator.SetColorMap(odd.Pairs(), odd.Count());
    animator.DrawFrame(IDB_REPLACE);
    EXPECT_EQ(Differs(IDB_REPLACE, 20, 0, RGB(200, 30, 90)), "");
}

TEST_F(AnimatorTest, StartOnARunningControlMakesNoSecondTimer)
{
    animator.Construct(dc, 0, 0, IDB_BROWSER_FIRST, IDB_BROWSER_END);
    ASSERT_TRUE(animator.Create(parent, ControlId));
    animator.Start();
    EXPECT_EQ(animator.Timer(), 1u);
    animator.Start();
    EXPECT_EQ(animator.Timer(), 1u);
    PumpTicks(2);
    EXPECT_GE(animator.Frames().Counter(), 2u) << "the timer ticks";

    // With timer 1 gone nothing may tick any more.
    EXPECT_TRUE(KillTimer(animator.Window(), 1));
    Pump(50);
    unsigned counter = animator.Frames().Counter();
    Pump(400);
    EXPECT_EQ(animator.Frames().Counter(), counter) << "a second timer is still running";
}

TEST_F(AnimatorTest, StopLeavesTheRestingPictureAndTheLoopStill)
{
    animator.Construct(dc, 3, 4, IDB_BROWSER_FIRST, IDB_BROWSER_END);
    animator.SetColorMap(buttonFace.Pairs(), buttonFace.Count());
    ASSERT_TRUE(animator.Create(parent, ControlId));
    animator.Start();
    PumpTicks(3);
    animator.Stop(IDB_BROWSER_END);
    EXPECT_EQ(animator.Timer(), 0u);
    EXPECT_EQ(Differs(153, 3, 4, GetSysColor(COLOR_BTNFACE)), "");

    Pump(400);
    EXPECT_EQ(Differs(153, 3, 4, GetSysColor(COLOR_BTNFACE)), "") << "a tick drew over the resting picture";

    // A later start runs again from where the loop was.
    unsigned counter = animator.Frames().Counter();
    animator.Start();
    PumpTicks(1);
    EXPECT_GT(animator.Frames().Counter(), counter);
}

TEST_F(AnimatorTest, MissingBitmapsDrawNothing)
{
    // 900.. are not in the resources; ticks still count on.
    animator.Construct(dc, 0, 0, 900, 905);
    animator.SetColorMap(buttonFace.Pairs(), buttonFace.Count());
    ASSERT_TRUE(animator.Create(parent, ControlId));
    SendMessageA(animator.Window(), WM_TIMER, 1, 0);
    EXPECT_EQ(animator.Frames().Counter(), 1u);
    animator.Stop(0);  // the manager's way of destroying: no picture
    animator.Stop(999);
    EXPECT_TRUE(CanvasUntouched());
}

TEST_F(AnimatorTest, ParentDestroyedFirstLeavesTheControlHarmless)
{
    animator.Construct(dc, 0, 0, IDB_BROWSER_FIRST, IDB_BROWSER_END);
    ASSERT_TRUE(animator.Create(parent, ControlId));
    animator.Start();
    DestroyWindow(parent);
    parent = nullptr;
    EXPECT_EQ(animator.Window(), nullptr);
    EXPECT_EQ(animator.Timer(), 0u);
    animator.Start();  // no window: nothing to start
    EXPECT_EQ(animator.Timer(), 0u);
}

}  // namespace
