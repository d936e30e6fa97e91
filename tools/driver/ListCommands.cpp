// List boxes, combo boxes, list views and progress bars.
//
// List box and combo box messages are copied across processes by the system.
// List view and header messages are not, so their structures are built in
// the target's memory. Selections made by message raise no notification by
// themselves; the commands cause the one a user's click would.
#include "tools/driver/Driver.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>

namespace {

enum class ListKind { ListBox, ComboBox };

ListKind KindOf(HWND hwnd)
{
    std::string cls = WindowClass(hwnd);
    std::transform(cls.begin(), cls.end(), cls.begin(), [](unsigned char c) { return std::tolower(c); });
    if (cls.find("combobox") != std::string::npos)
        return ListKind::ComboBox;
    if (cls.find("listbox") != std::string::npos || cls == "combolbox")
        return ListKind::ListBox;
    throw CDriverError("usage", "not a list box or combo box: class " + WindowClass(hwnd));
}

bool MultiSelect(HWND hwnd)
{
    return (GetWindowLongPtrA(hwnd, GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
}

LRESULT ListCount(HWND hwnd, ListKind kind)
{
    LRESULT n = SendOrThrow(hwnd, kind == ListKind::ListBox ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
    if (n < 0)
        throw CDriverError("failed", "count failed");
    return n;
}

std::string ListItem(HWND hwnd, ListKind kind, LRESULT i)
{
    // Wine hands the ANSI forms of these across processes as UTF-16, so ask
    // in UTF-16 and convert here.
    bool lb = kind == ListKind::ListBox;
    LRESULT len = SendOrThrow(hwnd, lb ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, i, 0);
    if (len < 0)
        throw CDriverError("notfound", "no item " + std::to_string(i));
    std::vector<wchar_t> wide(static_cast<size_t>(len) + 16, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(hwnd, lb ? LB_GETTEXT : CB_GETLBTEXT, static_cast<WPARAM>(i),
                             reinterpret_cast<LPARAM>(wide.data()), SMTO_NORMAL, SendTimeoutMs, &got))
        throw CDriverError("timeout", "list did not answer");
    int n = static_cast<int>(std::min<DWORD_PTR>(got, wide.size()));
    if (static_cast<LRESULT>(got) == LB_ERR || n <= 0)
        return std::string();
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), n, &text[0], bytes, nullptr, nullptr);
    return text;
}

void NotifyParent(HWND ctl, WORD code, DWORD waitMs)
{
    WPARAM w = MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(ctl)), code);
    Deliver(GetParent(ctl), WM_COMMAND, w, reinterpret_cast<LPARAM>(ctl), waitMs);
}

DWORD WaitMs(const CArgs& args)
{
    return static_cast<DWORD>(args.OptionNumber("wait", 5000));
}

void CmdListCount(const CArgs& args, CReply& reply)
{
    HWND hwnd = FindTarget(args, 0);
    reply.Add(ListCount(hwnd, KindOf(hwnd)));
}

void CmdListItems(const CArgs& args, CReply& reply)
{
    HWND hwnd = FindTarget(args, 0);
    ListKind kind = KindOf(hwnd);
    LRESULT n = ListCount(hwnd, kind);
    reply.Add(n);
    for (LRESULT i = 0; i < n; ++i)
        reply.AddText(ListItem(hwnd, kind, i));
}

void CmdListSel(const CArgs& args, CReply& reply)
{
    HWND hwnd = FindTarget(args, 0);
    ListKind kind = KindOf(hwnd);
    std::vector<LRESULT> sel;
    if (kind == ListKind::ListBox && MultiSelect(hwnd)) {
        LRESULT n = ListCount(hwnd, kind);
        for (LRESULT i = 0; i < n; ++i)
            if (SendOrThrow(hwnd, LB_GETSEL, i, 0) > 0)
                sel.push_back(i);
    } else {
        LRESULT cur = SendOrThrow(hwnd, kind == ListKind::ListBox ? LB_GETCURSEL : CB_GETCURSEL, 0, 0);
        if (cur >= 0)
            sel.push_back(cur);
    }
    reply.Add(static_cast<int64_t>(sel.size()));
    for (LRESULT i : sel)
        reply.Add(i);
}

// Selects as a click on the item would; -1 clears the selection.
void SelectListItem(const CArgs& args, HWND hwnd, ListKind kind, int64_t index)
{
    if (index >= ListCount(hwnd, kind))
        throw CDriverError("notfound", "no item " + std::to_string(index));
    if (kind == ListKind::ComboBox) {
        SendOrThrow(hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        NotifyParent(hwnd, CBN_SELCHANGE, WaitMs(args));
        return;
    }
    if (MultiSelect(hwnd)) {
        if (!args.Flag("add"))
            SendOrThrow(hwnd, LB_SETSEL, FALSE, -1);
        if (index >= 0) {
            SendOrThrow(hwnd, LB_SETSEL, TRUE, static_cast<LPARAM>(index));
            SendOrThrow(hwnd, LB_SETCARETINDEX, static_cast<WPARAM>(index), FALSE);
        }
    } else {
        SendOrThrow(hwnd, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    if (GetWindowLongPtrA(hwnd, GWL_STYLE) & LBS_NOTIFY)
        NotifyParent(hwnd, LBN_SELCHANGE, WaitMs(args));
}

void CmdListSelect(const CArgs& args, CReply& reply)
{
    HWND hwnd = FindTarget(args, 0);
    SelectListItem(args, hwnd, KindOf(hwnd), args.Number(2));
    CmdListSel(args, reply);
}

void CmdListDblClick(const CArgs& args, CReply&)
{
    HWND hwnd = FindTarget(args, 0);
    ListKind kind = KindOf(hwnd);
    int64_t index = args.Number(2);
    if (index < 0)
        throw CDriverError("usage", "double-click needs an item");
    SelectListItem(args, hwnd, kind, index);
    if (kind == ListKind::ComboBox)
        NotifyParent(hwnd, CBN_DBLCLK, WaitMs(args));
    else if (GetWindowLongPtrA(hwnd, GWL_STYLE) & LBS_NOTIFY)
        NotifyParent(hwnd, LBN_DBLCLK, WaitMs(args));
    else
        throw CDriverError("failed", "list box without LBS_NOTIFY tells its parent of no double-click");
}

// --- list views ---

void RequireListView(HWND hwnd)
{
    if (WindowClass(hwnd) != WC_LISTVIEWA)
        throw CDriverError("usage", "not a list view: class " + WindowClass(hwnd));
}

int ColumnCount(HWND lv)
{
    HWND header = reinterpret_cast<HWND>(SendOrThrow(lv, LVM_GETHEADER, 0, 0));
    if (!header)
        return 1;
    LRESULT n = SendOrThrow(header, HDM_GETITEMCOUNT, 0, 0);
    return n > 0 ? static_cast<int>(n) : 1;
}

const int TextMax = 1024;

// One LVITEMA followed by its text buffer, in the list view's process.
class CRemoteItem {
public:
    explicit CRemoteItem(HWND lv) : Lv(lv), Mem(lv, sizeof(LVITEMA) + TextMax) {}

    std::string Text(int item, int subItem)
    {
        LVITEMA it = {};
        it.iSubItem = subItem;
        it.pszText = Mem.Address() + sizeof(LVITEMA);
        it.cchTextMax = TextMax;
        Mem.Write(0, &it, sizeof it);
        LRESULT len =
            SendOrThrow(Lv, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(Mem.Address()));
        std::string text(static_cast<size_t>(std::min<LRESULT>(std::max<LRESULT>(len, 0), TextMax)), '\0');
        if (!text.empty())
            Mem.Read(sizeof(LVITEMA), &text[0], text.size());
        return text;
    }

    std::string ColumnText(int col)
    {
        LVCOLUMNA c = {};
        c.mask = LVCF_TEXT;
        c.pszText = Mem.Address() + sizeof(LVITEMA);
        c.cchTextMax = TextMax;
        Mem.Write(0, &c, sizeof c);
        if (!SendOrThrow(Lv, LVM_GETCOLUMNA, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(Mem.Address())))
            throw CDriverError("notfound", "no column " + std::to_string(col));
        std::vector<char> buf(TextMax + 1, '\0');
        Mem.Read(sizeof(LVITEMA), buf.data(), TextMax);
        return buf.data();
    }

    void SetState(int item, UINT state, UINT mask)
    {
        LVITEMA it = {};
        it.stateMask = mask;
        it.state = state;
        Mem.Write(0, &it, sizeof it);
        SendOrThrow(Lv, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(Mem.Address()));
    }

    // LVM_GETITEMRECT and HDM_GETITEMRECT both fill a RECT at lParam.
    RECT Rect(HWND hwnd, UINT msg, WPARAM index, LONG left)
    {
        RECT r = {left, 0, 0, 0};
        Mem.Write(0, &r, sizeof r);
        if (!SendOrThrow(hwnd, msg, index, reinterpret_cast<LPARAM>(Mem.Address())))
            throw CDriverError("notfound", "no item " + std::to_string(index) + " to click");
        Mem.Read(0, &r, sizeof r);
        return r;
    }

private:
    HWND Lv;
    CRemoteMemory Mem;
};

LRESULT ItemCount(HWND lv)
{
    return SendOrThrow(lv, LVM_GETITEMCOUNT, 0, 0);
}

void CmdLvItems(const CArgs& args, CReply& reply)
{
    HWND lv = FindTarget(args, 0);
    RequireListView(lv);
    int cols = ColumnCount(lv);
    LRESULT rows = ItemCount(lv);
    int64_t only = args.OptionNumber("row", -1);
    CRemoteItem remote(lv);
    reply.Add(only >= 0 ? 1 : rows).Add(cols);
    for (LRESULT r = only >= 0 ? only : 0; r < (only >= 0 ? only + 1 : rows); ++r) {
        if (r >= rows)
            throw CDriverError("notfound", "no row " + std::to_string(r));
        for (int c = 0; c < cols; ++c)
            reply.AddText(remote.Text(static_cast<int>(r), c));
    }
}

void CmdLvCount(const CArgs& args, CReply& reply)
{
    HWND lv = FindTarget(args, 0);
    RequireListView(lv);
    reply.Add(ItemCount(lv));
}

void CmdLvColumns(const CArgs& args, CReply& reply)
{
    HWND lv = FindTarget(args, 0);
    RequireListView(lv);
    int cols = ColumnCount(lv);
    CRemoteItem remote(lv);
    reply.Add(cols);
    for (int c = 0; c < cols; ++c)
        reply.AddText(remote.ColumnText(c));
}

// Per column: its width, the width its widest text (header or cell) needs as
// the list view draws it, and the header's sort arrow (1 up, -1 down, 0 none).
void CmdLvFit(const CArgs& args, CReply& reply)
{
    HWND lv = FindTarget(args, 0);
    RequireListView(lv);
    HWND header = reinterpret_cast<HWND>(SendOrThrow(lv, LVM_GETHEADER, 0, 0));
    const int cols = ColumnCount(lv);
    const LRESULT rows = ItemCount(lv);
    CRemoteItem remote(lv);
    CRemoteMemory text(lv, TextMax + 1);
    CRemoteMemory item(lv, sizeof(HDITEMA));
    auto textWidth = [&](const std::string& s) {
        text.Write(0, s.c_str(), std::min<size_t>(s.size() + 1, TextMax));
        return SendOrThrow(lv, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(text.Address()));
    };
    reply.Add(cols);
    for (int c = 0; c < cols; ++c) {
        // The list view leaves a margin of about 6 pixels each side of a cell's text.
        LRESULT needed = textWidth(remote.ColumnText(c)) + 12;
        for (LRESULT r = 0; r < rows; ++r)
            needed = std::max<LRESULT>(needed, textWidth(remote.Text(static_cast<int>(r), c)) + 12);
        int arrow = 0;
        if (header) {
            HDITEMA h = {};
            h.mask = HDI_FORMAT;
            item.Write(0, &h, sizeof h);
            SendOrThrow(header, HDM_GETITEMA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(item.Address()));
            item.Read(0, &h, sizeof h);
            arrow = (h.fmt & HDF_SORTUP) ? 1 : (h.fmt & HDF_SORTDOWN) ? -1 : 0;
        }
        reply.Add(SendOrThrow(lv, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0)).Add(needed).Add(arrow);
    }
}

// The text of a tree view's selected item ("" when none is selected).
void CmdTvSel(const CArgs& args, CReply& reply)
{
    HWND tv = FindTarget(args, 0);
    if (WindowClass(tv) != WC_TREEVIEWA)
        throw CDriverError("usage", "not a tree view: class " + WindowClass(tv));
    const LRESULT selected = SendOrThrow(tv, TVM_GETNEXTITEM, TVGN_CARET, 0);
    if (!selected) {
        reply.AddText("");
        return;
    }
    CRemoteMemory mem(tv, sizeof(TVITEMA) + TextMax);
    TVITEMA item = {};
    item.mask = TVIF_TEXT;
    item.hItem = reinterpret_cast<HTREEITEM>(selected);
    item.pszText = mem.Address() + sizeof(TVITEMA);
    item.cchTextMax = TextMax;
    mem.Write(0, &item, sizeof item);
    SendOrThrow(tv, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(mem.Address()));
    std::vector<char> text(TextMax + 1, '\0');
    mem.Read(sizeof(TVITEMA), text.data(), TextMax);
    reply.AddText(text.data());
}

void CmdLvSel(const CArgs& args, CReply& reply)
{
    HWND lv = FindTarget(args, 0);
    RequireListView(lv);
    std::vector<LRESULT> sel;
    for (LRESULT i = -1; (i = SendOrThrow(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED)) >= 0;)
        sel.push_back(i);
    reply.Add(static_cast<int64_t>(sel.size()));
    for (LRESULT i : sel)
        reply.Add(i);
}

// Selects and focuses one item, as a click does; the list view itself tells
// its parent (LVN_ITEMCHANGED). -1 clears the selection.
void SelectLvItem(const CArgs& args, HWND lv, CRemoteItem& remote, int64_t index)
{
    if (index >= ItemCount(lv))
        throw CDriverError("notfound", "no item " + std::to_string(index));
    if (!args.Flag("add"))
        remote.SetState(-1, 0, LVIS_SELECTED);
    if (index >= 0) {
        remote.SetState(static_cast<int>(index), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        SendOrThrow(lv, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
    }
    SyncWith(lv, WaitMs(args));
}

void CmdLvSelect(const CArgs& args, CReply& reply)
{
    HWND lv = FindTarget(args, 0);
    RequireListView(lv);
    {
        CRemoteItem remote(lv);
        SelectLvItem(args, lv, remote, args.Number(2));
    }
    CmdLvSel(args, reply);
}

LPARAM Center(const RECT& r)
{
    return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void CmdLvDblClick(const CArgs& args, CReply& reply)
{
    HWND lv = FindTarget(args, 0);
    RequireListView(lv);
    int64_t index = args.Number(2);
    if (index < 0)
        throw CDriverError("usage", "double-click needs an item");
    CRemoteItem remote(lv);
    SelectLvItem(args, lv, remote, index);
    RECT r = remote.Rect(lv, LVM_GETITEMRECT, static_cast<WPARAM>(index), LVIR_LABEL);
    // Wine does not carry WM_NOTIFY across processes, so the parent cannot be
    // told directly; the list view's own double-click handling sends NM_DBLCLK
    // and LVN_ITEMACTIVATE, with every field a real click fills in.
    reply.Add(Deliver(lv, WM_LBUTTONDBLCLK, MK_LBUTTON, Center(r), WaitMs(args)) ? 1 : 0);
    SendNotifyMessageA(lv, WM_LBUTTONUP, 0, Center(r));
}

void CmdLvColClick(const CArgs& args, CReply& reply)
{
    HWND lv = FindTarget(args, 0);
    RequireListView(lv);
    int col = static_cast<int>(args.Number(2));
    if (col < 0 || col >= ColumnCount(lv))
        throw CDriverError("notfound", "no column " + std::to_string(col));
    HWND header = reinterpret_cast<HWND>(SendOrThrow(lv, LVM_GETHEADER, 0, 0));
    if (!header)
        throw CDriverError("failed", "list view has no header");
    CRemoteItem remote(lv);
    LPARAM at = Center(remote.Rect(header, HDM_GETITEMRECT, static_cast<WPARAM>(col), 0));
    // Press and release on the header item; the header and the list view
    // turn that into LVN_COLUMNCLICK for the parent.
    SendNotifyMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    reply.Add(Deliver(header, WM_LBUTTONUP, 0, at, WaitMs(args)) ? 1 : 0);
}

void CmdProgress(const CArgs& args, CReply& reply)
{
    HWND bar = FindTarget(args, 0);
    if (WindowClass(bar) != PROGRESS_CLASSA)
        throw CDriverError("usage", "not a progress bar: class " + WindowClass(bar));
    reply.Add(SendOrThrow(bar, PBM_GETPOS, 0, 0));
    reply.Add(SendOrThrow(bar, PBM_GETRANGE, TRUE, 0)).Add(SendOrThrow(bar, PBM_GETRANGE, FALSE, 0));
}

}  // namespace

#define LIST_OPTIONS WINDOW_OPTIONS " wait"

extern const CCommand ListCommands[] = {
    {"listcount", WINDOW_OPTIONS, "<win> <ctl> -> n", CmdListCount},
    {"listitems", WINDOW_OPTIONS, "<win> <ctl> -> n {text}*", CmdListItems},
    {"listsel", WINDOW_OPTIONS, "<win> <ctl> -> n {index}*", CmdListSel},
    {"listselect", LIST_OPTIONS " add", "<win> <ctl> <index|-1> [-add] -> n {index}*", CmdListSelect},
    {"listdblclick", LIST_OPTIONS, "<win> <ctl> <index>", CmdListDblClick},
    {"lvitems", WINDOW_OPTIONS " row", "<win> <ctl> [-row=N] -> rows cols {text}*", CmdLvItems},
    {"lvcount", WINDOW_OPTIONS, "<win> <ctl> -> rows", CmdLvCount},
    {"lvcolumns", WINDOW_OPTIONS, "<win> <ctl> -> n {text}*", CmdLvColumns},
    {"lvsel", WINDOW_OPTIONS, "<win> <ctl> -> n {index}*", CmdLvSel},
    {"tvsel", WINDOW_OPTIONS, "<win> <ctl|@hwnd> -> text of the selected item", CmdTvSel},
    {"lvfit", WINDOW_OPTIONS, "<win> <ctl> -> n {width needed arrow}*", CmdLvFit},
    {"lvselect", LIST_OPTIONS " add", "<win> <ctl> <index|-1> [-add] -> n {index}*", CmdLvSelect},
    {"lvdblclick", LIST_OPTIONS, "<win> <ctl> <index> -> 1|0", CmdLvDblClick},
    {"lvcolclick", LIST_OPTIONS, "<win> <ctl> <column> -> 1|0", CmdLvColClick},
    {"progress", WINDOW_OPTIONS, "<win> <ctl> -> pos low high", CmdProgress},
    {nullptr, nullptr, nullptr, nullptr},
};
