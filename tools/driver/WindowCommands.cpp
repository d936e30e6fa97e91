// Finding windows and controls, and the commands on plain windows: texts,
// state, geometry, clicks, keys and raw messages.
#include "tools/driver/Driver.h"

#include <cstdio>

std::string Win32Message(DWORD error)
{
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = std::to_string(error);
    if (text) {
        std::string s = text;
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' '))
            s.pop_back();
        result += " " + s;
        LocalFree(text);
    }
    return result;
}

void ThrowLastError(const std::string& what)
{
    throw CDriverError("failed", what + ": error " + Win32Message(GetLastError()));
}

std::string WindowTitle(HWND hwnd)
{
    // For another process's window this reads the stored title, no message sent.
    int len = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<size_t>(len) + 1, '\0');
    int got = GetWindowTextA(hwnd, &text[0], len + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

std::string WindowClass(HWND hwnd)
{
    char name[256] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

DWORD WindowPid(HWND hwnd)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

HWND ParseHandle(const std::string& text)
{
    if (text.size() < 2 || text[0] != '@')
        throw CDriverError("usage", "not a handle: " + text);
    HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(CArgs::ParseNumber("0x" + text.substr(1))));
    if (!IsWindow(hwnd))
        throw CDriverError("notfound", "no window " + text);
    return hwnd;
}

namespace {

struct CTopQuery {
    std::string Title, Class;
    bool MatchTitle = true, AnyClass = true, Hidden = false;
    DWORD Pid = 0;
    std::vector<HWND> Found;

    bool Matches(HWND hwnd) const
    {
        if (!Hidden && !IsWindowVisible(hwnd))
            return false;
        if (Pid && WindowPid(hwnd) != Pid)
            return false;
        if (!AnyClass && WindowClass(hwnd) != Class)
            return false;
        return !MatchTitle || WindowTitle(hwnd) == Title;
    }
};

BOOL CALLBACK CollectTop(HWND hwnd, LPARAM param)
{
    CTopQuery* q = reinterpret_cast<CTopQuery*>(param);
    if (q->Matches(hwnd))
        q->Found.push_back(hwnd);
    return TRUE;
}

CTopQuery QueryFromArgs(const CArgs& args)
{
    CTopQuery q;
    q.AnyClass = !args.Option("class", q.Class);
    q.Pid = static_cast<DWORD>(args.OptionNumber("pid", 0));
    q.Hidden = args.Flag("hidden");
    return q;
}

// Runs the query until it finds something or the -timeout runs out.
std::vector<HWND> Search(CTopQuery& q, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        q.Found.clear();
        EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&q));
        if (!q.Found.empty() || GetTickCount() - start >= timeoutMs)
            return q.Found;
        Sleep(20);
    }
}

std::string Describe(const CArgs& args, size_t index)
{
    std::string what = "window " + QuoteText(args.Text(index));
    std::string cls;
    if (args.Option("class", cls))
        what += " of class " + QuoteText(cls);
    return what;
}

}  // namespace

HWND FindTopWindow(const CArgs& args, size_t index)
{
    const std::string& name = args.Text(index);
    if (args.Bare(index) && !name.empty() && name[0] == '@')
        return ParseHandle(name);  // taken as given, whatever its title or visibility
    CTopQuery q = QueryFromArgs(args);
    q.Title = name;
    DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", 0));
    std::vector<HWND> found = Search(q, timeout);
    if (found.empty())
        throw CDriverError(timeout ? "timeout" : "notfound",
                           "no " + Describe(args, index) +
                               (timeout ? " within " + std::to_string(timeout) + " ms" : ""));
    return found.front();
}

struct CFindId {
    WORD Id;
    HWND Found;
};

static BOOL CALLBACK FindId(HWND child, LPARAM param)
{
    CFindId* f = reinterpret_cast<CFindId*>(param);
    if (static_cast<WORD>(GetDlgCtrlID(child)) != f->Id)
        return TRUE;
    f->Found = child;
    return FALSE;
}

static BOOL CALLBACK CollectChild(HWND child, LPARAM param)
{
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
    return TRUE;
}

static HWND ControlByName(HWND top, const std::string& name, bool bare)
{
    if (bare && !name.empty() && name[0] == '@')
        return ParseHandle(name);
    WORD id = static_cast<WORD>(CArgs::ParseNumber(name));
    // Dialog controls are direct children; look deeper only if none matches.
    for (HWND c = GetWindow(top, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (static_cast<WORD>(GetDlgCtrlID(c)) == id)
            return c;
    CFindId find = {id, nullptr};
    EnumChildWindows(top, FindId, reinterpret_cast<LPARAM>(&find));
    if (!find.Found)
        throw CDriverError("notfound", "no control " + name + " in " + QuoteText(WindowTitle(top)));
    return find.Found;
}

HWND FindControl(const CArgs& args, HWND top, size_t index)
{
    if (!args.Has(index) || args.Text(index) == ".")
        return top;
    return ControlByName(top, args.Text(index), args.Bare(index));
}

HWND FindTarget(const CArgs& args, size_t index)
{
    if (!args.Has(index + 1) || args.Text(index + 1) == "." || (args.Bare(index) && args.Text(index)[0] == '@'))
        return FindControl(args, FindTopWindow(args, index), index + 1);
    // A message box has its owner's title, so of the windows with this title
    // take the first that has the control.
    CTopQuery q = QueryFromArgs(args);
    q.Title = args.Text(index);
    DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", 0));
    DWORD start = GetTickCount();
    std::string missing;
    for (;;) {
        for (HWND top : Search(q, 0)) {
            try {
                return FindControl(args, top, index + 1);
            } catch (const CDriverError& e) {
                if (e.Kind != "notfound")
                    throw;
                missing = e.what();
            }
        }
        if (GetTickCount() - start >= timeout)
            break;
        Sleep(20);
    }
    if (missing.empty())
        throw CDriverError(timeout ? "timeout" : "notfound",
                           "no " + Describe(args, index) +
                               (timeout ? " within " + std::to_string(timeout) + " ms" : ""));
    throw CDriverError("notfound", missing);
}

LRESULT SendOrThrow(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    SetLastError(0);
    if (!SendMessageTimeoutA(hwnd, msg, wparam, lparam, SMTO_NORMAL, timeoutMs, &result)) {
        DWORD err = GetLastError();
        if (err == ERROR_TIMEOUT || err == 0)
            throw CDriverError("timeout", "window " + QuoteText(WindowTitle(hwnd)) + " did not answer message " +
                                              std::to_string(msg));
        throw CDriverError("failed", "message " + std::to_string(msg) + " failed: error " + Win32Message(err));
    }
    return static_cast<LRESULT>(result);
}

std::string ControlText(HWND hwnd)
{
    LRESULT len = SendOrThrow(hwnd, WM_GETTEXTLENGTH, 0, 0);
    // The length may be counted in another character set; leave room.
    std::vector<char> buf(static_cast<size_t>(len) * 2 + 16, '\0');
    LRESULT got = SendOrThrow(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
    return std::string(buf.data(), static_cast<size_t>(got));
}

bool SyncWith(HWND hwnd, DWORD waitMs)
{
    DWORD_PTR ignored;
    return SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, waitMs, &ignored) != 0;
}

bool Deliver(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, DWORD waitMs)
{
    // Sent messages are taken in order, so WM_NULL comes back only after the
    // thread returned from `msg` or went into a nested message loop.
    if (!SendNotifyMessageA(hwnd, msg, wparam, lparam))
        ThrowLastError("SendNotifyMessage " + std::to_string(msg));
    return SyncWith(hwnd, waitMs);
}

CRemoteMemory::CRemoteMemory(HWND owner, size_t size)
{
    DWORD pid = WindowPid(owner);
    Process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!Process)
        ThrowLastError("OpenProcess " + std::to_string(pid));
    BOOL mineWow = FALSE, theirsWow = FALSE;
    IsWow64Process(GetCurrentProcess(), &mineWow);
    IsWow64Process(Process, &theirsWow);
    if (mineWow != theirsWow) {
        CloseHandle(Process);
        throw CDriverError("failed", "the target's word size differs from the driver's; use the matching driver");
    }
    Remote = VirtualAllocEx(Process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!Remote) {
        DWORD err = GetLastError();
        CloseHandle(Process);
        SetLastError(err);
        ThrowLastError("VirtualAllocEx");
    }
}

CRemoteMemory::~CRemoteMemory()
{
    if (!Leaked)
        VirtualFreeEx(Process, Remote, 0, MEM_RELEASE);
    CloseHandle(Process);
}

void CRemoteMemory::Write(size_t offset, const void* data, size_t size)
{
    SIZE_T done = 0;
    if (!WriteProcessMemory(Process, Address() + offset, data, size, &done) || done != size)
        ThrowLastError("WriteProcessMemory");
}

void CRemoteMemory::Read(size_t offset, void* data, size_t size) const
{
    SIZE_T done = 0;
    if (!ReadProcessMemory(Process, Address() + offset, data, size, &done) || done != size)
        ThrowLastError("ReadProcessMemory");
}

namespace {

void AddWindow(CReply& reply, HWND hwnd)
{
    reply.AddHandle(hwnd).AddText(WindowTitle(hwnd)).AddText(WindowClass(hwnd));
    reply.Add(WindowPid(hwnd)).Add(IsWindowVisible(hwnd) ? 1 : 0);
}

void CmdWindows(const CArgs& args, CReply& reply)
{
    CTopQuery q = QueryFromArgs(args);
    q.MatchTitle = args.Option("title", q.Title);
    std::vector<HWND> found = Search(q, 0);
    reply.Add(static_cast<int64_t>(found.size()));
    for (HWND hwnd : found)
        AddWindow(reply, hwnd);
}

void CmdWait(const CArgs& args, CReply& reply)
{
    reply.AddHandle(FindTopWindow(args, 0));
}

void CmdWaitGone(const CArgs& args, CReply&)
{
    CTopQuery q = QueryFromArgs(args);
    q.Title = args.Text(0);
    DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", 0));
    DWORD start = GetTickCount();
    while (!Search(q, 0).empty()) {
        if (GetTickCount() - start >= timeout)
            throw CDriverError("timeout", Describe(args, 0) + " still there after " + std::to_string(timeout) + " ms");
        Sleep(20);
    }
}

void CmdChildren(const CArgs& args, CReply& reply)
{
    HWND top = FindTopWindow(args, 0);
    std::vector<HWND> all;
    EnumChildWindows(top, CollectChild, reinterpret_cast<LPARAM>(&all));
    reply.Add(static_cast<int64_t>(all.size()));
    for (HWND c : all) {
        reply.AddHandle(c).Add(static_cast<WORD>(GetDlgCtrlID(c))).AddText(WindowClass(c));
        reply.AddText(WindowTitle(c)).Add(IsWindowVisible(c) ? 1 : 0).Add(IsWindowEnabled(c) ? 1 : 0);
    }
}

void CmdGetText(const CArgs& args, CReply& reply)
{
    reply.AddText(ControlText(FindTarget(args, 0)));
}

void CmdTitle(const CArgs& args, CReply& reply)
{
    reply.AddText(WindowTitle(FindTopWindow(args, 0)));
}

void CmdSetText(const CArgs& args, CReply& reply)
{
    HWND ctl = FindTarget(args, 0);
    const std::string& text = args.Text(2);
    reply.Add(SendOrThrow(ctl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) ? 1 : 0);
}

void CmdVisible(const CArgs& args, CReply& reply)
{
    reply.Add(IsWindowVisible(FindTarget(args, 0)) ? 1 : 0);
}

void CmdEnabled(const CArgs& args, CReply& reply)
{
    reply.Add(IsWindowEnabled(FindTarget(args, 0)) ? 1 : 0);
}

void CmdRect(const CArgs& args, CReply& reply)
{
    HWND hwnd = FindTarget(args, 0);
    RECT w, c;
    if (!GetWindowRect(hwnd, &w) || !GetClientRect(hwnd, &c))
        ThrowLastError("GetWindowRect");
    reply.Add(w.left).Add(w.top).Add(w.right).Add(w.bottom).Add(c.right - c.left).Add(c.bottom - c.top);
}

// Moves and sizes a top-level window as a user's drag would end.
void CmdPlace(const CArgs& args, CReply& reply)
{
    HWND hwnd = FindTopWindow(args, 0);
    const int x = static_cast<int>(args.Number(1)), y = static_cast<int>(args.Number(2));
    const int w = static_cast<int>(args.Number(3)), h = static_cast<int>(args.Number(4));
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(hwnd, WM_ENTERSIZEMOVE, 0, 0, SMTO_NORMAL, SendTimeoutMs, &ignored);
    if (!SetWindowPos(hwnd, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE))
        ThrowLastError("SetWindowPos");
    SendMessageTimeoutA(hwnd, WM_EXITSIZEMOVE, 0, 0, SMTO_NORMAL, SendTimeoutMs, &ignored);
    RECT r;
    GetWindowRect(hwnd, &r);
    reply.Add(r.left).Add(r.top).Add(r.right).Add(r.bottom);
}

// A user cannot click a disabled control, nor one under a modal window.
void RefuseDisabled(const CArgs& args, HWND ctl)
{
    if (args.Flag("force"))
        return;
    HWND root = GetAncestor(ctl, GA_ROOT);
    if (!IsWindowEnabled(ctl) || (root && !IsWindowEnabled(root)))
        throw CDriverError("disabled", "control " + QuoteText(WindowTitle(ctl)) + " or its window is disabled");
}

DWORD WaitMs(const CArgs& args)
{
    return static_cast<DWORD>(args.OptionNumber("wait", 5000));
}

void CmdClick(const CArgs& args, CReply& reply)
{
    HWND ctl = FindTarget(args, 0);
    RefuseDisabled(args, ctl);
    reply.Add(Deliver(ctl, BM_CLICK, 0, 0, WaitMs(args)) ? 1 : 0);
}

void CmdCheck(const CArgs& args, CReply& reply)
{
    reply.Add(SendOrThrow(FindTarget(args, 0), BM_GETCHECK, 0, 0));
}

void CmdSetCheck(const CArgs& args, CReply& reply)
{
    HWND ctl = FindTarget(args, 0);
    int64_t want = args.Number(2);
    // Clicking is what a user does; a tri-state box may need two clicks.
    for (int i = 0; i < 3 && SendOrThrow(ctl, BM_GETCHECK, 0, 0) != want; ++i) {
        RefuseDisabled(args, ctl);
        Deliver(ctl, BM_CLICK, 0, 0, WaitMs(args));
    }
    LRESULT now = SendOrThrow(ctl, BM_GETCHECK, 0, 0);
    if (now != want)
        throw CDriverError("failed", "check state stays " + std::to_string(now));
    reply.Add(now);
}

UINT KeyCode(const std::string& name)
{
    static const struct {
        const char* Name;
        UINT Vk;
    } keys[] = {{"enter", VK_RETURN},  {"escape", VK_ESCAPE}, {"tab", VK_TAB},   {"space", VK_SPACE},
                {"up", VK_UP},         {"down", VK_DOWN},     {"left", VK_LEFT}, {"right", VK_RIGHT},
                {"delete", VK_DELETE}, {"back", VK_BACK},     {"home", VK_HOME}, {"end", VK_END},
                {"f1", VK_F1},         {"f5", VK_F5}};
    for (const auto& k : keys)
        if (name == k.Name)
            return k.Vk;
    return static_cast<UINT>(CArgs::ParseNumber(name));
}

void CmdKey(const CArgs& args, CReply& reply)
{
    HWND top = FindTopWindow(args, 0);
    UINT vk = KeyCode(args.Text(1));
    HWND target = top;
    std::string ctl;
    if (args.Option("ctl", ctl)) {
        target = ControlByName(top, ctl, true);
    } else {
        // Keys go to the focus, as typed; the dialog's loop turns Enter and
        // Escape into its default button and IDCANCEL.
        GUITHREADINFO gti = {};
        gti.cbSize = sizeof gti;
        if (GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &gti) && gti.hwndFocus &&
            (gti.hwndFocus == top || IsChild(top, gti.hwndFocus)))
            target = gti.hwndFocus;
    }
    UINT scan = MapVirtualKeyA(vk, 0);
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    LPARAM up = down | (static_cast<LPARAM>(3) << 30);
    // The focus read a moment ago may have gone with its window since.
    if (target != top && !IsWindow(target))
        target = top;
    if (!PostMessageA(target, WM_KEYDOWN, vk, down) || !PostMessageA(target, WM_KEYUP, vk, up))
        ThrowLastError("PostMessage");
    // The system turns only a typed F1 into WM_KEYF1 (and that into WM_HELP);
    // a posted one needs it posted beside it.
    const UINT WmKeyF1 = 0x004D;
    if (vk == VK_F1 && !PostMessageA(target, WmKeyF1, 0, 0))
        ThrowLastError("PostMessage");
    reply.AddHandle(target);
}

HWND MessageTarget(const CArgs& args)
{
    HWND top = FindTopWindow(args, 0);
    std::string ctl;
    if (!args.Option("ctl", ctl))
        return top;
    return ControlByName(top, ctl, true);
}

void CmdPost(const CArgs& args, CReply&)
{
    HWND hwnd = MessageTarget(args);
    if (!PostMessageA(hwnd, static_cast<UINT>(args.Number(1)), static_cast<WPARAM>(args.Number(2)),
                      static_cast<LPARAM>(args.Number(3))))
        ThrowLastError("PostMessage");
}

void CmdSend(const CArgs& args, CReply& reply)
{
    HWND hwnd = MessageTarget(args);
    DWORD wait = static_cast<DWORD>(args.OptionNumber("wait", SendTimeoutMs));
    reply.Add(SendOrThrow(hwnd, static_cast<UINT>(args.Number(1)), static_cast<WPARAM>(args.Number(2)),
                          static_cast<LPARAM>(args.Number(3)), wait));
}

void CmdPid(const CArgs& args, CReply& reply)
{
    reply.Add(WindowPid(FindTopWindow(args, 0)));
}

}  // namespace

#define CONTROL_OPTIONS WINDOW_OPTIONS

extern const CCommand WindowCommands[] = {
    {"windows", "class pid hidden title",
     "[-title=T] [-class=C] [-pid=N] [-hidden] -> n {hwnd title class pid visible}*", CmdWindows},
    {"wait", WINDOW_OPTIONS, "<win> -> hwnd", CmdWait},
    {"waitgone", WINDOW_OPTIONS, "<win> -> (nothing)", CmdWaitGone},
    {"children", WINDOW_OPTIONS, "<win> -> n {hwnd id class text visible enabled}*", CmdChildren},
    {"gettext", CONTROL_OPTIONS, "<win> [ctl] -> text", CmdGetText},
    {"title", WINDOW_OPTIONS, "<win> -> title", CmdTitle},
    {"settext", CONTROL_OPTIONS, "<win> <ctl> <text> -> 1|0", CmdSetText},
    {"visible", CONTROL_OPTIONS, "<win> [ctl] -> 1|0", CmdVisible},
    {"enabled", CONTROL_OPTIONS, "<win> [ctl] -> 1|0", CmdEnabled},
    {"rect", CONTROL_OPTIONS, "<win> [ctl] -> left top right bottom clientwidth clientheight", CmdRect},
    {"place", WINDOW_OPTIONS, "<win> <x> <y> <width> <height> -> left top right bottom", CmdPlace},
    {"click", CONTROL_OPTIONS " wait force", "<win> <ctl> -> 1 (handled) | 0 (still busy)", CmdClick},
    {"check", CONTROL_OPTIONS, "<win> <ctl> -> 0|1|2", CmdCheck},
    {"setcheck", CONTROL_OPTIONS " wait force", "<win> <ctl> <0|1|2> -> state", CmdSetCheck},
    {"key", WINDOW_OPTIONS " ctl", "<win> <enter|escape|tab|...|vk> [-ctl=ID] -> hwnd posted to", CmdKey},
    {"post", WINDOW_OPTIONS " ctl", "<win> <msg> <wparam> <lparam> [-ctl=ID]", CmdPost},
    {"send", WINDOW_OPTIONS " ctl wait", "<win> <msg> <wparam> <lparam> [-ctl=ID] -> result", CmdSend},
    {"pid", WINDOW_OPTIONS, "<win> -> pid", CmdPid},
    {nullptr, nullptr, nullptr, nullptr},
};
