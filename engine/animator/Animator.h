#pragma once

// The busy animation of the progress window and the remote browser. It has
// no area of its own: a hidden child window receives the timer ticks, and
// each tick draws the next bitmap frame straight into the parent's device
// context at a fixed position.

#include <windows.h>
#include <commctrl.h>

#include "engine/animator/FrameSequence.h"

// The frames' background; parents map it to the button-face colour.
const COLORREF AnimatorBackground = RGB(0, 128, 128);

// The colour map a parent hands to the control: COLORMAP pairs in a block of
// global memory that the parent owns for the control's life (one pair: 8 bytes).
class CColorMapBlock {
public:
    CColorMapBlock() = default;
    ~CColorMapBlock() { Free(); }
    CColorMapBlock(const CColorMapBlock&) = delete;
    CColorMapBlock& operator=(const CColorMapBlock&) = delete;

    // One pair, from -> to. Replaces an earlier block.
    bool Create(COLORREF from, COLORREF to);
    // The pair every parent uses: the frames' teal becomes the button face.
    bool CreateButtonFace() { return Create(AnimatorBackground, GetSysColor(COLOR_BTNFACE)); }
    void Free();

    COLORMAP* Pairs() const { return m_pairs; }
    int Count() const { return m_pairs ? 1 : 0; }

private:
    COLORMAP* m_pairs = nullptr;  // GMEM_FIXED: the handle is the pointer
};

class CAnimator {
public:
    CAnimator() = default;
    ~CAnimator() { Destroy(); }
    CAnimator(const CAnimator&) = delete;
    CAnimator& operator=(const CAnimator&) = delete;

    // dc is the parent's device context, kept by the parent for its own life;
    // frames firstFrame..endFrame-1 loop, endFrame is the resting picture.
    void Construct(HDC dc, int x, int y, UINT firstFrame, UINT endFrame);
    // The pairs are only read, at every frame load; the caller keeps them.
    void SetColorMap(const COLORMAP* pairs, int count);
    // A hidden child of parent, titled "Animator", with an empty rectangle.
    bool Create(HWND parent, int id);
    // The whole set-up of a dialog's animation: drawn into dc at the top-left
    // corner of the placeholder control, teal shown as the button face (the
    // dialog keeps colors alive). Returns that corner, in client coordinates.
    POINT CreateOver(HWND parent, int placeholderId, int id, HDC dc, UINT firstFrame, UINT endFrame,
                     CColorMapBlock& colors);
    // Draws at the placeholder's corner from now on (its window was laid out anew).
    POINT MoveOver(HWND parent, int placeholderId);

    // Timer 1 every 100 ms, unless one is running already.
    void Start();
    // Kills a running timer, then draws the frame once (0 draws nothing).
    void Stop(UINT frame);
    // Kills a running timer and destroys the control's window.
    void Destroy();

    // Draws one frame at x, y into the target context.
    void DrawFrame(UINT frame) const;
    // The same for a window's own painting (e.g. the resting picture on a
    // repaint). A frame whose bitmap cannot be loaded draws nothing. The
    // frames are drawn at 96 DPI size scaled to the DPI of dc's window.
    static void DrawBitmap(HDC dc, int x, int y, UINT frame, const COLORMAP* pairs, int count);

    HWND Window() const { return m_window; }
    UINT_PTR Timer() const { return m_timer; }
    const CFrameSequence& Frames() const { return m_frames; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void OnTick();

    HDC m_dc = nullptr;
    int m_x = 0;
    int m_y = 0;
    CFrameSequence m_frames;
    // Set and killed on the parent's thread only: the browser's workers ask
    // the window to start and stop the animation.
    UINT_PTR m_timer = 0;
    const COLORMAP* m_pairs = nullptr;
    int m_pairCount = 0;
    HWND m_window = nullptr;
};
