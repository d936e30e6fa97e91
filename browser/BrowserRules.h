// The remote browser's rules that need no window: how a reply is judged,
// how the stored directory becomes what is sent, and the
// file list's sort order.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ftp/CommandText.h"  // CommandLine, shared with the engine

// A reply code of 400 or more fails, compared unsigned: 999 (no connection)
// fails, and so does a negative number read from a broken reply.
inline bool IsFailureCode(int code)
{
    return static_cast<unsigned>(code) >= 400u;
}

// The stored remote directory ("Current Directory", or "Directory" for the
// box's home) in its three forms: "/path" is sent as it is, "[MN]path" as
// the text after the marker, anything else is relative to the directory the
// server reports after log-in.
bool IsRelativeDirectory(const std::string& stored);
// The argument of the CWD that goes to the stored directory; `working` is
// the path of the PWD reply, used only for a relative directory. An empty
// working path gives an empty argument; the root "/" adds no second slash.
std::string DirectoryTarget(const std::string& stored, const std::string& working);

// The list's sort order as stored in "Sort Order": 0 none, 16 ascending,
// 32 descending (the list view's own style bits). Any other stored number
// counts as none, so no stray style bit reaches the control.
const int SortNone = 0;
const int SortAscending = 16;
const int SortDescending = 32;
int NormalSortOrder(int stored);
// A click on the "Name" header: none -> ascending -> descending -> none.
int NextSortOrder(int current);

// "<box>(<host>) - Connected" and "... - Not connected".
std::string ConnectionLine(const std::string& box, const std::string& host, bool connected);

// The status after a listing: empty, or how many of its lines could not be
// shown (they would otherwise vanish without a word).
std::string UnreadableStatus(size_t unreadable);

// The list's column widths as the user left them, at 96 DPI: "150,44,100,100".
// A text that does not hold `count` widths of 1 to 4000 gives none.
std::string FormatColumnWidths(const std::vector<int>& widths);
std::vector<int> ParseColumnWidths(const std::string& text, size_t count);

// Where a new cache is written whole before it replaces the old one.
std::string NewCacheFileName(const std::string& box);
// The raw listing of one browser window ("list-<process>-<window>.tmp"):
// windows started from one folder never share it.
std::string ListingFileName(unsigned long process, unsigned window);
// Where a download is received until it is whole, beside its target.
std::string PartialDownloadPath(const std::string& local);
