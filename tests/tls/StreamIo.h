// Whole sends and receives over a stream, for the TLS tests.
#pragma once

#include <string>
#include <vector>

#include "ftp/Stream.h"

inline bool SendAll(CStream& stream, const std::string& data)
{
    for (size_t sent = 0; sent < data.size();) {
        const int n = stream.Send(data.data() + sent, static_cast<int>(data.size() - sent));
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Receives until the end; last is the final result (0 or -1).
inline std::string ReceiveAll(CStream& stream, int bufferSize, int* last)
{
    std::string got;
    std::vector<char> buffer(static_cast<size_t>(bufferSize));
    while ((*last = stream.Receive(buffer.data(), bufferSize)) > 0)
        got.append(buffer.data(), static_cast<size_t>(*last));
    return got;
}
