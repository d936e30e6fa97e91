// Custom actions of the installer package, in SuiteSetup.dll. The package
// installs and removes the programs and the suite's own shortcuts itself;
// what it cannot know are the boxes the user made since, which these actions
// find as the launcher does (the engine copies in Boxes\):
//   RefreshBoxes  after an install, upgrade or repair: every box's engine
//                 copy becomes the new Sendora.exe, as saving the box would
//   RemoveBoxes   before an uninstall: every box's engine copy, its Desktop
//                 and Send To shortcuts and the remote browser's listings
// Both keep the box settings in the registry. A box that is sending cannot
// have its engine replaced or removed: it is named in a warning, and the
// installation goes on. Neither action ever fails the installation.
#include <windows.h>
#include <msiquery.h>

#include <string>
#include <vector>

#include "boxconfig/SuiteNames.h"
#include "installer/SetupPlan.h"
#include "shell/BoxFiles.h"
#include "shell/BoxListing.h"
#include "shell/ShellFolders.h"

namespace {

std::string Property(MSIHANDLE install, const char* name)
{
    DWORD size = 0;
    char none[1] = "";
    if (MsiGetPropertyA(install, name, none, &size) != ERROR_MORE_DATA)
        return std::string();
    std::vector<char> buf(size + 1);
    size = static_cast<DWORD>(buf.size());
    if (MsiGetPropertyA(install, name, buf.data(), &size) != ERROR_SUCCESS)
        return std::string();
    return std::string(buf.data(), size);
}

void Message(MSIHANDLE install, INSTALLMESSAGE kind, const std::string& text)
{
    PMSIHANDLE record = MsiCreateRecord(1);
    // Field 0 is a template in which "[...]" would be taken for a property.
    MsiRecordSetStringA(record, 0, "[1]");
    MsiRecordSetStringA(record, 1, text.c_str());
    MsiProcessMessage(install, kind, record);
}

// A warning: a message box in the installer's window, a line in its log when
// it runs without one.
void Warn(MSIHANDLE install, const std::string& text)
{
    Message(install, static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_WARNING | MB_OK | MB_ICONWARNING), text);
}

// A line in the installer's log only.
void Log(MSIHANDLE install, const std::string& text)
{
    Message(install, INSTALLMESSAGE_INFO, text);
}

SuiteFolders Folders(MSIHANDLE install)
{
    SuiteFolders folders;
    folders.program = WithoutTrailingBackslash(Property(install, "INSTALLDIR"));
    // Where the manager put the box shortcuts, and where it deletes them.
    folders.desktop = GetShellFolderPath("Desktop");
    folders.sendTo = GetShellFolderPath("SendTo");
    return folders;
}

HINSTANCE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

// The boxes as the launcher lists them: by the same listing, so that what is
// refreshed or removed is exactly what the programs take for a box.
std::vector<std::string> ListBoxes(const std::string& programFolder)
{
    std::vector<std::string> boxes;
    HWND owner = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, ThisModule(), nullptr);
    if (!owner)
        return boxes;
    HWND list =
        CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_HASSTRINGS, 0, 0, 0, 0, owner, nullptr, ThisModule(), nullptr);
    if (list) {
        EnumerateBoxesIn(owner, list, programFolder + "\\");
        const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i)
            boxes.push_back(ListBoxText(list, i));
    }
    DestroyWindow(owner);  // and the lists with it
    return boxes;
}

std::vector<std::string> RelatedProducts(const std::string& upgradeCode)
{
    std::vector<std::string> products;
    char product[39];
    for (DWORD i = 0; MsiEnumRelatedProductsA(upgradeCode.c_str(), 0, i, product) == ERROR_SUCCESS; ++i)
        products.push_back(product);
    return products;
}

void RemoveBrowserScratchFiles(const std::string& programFolder)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((programFolder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsBrowserScratchName(found.cFileName))
            DeleteFileA((programFolder + "\\" + found.cFileName).c_str());
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

void Refresh(MSIHANDLE install)
{
    const SuiteFolders folders = Folders(install);
    std::vector<BoxFailure> stale;
    for (const std::string& box : ListBoxes(folders.program)) {
        const DWORD error = CopyEngine(folders.program, box);
        Log(install, "RefreshBoxes: \"" + box + "\": " + (error ? ErrorText(error) : "refreshed"));
        if (error)
            stale.push_back({box, BoxEnginePath(folders.program, box), ErrorText(error)});
    }
    if (!stale.empty())
        Warn(install, StaleEnginesMessage(stale));
}

void Remove(MSIHANDLE install)
{
    if (IsUpgradeRemoval(Property(install, "UPGRADINGPRODUCTCODE"), Property(install, "ProductCode"),
                         RelatedProducts(Property(install, "UpgradeCode")))) {
        Log(install, "RemoveBoxes: an upgrade, the boxes stay");
        return;
    }
    const SuiteFolders folders = Folders(install);
    std::vector<BoxFailure> left;
    for (const std::string& box : ListBoxes(folders.program)) {
        Log(install, "RemoveBoxes: \"" + box + "\" in " + folders.program);
        if (const DWORD error = RemoveBoxFiles(folders, box))
            left.push_back({box, BoxEnginePath(folders.program, box), ErrorText(error)});
    }
    // Also the listings of boxes deleted by hand, whose cache the manager never saw go.
    RemoveBrowserScratchFiles(folders.program);
    RemoveDirectoryA((folders.program + "\\Boxes").c_str());
    if (!left.empty())
        Warn(install, LeftEnginesMessage(left));
}

// An exception cannot unwind into the installer.
template <class Action>
UINT Guarded(MSIHANDLE install, Action action)
{
    try {
        action(install);
    } catch (...) {
    }
    return ERROR_SUCCESS;
}

}  // namespace

extern "C" UINT __stdcall RefreshBoxes(MSIHANDLE install)
{
    return Guarded(install, Refresh);
}

extern "C" UINT __stdcall RemoveBoxes(MSIHANDLE install)
{
    return Guarded(install, Remove);
}
