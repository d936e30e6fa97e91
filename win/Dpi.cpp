#include "win/Dpi.h"

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);

// Windows 10 1607 and later; looked up so that older systems still start.
GetDpiForWindowFunction GetDpiForWindowEntry()
{
    static GetDpiForWindowFunction entry = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    return entry;
}

}  // namespace

int WindowDpi(HWND window)
{
    if (window) {
        if (const GetDpiForWindowFunction entry = GetDpiForWindowEntry()) {
            const UINT dpi = entry(window);
            if (dpi != 0)
                return static_cast<int>(dpi);
        }
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : DesignDpi;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : DesignDpi;
}
