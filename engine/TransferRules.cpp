#include "engine/TransferRules.h"

#include <cctype>

std::string ExtensionOf(const std::string& name)
{
    const size_t dot = name.find_last_of('.');
    const size_t slash = name.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    return name.substr(dot);
}

bool IsTextExtension(const std::string& ext)
{
    static const char* const text[] = {".txt", ".bat", ".ini", ".inf", ".log", ".cnt", ".htm", ".html", ".c",
                                       ".cpp", ".rc",  ".h",   ".mak", ".clw", ".dsp", ".dsw", ".plg"};
    for (const char* t : text)
        if (ext == t)
            return true;
    return false;
}

static std::string AsciiLower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

TransferChoice ChooseTransfer(const std::string& name, int transferType, int extensionChange)
{
    static const char typeA[] = "TYPE A\r\n";
    static const char typeI[] = "TYPE I\r\n";
    TransferChoice c{std::string(), name};
    switch (transferType) {
    case 0:
        c.typeCommand = typeA;
        break;
    case 1:
        c.typeCommand = typeI;
        break;
    case 2: {
        const std::string ext = AsciiLower(ExtensionOf(name));
        if (ext == ".htm") {
            if (extensionChange == 0)
                c.remoteName += 'l';
            c.typeCommand = typeA;
        } else if (ext == ".html") {
            if (extensionChange == 1)
                c.remoteName.pop_back();
            c.typeCommand = typeA;
        } else {
            c.typeCommand = IsTextExtension(ext) ? typeA : typeI;
        }
        break;
    }
    default:
        break;  // the server's current type is used
    }
    return c;
}

BoxDirectory ParseBoxDirectory(const std::string& value)
{
    BoxDirectory d;
    if (value.empty())
        return d;
    if (value[0] == '/') {
        d.kind = BoxDirectory::Fixed;
        d.path = value;
    } else if (value.compare(0, 4, "[MN]") == 0) {
        // Hosts with their own naming (data sets, volumes): sent as typed.
        d.kind = BoxDirectory::Fixed;
        d.path = value.substr(4);
    } else {
        d.kind = BoxDirectory::RelativeToLogin;
        d.path = value;
    }
    return d;
}

std::string JoinRemoteDirectory(const std::string& current, const std::string& relative)
{
    return current == "/" ? "/" + relative : current + "/" + relative;
}

int ProgressPercent(uint64_t size, uint64_t sent)
{
    if (size == 0 || sent >= size)
        return 100;
    uint64_t percent = sent <= UINT64_MAX / 100 ? sent * 100 / size : sent / (size / 100);
    return static_cast<int>(percent > 100 ? 100 : percent);
}

void ScaleForMessage(uint64_t& size, uint64_t& sent)
{
    if (size <= 0x7FFFFFFFu && sent <= 0x7FFFFFFFu)
        return;
    // Halving both would round the count up to 100% before the last block;
    // the count is rebuilt from the percentage instead.
    const uint64_t percent = static_cast<uint64_t>(ProgressPercent(size, sent));
    while (size > 0x7FFFFFFFu)
        size >>= 1;
    sent = (percent * size + 99) / 100;
}
