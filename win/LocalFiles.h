// Local paths in the program's text, handed to the wide file calls: those
// take any character and, with the "\\?\" form, paths past MAX_PATH.
#pragma once

#include <cstdio>
#include <string>

// The path in UTF-16; an absolute path of MAX_PATH or more gets the "\\?\"
// (or "\\?\UNC\") form, which the wide calls take at any length.
std::wstring WidePath(const std::string& path);
// The other way, for names the wide calls give.
std::string ProgramText(const std::wstring& wide);

// _wfopen on WidePath(path); null when it cannot be opened.
std::FILE* OpenLocalFile(const std::string& path, const wchar_t* mode);
bool DeleteLocalFile(const std::string& path);
