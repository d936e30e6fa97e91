// What the driver's command files share: the command table, finding windows
// and controls the way a test names them, messages with a time limit, and
// memory in another process for controls whose messages carry pointers.
#pragma once

// The driver runs only under the test Wine, never on a user's machine, so it
// may use Vista-level calls (full image names, registry tree delete).
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#undef WINVER
#define WINVER 0x0600

#include <windows.h>

#include <string>
#include <vector>

#include "tools/driver/Protocol.h"

struct CCommand {
    const char* Name;
    const char* Options;  // allowed options, space separated
    const char* Usage;
    void (*Run)(const CArgs& args, CReply& reply);
};

// Each command file ends its table with an entry whose Name is null.
extern const CCommand WindowCommands[];
extern const CCommand ListCommands[];
extern const CCommand MessageBoxCommands[];
extern const CCommand SystemCommands[];

// Options every command that names a top-level window accepts.
#define WINDOW_OPTIONS "class pid hidden timeout"

const DWORD SendTimeoutMs = 10000;

std::string WindowTitle(HWND hwnd);
std::string WindowClass(HWND hwnd);
DWORD WindowPid(HWND hwnd);
HWND ParseHandle(const std::string& text);

// Positional argument `index` is an exact title or @handle; -class, -pid and
// -hidden narrow the search and -timeout waits for the window to appear.
HWND FindTopWindow(const CArgs& args, size_t index);
// Positional argument `index` names a control of `top` by dialog ID, or is
// @handle; "." or a missing argument means `top` itself.
HWND FindControl(const CArgs& args, HWND top, size_t index);
// Both of the above, for the common "<window> <control>" pair.
HWND FindTarget(const CArgs& args, size_t index);

LRESULT SendOrThrow(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, DWORD timeoutMs = SendTimeoutMs);
std::string ControlText(HWND hwnd);

// Delivers a message without waiting for its handler, then waits until the
// target thread has finished it or entered a modal loop (a message box opened
// by a button must not block the driver). False when the thread stayed busy.
bool Deliver(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, DWORD waitMs);
// Waits until the thread owning `hwnd` takes sent messages again.
bool SyncWith(HWND hwnd, DWORD waitMs);

// A block of memory in the process that owns a window, for messages whose
// lParam points at a structure (list views do not marshal across processes).
class CRemoteMemory {
public:
    CRemoteMemory(HWND owner, size_t size);
    ~CRemoteMemory();
    CRemoteMemory(const CRemoteMemory&) = delete;
    CRemoteMemory& operator=(const CRemoteMemory&) = delete;

    char* Address() const { return static_cast<char*>(Remote); }
    void Write(size_t offset, const void* data, size_t size);
    void Read(size_t offset, void* data, size_t size) const;
    // For a block the target may still read after we stopped waiting.
    void Leak() { Leaked = true; }

private:
    HANDLE Process = nullptr;
    void* Remote = nullptr;
    bool Leaked = false;
};

std::string Win32Message(DWORD error);
[[noreturn]] void ThrowLastError(const std::string& what);
