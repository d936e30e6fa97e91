#include "win/HelpFile.h"

#include <htmlhelp.h>

#include "win/ModulePath.h"
#include "win/MsgBox.h"

namespace {

using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

// Loaded on first use and kept: a system without HTML Help still runs the
// programs, and the library must outlive every help window it made.
HtmlHelpFunction HtmlHelpEntry()
{
    static HtmlHelpFunction entry = [] {
        HMODULE module = LoadLibraryA("hhctrl.ocx");
        return module ? reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void*>(GetProcAddress(module, "HtmlHelpA")))
                      : nullptr;
    }();
    return entry;
}

}  // namespace

namespace {

bool IsFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::string CHelpFile::Path() const
{
    const std::string beside = ProgramFolder() + m_fileName;
    if (IsFile(beside))
        return beside;
    // A box's engine runs from the Boxes folder, below the suite's own.
    const std::string folder = ProgramFolder();
    const size_t parent = folder.size() > 1 ? folder.find_last_of('\\', folder.size() - 2) : std::string::npos;
    if (parent == std::string::npos)
        return beside;
    const std::string above = folder.substr(0, parent + 1) + m_fileName;
    return IsFile(above) ? above : beside;
}

void CHelpFile::Open(HWND owner, const std::string& caption, const char* topic)
{
    const std::string path = Path();
    if (!IsFile(path)) {
        ShowFailure(owner,
                    "The help file\n" + path +
                        "\nwas not found. It is installed with FTP Sendora: repairing or installing "
                        "FTP Sendora again puts it back.",
                    caption);
        return;
    }
    const HtmlHelpFunction htmlHelp = HtmlHelpEntry();
    HWND window = nullptr;
    if (htmlHelp && topic)
        window = htmlHelp(owner, (path + "::/" + topic).c_str(), HH_DISPLAY_TOPIC, 0);
    else if (htmlHelp)
        window = htmlHelp(owner, path.c_str(), HH_DISPLAY_TOC, 0);
    if (!window) {
        ShowFailure(owner,
                    "The help file\n" + path + "\ncould not be opened: this system's HTML Help (hhctrl.ocx) " +
                        (htmlHelp ? "refused it." : "is missing."),
                    caption);
        return;
    }
    m_window = window;
}

void CHelpFile::Close()
{
    // Only this file's window: the manager's help stays when its browser closes.
    if (m_window && IsWindow(m_window))
        SendMessageA(m_window, WM_CLOSE, 0, 0);
    m_window = nullptr;
}
