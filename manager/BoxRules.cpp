#include "manager/BoxRules.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "boxconfig/SuiteNames.h"

const char* MissingLogonEntry(const std::string& userId, const std::string& password, const std::string& hostName)
{
    if (userId.empty())
        return "Please enter User ID.";
    if (password.empty())
        return "Please enter Password.";
    if (hostName.empty())
        return "Please enter Host Name.";
    return nullptr;
}

std::string BoxNameFor(const std::string& alias, const std::string& hostName)
{
    return alias.empty() ? hostName : alias;
}

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

size_t LongestBoxName(const std::string& suiteFolder, const std::string& desktopFolder, const std::string& sendToFolder)
{
    const size_t maxPath = 260 - 1;  // the ANSI file functions' limit, without the terminator
    size_t longest = 255;            // a registry key name
    auto fit = [&](size_t around) { longest = std::min(longest, around < maxPath ? maxPath - around : 0); };
    fit(BoxEnginePath(suiteFolder, "").size());
    for (const std::string* folder : {&desktopFolder, &sendToFolder})
        fit(folder->size() + std::strlen("\\.LNK"));
    return longest;
}

std::string BoxNameFault(const std::string& name, size_t longest)
{
    switch (FileNameFaultOf(name)) {
    case FileNameFault::None:
        break;
    case FileNameFault::Empty:
        return "a box needs a name.";
    case FileNameFault::DotsAndBlanks:
        return "a box's name needs more than blanks and dots.";
    case FileNameFault::ControlCharacter:
        return "it contains a control character.";
    case FileNameFault::ReservedCharacter:
        return "a box's name becomes a file name and must not contain any of "
               "the characters \\ / : * ? \" < > |";
    case FileNameFault::DeviceName:
        // "Boxes\NUL.exe" would be no file at all.
        return "Windows reserves that name for a device.";
    }
    // A command tail loses leading blanks; a name that ends in blanks or a
    // dot looks the same as one without them.
    if (name.front() == ' ' || name.back() == ' ')
        return "a box's name cannot begin or end with a blank.";
    if (name.back() == '.')
        return "a box's name cannot end with a dot.";
    if (name.size() > longest)
        return "it is longer than the " + std::to_string(longest) +
               " characters that its settings key, engine copy and shortcuts allow here.";
    return std::string();
}

std::string BoxNameRefusal(const std::string& name, size_t longest)
{
    if (name.empty())
        return "Please enter an Alias for the box.";
    const std::string fault = BoxNameFault(name, longest);
    return fault.empty() ? fault : "The alias \"" + name + "\" cannot be used: " + fault;
}

bool ParseIntegerText(const std::string& text, int& value)
{
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    size_t digits = begin;
    if (digits < end && (text[digits] == '+' || text[digits] == '-'))
        ++digits;
    if (digits == end)
        return false;
    for (size_t i = digits; i < end; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    const std::string number = text.substr(begin, end - begin);
    errno = 0;
    const long long parsed = std::strtoll(number.c_str(), nullptr, 10);
    if (errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

int RadioForStored(int stored, int count)
{
    return stored >= 0 && stored < count ? stored : -1;
}

int EraseCheckForStored(int stored)
{
    return stored == 1 || stored == 2 ? 1 : 0;
}
