#include "manager/BoxRules.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

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

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices, also with an
// extension: "Boxes\NUL.exe" would be no file at all.
bool IsDeviceName(const std::string& name)
{
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char& c : base)
        c = Upper(c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL")
        return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
           base[3] <= '9';
}

}  // namespace

std::string BoxNameRefusal(const std::string& name)
{
    if (name.empty())
        return "Please enter an Alias for the box.";
    const std::string cannot = "The alias \"" + name + "\" cannot be used: ";
    if (name.find_first_not_of(" .") == std::string::npos)
        return cannot + "a box's name needs more than blanks and dots.";
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 32)
            return cannot + "it contains a control character.";
        if (std::strchr("\\/:*?\"<>|", c))
            return cannot + "a box's name becomes a file name and must not contain any of "
                            "the characters \\ / : * ? \" < > |";
    }
    if (IsDeviceName(name))
        return cannot + "Windows reserves that name for a device.";
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
