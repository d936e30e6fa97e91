#include "ftp/ReplyText.h"

bool QuotedPath(const std::string& reply, std::string& path)
{
    const size_t open = reply.find('"');
    if (open == std::string::npos)
        return false;
    const size_t close = reply.find('"', open + 1);
    if (close == std::string::npos)
        return false;
    std::string inner = reply.substr(open + 1, close - open - 1);
    for (char c : inner)
        if (static_cast<unsigned char>(c) < 32)
            return false;
    path = inner;
    return true;
}

bool PassivePort(const std::string& reply, unsigned short& port)
{
    const size_t afterCode = reply.size() < 4 ? reply.size() : 4;
    size_t at = reply.find_first_of("(0123456789", afterCode);
    if (at == std::string::npos)
        return false;
    if (reply[at] == '(')
        ++at;
    int numbers[6];
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (at >= reply.size() || reply[at] != ',')
                return false;
            ++at;
        }
        const size_t start = at;
        int value = 0;
        for (; at < reply.size() && reply[at] >= '0' && reply[at] <= '9'; ++at)
            if (value <= 255)  // past a byte already: no need to grow, nor to overflow
                value = value * 10 + (reply[at] - '0');
        if (at == start || value > 255)
            return false;
        numbers[i] = value;
    }
    const int value = numbers[4] * 256 + numbers[5];
    if (value == 0)
        return false;
    port = static_cast<unsigned short>(value);
    return true;
}

bool ExtendedPassivePort(const std::string& reply, unsigned short& port)
{
    size_t at = reply.find('(');
    if (at == std::string::npos || at + 4 >= reply.size())
        return false;
    const char d = reply[++at];
    if (d < 33 || d > 126 || (d >= '0' && d <= '9') || reply[at + 1] != d || reply[at + 2] != d)
        return false;
    at += 3;
    long value = 0;
    const size_t start = at;
    for (; at < reply.size() && reply[at] >= '0' && reply[at] <= '9' && at - start < 6; ++at)
        value = value * 10 + (reply[at] - '0');
    if (at == start || at >= reply.size() || reply[at] != d || value < 1 || value > 65535)
        return false;
    port = static_cast<unsigned short>(value);
    return true;
}
