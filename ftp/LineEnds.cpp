#include "ftp/LineEnds.h"

std::string LfLineEnds(const char* data, size_t length, bool& heldCr)
{
    std::string out;
    out.reserve(length + 1);
    for (size_t i = 0; i < length; ++i) {
        if (heldCr && data[i] != '\n')
            out += '\r';
        heldCr = data[i] == '\r';
        if (!heldCr)
            out += data[i];
    }
    return out;
}

std::string CrLfLineEnds(const char* data, size_t length, bool& afterCr)
{
    std::string out;
    out.reserve(length + length / 32);
    for (size_t i = 0; i < length; ++i) {
        if (data[i] == '\n' && !afterCr)
            out += '\r';
        out += data[i];
        afterCr = data[i] == '\r';
    }
    return out;
}
