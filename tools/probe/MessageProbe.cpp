// Measures what a cross-thread SendMessage costs on this platform: a worker
// thread sends N messages to a window owned by the main thread, as the
// engine's worker does once per block and per display call. Prints the mean
// cost in microseconds.
//   message_probe.exe [N]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

const UINT Probe = WM_USER + 500;
HWND g_window;
long g_count;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == Probe) {
        ++g_count;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

struct Run {
    long n;
    double seconds;
};

DWORD WINAPI Sender(LPVOID arg)
{
    Run* run = static_cast<Run*>(arg);
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    for (long i = 0; i < run->n; ++i)
        SendMessageA(g_window, Probe, static_cast<WPARAM>(i), 0);
    QueryPerformanceCounter(&b);
    run->seconds = static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
    PostMessageA(g_window, WM_CLOSE, 0, 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Run run = {argc > 1 ? std::atol(argv[1]) : 20000, 0.0};
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MessageProbe";
    RegisterClassA(&wc);
    g_window =
        CreateWindowA("MessageProbe", "probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    HANDLE t = CreateThread(nullptr, 0, Sender, &run, 0, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_CLOSE)
            break;
        DispatchMessageA(&msg);
    }
    WaitForSingleObject(t, INFINITE);
    std::printf("%ld messages in %.3f s: %.2f us per cross-thread SendMessage\n", g_count, run.seconds,
                run.seconds * 1e6 / static_cast<double>(run.n));
    return 0;
}
