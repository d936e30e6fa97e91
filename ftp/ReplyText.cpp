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
