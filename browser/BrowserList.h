// The browser's file list: a report-style list view whose rows are listing
// records. Called on the window thread only (the list worker hands its rows
// over in one message).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "browser/Listing.h"

enum ListColumn { ColumnName = 0, ColumnType = 1, ColumnSize = 2, ColumnDate = 3 };

void InsertListColumns(HWND list);

// Inserts the record's row at `row` and moves `row` on: past the new row
// while the list is unsorted (the server's order is kept), nowhere while it
// is sorted (the control places each row by its name). A directory's size
// stays empty. A record whose name could not be sent back gives no row.
void InsertListingRow(HWND list, const ListingRecord& record, int& row);
// Replaces the rows with the records' rows, placed as above and painted
// once at the end: a repaint per row costs more than the row.
void ReplaceListingRows(HWND list, const std::vector<ListingRecord>& records);
bool IsListSorted(HWND list);
// Sets the list view's sort style for a stored sort order (0, 16 or 32).
void SetListSortOrder(HWND list, int sortOrder);

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
bool LoadCacheRows(HWND list, const std::string& path);
// The cache file's size in bytes, -1 when there is none.
long long CacheFileSize(const std::string& path);
