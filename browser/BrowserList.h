// The browser's file list: a report-style list view whose rows are listing
// records. Called on the window thread only (the list worker hands its rows
// over in one message).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "browser/ListOrder.h"
#include "browser/Listing.h"

enum ListColumn { ColumnName = 0, ColumnType = 1, ColumnSize = 2, ColumnDate = 3 };

const int ListColumnCount = 4;
// The designed widths, at 96 DPI.
std::vector<int> DesignedColumnWidths();
// The four columns at the given widths (96 DPI) scaled to the list's DPI.
void InsertListColumns(HWND list, const std::vector<int>& widths96);
// The present widths, brought back to 96 DPI.
std::vector<int> ListColumnWidths(HWND list);
// Scales every column by newDpi / oldDpi (the window moved to another monitor).
void RescaleListColumns(HWND list, int oldDpi, int newDpi);

// Inserts the record's row at `row` and moves `row` on: past the new row
// while the list is unsorted (the server's order is kept), nowhere while it
// is sorted (the control places each row by its name). A directory's size
// stays empty. A record whose name could not be sent back gives no row.
void InsertListingRow(HWND list, const ListingRecord& record, int& row);
// Replaces the rows with the records' rows, placed as above and painted
// once at the end: a repaint per row costs more than the row.
// By size or date the records are put in order first.
void ReplaceListingRows(HWND list, std::vector<ListingRecord> records, const ListSort& sort);
bool IsListSorted(HWND list);
// The list view sorts by name itself (its sort style); by size or date it
// keeps the order the rows come in. The sorted column's header shows an
// arrow for the order.
void SetListSort(HWND list, const ListSort& sort);

std::string ListText(HWND list, int row, int column);
// The row's name as the server listed it, for the commands about it; the
// Name column shows it in the program's text.
std::string ListServerName(HWND list, int row);
// When the list is destroyed.
void ForgetServerNames(HWND list);
// Selected rows in list order.
std::vector<int> SelectedRows(HWND list);
bool IsDirectoryRow(HWND list, int row);

// Rows from the cache file, whole records only. False when there is no file.
bool LoadCacheRows(HWND list, const std::string& path, const ListSort& sort);
// The cache file's size in bytes, -1 when there is none.
long long CacheFileSize(const std::string& path);
