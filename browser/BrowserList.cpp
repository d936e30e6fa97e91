#include "browser/BrowserList.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>
#include <vector>

#include "browser/BrowserRules.h"
#include "win/CodePages.h"
#include "win/Dpi.h"
#include "win/Handles.h"

namespace {

// Each list's names as the server listed them, by the rows' lParam: the
// shown text may differ from the bytes every command must send back.
std::map<HWND, std::vector<std::string>>& ServerNames()
{
    static std::map<HWND, std::vector<std::string>> names;
    return names;
}

int TextWidth(HWND list, const std::string& text)
{
    return static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

// The type, size and date columns hold short texts of known forms: they are
// widened to show them whole whatever the font and DPI (the list view keeps
// about 6 pixels either side of a cell's text). The name is left to the user.
void FitShortColumns(HWND list, const std::vector<ListingRecord>& records)
{
    const int margin = 12;
    int type = TextWidth(list, DirectoryType), size = TextWidth(list, "Size(bytes)"), date = TextWidth(list, "Date");
    for (const ListingRecord& record : records) {
        size = std::max(size, TextWidth(list, RecordSize(record)));
        date = std::max(date, TextWidth(list, RecordDate(record)));
    }
    const int needed[] = {type, size, date};
    for (int column = ColumnType; column <= ColumnDate; ++column) {
        const int width = needed[column - ColumnType] + margin;
        if (SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0) < width)
            SendMessageA(list, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0));
    }
}

void SetCell(HWND list, int row, int column, const std::string& text)
{
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

std::vector<int> DesignedColumnWidths()
{
    return {150, 44, 100, 100};
}

void InsertListColumns(HWND list, const std::vector<int>& widths96)
{
    struct {
        const char* title;
        int format;
    } columns[ListColumnCount] = {
        {"Name", LVCFMT_LEFT},
        {" ", LVCFMT_LEFT},
        {"Size(bytes)", LVCFMT_RIGHT},
        {"Date", LVCFMT_LEFT},
    };
    const std::vector<int> designed = DesignedColumnWidths();
    const int dpi = WindowDpi(list);
    for (int i = 0; i < ListColumnCount; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = columns[i].format;
        const size_t n = static_cast<size_t>(i);
        column.cx = ScaleToDpi(n < widths96.size() ? widths96[n] : designed[n], dpi);
        column.pszText = const_cast<char*>(columns[i].title);
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
}

std::vector<int> ListColumnWidths(HWND list)
{
    const int dpi = WindowDpi(list);
    std::vector<int> widths;
    for (int i = 0; i < ListColumnCount; ++i)
        widths.push_back(ScaleFromDpi(static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0)), dpi));
    return widths;
}

void RescaleListColumns(HWND list, int oldDpi, int newDpi)
{
    for (int i = 0; i < ListColumnCount; ++i) {
        const int width = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0));
        SendMessageA(list, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(MulDiv(width, newDpi, oldDpi), 0));
    }
}

void InsertListingRow(HWND list, const ListingRecord& record, int& row)
{
    const std::string name = RecordName(record);
    if (!IsUsableName(name))
        return;
    std::vector<std::string>& names = ServerNames()[list];
    const std::string shown = ShownName(name);
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = const_cast<char*>(shown.c_str());
    item.lParam = static_cast<LPARAM>(names.size());
    names.push_back(name);
    const int index = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0)
        return;
    SetCell(list, index, ColumnType, RecordType(record));
    if (!IsDirectoryRecord(record))
        SetCell(list, index, ColumnSize, RecordSize(record));
    SetCell(list, index, ColumnDate, RecordDate(record));
    row = IsListSorted(list) ? index : index + 1;
}

void ReplaceListingRows(HWND list, std::vector<ListingRecord> records, const ListSort& sort)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    OrderRecords(records, sort, now.wYear, now.wMonth);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    ServerNames()[list].clear();
    SendMessageA(list, LVM_SETITEMCOUNT, records.size(), 0);
    int row = 0;
    for (const ListingRecord& record : records)
        InsertListingRow(list, record, row);
    FitShortColumns(list, records);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

bool IsListSorted(HWND list)
{
    return (GetWindowLongPtrA(list, GWL_STYLE) & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) != 0;
}

void SetListSort(HWND list, const ListSort& sort)
{
    LONG_PTR style = GetWindowLongPtrA(list, GWL_STYLE);
    style &= ~static_cast<LONG_PTR>(LVS_SORTASCENDING | LVS_SORTDESCENDING);
    if (sort.column == SortByName)
        style |= sort.order & (LVS_SORTASCENDING | LVS_SORTDESCENDING);
    SetWindowLongPtrA(list, GWL_STYLE, style);

    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    for (int i = 0; header && i < ListColumnCount; ++i) {
        HDITEMA item = {};
        item.mask = HDI_FORMAT;
        if (!SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item)))
            continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == sort.column && sort.order == SortAscending)
            item.fmt |= HDF_SORTUP;
        else if (i == sort.column && sort.order == SortDescending)
            item.fmt |= HDF_SORTDOWN;
        SendMessageA(header, HDM_SETITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
}

std::string ListText(HWND list, int row, int column)
{
    // The control says only how much it copied: a text that filled the
    // buffer may have been cut, so it is asked again with more room.
    for (size_t room = 256;; room *= 2) {
        std::vector<char> text(room, '\0');
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(room);
        const LRESULT got =
            SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        if (got < 0 || static_cast<size_t>(got) < room - 1 || room >= 65536)
            return std::string(item.pszText ? item.pszText : "");
    }
}

std::string ListServerName(HWND list, int row)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return std::string();
    const std::vector<std::string>& names = ServerNames()[list];
    const size_t index = static_cast<size_t>(item.lParam);
    return index < names.size() ? names[index] : ListText(list, row, ColumnName);
}

void ForgetServerNames(HWND list)
{
    ServerNames().erase(list);
}

std::vector<int> SelectedRows(HWND list)
{
    std::vector<int> rows;
    for (int row = -1;;) {
        row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
        if (row < 0)
            return rows;
        rows.push_back(row);
    }
}

bool IsDirectoryRow(HWND list, int row)
{
    return ListText(list, row, ColumnType) == DirectoryType;
}

bool LoadCacheRows(HWND list, const std::string& path, const ListSort& sort)
{
    const CStdFile in(path, "rb");
    if (!in)
        return false;
    std::vector<ListingRecord> records;
    ListingRecord record;
    while (std::fread(&record, sizeof record, 1, in.Get()) == 1)
        records.push_back(record);
    ReplaceListingRows(list, std::move(records), sort);
    return true;
}

long long CacheFileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}
