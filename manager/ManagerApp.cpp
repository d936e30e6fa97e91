#include "manager/ManagerApp.h"

#include <windows.h>
#include <commctrl.h>

#include "boxconfig/BoxSettings.h"
#include "boxconfig/RegistryProfile.h"
#include "boxconfig/SuiteNames.h"
#include "browser/Browser.h"
#include "manager/BoxManagerDlg.h"
#include "manager/CommandLine.h"
#include "manager/ManagerState.h"
#include "shell/ShellFolders.h"
#include "win/MsgBox.h"

int RunManager(const std::string& commandLine)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    ManagerState state;
    state.DesktopFolder = GetShellFolderPath("Desktop");
    state.SendToFolder = GetShellFolderPath("SendTo");
    state.StartMenuFolder = GetShellFolderPath("Start Menu");
    CProfile& profile = SuiteProfile();

    const ManagerCommand command = ParseManagerCommandLine(commandLine);
    if (command.mode == ManagerMode::PlaceStartMenuShortcut) {
        ComScope com;
        CreateShortcut(CurrentDirectory() + "\\SndMgr.exe", state.StartMenuFolder, "Create New Sendora", SuiteTitle);
        return 0;
    }

    state.CurrentBoxName = command.boxName;
    state.PendingOptions.Port = CBoxSettings(profile, state.CurrentBoxName, BoxReader::Manager).Number(BoxNumber::Port);
    if (command.mode == ManagerMode::Browser) {
        RunBrowser(GetModuleHandleA(nullptr), nullptr, state.CurrentBoxName, state.PendingOptions.Port);
        return 0;
    }
    CBoxManagerDlg dialog(state, profile);
    dialog.DoModal(nullptr);
    return 0;
}
