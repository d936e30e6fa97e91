#include "launcher/LauncherCommand.h"

bool IsLauncherInstallSwitch(const std::string& tail)
{
    return tail == "/i" || tail == "/I";
}

std::string BrowserCommand(const std::string& displayName)
{
    return "SndMgr " + displayName + '\r';
}
