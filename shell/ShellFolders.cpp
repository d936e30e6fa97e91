#include "shell/ShellFolders.h"

#include <objbase.h>

#include <vector>

#include "boxconfig/RegistryProfile.h"
#include "boxconfig/SuiteNames.h"

std::string GetShellFolderPath(const std::string& valueName)
{
    // The same profile reader as the suite's own settings, aimed at
    // HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer.
    CRegistryProfile explorer("Microsoft\\Windows", "CurrentVersion\\Explorer");
    return explorer.GetString("Shell Folders", valueName, NotFound);
}

std::string CurrentDirectory()
{
    const DWORD size = GetCurrentDirectoryA(0, nullptr);
    if (size == 0)
        return std::string();
    std::vector<char> buf(size);
    const DWORD got = GetCurrentDirectoryA(size, buf.data());
    return got > 0 && got < size ? std::string(buf.data(), got) : std::string();
}

ComScope::ComScope()
{
    // A failure shows later, when the link object cannot be created; only a
    // successful call may be balanced by CoUninitialize.
    m_open = SUCCEEDED(CoInitialize(nullptr));
}

ComScope::~ComScope()
{
    End();
}

void ComScope::End()
{
    if (m_open)
        CoUninitialize();
    m_open = false;
}
