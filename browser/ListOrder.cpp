#include "browser/ListOrder.h"

#include <algorithm>
#include <cctype>

#include "browser/BrowserRules.h"

namespace {

bool Sorts(int column)
{
    return column == SortByName || column == SortBySize || column == SortByDate;
}

int MonthOf(const std::string& text)
{
    static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    if (text.size() < 3)
        return 0;
    std::string name;
    for (size_t i = 0; i < 3; ++i)
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    for (int m = 0; m < 12; ++m)
        if (name == months[m])
            return m + 1;
    return 0;
}

bool IsDigitAt(const std::string& text, size_t pos)
{
    return pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]));
}

// Reads a run of at most maxDigits digits at pos (after blanks); -1 when
// there is none or the run is longer.
long long ReadNumber(const std::string& text, size_t& pos, size_t maxDigits)
{
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    long long value = -1;
    for (size_t n = 0; n < maxDigits && IsDigitAt(text, pos); ++pos, ++n)
        value = (value < 0 ? 0 : value * 10) + (text[pos] - '0');
    return IsDigitAt(text, pos) ? -1 : value;
}

}  // namespace

ListSort NormalSort(int storedColumn, int storedOrder)
{
    ListSort sort;
    sort.column = Sorts(storedColumn) ? storedColumn : SortByName;
    sort.order = NormalSortOrder(storedOrder);
    return sort;
}

ListSort NextSort(ListSort current, int clickedColumn)
{
    if (!Sorts(clickedColumn))
        return current;
    if (clickedColumn != current.column || current.order == SortNone)
        return {clickedColumn, SortAscending};
    return {clickedColumn, NextSortOrder(current.order)};
}

bool OrdersRecords(const ListSort& sort)
{
    return sort.order != SortNone && sort.column != SortByName;
}

long long SizeKey(const std::string& size)
{
    size_t pos = 0;
    return ReadNumber(size, pos, 18);  // 18 digits cannot overflow
}

long long DateKey(const std::string& date, int thisYear, int thisMonth)
{
    const int month = MonthOf(date);
    if (month == 0)
        return -1;
    size_t pos = 3;
    const long long day = ReadNumber(date, pos, 2);
    if (day < 1)
        return -1;
    long long year, minutes = 0;
    const long long first = ReadNumber(date, pos, 4);
    if (first < 0)
        return -1;
    if (pos < date.size() && date[pos] == ':') {
        ++pos;
        const long long minute = ReadNumber(date, pos, 2);
        if (minute < 0)
            return -1;
        // ls shows the time for the last six months, the year otherwise.
        year = month > thisMonth ? thisYear - 1 : thisYear;
        minutes = first * 60 + minute;
    } else {
        year = first;
    }
    return ((year * 13 + month) * 32 + day) * 1440 + minutes;
}

void OrderRecords(std::vector<ListingRecord>& records, const ListSort& sort, int thisYear, int thisMonth)
{
    if (!OrdersRecords(sort))
        return;
    std::vector<std::pair<long long, size_t>> keys;
    keys.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const ListingRecord& r = records[i];
        const long long key = sort.column == SortBySize
                                  ? (IsDirectoryRecord(r) ? -2 : SizeKey(RecordSize(r)))
                                  : DateKey(RecordDate(r), thisYear, thisMonth);
        keys.push_back({key, i});
    }
    const bool descending = sort.order == SortDescending;
    std::stable_sort(keys.begin(), keys.end(), [descending](const auto& a, const auto& b) {
        return descending ? a.first > b.first : a.first < b.first;
    });
    std::vector<ListingRecord> ordered;
    ordered.reserve(records.size());
    for (const auto& key : keys)
        ordered.push_back(records[key.second]);
    records.swap(ordered);
}
