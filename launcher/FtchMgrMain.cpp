// FtchMgr: the list of boxes from which their remote browsers are opened;
// "/i" or "/I" places its Start Menu entry instead.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "launcher/LauncherCommand.h"
#include "launcher/LauncherDlg.h"
#include "shell/ShellFolders.h"
#include "win/ModulePath.h"

namespace {

// The install step has no title of its own yet: its messages bear the
// executable's file name without the extension.
std::string ProgramBaseName()
{
    std::string name = ModulePath();
    const size_t slash = name.find_last_of('\\');
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

void Install(const std::string& startMenu)
{
    ComScope com;
    // The installation runs this from the suite's folder.
    CreateShortcut(CurrentDirectory() + "\\FtchMgr.exe", startMenu, "FTP Fetchora Manager", ProgramBaseName());
}

int RunLauncher(const std::string& commandTail)
{
    const std::string startMenu = GetShellFolderPath("Start Menu");
    if (IsLauncherInstallSwitch(commandTail)) {
        Install(startMenu);
        return 0;
    }
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    CLauncherDlg dialog;
    dialog.DoModal(nullptr);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    try {
        return RunLauncher(commandLine ? commandLine : "");
    } catch (...) {
        // An exception cannot unwind through system code on i686; end here.
        return 1;
    }
}
