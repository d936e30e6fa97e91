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

std::string CHelpFile::Path() const
{
    return ProgramFolder() + m_fileName;
}

void CHelpFile::Open(HWND owner, const std::string& caption, const char* topic)
{
    const std::string path = Path();
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
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
