#include "browser/BrowserRules.h"

#include <algorithm>

#include "boxconfig/SuiteNames.h"

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

std::string FormatColumnWidths(const std::vector<int>& widths)
{
    std::string text;
    for (int width : widths)
        text += (text.empty() ? "" : ",") + std::to_string(width);
    return text;
}

std::vector<int> ParseColumnWidths(const std::string& text, size_t count)
{
    std::vector<int> widths;
    size_t pos = 0;
    while (pos <= text.size()) {
        const size_t end = std::min(text.find(',', pos), text.size());
        const std::string field = text.substr(pos, end - pos);
        if (field.empty() || field.size() > 4 || field.find_first_not_of("0123456789") != std::string::npos)
            return {};
        const int width = std::stoi(field);
        if (width < 1 || width > 4000)
            return {};
        widths.push_back(width);
        pos = end + 1;
    }
    if (widths.size() != count)
        return {};
    return widths;
}

std::string NewCacheFileName(const std::string& box)
{
    return CacheFileName(box) + ".new";
}

std::string ListingFileName(unsigned long process, unsigned window)
{
    return "list-" + std::to_string(process) + "-" + std::to_string(window) + ".tmp";
}

std::string PartialDownloadPath(const std::string& local)
{
    return local + ".partial";
}
