// How the browser's rows are put in order by size and date, the header-click
// cycle over every column, and the stored column widths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/BrowserRules.h"
#include "browser/ListOrder.h"

namespace {

TEST(ListOrder, HeaderClicksCycleEachColumn)
{
    struct {
        ListSort from;
        int clicked;
        ListSort to;
    } cases[] = {
        {{SortByName, 0}, SortByName, {SortByName, 16}},   // the designed cycle
        {{SortByName, 16}, SortByName, {SortByName, 32}},
        {{SortByName, 32}, SortByName, {SortByName, 0}},
        {{SortByName, 32}, SortBySize, {SortBySize, 16}},  // another column starts ascending
        {{SortBySize, 16}, SortBySize, {SortBySize, 32}},
        {{SortBySize, 32}, SortBySize, {SortBySize, 0}},
        {{SortBySize, 0}, SortBySize, {SortBySize, 16}},
        {{SortBySize, 16}, SortByDate, {SortByDate, 16}},
        {{SortByDate, 16}, 1, {SortByDate, 16}},           // the type column does not sort
    };
    for (const auto& c : cases) {
        const ListSort next = NextSort(c.from, c.clicked);
        EXPECT_EQ(next.column, c.to.column) << c.from.column << "/" << c.from.order << " click " << c.clicked;
        EXPECT_EQ(next.order, c.to.order) << c.from.column << "/" << c.from.order << " click " << c.clicked;
    }
    // Hand-made values: an unknown column is the name, an unknown order none.
    EXPECT_EQ(NormalSort(7, 32).column, SortByName);
    EXPECT_EQ(NormalSort(SortByDate, 48).order, 0);
}

TEST(ListOrder, KeysReadSizesAndBothDateForms)
{
    EXPECT_EQ(SizeKey("10240"), 10240);
    EXPECT_EQ(SizeKey("123456789012345"), 123456789012345LL) << "beyond 32 bits";
    EXPECT_EQ(SizeKey(""), -1);
    EXPECT_EQ(SizeKey("x1"), -1);
    // Now is June 2026: a time means this year, unless the month is still to come.
    struct {
        const char* earlier;
        const char* later;
    } dates[] = {
        {"Dec  3  1998 ", "Jan  1  1999 "},
        {"Jan  2  2025 ", "Jul 30 10:00 "},  // July with a time is July 2025
        {"Jul 30 10:00 ", "Jan  5 09:00 "},  // January with a time is January 2026
        {"Jun  9 09:59 ", "Jun  9 10:00 "},
        {"jun  9 10:00 ", "Jun 10 00:00 "},
        {"Dec 31  2025 ", "Feb  1 00:00 "},
    };
    for (const auto& d : dates)
        EXPECT_LT(DateKey(d.earlier, 2026, 6), DateKey(d.later, 2026, 6)) << d.earlier << " < " << d.later;
    for (const char* bad : {"", "Foo  3  1998 ", "Dec     1998 ", "Dec  3       "})
        EXPECT_EQ(DateKey(bad, 2026, 6), -1) << bad;
}

TEST(ListOrder, RecordsOrderedStablyDirectoriesFirstBySize)
{
    const std::vector<ListingRecord> listed = {
        MakeListingRecord("big", "900", "Jan  1  2020 ", false),
        MakeListingRecord("dir", "4096", "Mar  1  2021 ", true),
        MakeListingRecord("small", "5", "Feb  1  2020 ", false),
        MakeListingRecord("same", "900", "Jan  1  2019 ", false),
    };
    auto names = [](const std::vector<ListingRecord>& records) {
        std::string out;
        for (const ListingRecord& r : records)
            out += RecordName(r) + " ";
        return out;
    };
    struct {
        ListSort sort;
        const char* expected;
    } cases[] = {
        {{SortBySize, 16}, "dir small big same "},
        {{SortBySize, 32}, "big same small dir "},
        {{SortByDate, 16}, "same big small dir "},
        {{SortByDate, 32}, "dir small big same "},
        {{SortByName, 16}, "big dir small same "},  // the list view sorts names itself
        {{SortBySize, 0}, "big dir small same "},
    };
    for (const auto& c : cases) {
        std::vector<ListingRecord> records = listed;
        OrderRecords(records, c.sort, 2026, 6);
        EXPECT_EQ(names(records), c.expected) << c.sort.column << "/" << c.sort.order;
    }
}

TEST(ColumnWidths, OnlyAWholeSetOfSensibleWidthsIsTaken)
{
    EXPECT_EQ(FormatColumnWidths({150, 44, 100, 100}), "150,44,100,100");
    EXPECT_EQ(ParseColumnWidths("150,44,100,100", 4), (std::vector<int>{150, 44, 100, 100}));
    for (const char* bad : {"", "150,44,100", "150,44,100,100,1", "150,,100,100", "150,0,100,100", "150,44,100,4001",
                            "150,-4,100,100", "150, 44,100,100", "99999999999,1,1,1"})
        EXPECT_TRUE(ParseColumnWidths(bad, 4).empty()) << bad;
}

}  // namespace
