#include "engine/PathList.h"

std::string BoxNameFromModulePath(const std::string& modulePath)
{
    const size_t slash = modulePath.find_last_of('\\');
    std::string name = slash == std::string::npos ? modulePath : modulePath.substr(slash + 1);
    return name.size() >= 4 ? name.substr(0, name.size() - 4) : std::string();
}

std::string StripQuotes(const std::string& commandLine)
{
    std::string out;
    out.reserve(commandLine.size());
    for (char c : commandLine)
        if (c != '"')
            out += c;
    return out;
}

size_t CountPaths(const std::string& list)
{
    size_t n = 0;
    for (char c : list)
        n += c == ':';
    return n;
}

std::string PathAt(const std::string& list, size_t n)
{
    size_t colon = std::string::npos;
    for (size_t i = 0, seen = 0; i < list.size(); ++i)
        if (list[i] == ':' && seen++ == n) {
            colon = i;
            break;
        }
    if (colon == std::string::npos)
        return std::string();
    const size_t begin = colon > 0 ? colon - 1 : 0;
    const size_t next = list.find(':', colon + 1);
    if (next == std::string::npos)
        return list.substr(begin);
    // Stop before the blank and the drive letter that precede the next colon.
    const size_t end = next >= 2 ? next - 2 : 0;
    return end > begin ? list.substr(begin, end - begin) : std::string();
}

bool IsFolderSwitch(const std::string& commandLine)
{
    return commandLine.size() >= 2 && commandLine[0] == '/' && (commandLine[1] == 'b' || commandLine[1] == 'B');
}

std::string FolderSwitchArgument(const std::string& commandLine)
{
    size_t i = 2;
    while (i < commandLine.size() &&
           (commandLine[i] == ' ' || commandLine[i] == '\t' || commandLine[i] == '\r' || commandLine[i] == '\n'))
        ++i;
    return i < commandLine.size() ? commandLine.substr(i) : std::string();
}

std::string JoinFolderEntries(const std::string& folder, const std::vector<std::string>& names)
{
    std::string list;
    for (const std::string& name : names) {
        if (name == "." || name == "..")
            continue;
        list += folder;
        list += name;
        list += ' ';
    }
    while (!list.empty() && (list.back() == ' ' || list.back() == '\t'))
        list.pop_back();
    return list;
}
