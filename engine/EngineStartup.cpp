#include <windows.h>

#include "engine/EngineStartup.h"

#include <vector>

#include "engine/PathList.h"
#include "engine/Upload.h"
#include "ftp/Socket.h"
#include "win/Handles.h"
#include "win/ModulePath.h"
#include "win/MsgBox.h"
#include "win/Process.h"

bool StartEngineSockets(const std::string& boxName)
{
    if (SocketsStartup())
        return true;
    ShowFailure(nullptr, "Windows sockets initialization failed.", boxName);
    return false;
}

bool BuildFolderPathList(const std::string& engineFolder, const std::string& folder, std::string& list)
{
    const std::string dir = engineFolder + folder + "\\";
    const std::string pattern = dir + "*.*";
    CFindFile find;
    if (!find.First(pattern))
        return false;
    std::vector<std::string> names;
    do {
        names.push_back(find.Name());
    } while (find.Next());
    list = JoinFolderEntries(dir, names);
    return true;
}

int RunEngine(HINSTANCE instance, const std::string& commandLine)
{
    const std::string boxName = BoxNameFromModulePath(ModulePath());
    if (!StartEngineSockets(boxName))
        return kExitFailed;

    if (commandLine.empty()) {
        // Nothing to send: open the manager on this box instead.
        StartCommandLine("SndMgr.exe " + boxName);
        return kExitComplete;
    }

    std::string pathList;
    if (IsFolderSwitch(commandLine)) {
        const std::string folder = ProgramFolder();
        if (folder.empty() || !BuildFolderPathList(folder, FolderSwitchArgument(commandLine), pathList))
            return kExitFailed;
    } else {
        pathList = StripQuotes(commandLine);
    }
    return RunUpload(instance, boxName, pathList);
}
