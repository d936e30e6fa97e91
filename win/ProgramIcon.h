// A program's icon on its main dialog: title bar and taskbar in both sizes,
// the minimised dialog (which paints itself), and the image dragged from it.
#pragma once

#include <windows.h>

class CProgramIcon {
public:
    explicit CProgramIcon(int resourceId);

    void Apply(HWND dialog) const;
    // For WM_PAINT while the dialog is iconic.
    void PaintMinimised(HWND dialog) const;
    // The answer to WM_QUERYDRAGICON.
    INT_PTR DragImage() const { return reinterpret_cast<INT_PTR>(m_big); }

private:
    HICON m_big;
    HICON m_small;
};

// A separator and one entry at the end of the dialog's system menu.
void AppendSystemMenuEntry(HWND dialog, UINT commandId, const char* text);
