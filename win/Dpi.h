// Sizes designed at 96 dots per inch, and the dots per inch a window is
// shown at: its monitor's where Windows tells it per window, the system's
// otherwise.
#pragma once

#include <windows.h>

const int DesignDpi = 96;

int WindowDpi(HWND window);

inline int ScaleToDpi(int designed, int dpi)
{
    return MulDiv(designed, dpi, DesignDpi);
}

inline int ScaleFromDpi(int shown, int dpi)
{
    return dpi > 0 ? MulDiv(shown, DesignDpi, dpi) : shown;
}

// WM_DPICHANGED, which the headers of older systems lack.
const UINT WmDpiChanged = 0x02E0;
