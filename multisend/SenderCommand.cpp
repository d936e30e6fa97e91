#include "multisend/SenderCommand.h"

#include "boxconfig/SuiteNames.h"

SenderAction ActionForTail(const std::string& tail)
{
    if (tail.empty())
        return SenderAction::NoFiles;
    // Case and length exact: "/INSTALL" or "/install " are files to send.
    if (tail == "/install")
        return SenderAction::Install;
    return SenderAction::ChooseBoxes;
}

std::string BoxEngineCommand(const std::string& programFolder, const std::string& boxFile, const std::string& tail)
{
    return "\"" + BoxesEntryPath(programFolder, boxFile) + "\" " + tail;
}

bool CommandFits(const std::string& command)
{
    return command.size() <= MaxCommandLine;
}

std::string TooLongMessage(const std::string& boxName)
{
    return "The list of files is too long to be sent to \"" + boxName +
           "\" in one go: Windows cannot start a program with so long a command line.\n\n"
           "Nothing was sent to \"" +
           boxName + "\". Please send fewer files at a time.";
}
