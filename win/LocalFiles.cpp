#include "win/LocalFiles.h"

#include <windows.h>

std::wstring WidePath(const std::string& path)
{
    std::wstring wide;
    const int n = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    if (n > 0) {
        wide.resize(static_cast<size_t>(n));
        MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), &wide[0], n);
    }
    if (wide.size() < MAX_PATH || wide.compare(0, 4, L"\\\\?\\") == 0)
        return wide;
    if (wide.size() > 2 && wide[1] == L':' && wide[2] == L'\\')
        return L"\\\\?\\" + wide;
    if (wide.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + wide.substr(2);
    return wide;
}

std::string ProgramText(const std::wstring& wide)
{
    std::string text;
    const int n =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    if (n > 0) {
        text.resize(static_cast<size_t>(n));
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0], n, nullptr, nullptr);
    }
    return text;
}

std::FILE* OpenLocalFile(const std::string& path, const wchar_t* mode)
{
    return _wfopen(WidePath(path).c_str(), mode);
}

bool DeleteLocalFile(const std::string& path)
{
    return DeleteFileW(WidePath(path).c_str()) != 0;
}
