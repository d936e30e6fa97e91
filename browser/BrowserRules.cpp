#include "browser/BrowserRules.h"

namespace {

const char Marker[] = "[MN]";
const size_t MarkerLength = sizeof Marker - 1;

bool HasMarker(const std::string& text)
{
    return text.size() >= MarkerLength && text.compare(0, MarkerLength, Marker) == 0;
}

}  // namespace

bool IsRelativeDirectory(const std::string& stored)
{
    return !stored.empty() && stored[0] != '/' && !HasMarker(stored);
}

std::string DirectoryTarget(const std::string& stored, const std::string& working)
{
    if (stored.empty() || stored[0] == '/')
        return stored;
    if (HasMarker(stored))
        return stored.substr(MarkerLength);
    if (working.empty())
        return std::string();
    return working == "/" ? "/" + stored : working + "/" + stored;
}

int NormalSortOrder(int stored)
{
    return stored == SortAscending || stored == SortDescending ? stored : SortNone;
}

int NextSortOrder(int current)
{
    switch (NormalSortOrder(current)) {
    case SortNone:
        return SortAscending;
    case SortAscending:
        return SortDescending;
    default:
        return SortNone;
    }
}

std::string ConnectionLine(const std::string& box, const std::string& host, bool connected)
{
    return box + "(" + host + ") - " + (connected ? "Connected" : "Not connected");
}

std::string UnreadableStatus(size_t unreadable)
{
    if (unreadable == 0)
        return std::string();
    if (unreadable == 1)
        return "1 entry of the listing could not be shown";
    return std::to_string(unreadable) + " entries of the listing could not be shown";
}
