// FTP_FN: sends the files it is given to every box the user marks, each box's
// engine uploading on its own; "/install" places its Desktop and Send To
// shortcuts instead.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "multisend/SenderCommand.h"
#include "multisend/SenderDlg.h"
#include "shell/ShellFolders.h"
#include "win/ModulePath.h"
#include "win/MsgBox.h"

namespace {

const char NoFilesMessage[] = "FTP Fanora was not given any file(s) to upload.\n\n"
                               "Please read the SENDORA.CHM help file for instructions\n"
                               "on how to use FTP Fanora.";

void Install(const std::string& desktop, const std::string& sendTo)
{
    ComScope com;
    const std::string self = ModulePath();
    // Failures show their own messages; the completion message follows anyway.
    CreateShortcut(self, desktop, SenderTitle, SenderTitle);
    CreateShortcut(self, sendTo, SenderTitle, SenderTitle);
    ShowInfo(nullptr, "FTP Sendora installation is completed", SenderTitle);
}

int RunSender(const std::string& commandTail)
{
    const std::string desktop = GetShellFolderPath("Desktop");
    const std::string sendTo = GetShellFolderPath("SendTo");

    switch (ActionForTail(commandTail)) {
    case SenderAction::NoFiles:
        ShowFailure(nullptr, NoFilesMessage, SenderTitle);
        return 0;
    case SenderAction::Install:
        Install(desktop, sendTo);
        return 0;
    case SenderAction::ChooseBoxes:
        break;
    }
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    CSenderDlg dialog(commandTail);
    dialog.DoModal(nullptr);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    try {
        return RunSender(commandLine ? commandLine : "");
    } catch (...) {
        // An exception cannot unwind through system code on i686; end here.
        return 1;
    }
}
