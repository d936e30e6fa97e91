// The e2e tests' eyes on what the manager leaves behind:
//   manager_probe link OUT FILE   writes the shortcut's path, working
//                                 directory and description, one a line, to OUT
//   manager_probe launcher OUT    shows a window titled "FTP Fetchora Manager"
//                                 and appends a line to OUT for every
//                                 WM_BOXES_CHANGED it receives, until closed
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/shell/LinkReader.h"
#include "win/SuiteMessages.h"

namespace {

std::string g_out;

void Append(const std::string& line)
{
    if (FILE* f = std::fopen(g_out.c_str(), "ab")) {
        std::fputs(line.c_str(), f);
        std::fclose(f);
    }
}

int ReadLink(const char* file)
{
    CoInitialize(nullptr);
    LinkContents link;
    const HRESULT hr = ReadShortcut(file, link);
    CoUninitialize();
    if (FAILED(hr))
        return 1;
    Append(link.path + "\n" + link.workingDirectory + "\n" + link.description + "\n");
    return 0;
}

LRESULT CALLBACK LauncherProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_BOXES_CHANGED) {
        Append("boxes changed " + std::to_string(wp) + " " + std::to_string(lp) + "\n");
        return 0;
    }
    if (msg == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(hwnd, msg, wp, lp);
}

int StandInForLauncher()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = LauncherProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ManagerProbeLauncher";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowA(wc.lpszClassName, LauncherTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                              nullptr, nullptr, wc.hInstance, nullptr);
    if (!hwnd)
        return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "link") == 0) {
        g_out = argv[2];
        return ReadLink(argv[3]);
    }
    if (argc == 3 && std::strcmp(argv[1], "launcher") == 0) {
        g_out = argv[2];
        return StandInForLauncher();
    }
    std::fputs("usage: manager_probe link OUT FILE | launcher OUT\n", stderr);
    return 2;
}
