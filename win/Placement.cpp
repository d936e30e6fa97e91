#include "win/Placement.h"

#include <algorithm>

namespace {

RECT ChildPlace(HWND window, int id)
{
    RECT place = {0, 0, 0, 0};
    HWND child = GetDlgItem(window, id);
    if (child) {
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
    }
    return place;
}

}  // namespace

void CenterOnMonitor(HWND window)
{
    HWND owner = GetWindow(window, GW_OWNER);
    HMONITOR monitor;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
        monitor = MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST);
    } else {
        POINT cursor = {0, 0};
        GetCursorPos(&cursor);
        monitor = MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST);
    }
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    RECT rect;
    if (IsZoomed(window) || !GetMonitorInfoA(monitor, &info) || !GetWindowRect(window, &rect))
        return;
    const RECT& work = info.rcWork;
    const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
    LONG x = work.left + (work.right - work.left - width) / 2;
    LONG y = work.top + (work.bottom - work.top - height) / 2;
    x = std::max(work.left, x);
    y = std::max(work.top, y);
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CAnchorLayout::Capture(HWND window)
{
    m_window = window;
    RECT client;
    GetClientRect(window, &client);
    m_client = {client.right, client.bottom};
}

void CAnchorLayout::Add(int id, unsigned anchors)
{
    m_items.push_back({id, anchors, ChildPlace(m_window, id)});
}

void CAnchorLayout::Recapture()
{
    // The places the controls have now stand for the present client size.
    Capture(m_window);
    for (Item& item : m_items)
        item.place = ChildPlace(m_window, item.id);
}

void CAnchorLayout::Apply() const
{
    RECT client;
    if (!m_window || !GetClientRect(m_window, &client))
        return;
    const LONG dx = client.right - m_client.cx, dy = client.bottom - m_client.cy;
    HDWP moves = BeginDeferWindowPos(static_cast<int>(m_items.size()));
    for (const Item& item : m_items) {
        RECT r = item.place;
        if (item.anchors & AnchorRight)
            OffsetRect(&r, dx, 0);
        if (item.anchors & AnchorBottom)
            OffsetRect(&r, 0, dy);
        if (item.anchors & GrowWidth)
            r.right += dx;
        if (item.anchors & GrowHeight)
            r.bottom += dy;
        HWND child = GetDlgItem(m_window, item.id);
        if (child && moves)
            moves = DeferWindowPos(moves, child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves)
        EndDeferWindowPos(moves);
    // Etched lines and labels leave traces behind when moved.
    InvalidateRect(m_window, nullptr, TRUE);
}
