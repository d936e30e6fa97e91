#include "boxconfig/SuiteNames.h"

#include <algorithm>
#include <cstring>

std::string WithReason(const char* message, std::string reason)
{
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
        reason.pop_back();
    if (reason.empty())
        return message;
    return std::string(message) + ":\n\n" + reason;
}

std::string EngineFileName(const std::string& box)
{
    return box + EngineExtension;
}

std::string BoxEnginePath(const std::string& suiteFolder, const std::string& box)
{
    return suiteFolder + "\\" + BoxesFolder + "\\" + EngineFileName(box);
}

std::string CacheFileName(const std::string& box)
{
    return box + ".lst";
}

std::string BoxesEntryPath(const std::string& programFolder, const std::string& entry)
{
    return programFolder + "boxes\\" + entry;
}

std::string AsciiLower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string AsciiUpper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string ExtensionOf(const std::string& name)
{
    const size_t dot = name.find_last_of('.');
    const size_t slash = name.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    return name.substr(dot);
}

bool IsTextExtension(const std::string& extension)
{
    static const char* const text[] = {".txt", ".bat", ".ini", ".inf", ".log", ".cnt", ".htm", ".html", ".c",
                                       ".cpp", ".rc",  ".h",   ".mak", ".clw", ".dsp", ".dsw", ".plg"};
    const std::string lower = AsciiLower(extension);
    for (const char* t : text)
        if (lower == t)
            return true;
    return false;
}

bool IsTextName(const std::string& name)
{
    return IsTextExtension(ExtensionOf(name));
}

namespace {

void DropTrailing(std::string& text, const char* what)
{
    const size_t keep = text.find_last_not_of(what);
    text.erase(keep == std::string::npos ? 0 : keep + 1);
}

// A digit, or a superscript 1 to 3, which Windows takes as a device's
// number too: one byte in the legacy code page, two in UTF-8.
bool IsPortDigit(const std::string& rest)
{
    if (rest.size() == 1) {
        const unsigned char u = static_cast<unsigned char>(rest[0]);
        return (u >= '0' && u <= '9') || u == 0xB9 || u == 0xB2 || u == 0xB3;
    }
    return rest == "\xC2\xB9" || rest == "\xC2\xB2" || rest == "\xC2\xB3";
}

}  // namespace

bool IsDeviceName(const std::string& name)
{
    std::string base = name;
    DropTrailing(base, ". ");
    // The device is named by the part before the first dot, blanks before
    // that dot ignored too ("CON .txt").
    base.erase(std::min(base.find('.'), base.size()));
    DropTrailing(base, " ");
    base = AsciiUpper(base);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (base == device)
            return true;
    return base.size() > 3 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           IsPortDigit(base.substr(3));
}

bool EndsInDotOrBlank(const std::string& name)
{
    return !name.empty() && (name.back() == '.' || name.back() == ' ');
}

FileNameFault FileNameFaultOf(const std::string& name)
{
    if (name.empty())
        return FileNameFault::Empty;
    if (name.find_first_not_of(" .") == std::string::npos)
        return FileNameFault::DotsAndBlanks;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 32)
            return FileNameFault::ControlCharacter;
        if (std::strchr("\\/:*?\"<>|", c))
            return FileNameFault::ReservedCharacter;
    }
    return IsDeviceName(name) ? FileNameFault::DeviceName : FileNameFault::None;
}

std::vector<std::string> BoxShortcuts(const SuiteFolders& folders, const std::string& box)
{
    std::vector<std::string> paths;
    for (const std::string* folder : {&folders.desktop, &folders.sendTo})
        if (!folder->empty() && *folder != NotFound)
            paths.push_back(ShortcutFilePath(*folder, box));
    return paths;
}
