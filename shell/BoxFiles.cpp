#include "shell/BoxFiles.h"

#include <cstring>

#include "boxconfig/SuiteNames.h"
#include "win/Handles.h"
#include "win/SuiteMessages.h"

std::string ErrorText(DWORD error)
{
    char* text = nullptr;
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n && text ? std::string(text, n) : std::string();
    if (text)
        LocalFree(text);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.' || message.back() == ' '))
        message.pop_back();
    return "error " + std::to_string(error) + (message.empty() ? "" : ": " + message);
}

DWORD CopyEngine(const std::string& cwd, const std::string& box)
{
    // An existing folder is what we want; any other failure shows in the copy.
    CreateDirectoryA((cwd + "\\" + BoxesFolder).c_str(), nullptr);
    if (CopyFileA((cwd + "\\Sendora.exe").c_str(), BoxEnginePath(cwd, box).c_str(), FALSE))
        return 0;
    return GetLastError();
}

DWORD RemoveBoxFiles(const SuiteFolders& folders, const std::string& box)
{
    for (const std::string& shortcut : BoxShortcuts(folders, box))
        DeleteFileA(shortcut.c_str());
    DWORD error = 0;
    if (!DeleteFileA(BoxEnginePath(folders.program, box).c_str())) {
        error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            error = 0;
    }
    DeleteFileA((folders.program + "\\" + CacheFileName(box)).c_str());
    return error;
}

bool FindBox(CProfile& profile, const std::string& cwd, const std::string& name, std::string& stored)
{
    stored = name;
    CFindFile engine;
    if (engine.First(BoxEnginePath(cwd, name))) {
        const std::string file = engine.Name();
        stored = file.substr(0, file.size() - std::strlen(EngineExtension));
        return true;
    }
    return profile.HoldsValues(name);
}

void NotifyLauncher()
{
    if (HWND launcher = FindWindowA(nullptr, LauncherTitle))
        PostMessageA(launcher, WM_BOXES_CHANGED, 0, 0);
}
