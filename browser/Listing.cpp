#include "browser/Listing.h"

#include <cstring>

namespace {

const int CR = '\r';
const int End = -1;

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

// The parser's view of the input: one byte of look-ahead.
class CReader {
public:
    explicit CReader(CListingSource& in) : m_in(in) {}

    int Peek()
    {
        if (!m_havePeek) {
            m_peek = m_ended ? End : m_in.Next();
            m_ended = m_peek < 0;
            m_havePeek = true;
        }
        return m_peek;
    }
    int Get()
    {
        const int c = Peek();
        m_havePeek = false;
        return c;
    }

private:
    CListingSource& m_in;
    int m_peek = End;
    bool m_havePeek = false;
    bool m_ended = false;
};

enum class Step { Ok, LineEnded, InputEnded };

// After a CR comes one more character, the LF.
Step EndLine(CReader& in)
{
    in.Get();
    in.Get();
    return Step::LineEnded;
}

// Where a field or a run of spaces stopped: a CR there means the line
// lacks what should follow.
Step Stopped(CReader& in)
{
    const int c = in.Peek();
    if (c == End)
        return Step::InputEnded;
    if (c == CR)
        return EndLine(in);
    return Step::Ok;
}

void SkipSpaces(CReader& in)
{
    while (in.Peek() == ' ')
        in.Get();
}

// A word and the spaces after it; the word's first kept characters go to
// `word` (if given), the rest is read and dropped.
Step TakeWord(CReader& in, std::string* word, size_t keep)
{
    for (int c = in.Peek(); c != End && c != CR && c != ' '; c = in.Peek()) {
        in.Get();
        if (word && word->size() < keep)
            word->push_back(static_cast<char>(c));
    }
    SkipSpaces(in);
    return Stopped(in);
}

// Reads up to and including the CR, then the LF. False at the end of input.
bool SkipLine(CReader& in)
{
    for (;;) {
        const int c = in.Get();
        if (c == End)
            return false;
        if (c == CR) {
            in.Get();
            return true;
        }
    }
}

const size_t NameKeep = sizeof(ListingRecord::name) - 1;
const size_t SizeKeep = sizeof(ListingRecord::size) - 1;

// One entry line after its first character; InputEnded when the input ran
// out, LineEnded when the line is over (with or without an entry).
Step ParseEntry(CReader& in, bool directory, const ListingSink& sink)
{
    Step step;
    // The rest of the permissions, link count, owner, group.
    for (int field = 0; field < 4; ++field)
        if ((step = TakeWord(in, nullptr, 0)) != Step::Ok)
            return step;
    std::string size;
    if ((step = TakeWord(in, &size, SizeKeep)) != Step::Ok)
        return step;

    std::string date;
    while (date.size() < ListingDateLength) {
        const int c = in.Get();
        if (c == End)
            return Step::InputEnded;
        if (c == CR) {
            in.Get();
            return Step::LineEnded;
        }
        date.push_back(static_cast<char>(c));
    }

    // The name begins right after the date's blank: further blanks are its
    // own (vsftpd and pure-ftpd list " a.txt" as "Jan 12 10:31  a.txt").
    std::string name;
    bool usable = true;
    for (;;) {
        const int c = in.Get();
        if (c == End)
            return Step::InputEnded;  // a line cut off by the end gives nothing
        if (c == CR)
            break;
        if (c < 32)
            usable = false;
        if (name.size() < NameKeep)
            name.push_back(static_cast<char>(c));
    }
    in.Get();  // the LF
    if (usable && !name.empty())
        sink(MakeListingRecord(name, size, date, directory));
    return Step::LineEnded;
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

void ParseListing(CListingSource& source, const ListingSink& sink)
{
    CReader in(source);
    for (;;) {
        const int first = in.Get();
        if (first == End)
            return;
        if (first != 'd' && first != '-') {
            if (!SkipLine(in))
                return;
            continue;
        }
        if (ParseEntry(in, first == 'd', sink) == Step::InputEnded)
            return;
    }
}
