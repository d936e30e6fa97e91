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

namespace {

// A path begins at the list's start or after a blank, with a drive letter
// and its colon ("C:\...") or with the two backslashes of a network path
// ("\\server\share\..."). A colon elsewhere ("\\?\C:\...") is inside a path.
bool StartsPath(const std::string& list, size_t i)
{
    return i + 1 < list.size() && (list[i + 1] == ':' || (list[i] == '\\' && list[i + 1] == '\\'));
}

// Where the first path at or after `from` begins, or npos.
size_t NextPathStart(const std::string& list, size_t from)
{
    for (size_t i = from; i < list.size();) {
        if ((i == 0 || list[i - 1] == ' ') && StartsPath(list, i))
            return i;
        const size_t blank = list.find(' ', i);
        if (blank == std::string::npos)
            break;
        i = blank + 1;
    }
    return std::string::npos;
}

}  // namespace

size_t CountPaths(const std::string& list)
{
    size_t n = 0;
    for (size_t i = NextPathStart(list, 0); i != std::string::npos; i = NextPathStart(list, i + 1))
        ++n;
    return n;
}

std::string PathAt(const std::string& list, size_t n)
{
    size_t begin = NextPathStart(list, 0);
    for (size_t seen = 0; seen < n && begin != std::string::npos; ++seen)
        begin = NextPathStart(list, begin + 1);
    if (begin == std::string::npos)
        return std::string();
    const size_t next = NextPathStart(list, begin + 1);
    if (next == std::string::npos)
        return list.substr(begin);
    // Stop before the blank that separates it from the next path.
    return list.substr(begin, next - 1 - begin);
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
    // Quoted as a path list is: "/b "New Stuff"" names New Stuff.
    return i < commandLine.size() ? StripQuotes(commandLine.substr(i)) : std::string();
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
