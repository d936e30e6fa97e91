// Where windows open, and how a resizable window's controls follow its edges.
#pragma once

#include <windows.h>

#include <vector>

// Centres the window on the work area of the monitor its owner is on, or,
// without a visible owner, of the monitor under the cursor; a window larger
// than that area keeps its top-left corner inside it.
void CenterOnMonitor(HWND window);

// The edges a control keeps its distance to when the window is resized.
enum Anchor : unsigned {
    AnchorLeftTop = 0,
    AnchorRight = 1,    // moves with the right edge
    AnchorBottom = 2,   // moves with the bottom edge
    GrowWidth = 4,      // left stays, right follows the right edge
    GrowHeight = 8,     // top stays, bottom follows the bottom edge
};

class CAnchorLayout {
public:
    // Takes the controls' places and the client size they were laid out for.
    void Capture(HWND window);
    void Add(int id, unsigned anchors);
    // Moves the controls for the window's present client size.
    void Apply() const;
    // After the system laid the controls out anew (a change of DPI).
    void Recapture();

private:
    struct Item {
        int id;
        unsigned anchors;
        RECT place;
    };
    HWND m_window = nullptr;
    SIZE m_client = {0, 0};
    std::vector<Item> m_items;
};
