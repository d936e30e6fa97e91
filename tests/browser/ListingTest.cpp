// The listing parser and the cache record: listing text in, rows out.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "ListingCodec.h"

namespace {

struct Row {
    std::string name, size, date, type;
};

bool operator==(const Row& a, const Row& b)
{
    return a.name == b.name && a.size == b.size && a.date == b.date && a.type == b.type;
}

std::ostream& operator<<(std::ostream& out, const Row& r)
{
    return out << "{" << r.name << "|" << r.size << "|" << r.date << "|" << r.type << "}";
}

std::vector<Row> Parse(const std::string& text, size_t* unreadable = nullptr)
{
    std::vector<Row> rows;
    for (const ListingRecord& r : ParseListingText(text, unreadable))
        rows.push_back({RecordName(r), RecordSize(r), RecordDate(r), RecordType(r)});
    return rows;
}

struct ListingCase {
    const char* what;
    std::string listing;
    std::vector<Row> rows;
};

TEST(Listing, LinesBecomeRows)
{
    const ListingCase cases[] = {
        {"directory with a blank in its name",
         "drwxr-xr-x   2 owner    group         512 Jan 12 10:31 public html\r\n",
         {{"public html", "512", "Jan 12 10:31 ", "<DIR>"}}},
        {"file with a year for its date",
         "-rw-r--r--   1 owner    group       10240 Dec  3  1998 old.zip\r\n",
         {{"old.zip", "10240", "Dec  3  1998 ", " "}}},
        {"summary, link and device give nothing",
         "total 24\r\n"
         "lrwxrwxrwx   1 0        0               5 Dec 07 15:42 link -> a.txt\r\n"
         "crw-rw-rw-   1 0        0          1,   3 Dec 07 15:42 null\r\n"
         "-rw-r--r--   1 0        0               3 Dec 07 15:42 a.txt\r\n",
         {{"a.txt", "3", "Dec 07 15:42 ", " "}}},
        {"server order is kept",
         "-rw-r--r-- 1 a b 1 Jan  1 00:00 zeta\r\n"
         "drwxr-xr-x 2 a b 4096 Jan  1 00:00 alpha\r\n"
         "-rw-r--r-- 1 a b 2 Jan  1 00:00 mid\r\n",
         {{"zeta", "1", "Jan  1 00:00 ", " "},
          {"alpha", "4096", "Jan  1 00:00 ", "<DIR>"},
          {"mid", "2", "Jan  1 00:00 ", " "}}},
        {"long runs of spaces between fields; the name begins right after the date's blank",
         "-rw-r--r--      1    owner      group         7 Feb 28  2001      spaced  \r\n",
         {{"     spaced  ", "7", "Feb 28  2001 ", " "}}},
        {"names with leading blanks, as vsftpd lists them",
         "-rw-r--r--    1 0        0               4 Dec 08 00:13   lead.txt\r\n"
         "drwxr-xr-x    2 0        0            4096 Dec 08 00:13  dir\r\n"
         "-rw-r--r--    1 0        0               1 Dec 08 00:13  \r\n",
         {{"  lead.txt", "4", "Dec 08 00:13 ", " "},
          {" dir", "4096", "Dec 08 00:13 ", "<DIR>"},
          {" ", "1", "Dec 08 00:13 ", " "}}},
        {"empty listing", "", {}},
        {"a line whose name is empty gives nothing",
         "-rw-r--r-- 1 a b 7 Feb 28  2001 \r\n"
         "-rw-r--r-- 1 a b 8 Feb 28  2001 next\r\n",
         {{"next", "8", "Feb 28  2001 ", " "}}},
        {"MS-DOS style, as IIS lists",
         "12-07-26  10:00PM       <DIR>          sub dir\r\n"
         "12-07-2026  03:42AM                  12 a.txt\r\n",
         {{"sub dir", "", "12-07-26  10:00PM ", "<DIR>"}, {"a.txt", "12", "12-07-2026  03:42AM ", " "}}},
        {"without the group column; numeric owner",
         "-rw-r--r--   1 owner          3 Jan 12 10:31 group.txt\r\n"
         "drwxr-xr-x   2 1000       4096 Dec  3  1998 old\r\n"
         "-rw-r--r--   1 0 0 5 Jan 2 9:05 short.txt\r\n",
         {{"group.txt", "3", "Jan 12 10:31 ", " "},
          {"old", "4096", "Dec  3  1998 ", "<DIR>"},
          {"short.txt", "5", "Jan  2  9:05 ", " "}}},
        {"ISO dates", "-rw-r--r-- 1 owner group 7 2026-12-07 10:31  iso.txt\r\n",
         {{" iso.txt", "7", "2026-12-07 10:31 ", " "}}},
        {"LF-only lines, the last without its end, a blank line",
         "-rw-r--r-- 1 a b 1 Jan  1 00:00 one\n\n-rw-r--r-- 1 a b 2 Jan  1 00:00 two",
         {{"one", "1", "Jan  1 00:00 ", " "}, {"two", "2", "Jan  1 00:00 ", " "}}},
    };
    for (const ListingCase& c : cases)
        EXPECT_EQ(Parse(c.listing), c.rows) << c.what;
}

// Each broken line gives no row and is counted; the next line is read.
TEST(Listing, BrokenLinesAreCounted)
{
    const Row next = {"next", "1", "Jan  1 00:00 ", " "};
    const std::string nextLine = "-rw-r--r-- 1 a b 1 Jan  1 00:00 next\r\n";
    const struct {
        const char* what;
        std::string listing;
        size_t unreadable;
    } cases[] = {
        {"line cut before the size", "-rw-r--r-- 1 a b\r\n", 1},
        {"line cut after the size", "-rw-r--r-- 1 a b 12\r\n", 1},
        {"line cut inside the date", "-rw-r--r-- 1 a b 12 Jan 1\r\n", 1},
        {"only the type letter", "d\r\n", 1},
        {"a line of no known style", "+i8388621.29609,m824255902,/,\tdev\r\n", 1},
        {"DOS line without its time", "12-07-26  <DIR> x\r\n", 1},
        {"a stray CR inside a name", "-rw-r--r-- 1 a b 1 Jan  1 00:00 na\rme\r\n", 1},
        {"summary, link, device, blank line: designed to give nothing",
         "total 3\r\nlrwxrwxrwx 1 a b 1 Jan  1 00:00 l -> x\r\ncrw-rw-rw- 1 0 0 1,   3 Dec 07 15:42 null\r\n \r\n", 0},
        {"an empty name gives nothing", "-rw-r--r-- 1 a b 7 Feb 28  2001 \r\n", 0},
    };
    for (const auto& c : cases) {
        size_t unreadable = 99;
        EXPECT_EQ(Parse(c.listing + nextLine, &unreadable), std::vector<Row>{next}) << c.what;
        EXPECT_EQ(unreadable, c.unreadable) << c.what;
    }
    size_t unreadable = 99;
    EXPECT_EQ(Parse(nextLine + "-rw-r--r-- 1 a b 1 Jan", &unreadable), std::vector<Row>{next}) << "input ends in a line";
    EXPECT_EQ(unreadable, 1u);
}

TEST(Listing, NamesWithControlCharactersGiveNoRow)
{
    // Such a name, sent back in DELE or CWD, would end the command line early.
    for (char bad : {'\t', '\x01', '\x1f', '\0'}) {
        const std::string listing = std::string("-rw-r--r-- 1 a b 1 Jan  1 00:00 evil") + bad +
                                    "DELE x\r\n-rw-r--r-- 1 a b 1 Jan  1 00:00 fine\r\n";
        const std::vector<Row> rows = Parse(listing);
        ASSERT_EQ(rows.size(), 1u) << int(bad);
        EXPECT_EQ(rows[0].name, "fine");
    }
    // A lone LF ends the line: the rest is a line of its own, never a command.
    EXPECT_EQ(Parse("-rw-r--r-- 1 a b 1 Jan  1 00:00 evil\nDELE x\r\n").size(), 1u);
    // Bytes of 128 and up are the code page's letters.
    EXPECT_EQ(Parse("-rw-r--r-- 1 a b 1 Jan  1 00:00 caf\xe9\r\n").at(0).name, "caf\xe9");
}

TEST(Listing, OversizedFieldsAreCutToFit)
{
    const std::string longName(300, 'n');
    const std::string longSize(40, '9');
    const auto records = ParseListingText("-rw-r--r-- 1 a b " + longSize + " Jan  1 00:00 " + longName +
                                          "\r\n-rw-r--r-- 1 a b 5 Jan  1 00:00 after\r\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(RecordName(records[0]), longName.substr(0, 255));
    EXPECT_EQ(RecordSize(records[0]), longSize.substr(0, 31));
    EXPECT_EQ(records[0].name[255], '\0');
    EXPECT_EQ(records[0].size[31], '\0');
    EXPECT_EQ(RecordName(records[1]), "after") << "the rest of the long line was read, not parsed";
    // Exactly 255 characters fit whole.
    EXPECT_EQ(RecordName(ParseListingText("-rw-r--r-- 1 a b 1 Jan  1 00:00 " + longName.substr(0, 255) + "\r\n").at(0)),
              longName.substr(0, 255));
}

TEST(ListingCache, RecordLayout)
{
    const ListingRecord r = MakeListingRecord("public html", "512", "Jan 12 10:31 ", true);
    const std::string bytes = EncodeListingRecord(r);
    ASSERT_EQ(bytes.size(), 352u);
    EXPECT_EQ(bytes.substr(0, 12), std::string("public html\0", 12));
    EXPECT_EQ(bytes.substr(256, 4), std::string("512\0", 4));
    EXPECT_EQ(bytes.substr(288, 14), std::string("Jan 12 10:31 \0", 14));
    EXPECT_EQ(bytes.substr(320, 6), std::string("<DIR>\0", 6));
    EXPECT_EQ(EncodeListingRecord(MakeListingRecord("f", "1", "d", false)).substr(320, 2), std::string(" \0", 2));
}

TEST(ListingCache, DecodesWholeRecordsOnly)
{
    const std::string one = EncodeListingRecord(MakeListingRecord("a", "1", "Jan  1 00:00 ", false));
    const std::string two = EncodeListingRecord(MakeListingRecord("b", "2", "Jan  2 00:00 ", true));
    EXPECT_TRUE(DecodeListingCache("").empty());
    EXPECT_TRUE(DecodeListingCache(one.substr(0, 351)).empty()) << "shorter than a record counts as empty";
    const auto records = DecodeListingCache(one + two + two.substr(0, 100));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(RecordName(records[0]), "a");
    EXPECT_FALSE(IsDirectoryRecord(records[0]));
    EXPECT_EQ(RecordName(records[1]), "b");
    EXPECT_EQ(RecordSize(records[1]), "2");
    EXPECT_TRUE(IsDirectoryRecord(records[1]));
}

TEST(ListingCache, FieldsWithoutTerminatorStopAtTheirEnd)
{
    // A cache file written by something else: every byte set.
    const auto records = DecodeListingCache(std::string(352, 'x'));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(RecordName(records[0]), std::string(256, 'x'));
    EXPECT_EQ(RecordSize(records[0]), std::string(32, 'x'));
    EXPECT_EQ(RecordType(records[0]), std::string(32, 'x'));
    EXPECT_FALSE(IsDirectoryRecord(records[0]));
}

}  // namespace
