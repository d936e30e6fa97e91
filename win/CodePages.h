// The program's text and the other encodings names meet. With the UTF-8
// code page the manifest asks for, the program's text is UTF-8; on a
// Windows that ignores it, the system's legacy page.
#pragma once

#include <string>

// The system's legacy ANSI code page (1252 on a Western system), whatever
// the program's own page is.
unsigned LegacyCodePage();

// From one code page to another through UTF-16; false when the text is not
// valid in `from` or a character has no place in `to` (no look-alikes).
bool ConvertText(const std::string& text, unsigned from, unsigned to, std::string& out);

// The program's text to UTF-8 and to the legacy page (the conversions a
// CRemoteNames is given); false when a character has no place there.
bool ToUtf8(const std::string& text, std::string& out);
bool ToLegacy(const std::string& text, std::string& out);

// Bytes a server listed, as the program shows them: valid UTF-8 as it is,
// anything else read in the legacy page.
std::string ShownName(const std::string& serverBytes);
