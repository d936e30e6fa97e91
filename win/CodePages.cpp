#include "win/CodePages.h"

#include <windows.h>

unsigned LegacyCodePage()
{
    DWORD page = 0;
    if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&page), sizeof page / sizeof(WCHAR)) == 0 ||
        page == 0 || page == CP_UTF8)
        return 1252;
    return page;
}

bool ConvertText(const std::string& text, unsigned from, unsigned to, std::string& out)
{
    out.clear();
    if (text.empty())
        return true;
    const int length = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (n <= 0)
        return false;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text.data(), length, &wide[0], n);
    // UTF-8 takes no substitution flags; every character has a place there.
    const DWORD flags = to == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* usedDefault = to == CP_UTF8 ? nullptr : &defaulted;
    const int bytes = WideCharToMultiByte(to, flags, wide.data(), n, nullptr, 0, nullptr, usedDefault);
    if (bytes <= 0 || defaulted)
        return false;
    out.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(to, flags, wide.data(), n, &out[0], bytes, nullptr, usedDefault);
    return !defaulted;
}

bool ToUtf8(const std::string& text, std::string& out)
{
    return ConvertText(text, CP_ACP, CP_UTF8, out);
}

bool ToLegacy(const std::string& text, std::string& out)
{
    return ConvertText(text, CP_ACP, LegacyCodePage(), out);
}

std::string ShownName(const std::string& serverBytes)
{
    std::string shown;
    if (ConvertText(serverBytes, CP_UTF8, CP_ACP, shown) ||
        ConvertText(serverBytes, LegacyCodePage(), CP_ACP, shown))
        return shown;
    return serverBytes;
}
