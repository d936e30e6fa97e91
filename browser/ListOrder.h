// The order of the browser's rows: by name as the list view sorts itself,
// or by size or date, which the list view cannot compare, by ordering the
// records before they become rows.
#pragma once

#include <string>
#include <vector>

#include "browser/Listing.h"

// The columns that sort ("Sort Column"); the list's other column does not.
const int SortByName = 0;
const int SortBySize = 2;
const int SortByDate = 3;

struct ListSort {
    int column = SortByName;
    int order = 0;  // "Sort Order": 0 none, 16 ascending, 32 descending
};

// Stored values as read; anything else counts as the name, or no order.
ListSort NormalSort(int storedColumn, int storedOrder);
// A click on a header: on the sorted column none -> ascending -> descending
// -> none (the name's designed cycle); another column starts ascending. A
// column that does not sort changes nothing.
ListSort NextSort(ListSort current, int clickedColumn);
// Size and date, not the name, need the records ordered before insertion.
bool OrdersRecords(const ListSort& sort);

// The size text as a number; -1 for a text that holds no digits first.
long long SizeKey(const std::string& size);
// The 13 date characters as a number that grows with the date: "Jan 12 10:31 "
// (this year, or last year when that month is still to come) or
// "Dec  3  1998 "; -1 for a text of another form.
long long DateKey(const std::string& date, int thisYear, int thisMonth);

// Orders the records by size (directories first) or date; rows of equal
// keys keep the server's order. Nothing happens for the name or no order.
void OrderRecords(std::vector<ListingRecord>& records, const ListSort& sort, int thisYear, int thisMonth);
