#include "engine/animator/Animator.h"

#include "win/Dpi.h"
#include "win/Handles.h"

namespace {

const char AnimatorClass[] = "AnimatorControl";
const UINT_PTR AnimatorTimerId = 1;
const UINT AnimatorPeriod = 100;

bool RegisterAnimatorClass(HINSTANCE instance, WNDPROC proc)
{
    WNDCLASSA wc = {};
    if (GetClassInfoA(instance, AnimatorClass, &wc))
        return true;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.lpszClassName = AnimatorClass;
    return RegisterClassA(&wc) != 0;
}

}  // namespace

bool CColorMapBlock::Create(COLORREF from, COLORREF to)
{
    static_assert(sizeof(COLORMAP) == 8, "one pair is two COLORREFs");
    Free();
    m_pairs = static_cast<COLORMAP*>(GlobalAlloc(GPTR, sizeof(COLORMAP)));
    if (!m_pairs)
        return false;
    m_pairs->from = from;
    m_pairs->to = to;
    return true;
}

void CColorMapBlock::Free()
{
    if (m_pairs)
        GlobalFree(m_pairs);
    m_pairs = nullptr;
}

void CAnimator::Construct(HDC dc, int x, int y, UINT firstFrame, UINT endFrame)
{
    m_dc = dc;
    m_x = x;
    m_y = y;
    m_frames = CFrameSequence(firstFrame, endFrame);
    m_timer = 0;
    m_pairs = nullptr;
    m_pairCount = 0;
}

void CAnimator::SetColorMap(const COLORMAP* pairs, int count)
{
    m_pairs = pairs;
    m_pairCount = count;
}

bool CAnimator::Create(HWND parent, int id)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!RegisterAnimatorClass(instance, &CAnimator::WindowProc))
        return false;
    // No WS_VISIBLE and an empty rectangle: the window only owns the timer.
    m_window = CreateWindowExA(0, AnimatorClass, "Animator", WS_CHILD, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
    return m_window != nullptr;
}

void CAnimator::Start()
{
    if (m_timer == 0 && m_window)
        m_timer = SetTimer(m_window, AnimatorTimerId, AnimatorPeriod, nullptr);
}

void CAnimator::Stop(UINT frame)
{
    if (m_timer != 0) {
        KillTimer(m_window, m_timer);
        m_timer = 0;
    }
    DrawFrame(frame);
}

void CAnimator::Destroy()
{
    if (m_timer != 0 && m_window)
        KillTimer(m_window, m_timer);
    m_timer = 0;
    if (m_window) {
        HWND hwnd = m_window;
        m_window = nullptr;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
    }
}

void CAnimator::DrawFrame(UINT frame) const
{
    DrawBitmap(m_dc, m_x, m_y, frame, m_pairs, m_pairCount);
}

void CAnimator::DrawBitmap(HDC dc, int x, int y, UINT frame, const COLORMAP* pairs, int count)
{
    if (!dc || frame == 0)  // 0 is no resource ID: the manager's "stop without picture"
        return;
    // CreateMappedBitmap takes a non-const map but only reads it.
    HBITMAP bitmap = CreateMappedBitmap(GetModuleHandleA(nullptr), static_cast<INT_PTR>(frame), 0,
                                        const_cast<COLORMAP*>(pairs), count);
    if (!bitmap)
        return;
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    const CMemoryDC memory(dc);
    if (memory) {
        HGDIOBJ old = SelectObject(memory.Get(), bitmap);
        const int dpi = WindowDpi(WindowFromDC(dc));
        if (dpi == DesignDpi) {
            BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory.Get(), 0, 0, SRCCOPY);
        } else {
            // Whole pixels: the frames are drawn pixel by pixel.
            const int mode = SetStretchBltMode(dc, COLORONCOLOR);
            StretchBlt(dc, x, y, ScaleToDpi(info.bmWidth, dpi), ScaleToDpi(info.bmHeight, dpi), memory.Get(), 0, 0,
                       info.bmWidth, info.bmHeight, SRCCOPY);
            SetStretchBltMode(dc, mode);
        }
        SelectObject(memory.Get(), old);
    }
    DeleteObject(bitmap);
}

void CAnimator::OnTick()
{
    DrawFrame(m_frames.Next());
}

LRESULT CALLBACK CAnimator::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CAnimator*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self) {
        if (msg == WM_TIMER) {
            // Every timer of this window ticks, whatever its identifier.
            try {
                self->OnTick();
            } catch (...) {
                // nothing to report from a frame; the next tick tries again
            }
        } else if (msg == WM_NCDESTROY) {
            // Destroyed with its parent: forget the window so Destroy doesn't
            // touch it again. Its timers die with it.
            self->m_window = nullptr;
            self->m_timer = 0;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        }
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

POINT CAnimator::MoveOver(HWND parent, int placeholderId)
{
    RECT place;
    GetWindowRect(GetDlgItem(parent, placeholderId), &place);
    POINT corner = {place.left, place.top};
    ScreenToClient(parent, &corner);
    m_x = corner.x;
    m_y = corner.y;
    return corner;
}

POINT CAnimator::CreateOver(HWND parent, int placeholderId, int id, HDC dc, UINT firstFrame, UINT endFrame,
                            CColorMapBlock& colors)
{
    const POINT corner = MoveOver(parent, placeholderId);
    colors.CreateButtonFace();
    Construct(dc, corner.x, corner.y, firstFrame, endFrame);
    SetColorMap(colors.Pairs(), colors.Count());
    Create(parent, id);
    return corner;
}
