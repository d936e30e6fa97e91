#include "manager/BoxRules.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

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

std::string BoxNameRefusal(const std::string& name)
{
    const std::string cannot = "The alias \"" + name + "\" cannot be used: ";
    switch (FileNameFaultOf(name)) {
    case FileNameFault::None:
        return std::string();
    case FileNameFault::Empty:
        return "Please enter an Alias for the box.";
    case FileNameFault::DotsAndBlanks:
        return cannot + "a box's name needs more than blanks and dots.";
    case FileNameFault::ControlCharacter:
        return cannot + "it contains a control character.";
    case FileNameFault::ReservedCharacter:
        return cannot + "a box's name becomes a file name and must not contain any of "
                        "the characters \\ / : * ? \" < > |";
    case FileNameFault::DeviceName:
        // "Boxes\NUL.exe" would be no file at all.
        return cannot + "Windows reserves that name for a device.";
    }
    return std::string();
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
