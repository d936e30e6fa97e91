#include "manager/CommandLine.h"

ManagerCommand ParseManagerCommandLine(const std::string& commandLine)
{
    if (commandLine == "/i" || commandLine == "/I")
        return {ManagerMode::PlaceStartMenuShortcut, std::string()};
    // The launcher asks for the browser by ending the box name with CR.
    if (!commandLine.empty() && commandLine.back() == '\r')
        return {ManagerMode::Browser, commandLine.substr(0, commandLine.size() - 1)};
    return {ManagerMode::BoxDialog, commandLine};
}
