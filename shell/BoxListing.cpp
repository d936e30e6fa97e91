#include "shell/BoxListing.h"

#include <vector>

#include "boxconfig/SuiteNames.h"
#include "win/Handles.h"
#include "win/ModulePath.h"

namespace {

// The short (8.3) form keeps the search pattern within the directory fill's
// limits; the long form serves when the file system has no short names.
std::string ShortPathOf(const std::string& path)
{
    const DWORD need = GetShortPathNameA(path.c_str(), nullptr, 0);
    if (need == 0)
        return path;
    std::vector<char> buf(need);
    const DWORD got = GetShortPathNameA(path.c_str(), buf.data(), need);
    if (got == 0 || got >= need)
        return path;
    return std::string(buf.data(), got);
}

bool IsEngineFileName(const std::string& name)
{
    return name.size() >= 4 && AsciiLower(name.substr(name.size() - 4)) == kEngineExtension;
}

}  // namespace

std::string ListBoxText(HWND list, int index)
{
    const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR)
        return std::string();
    std::vector<char> buf(static_cast<size_t>(length) + 1);
    const LRESULT got =
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf.data()));
    if (got == LB_ERR)
        return std::string();
    return std::string(buf.data(), static_cast<size_t>(got));
}

std::string BoxLongFileName(const std::string& programFolder, const std::string& scratchEntry)
{
    CFindFile find;
    if (!find.First(BoxesEntryPath(programFolder, scratchEntry)))
        return std::string();  // a folder, listed as "[name]", or a file gone since
    if (find.IsDirectory())
        return std::string();
    // "*.exe" also matches long names through their 8.3 alias ("a.exe1" is
    // "A~1.EXE"); only a name ending in ".exe" is an engine copy.
    const std::string name = find.Name();
    if (!IsEngineFileName(name))
        return std::string();
    return name;
}

HWND EnumerateBoxesIn(HWND dialog, HWND visibleList, const std::string& programFolder)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    HWND scratch =
        CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_HASSTRINGS, 0, 0, 0, 0, dialog, nullptr, instance, nullptr);
    if (!scratch)
        return nullptr;

    // LB_DIR writes into its argument on some systems: give it a copy.
    std::string pattern = BoxesEntryPath(ShortPathOf(programFolder), EngineFileName("*"));
    std::vector<char> writable(pattern.begin(), pattern.end());
    writable.push_back('\0');
    SendMessageA(scratch, LB_DIR, DDL_DIRECTORY, reinterpret_cast<LPARAM>(writable.data()));

    int index = 0;
    while (index < static_cast<int>(SendMessageA(scratch, LB_GETCOUNT, 0, 0))) {
        const std::string longName = BoxLongFileName(programFolder, ListBoxText(scratch, index));
        if (longName.empty()) {
            // Not a box; the sender reads the scratch list by the visible
            // list's indexes, so it must not keep the entry either.
            SendMessageA(scratch, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
            continue;
        }
        const std::string displayName = longName.substr(0, longName.size() - 4);
        SendMessageA(visibleList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(displayName.c_str()));
        ++index;
    }
    return scratch;
}

HWND EnumerateBoxes(HWND dialog, HWND visibleList)
{
    return EnumerateBoxesIn(dialog, visibleList, ProgramFolder());
}
