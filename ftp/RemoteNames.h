// How a session puts local names on the wire. A session whose names are all
// ASCII sends exactly what it always sent; before the first command with a
// name outside ASCII it asks FEAT once, and a server that lists UTF8 is
// sent OPTS UTF8 ON (whatever it answers) and gets UTF-8. Any other server gets the
// system's legacy code page, or nothing when the name has no place there.
// The text conversions are the platform's, given by the program, so the
// rule itself builds and is tested natively.
#pragma once

#include <functional>
#include <string>

#include "ftp/FtpClient.h"

// Converts the program's own text to another encoding; false when some
// character has no place in it.
typedef std::function<bool(const std::string& text, std::string& out)> TextConversion;

struct NameConversions {
    TextConversion toUtf8;
    TextConversion toLegacy;
};

enum class NameMode { Unasked, Utf8, Legacy };

bool IsAscii(const std::string& text);

// True when a FEAT reply lists UTF8 among the features (one per line,
// indented by a blank: "211-Features:\r\n UTF8\r\n MDTM\r\n211 End").
bool ListsUtf8(const std::string& featReply);

class CRemoteNames {
public:
    explicit CRemoteNames(NameConversions conversions) : m_conversions(std::move(conversions)) {}

    // The bytes to send for `name`; false when the server cannot be given
    // this name. The replies of FEAT and OPTS go to `log` when given.
    bool Encode(CFtpClient& client, CStream& control, const std::string& name, std::string& wire,
                std::string* log = nullptr);

    // A new control connection knows nothing of the last one's answers.
    void Reset() { m_mode = NameMode::Unasked; }

private:
    NameConversions m_conversions;
    NameMode m_mode = NameMode::Unasked;
};
