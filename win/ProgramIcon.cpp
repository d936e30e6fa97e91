#include "win/ProgramIcon.h"

CProgramIcon::CProgramIcon(int resourceId)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    m_big = LoadIconA(instance, MAKEINTRESOURCEA(resourceId));
    // LoadIcon gives only the large size; the title bar wants the small image.
    // Shared, like LoadIcon's: the system keeps it, so nothing is freed here.
    m_small = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(resourceId), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

void CProgramIcon::Apply(HWND dialog) const
{
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_big));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_small ? m_small : m_big));
}

void CProgramIcon::PaintMinimised(HWND dialog) const
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(dialog, &ps);
    SendMessageA(dialog, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(dialog, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_big);
    EndPaint(dialog, &ps);
}

void AppendSystemMenuEntry(HWND dialog, UINT commandId, const char* text)
{
    HMENU menu = GetSystemMenu(dialog, FALSE);
    if (!menu || !text || !*text)
        return;
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, commandId, text);
}
