#include "browser/Listing.h"

#include <cstring>
#include <initializer_list>
#include <vector>

namespace {

const int End = -1;

// Longest line kept; the rest of a longer line is read and dropped (names
// are cut to 255 bytes anyway).
const size_t LineKeep = 2048;

template <size_t N>
void CopyField(char (&field)[N], const std::string& text)
{
    const size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

template <size_t N>
std::string ReadField(const char (&field)[N])
{
    size_t n = 0;
    while (n < N && field[n] != '\0')
        ++n;
    return std::string(field, n);
}

// One line without its LF and without the CR before it. False once the input
// is used up and nothing was read.
bool ReadLine(CListingSource& in, bool& ended, std::string& line)
{
    line.clear();
    if (ended)
        return false;
    bool any = false;
    for (;;) {
        const int c = in.Next();
        if (c == End) {
            ended = true;
            break;
        }
        any = true;
        if (c == '\n')
            break;
        if (line.size() < LineKeep)
            line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return any;
}

struct Token {
    size_t begin, end;
};

// The first `most` blank-separated words of the line.
std::vector<Token> Words(const std::string& line, size_t most)
{
    std::vector<Token> words;
    size_t at = 0;
    while (words.size() < most) {
        while (at < line.size() && line[at] == ' ')
            ++at;
        if (at == line.size())
            break;
        const size_t begin = at;
        while (at < line.size() && line[at] != ' ')
            ++at;
        words.push_back({begin, at});
    }
    return words;
}

bool AllDigits(const std::string& s, size_t least, size_t most)
{
    if (s.size() < least || s.size() > most)
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// "digits sep digits ...": each group's length given, e.g. {2,2,2} for 12-07-26.
bool Shaped(const std::string& s, char sep, std::initializer_list<size_t> groups)
{
    size_t at = 0, n = 0;
    for (size_t g : groups) {
        if (n++ > 0 && (at >= s.size() || s[at++] != sep))
            return false;
        for (size_t end = at + g; at < end; ++at)
            if (at >= s.size() || s[at] < '0' || s[at] > '9')
                return false;
    }
    return at == s.size();
}

bool IsMonth(const std::string& s)
{
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    if (s.size() != 3)
        return false;
    for (size_t m = 0; m < 36; m += 3)
        if (s.compare(0, 3, months + m, 3) == 0)
            return true;
    return false;
}

bool IsClock(const std::string& s)
{
    return Shaped(s, ':', {2, 2}) || Shaped(s, ':', {1, 2});
}

std::string PadLeft(const std::string& s, size_t width)
{
    return s.size() < width ? std::string(width - s.size(), ' ') + s : s;
}

enum class LineKind { Entry, Ignored, Unreadable };

// The name begins one blank after `at`: further blanks are its own (vsftpd
// lists " a.txt" as "Jan 12 10:31  a.txt").
LineKind Emit(const std::string& line, size_t at, const std::string& size, const std::string& date, bool directory,
              const ListingSink& sink)
{
    if (at >= line.size() || line[at] != ' ')
        return LineKind::Unreadable;
    std::string name = line.substr(at + 1);
    if (name.empty())
        return LineKind::Ignored;
    if (!IsUsableName(name))
        return LineKind::Unreadable;
    if (name.size() > sizeof(ListingRecord::name) - 1)
        name.resize(sizeof(ListingRecord::name) - 1);
    sink(MakeListingRecord(name, size, date, directory));
    return LineKind::Entry;
}

// UNIX style, as pyftpdlib, vsftpd and most others send it; the group column
// may be missing and the date may be ISO:
//   drwxr-xr-x   2 owner    group        4096 Jan 12 10:31 public html
//   -rw-r--r--    1 0        0           10240 Dec  3  1998 old.zip
//   -rw-r--r--   1 owner           3 Jan 12 10:31 group.txt
//   -rw-r--r--   1 owner group     3 2026-12-07 10:31 iso.txt
LineKind UnixLine(const std::string& line, const ListingSink& sink)
{
    const std::vector<Token> w = Words(line, 9);
    std::vector<std::string> words;
    for (const Token& token : w)
        words.push_back(line.substr(token.begin, token.end - token.begin));
    auto word = [&](size_t i) -> const std::string& { return words[i]; };
    // The size is the last number before the date; owner and group may
    // themselves be numbers, so look for the date.
    for (size_t k = 3; k + 1 < w.size() && k <= 6; ++k) {
        const std::string& size = word(k - 1);
        if (!AllDigits(size, 1, 64))
            continue;
        const std::string shown = size.substr(0, sizeof(ListingRecord::size) - 1);
        if (IsMonth(word(k)) && k + 2 < w.size() && AllDigits(word(k + 1), 1, 2) &&
            (IsClock(word(k + 2)) || AllDigits(word(k + 2), 4, 4))) {
            const std::string date = word(k) + ' ' + PadLeft(word(k + 1), 2) + ' ' + PadLeft(word(k + 2), 5) + ' ';
            return Emit(line, w[k + 2].end, shown, date, line[0] == 'd', sink);
        }
        if (Shaped(word(k), '-', {4, 2, 2}) && IsClock(word(k + 1)))
            return Emit(line, w[k + 1].end, shown, word(k) + ' ' + word(k + 1) + ' ', line[0] == 'd', sink);
    }
    return LineKind::Unreadable;
}

// MS-DOS style, as IIS sends it:
//   12-07-26  10:00PM       <DIR>          sub
//   12-07-26  03:42AM                  12 a.txt
LineKind DosLine(const std::string& line, const ListingSink& sink)
{
    const std::vector<Token> w = Words(line, 3);
    if (w.size() < 3)
        return LineKind::Unreadable;
    const std::string day = line.substr(w[0].begin, w[0].end - w[0].begin);
    const std::string clock = line.substr(w[1].begin, w[1].end - w[1].begin);
    const std::string size = line.substr(w[2].begin, w[2].end - w[2].begin);
    const std::string half = clock.size() > 2 ? clock.substr(clock.size() - 2) : "";
    if (!(Shaped(day, '-', {2, 2, 2}) || Shaped(day, '-', {2, 2, 4})) ||
        !IsClock(clock.substr(0, clock.size() - half.size())) || (half != "AM" && half != "PM"))
        return LineKind::Unreadable;
    const std::string date = line.substr(w[0].begin, w[1].end - w[0].begin) + ' ';
    if (size == DirectoryType) {
        // The name column is padded after <DIR>.
        size_t at = w[2].end;
        while (at + 1 < line.size() && line[at + 1] == ' ')
            ++at;
        return Emit(line, at, "", date, true, sink);
    }
    if (!AllDigits(size, 1, 64))
        return LineKind::Unreadable;
    return Emit(line, w[2].end, size.substr(0, sizeof(ListingRecord::size) - 1), date, false, sink);
}

LineKind ParseLine(const std::string& line, const ListingSink& sink)
{
    if (line.find_first_not_of(' ') == std::string::npos || line.compare(0, 6, "total ") == 0)
        return LineKind::Ignored;
    switch (line[0]) {
    case 'd':
    case '-':
        return UnixLine(line, sink);
    case 'l':  // links, devices, pipes and sockets are not offered
    case 'c':
    case 'b':
    case 'p':
    case 's':
        return LineKind::Ignored;
    default:
        return line[0] >= '0' && line[0] <= '9' ? DosLine(line, sink) : LineKind::Unreadable;
    }
}

}  // namespace

ListingRecord MakeListingRecord(const std::string& name, const std::string& size, const std::string& date,
                                bool directory)
{
    ListingRecord record;
    std::memset(&record, 0, sizeof record);
    CopyField(record.name, name);
    CopyField(record.size, size);
    CopyField(record.date, date);
    CopyField(record.type, directory ? DirectoryType : FileType);
    return record;
}

std::string RecordName(const ListingRecord& record)
{
    return ReadField(record.name);
}
std::string RecordSize(const ListingRecord& record)
{
    return ReadField(record.size);
}
std::string RecordDate(const ListingRecord& record)
{
    return ReadField(record.date);
}
std::string RecordType(const ListingRecord& record)
{
    return ReadField(record.type);
}

bool IsDirectoryRecord(const ListingRecord& record)
{
    return RecordType(record) == DirectoryType;
}

bool IsUsableName(const std::string& name)
{
    if (name.empty())
        return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 32)
            return false;
    return true;
}

size_t ParseListing(CListingSource& source, const ListingSink& sink)
{
    size_t unreadable = 0;
    bool ended = false;
    std::string line;
    while (ReadLine(source, ended, line))
        unreadable += ParseLine(line, sink) == LineKind::Unreadable;
    return unreadable;
}
