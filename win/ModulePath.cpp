#include "win/ModulePath.h"

#include <windows.h>

#include <vector>

std::string ModulePath()
{
    // Grow until the path fits: GetModuleFileName truncates silently.
    std::vector<char> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0)
            return std::string();
        if (n < buf.size() - 1)
            return std::string(buf.data(), n);
        if (buf.size() >= 32768)
            return std::string();
        buf.resize(buf.size() * 2);
    }
}

std::string ProgramFolder()
{
    std::string path = ModulePath();
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
