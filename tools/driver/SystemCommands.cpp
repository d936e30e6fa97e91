// Processes, the driver's own environment, screenshots and the current
// user's registry.
#include "tools/driver/Driver.h"

#include <tlhelp32.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>

namespace {

// Processes started here keep their handle, so an exit code stays readable
// after the process is gone.
std::map<DWORD, HANDLE> Started;

HANDLE ProcessHandle(DWORD pid, DWORD access, bool& owned)
{
    auto it = Started.find(pid);
    if (it != Started.end()) {
        owned = false;
        return it->second;
    }
    owned = true;
    HANDLE h = OpenProcess(access, FALSE, pid);
    if (!h)
        throw CDriverError("notfound", "no process " + std::to_string(pid));
    return h;
}

void CmdStart(const CArgs& args, CReply& reply)
{
    // The command line is passed byte for byte: quotes, blanks and control
    // characters reach the program as a shell or another program gives them.
    std::string line = args.Text(0);
    std::vector<char> buf(line.begin(), line.end());
    buf.push_back('\0');
    std::string dir, app;
    bool hasDir = args.Option("dir", dir), hasApp = args.Option("app", app);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(args.OptionNumber("show", SW_SHOWNORMAL));
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(hasApp ? app.c_str() : nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        hasDir ? dir.c_str() : nullptr, &si, &pi))
        ThrowLastError("CreateProcess " + QuoteText(line));
    CloseHandle(pi.hThread);
    Started[pi.dwProcessId] = pi.hProcess;
    reply.Add(pi.dwProcessId);
}

void CmdWaitPid(const CArgs& args, CReply& reply)
{
    DWORD pid = static_cast<DWORD>(args.Number(0));
    DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", 0));
    bool owned;
    HANDLE h = ProcessHandle(pid, SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, owned);
    DWORD rc = WaitForSingleObject(h, timeout);
    DWORD code = 0;
    GetExitCodeProcess(h, &code);
    if (owned)
        CloseHandle(h);
    if (rc != WAIT_OBJECT_0)
        throw CDriverError("timeout", "process " + std::to_string(pid) + " still running after " +
                                          std::to_string(timeout) + " ms");
    reply.Add(code);
}

void CmdAlive(const CArgs& args, CReply& reply)
{
    DWORD pid = static_cast<DWORD>(args.Number(0));
    bool owned;
    HANDLE h;
    try {
        h = ProcessHandle(pid, SYNCHRONIZE, owned);
    } catch (const CDriverError&) {
        reply.Add(0);
        return;
    }
    reply.Add(WaitForSingleObject(h, 0) == WAIT_TIMEOUT ? 1 : 0);
    if (owned)
        CloseHandle(h);
}

void CmdKill(const CArgs& args, CReply& reply)
{
    DWORD pid = static_cast<DWORD>(args.Number(0));
    HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!h)
        throw CDriverError("notfound", "no process " + std::to_string(pid));
    bool ended = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(h, static_cast<UINT>(args.OptionNumber("code", 1)));
        ended = WaitForSingleObject(h, 5000) == WAIT_OBJECT_0;
    }
    CloseHandle(h);
    if (!ended)
        throw CDriverError("timeout", "process " + std::to_string(pid) + " did not end");
    reply.Add(pid);
}

void CmdProcs(const CArgs&, CReply& reply)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        ThrowLastError("CreateToolhelp32Snapshot");
    std::vector<PROCESSENTRY32> all;
    PROCESSENTRY32 pe = {};
    pe.dwSize = sizeof pe;
    for (BOOL ok = Process32First(snap, &pe); ok; ok = Process32Next(snap, &pe))
        all.push_back(pe);
    CloseHandle(snap);
    reply.Add(static_cast<int64_t>(all.size()));
    for (const PROCESSENTRY32& p : all) {
        char path[MAX_PATH * 2] = "";
        DWORD size = sizeof path;
        if (HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, p.th32ProcessID)) {
            if (!QueryFullProcessImageNameA(h, 0, path, &size))
                path[0] = '\0';
            CloseHandle(h);
        }
        reply.Add(p.th32ProcessID).Add(p.th32ParentProcessID).AddText(p.szExeFile).AddText(path);
    }
}

void CmdChdir(const CArgs& args, CReply&)
{
    if (!SetCurrentDirectoryA(args.Text(0).c_str()))
        ThrowLastError("SetCurrentDirectory " + QuoteText(args.Text(0)));
}

void CmdCwd(const CArgs&, CReply& reply)
{
    char dir[MAX_PATH * 2] = "";
    GetCurrentDirectoryA(sizeof dir, dir);
    reply.AddText(dir);
}

void CmdSetEnv(const CArgs& args, CReply&)
{
    // Programs started afterwards inherit it.
    const char* value = args.Has(1) ? args.Text(1).c_str() : nullptr;
    if (!SetEnvironmentVariableA(args.Text(0).c_str(), value))
        ThrowLastError("SetEnvironmentVariable");
}

// --- files held open ---

// Handles opened without sharing, as a program that keeps a file (or a
// folder) open to itself: others then cannot open the file or list the folder.
std::map<int64_t, HANDLE> Held;
int64_t NextHeld = 1;

void CmdHold(const CArgs& args, CReply& reply)
{
    const std::string& path = args.Text(0);
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    // A folder opens only with backup semantics; reading it means listing it.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           folder ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        ThrowLastError("CreateFile " + QuoteText(path));
    Held[NextHeld] = h;
    reply.Add(NextHeld++);
}

void CmdRelease(const CArgs& args, CReply&)
{
    const auto it = Held.find(args.Number(0));
    if (it == Held.end())
        throw CDriverError("notfound", "nothing held as " + std::to_string(args.Number(0)));
    CloseHandle(it->second);
    Held.erase(it);
}

// --- screenshots ---

void WriteBmp(const std::string& path, HDC source, const RECT& r)
{
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        throw CDriverError("failed", "nothing to capture");
    HDC mem = CreateCompatibleDC(source);
    HBITMAP bmp = CreateCompatibleBitmap(source, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, source, r.left, r.top, SRCCOPY | CAPTUREBLT);
    SelectObject(mem, old);

    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof bih;
    bih.biWidth = w;
    bih.biHeight = h;  // bottom-up, as BMP files are
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    bih.biCompression = BI_RGB;
    DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
    bih.biSizeImage = stride * static_cast<DWORD>(h);
    std::vector<char> bits(bih.biSizeImage);
    int lines =
        GetDIBits(mem, bmp, 0, static_cast<UINT>(h), bits.data(), reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    if (lines != h)
        throw CDriverError("failed", "GetDIBits read " + std::to_string(lines) + " lines");

    BITMAPFILEHEADER bfh = {};
    bfh.bfType = 0x4D42;  // "BM"
    bfh.bfOffBits = sizeof bfh + sizeof bih;
    bfh.bfSize = bfh.bfOffBits + bih.biSizeImage;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        throw CDriverError("failed", "cannot write " + QuoteText(path));
    bool ok = std::fwrite(&bfh, sizeof bfh, 1, f) == 1 && std::fwrite(&bih, sizeof bih, 1, f) == 1 &&
              std::fwrite(bits.data(), bits.size(), 1, f) == 1;
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        throw CDriverError("failed", "cannot write " + QuoteText(path));
}

void CmdScreenshot(const CArgs& args, CReply& reply)
{
    // Bare @0 is the whole screen; a window is cut out of the screen, so it
    // must be on top.
    HWND hwnd =
        args.Bare(0) && args.Text(0) == "@0" ? GetDesktopWindow() : FindControl(args, FindTopWindow(args, 0), 2);
    const std::string& path = args.Text(1);
    RECT r;
    GetWindowRect(hwnd, &r);
    HDC screen = GetDC(nullptr);
    try {
        WriteBmp(path, screen, r);
    } catch (...) {
        ReleaseDC(nullptr, screen);
        throw;
    }
    ReleaseDC(nullptr, screen);
    reply.Add(r.right - r.left).Add(r.bottom - r.top);
}

// --- registry, below HKEY_CURRENT_USER ---

class CKey {
public:
    CKey(const std::string& path, bool create)
    {
        LONG rc = create ? RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                           nullptr, &Key, nullptr)
                         : RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ | KEY_WRITE, &Key);
        if (rc != ERROR_SUCCESS) {
            Key = nullptr;
            if (rc == ERROR_FILE_NOT_FOUND)
                throw CDriverError("notfound", "no key " + QuoteText(path));
            throw CDriverError("failed", "key " + QuoteText(path) + ": error " + Win32Message(static_cast<DWORD>(rc)));
        }
    }
    ~CKey() { RegCloseKey(Key); }
    CKey(const CKey&) = delete;
    CKey& operator=(const CKey&) = delete;
    HKEY Get() const { return Key; }

private:
    HKEY Key = nullptr;
};

bool KeyExists(const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string ToHex(const std::vector<BYTE>& data)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (BYTE b : data) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::vector<BYTE> FromHex(const std::string& text)
{
    if (text.size() % 2)
        throw CDriverError("usage", "odd number of hex digits");
    std::vector<BYTE> out;
    for (size_t i = 0; i < text.size(); i += 2)
        out.push_back(static_cast<BYTE>(CArgs::ParseNumber("0x" + text.substr(i, 2))));
    return out;
}

const struct {
    const char* Name;
    DWORD Type;
} RegTypes[] = {{"REG_SZ", REG_SZ},       {"REG_EXPAND_SZ", REG_EXPAND_SZ}, {"REG_DWORD", REG_DWORD},
                {"REG_QWORD", REG_QWORD}, {"REG_BINARY", REG_BINARY},       {"REG_MULTI_SZ", REG_MULTI_SZ},
                {"REG_NONE", REG_NONE}};

std::string TypeName(DWORD type)
{
    for (const auto& t : RegTypes)
        if (t.Type == type)
            return t.Name;
    return std::to_string(type);
}

DWORD TypeFromName(const std::string& name)
{
    for (const auto& t : RegTypes)
        if (name == t.Name)
            return t.Type;
    return static_cast<DWORD>(CArgs::ParseNumber(name));
}

void CmdRegGet(const CArgs& args, CReply& reply)
{
    CKey key(args.Text(0), false);
    const std::string& name = args.Text(1);
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size);
    std::vector<BYTE> data(size + 2);
    if (rc == ERROR_SUCCESS)
        rc = RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, data.data(), &size);
    if (rc == ERROR_FILE_NOT_FOUND)
        throw CDriverError("notfound", "no value " + QuoteText(name) + " in " + QuoteText(args.Text(0)));
    if (rc != ERROR_SUCCESS)
        throw CDriverError("failed", "value " + QuoteText(name) + ": error " + Win32Message(static_cast<DWORD>(rc)));
    data.resize(size);
    if (args.Flag("raw")) {
        reply.Add(type).AddText(ToHex(data));
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        // A string value may lack its terminator; show what is stored.
        std::string text(data.begin(), data.end());
        if (!text.empty() && text.back() == '\0')
            text.pop_back();
        reply.AddWord(TypeName(type)).AddText(text);
    } else if (type == REG_DWORD && size == 4) {
        DWORD v;
        memcpy(&v, data.data(), 4);
        reply.AddWord(TypeName(type)).Add(v);
    } else if (type == REG_QWORD && size == 8) {
        int64_t v;
        memcpy(&v, data.data(), 8);
        reply.AddWord(TypeName(type)).Add(v);
    } else {
        reply.AddWord(TypeName(type)).AddText(ToHex(data));
    }
}

void CmdRegSet(const CArgs& args, CReply&)
{
    CKey key(args.Text(0), true);
    DWORD type = TypeFromName(args.Text(2));
    // A type given by number takes raw hex data, for values of the wrong
    // size or without their terminator.
    const bool raw = std::isdigit(static_cast<unsigned char>(args.Text(2)[0])) != 0;
    const std::string& value = args.Text(3);
    std::vector<BYTE> data;
    if (raw) {
        data = FromHex(value);
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        data.assign(value.begin(), value.end());
        data.push_back(0);
    } else if (type == REG_DWORD) {
        DWORD v = static_cast<DWORD>(CArgs::ParseNumber(value));
        data.assign(reinterpret_cast<BYTE*>(&v), reinterpret_cast<BYTE*>(&v) + 4);
    } else if (type == REG_QWORD) {
        int64_t v = CArgs::ParseNumber(value);
        data.assign(reinterpret_cast<BYTE*>(&v), reinterpret_cast<BYTE*>(&v) + 8);
    } else {
        data = FromHex(value);
    }
    LONG rc = RegSetValueExA(key.Get(), args.Text(1).c_str(), 0, type, data.empty() ? nullptr : data.data(),
                             static_cast<DWORD>(data.size()));
    if (rc != ERROR_SUCCESS)
        throw CDriverError("failed", "set value: error " + Win32Message(static_cast<DWORD>(rc)));
}

void CmdRegDelKey(const CArgs& args, CReply& reply)
{
    const std::string& path = args.Text(0);
    if (path.empty())
        throw CDriverError("usage", "refusing to delete all of HKEY_CURRENT_USER");
    if (!KeyExists(path)) {
        reply.Add(0);
        return;
    }
    LONG rc = RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    if (rc == ERROR_SUCCESS)
        rc = RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        throw CDriverError("failed", "delete key: error " + Win32Message(static_cast<DWORD>(rc)));
    reply.Add(1);
}

void CmdRegDelValue(const CArgs& args, CReply& reply)
{
    if (!KeyExists(args.Text(0))) {
        reply.Add(0);
        return;
    }
    CKey key(args.Text(0), false);
    LONG rc = RegDeleteValueA(key.Get(), args.Text(1).c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        throw CDriverError("failed", "delete value: error " + Win32Message(static_cast<DWORD>(rc)));
    reply.Add(rc == ERROR_SUCCESS ? 1 : 0);
}

void CmdRegExists(const CArgs& args, CReply& reply)
{
    if (!args.Has(1)) {
        reply.Add(KeyExists(args.Text(0)) ? 1 : 0);
        return;
    }
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, args.Text(0).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        reply.Add(0);
        return;
    }
    LONG rc = RegQueryValueExA(key, args.Text(1).c_str(), nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    reply.Add(rc == ERROR_SUCCESS ? 1 : 0);
}

void ListNames(const CArgs& args, CReply& reply, bool values)
{
    CKey key(args.Text(0), false);
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD len = sizeof name;
        LONG rc = values ? RegEnumValueA(key.Get(), i, name, &len, nullptr, nullptr, nullptr, nullptr)
                         : RegEnumKeyExA(key.Get(), i, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS)
            break;
        names.emplace_back(name, len);
    }
    reply.Add(static_cast<int64_t>(names.size()));
    for (const std::string& n : names)
        reply.AddText(n);
}

void CmdRegValues(const CArgs& args, CReply& reply)
{
    ListNames(args, reply, true);
}

void CmdRegKeys(const CArgs& args, CReply& reply)
{
    ListNames(args, reply, false);
}

}  // namespace

extern const CCommand SystemCommands[] = {
    {"start", "dir app show", "<command line> [-dir=D] [-app=EXE] [-show=N] -> pid", CmdStart},
    {"waitpid", "timeout", "<pid> [-timeout=ms] -> exit code", CmdWaitPid},
    {"alive", "", "<pid> -> 1|0", CmdAlive},
    {"kill", "code", "<pid> [-code=N] -> pid", CmdKill},
    {"procs", "", "-> n {pid parent name path}*", CmdProcs},
    {"chdir", "", "<dir>", CmdChdir},
    {"cwd", "", "-> dir", CmdCwd},
    {"setenv", "", "<name> [value] (no value removes it)", CmdSetEnv},
    {"hold", "", "<path> -> id (the file or folder held open without sharing)", CmdHold},
    {"release", "", "<id> (closes what hold opened)", CmdRelease},
    {"screenshot", WINDOW_OPTIONS, "<win|@0> <path.bmp> [ctl] -> width height", CmdScreenshot},
    {"regget", "raw", "<key> <name> [-raw] -> type data", CmdRegGet},
    {"regset", "", "<key> <name> <REG_SZ|REG_EXPAND_SZ|REG_DWORD|REG_QWORD|REG_BINARY hex|type number + hex> <data>",
     CmdRegSet},
    {"regdelkey", "", "<key> -> 1 (deleted) | 0 (was not there)", CmdRegDelKey},
    {"regdelvalue", "", "<key> <name> -> 1|0", CmdRegDelValue},
    {"regexists", "", "<key> [name] -> 1|0", CmdRegExists},
    {"regvalues", "", "<key> -> n {name}*", CmdRegValues},
    {"regkeys", "", "<key> -> n {name}*", CmdRegKeys},
    {nullptr, nullptr, nullptr, nullptr},
};
