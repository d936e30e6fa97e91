#include "ftp/RemoteNames.h"

#include "ftp/CommandText.h"

bool IsAscii(const std::string& text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool ListsUtf8(const std::string& featReply)
{
    size_t at = 0;
    while (at < featReply.size()) {
        size_t end = featReply.find('\n', at);
        if (end == std::string::npos)
            end = featReply.size();
        std::string line = featReply.substr(at, end - at);
        at = end + 1;
        if (line.empty() || line[0] != ' ')
            continue;  // the first and last lines carry the code
        const size_t begin = line.find_first_not_of(' ');
        const size_t stop = line.find_first_of(" \r", begin);
        std::string word = line.substr(begin, stop == std::string::npos ? std::string::npos : stop - begin);
        for (char& c : word)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        if (word == "UTF8")
            return true;
    }
    return false;
}

bool CRemoteNames::Encode(CFtpClient& client, CStream& control, const std::string& name, std::string& wire,
                          std::string* log)
{
    if (IsAscii(name)) {
        wire = name;
        return true;
    }
    if (m_mode == NameMode::Unasked) {
        m_mode = NameMode::Legacy;
        const int feat = client.SendCommand(control, CommandLine("FEAT").c_str());
        if (log)
            *log += client.LastReply();
        if (feat < 400 && ListsUtf8(client.LastReply())) {
            // Listing UTF8 is the promise; OPTS only asks servers that would
            // otherwise use their own page. pyftpdlib, UTF-8 always, refuses it.
            client.SendCommand(control, CommandLine("OPTS", "UTF8 ON").c_str());
            if (log)
                *log += client.LastReply();
            m_mode = NameMode::Utf8;
        }
    }
    const TextConversion& convert = m_mode == NameMode::Utf8 ? m_conversions.toUtf8 : m_conversions.toLegacy;
    return convert && convert(name, wire);
}
