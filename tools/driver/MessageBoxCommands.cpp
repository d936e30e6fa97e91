// Message boxes: finding them, reading them, answering them.
//
// A message box is a "#32770" dialog like any other, so it is told apart by
// its children: only push buttons and statics, one of them the text static
// 0xFFFF. Its icon handle belongs to the other process and cannot be asked
// about, so the icon is recognised by its pixels against the system icons
// drawn here.
#include "tools/driver/Driver.h"

#include <cctype>
#include <cstdlib>

namespace {

struct CButton {
    HWND Hwnd;
    int Id;
    std::string Text;
};

struct CMsgBox {
    HWND Hwnd = nullptr;
    HWND TextStatic = nullptr;
    HWND IconStatic = nullptr;
    std::vector<CButton> Buttons;
};

bool ReadMsgBox(HWND hwnd, CMsgBox& box)
{
    if (WindowClass(hwnd) != "#32770")
        return false;
    box = CMsgBox();
    box.Hwnd = hwnd;
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        std::string cls = WindowClass(c);
        int id = static_cast<WORD>(GetDlgCtrlID(c));
        LONG_PTR style = GetWindowLongPtrA(c, GWL_STYLE);
        if (lstrcmpiA(cls.c_str(), "Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON)
                box.IconStatic = c;
            else if (id == 0xFFFF)
                box.TextStatic = c;
        } else if (lstrcmpiA(cls.c_str(), "Button") == 0) {
            LONG_PTR type = style & BS_TYPEMASK;
            if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON)
                return false;
            if (IsWindowVisible(c))
                box.Buttons.push_back({c, id, WindowTitle(c)});
        } else {
            return false;
        }
    }
    return box.TextStatic && !box.Buttons.empty();
}

struct CBoxQuery {
    std::string Caption;
    bool AnyCaption = true, Hidden = false;
    DWORD Pid = 0;
    CMsgBox Found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param)
{
    CBoxQuery* q = reinterpret_cast<CBoxQuery*>(param);
    if (!q->Hidden && !IsWindowVisible(hwnd))
        return TRUE;
    if (q->Pid && WindowPid(hwnd) != q->Pid)
        return TRUE;
    if (!q->AnyCaption && WindowTitle(hwnd) != q->Caption)
        return TRUE;
    return ReadMsgBox(hwnd, q->Found) ? FALSE : TRUE;
}

CMsgBox WaitForBox(const CArgs& args)
{
    std::string handle;
    if (args.Option("hwnd", handle)) {
        CMsgBox box;
        if (!ReadMsgBox(ParseHandle(handle), box))
            throw CDriverError("notfound", handle + " is not a message box");
        return box;
    }
    CBoxQuery q;
    q.AnyCaption = !args.Option("title", q.Caption);
    q.Pid = static_cast<DWORD>(args.OptionNumber("pid", 0));
    q.Hidden = args.Flag("hidden");
    DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", 0));
    DWORD start = GetTickCount();
    for (;;) {
        q.Found = CMsgBox();
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&q));
        if (q.Found.Hwnd)
            return q.Found;
        if (GetTickCount() - start >= timeout)
            throw CDriverError(timeout ? "timeout" : "notfound",
                               "no message box" + (q.AnyCaption ? std::string() : " " + QuoteText(q.Caption)) +
                                   (timeout ? " within " + std::to_string(timeout) + " ms" : ""));
        Sleep(20);
    }
}

// Pixels of a window's client area as seen on the screen, 32 bits each.
std::vector<DWORD> Capture(HDC source, int x, int y, int w, int h)
{
    HDC mem = CreateCompatibleDC(source);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<DWORD> pixels;
    if (bmp) {
        HGDIOBJ old = SelectObject(mem, bmp);
        BitBlt(mem, 0, 0, w, h, source, x, y, SRCCOPY);
        GdiFlush();
        const DWORD* p = static_cast<const DWORD*>(bits);
        pixels.assign(p, p + static_cast<size_t>(w) * h);
        SelectObject(mem, old);
        DeleteObject(bmp);
    }
    DeleteDC(mem);
    return pixels;
}

std::vector<DWORD> Render(HICON icon, DWORD background, int w, int h)
{
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    HBRUSH brush = CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
    RECT all = {0, 0, w, h};
    FillRect(mem, &all, brush);
    DeleteObject(brush);
    DrawIconEx(mem, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
    std::vector<DWORD> pixels = Capture(mem, 0, 0, w, h);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return pixels;
}

double Distance(const std::vector<DWORD>& a, const std::vector<DWORD>& b)
{
    if (a.size() != b.size() || a.empty())
        return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8)
            sum += std::abs(static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF));
    return sum / (a.size() * 3);
}

std::string IconKind(const CMsgBox& box)
{
    if (!box.IconStatic || !IsWindowVisible(box.IconStatic))
        return "none";
    RECT rc;
    GetClientRect(box.IconStatic, &rc);
    if (rc.right <= 0 || rc.bottom <= 0)
        return "none";
    static const struct {
        const char* Name;
        LPCSTR Id;
    } kinds[] = {
        {"error", IDI_HAND}, {"question", IDI_QUESTION}, {"warning", IDI_EXCLAMATION}, {"information", IDI_ASTERISK}};
    POINT origin = {0, 0};
    ClientToScreen(box.IconStatic, &origin);
    // A box just shown may not be painted yet; ask for the paint and retry.
    int blank = 0;
    for (int attempt = 0; attempt < 10; ++attempt) {
        RedrawWindow(box.IconStatic, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        SyncWith(box.Hwnd, 1000);
        HDC screen = GetDC(nullptr);
        std::vector<DWORD> seen = Capture(screen, origin.x, origin.y, rc.right, rc.bottom);
        ReleaseDC(nullptr, screen);
        if (seen.empty())
            break;
        // Wine keeps the icon static of a box without icon, empty; make
        // sure it is not just waiting for its paint.
        bool uniform = true;
        for (DWORD px : seen)
            uniform = uniform && (px & 0xFFFFFF) == (seen[0] & 0xFFFFFF);
        if (uniform && ++blank >= 3)
            return "none";
        // Icon corners are transparent, so the corner shows the background.
        const char* best = nullptr;
        double bestDistance = 1e9;
        for (const auto& k : kinds) {
            double d = Distance(seen, Render(LoadIconA(nullptr, k.Id), seen[0], rc.right, rc.bottom));
            if (d < bestDistance) {
                bestDistance = d;
                best = k.Name;
            }
        }
        if (!uniform && bestDistance < 4.0)
            return best;
        Sleep(50);
    }
    return "unknown";
}

void CmdMsgBox(const CArgs& args, CReply& reply)
{
    CMsgBox box;
    std::string text;
    DWORD start = GetTickCount();
    for (;;) {
        box = WaitForBox(args);
        try {
            text = ControlText(box.TextStatic);
            break;
        } catch (const CDriverError&) {
            // A box that closed while being read is not there; look again.
            if (IsWindow(box.TextStatic) && IsWindowVisible(box.Hwnd))
                throw;
            if (GetTickCount() - start > static_cast<DWORD>(args.OptionNumber("timeout", 0)) + 1000)
                throw CDriverError("notfound", "the message box closed");
            Sleep(10);
        }
    }
    reply.AddHandle(box.Hwnd).AddText(WindowTitle(box.Hwnd)).AddText(text);
    reply.AddWord(args.Flag("noicon") ? "skipped" : IconKind(box)).Add(WindowPid(box.Hwnd));
    reply.Add(static_cast<int64_t>(box.Buttons.size()));
    for (const CButton& b : box.Buttons)
        reply.Add(b.Id).AddText(b.Text);
}

std::string WithoutAmpersands(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

void CmdAnswer(const CArgs& args, CReply& reply)
{
    CMsgBox box = WaitForBox(args);
    const std::string& which = args.Text(0);
    const CButton* chosen = nullptr;
    for (const CButton& b : box.Buttons) {
        bool byText = lstrcmpiA(WithoutAmpersands(b.Text).c_str(), WithoutAmpersands(which).c_str()) == 0;
        bool byId =
            !which.empty() && std::isdigit(static_cast<unsigned char>(which[0])) && b.Id == CArgs::ParseNumber(which);
        if (byText || byId) {
            chosen = &b;
            break;
        }
    }
    if (!chosen)
        throw CDriverError("notfound", "message box has no button " + QuoteText(which));
    DWORD wait = static_cast<DWORD>(args.OptionNumber("wait", 5000));
    Deliver(chosen->Hwnd, BM_CLICK, 0, 0, wait);
    // The box's loop ends after the click's handler returned; the caller
    // expects the box gone and its owner enabled again.
    DWORD start = GetTickCount();
    while (IsWindow(box.Hwnd) && GetTickCount() - start < wait)
        Sleep(10);
    reply.Add(chosen->Id);
}

}  // namespace

extern const CCommand MessageBoxCommands[] = {
    {"msgbox", "title pid hwnd hidden timeout noicon",
     "[-title=caption] [-pid=N] [-hwnd=@H] [-noicon] -> hwnd caption text icon pid n {id text}*", CmdMsgBox},
    {"answer", "title pid hwnd hidden timeout wait", "<button id|text> [-title=] [-pid=] [-hwnd=] -> id", CmdAnswer},
    {nullptr, nullptr, nullptr, nullptr},
};
