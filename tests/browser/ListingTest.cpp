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

std::vector<Row> Parse(const std::string& text)
{
    std::vector<Row> rows;
    for (const ListingRecord& r : ParseListingText(text))
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
        {"DOS-style lines are another format",
         "12-07-23  03:42PM       <DIR>          sub\r\n"
         "12-07-23  03:42PM                  12 a.txt\r\n",
         {}},
    };
    for (const ListingCase& c : cases)
        EXPECT_EQ(Parse(c.listing), c.rows) << c.what;
}

TEST(Listing, BrokenLinesEndCleanly)
{
    const Row next = {"next", "1", "Jan  1 00:00 ", " "};
    const std::string nextLine = "-rw-r--r-- 1 a b 1 Jan  1 00:00 next\r\n";
    const ListingCase cases[] = {
        {"line cut before the size", "-rw-r--r-- 1 a b\r\n" + nextLine, {next}},
        {"line cut after the size", "-rw-r--r-- 1 a b 12\r\n" + nextLine, {next}},
        {"line cut inside the date", "-rw-r--r-- 1 a b 12 Jan 1\r\n" + nextLine, {next}},
        {"only the type letter", "d\r\n" + nextLine, {next}},
        {"last line without CR LF", nextLine + "-rw-r--r-- 1 a b 1 Jan  1 00:00 last", {next}},
        {"input ends inside the date", nextLine + "-rw-r--r-- 1 a b 1 Jan", {next}},
        {"input ends after a CR",
         nextLine + "-rw-r--r-- 1 a b 1 Jan  1 00:00 x\r",
         {next, {"x", "1", "Jan  1 00:00 ", " "}}},
        {"skipped line without CR LF", nextLine + "total 3", {next}},
        {"LF-only lines never pass a line end into a name",
         "-rw-r--r-- 1 a b 1 Jan  1 00:00 one\n-rw-r--r-- 1 a b 1 Jan  1 00:00 two\n",
         {}},
        {"a stray CR in a name ends it; the next byte is taken as the LF",
         "-rw-r--r-- 1 a b 1 Jan  1 00:00 na\rme\r\n" + nextLine,
         {{"na", "1", "Jan  1 00:00 ", " "}, next}},
    };
    for (const ListingCase& c : cases)
        EXPECT_EQ(Parse(c.listing), c.rows) << c.what;
}

TEST(Listing, NamesWithControlCharactersGiveNoRow)
{
    // Such a name, sent back in DELE or CWD, would end the command line early.
    for (char bad : {'\n', '\t', '\x01', '\x1f', '\0'}) {
        const std::string listing = std::string("-rw-r--r-- 1 a b 1 Jan  1 00:00 evil") + bad +
                                    "DELE x\r\n-rw-r--r-- 1 a b 1 Jan  1 00:00 fine\r\n";
        const std::vector<Row> rows = Parse(listing);
        ASSERT_EQ(rows.size(), 1u) << int(bad);
        EXPECT_EQ(rows[0].name, "fine");
    }
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
