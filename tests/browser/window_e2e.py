"""The browser window on today's screens, under Wine against pyftpdlib: it
grows with the list and comes back at the size the user left it, every
column sorts both ways with the order shown in its header, nothing is cut
at 96 to 192 DPI, and F1 and the Help buttons open each window's own topic
(the help window's address read from Wine's trace of it).
With SUITE_SHOTS_DIR set, the 96 and 144 DPI pictures are kept there."""
import os
import stat
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import boxes  # noqa: E402
import suite  # noqa: E402

SNDMGR = suite.win64_bin("SndMgr.exe")
IDHELP, MORE_OPTIONS = 9, 1009
BOX = "Wide"
KEY = boxes.SETTINGS_KEY + "\\" + BOX
WINDOW_KEY = "Software\\FTP Sendora\\Browser"
DESKTOP = "Control Panel\\Desktop"
TITLE = "FTP Fetchora"
LIST, HELP = 2106, 2115
LVM_GETCOUNTPERPAGE, LVM_SETCOLUMNWIDTH = 0x1028, 0x101E
DAY = 86400

t = suite.Tests()


def wait_for(what, predicate, timeout=20.0):
    value = suite.poll(predicate, timeout=timeout, interval=0.1)
    if not value:
        raise AssertionError("timed out waiting for " + what)
    return value


def make_entries(home):
    """59 entries of distinct sizes and dates, some within the last months
    (listed with a time), some older (listed with a year); mixed case names."""
    now = time.time()
    entries = {}
    for i in range(4):
        os.makedirs(os.path.join(home, "dir%02d" % i))
    for i in range(55):
        name = ("a%02d.txt" if i % 2 else "B%02d.txt") % ((i * 17) % 55)
        with open(os.path.join(home, name), "wb") as f:
            f.write(b"x" * ((i * 7919) % 9973 + i))
    for n, name in enumerate(sorted(os.listdir(home))):
        stamp = now - ((n * 37) % 59) * 8 * DAY - n * 3600 - 600
        os.utime(os.path.join(home, name), (stamp, stamp))
        entries[name] = os.stat(os.path.join(home, name))
    return entries


def expected(entries, column, descending):
    """The order a user expects: names ignoring case; directories before
    files by size; dates to the minute, as the listing shows them."""
    if column == 0:
        key = lambda n: n.lower()  # noqa: E731
    elif column == 2:
        key = lambda n: -1 if stat.S_ISDIR(entries[n].st_mode) else entries[n].st_size  # noqa: E731
    else:
        key = lambda n: int(entries[n].st_mtime // 60)  # noqa: E731
    return sorted(entries, key=key, reverse=descending)


class Browser:
    def __init__(self, d, folder):
        self.d = d
        self.pid = d.start("SndMgr %s\r" % BOX, cwd=folder, app=SNDMGR)
        self.w = d.wait_window(TITLE, timeout=30, pid=self.pid)

    def names(self):
        return [r[0] for r in self.d.lv_items(self.w, LIST)]

    def size(self):
        r = self.d.rect(self.w)
        return r.right - r.left, r.bottom - r.top

    def close(self):
        self.d.escape(self.w)
        return self.d.wait_pid(self.pid, timeout=20)


# Each window: its program and command tail, the manager's button that opens
# it, and the page of the help files that F1 and its Help button must show.
# Each opens in the middle of the one screen.
HELP_WINDOWS = [
    ("FTP Sendora Manager", "SndMgr.exe", BOX, None, ("sendora.chm", "box.htm")),
    ("More Options", "SndMgr.exe", BOX, MORE_OPTIONS, ("sendora.chm", "options.htm")),
    (TITLE, "SndMgr.exe", BOX + "\r", None, ("Fetchora.chm", "browsing.htm")),
    ("FTP Fetchora Manager", "FtchMgr.exe", "", None, ("sendora.chm", "launcher.htm")),
    ("FTP Fanora", "FTP_FN.exe", "C:\\windows\\win.ini", None, ("sendora.chm", "fanora.htm")),
]


def check_help(d, folder, title, program, tail, opener, topic):
    d.help_topics()
    pid = d.start('"%s" %s' % (suite.win_path(suite.win64_bin(program)), tail), cwd=folder)
    if program == "FtchMgr.exe":
        d.answer("no", box=d.message_box(pid=pid, timeout=30))  # no box beside the built programs
    win = d.wait_window("FTP Sendora Manager" if opener else title, pid=pid, timeout=30)
    if opener:
        d.click(win, opener)
        win = d.wait_window(title, pid=pid, timeout=30)
    r, (width, height) = d.rect(win), d.screenshot(os.path.join(folder, "screen.bmp"))
    t.check(abs(r.left + r.right - width) <= 2 and abs(r.top + r.bottom - height) <= 2, "centred: %r" % (r,))
    for how in ("F1", "Help"):
        if how == "F1":
            d.key(win, "f1", ctl=LIST if title == TITLE else None)
        else:
            d.click(win, HELP if title == TITLE else IDHELP)
        t.eq(wait_for("help from " + title, d.help_topics)[-1], topic, "%s in %s" % (how, title))
    t.eq(d.find_message_box(pid=pid), None, "no message about the help file")
    d.kill(pid, code=0)
    d.wait_pid(pid, timeout=20)


def main():
    if not os.path.exists(SNDMGR):
        print("no %s: build it first" % SNDMGR)
        return 1
    with suite.Session() as s:
        d = s.driver
        srv = s.ftp_server(user="ann", password="pw")
        entries = make_entries(srv.home)
        folder = os.path.join(s.tmp, "suite")
        os.makedirs(folder)
        box = boxes.Box(BOX, folder)
        box.delete(d)
        box.set(d, host="127.0.0.1", port=srv.port, user="ann", password="pw", directory="")
        d.reg_delete_key(WINDOW_KEY)
        server_order = sorted(entries)

        with t.case("at 900x700 the list shows twice the rows; the window comes back at that size"):
            b = Browser(d, folder)
            wait_for("the listing", lambda: sorted(b.names()) == server_order)
            designed = b.size()
            rows = d.send(b.w, LVM_GETCOUNTPERPAGE, 0, 0, ctl=LIST)
            help_at = d.rect(b.w, HELP)
            left, top = d.rect(b.w)[:2]
            d.place(b.w, left, top, 900, 700)
            t.eq(b.size(), (900, 700))
            t.check(d.send(b.w, LVM_GETCOUNTPERPAGE, 0, 0, ctl=LIST) >= 2 * rows, "rows: %d before" % rows)
            moved = d.rect(b.w, HELP)
            t.eq((moved.right - left, moved.bottom - top),
                 (help_at.right - left + 900 - designed[0], help_at.bottom - top + 700 - designed[1]),
                 "Help keeps to the bottom right corner")
            d.place(b.w, left, top, 100, 100)
            t.eq(b.size(), designed, "the designed size is the smallest")
            d.place(b.w, left, top, 900, 700)
            d.send(b.w, LVM_SETCOLUMNWIDTH, 0, 230, ctl=LIST)
            t.eq(b.close(), 0)
            stored = [d.reg_get(WINDOW_KEY, n).data for n in ("Width", "Height", "Maximized", "Column Widths")]
            t.eq(stored[:3] + stored[3].split(",")[:1], [900, 700, 0, "230"])
            t.eq(d.reg_exists(KEY, "Width"), False, "nothing of it in the box's key")
            b = Browser(d, folder)
            t.eq(b.size(), (900, 700))
            t.eq(d.lv_fit(b.w, LIST)[0][0], 230, "the Name column as it was left")
            t.eq(b.close(), 0)

        with t.case("every column sorts both ways, the header shows the order, the choice is kept"):
            b = Browser(d, folder)
            wait_for("the cached listing", lambda: len(b.names()) == len(entries))
            for column, clicks in ((0, 3), (2, 2), (3, 2)):
                for click in range(clicks):
                    d.lv_column_click(b.w, LIST, column)
                    order = ["up", "down", "none"][click]
                    want = server_order if order == "none" else expected(entries, column, order == "down")
                    t.eq(b.names(), want, "column %d %s" % (column, order))
                    arrows = [a for (_, _, a) in d.lv_fit(b.w, LIST)]
                    t.eq(arrows, [{"up": 1, "down": -1, "none": 0}[order] if c == column else 0 for c in range(4)],
                         "column %d %s" % (column, order))
            t.eq((d.reg_get(KEY, "Sort Column").data, d.reg_get(KEY, "Sort Order").data), (3, 32))
            t.eq(b.close(), 0)
            b = Browser(d, folder)
            wait_for("the cached listing", lambda: len(b.names()) == len(entries))
            t.eq(b.names(), expected(entries, 3, True), "by date, newest first, from the start")
            t.eq(b.close(), 0)

        d.setenv("WINEDEBUG", "trace+htmlhelp")
        for window in HELP_WINDOWS:
            with t.case("%s opens centred; F1 and Help open its topic" % window[0]):
                check_help(d, folder, *window)
        d.setenv("WINEDEBUG", "-all")

        d.reg_set_dword(KEY, "Sort Column", 2)
        d.reg_set_dword(KEY, "Sort Order", 16)
        d.reg_delete_key(WINDOW_KEY)
        try:
            for dpi in (96, 120, 144, 192):
                with t.case("at %d DPI no column is cut" % dpi):
                    d.reg_set_dword(DESKTOP, "LogPixels", dpi)
                    b = Browser(d, folder)
                    wait_for("the cached listing", lambda: len(b.names()) == len(entries))
                    fit = d.lv_fit(b.w, LIST)
                    t.check(all(width >= needed for (width, needed, _) in fit), "widths and needs %r" % fit)
                    if dpi in (96, 144) and os.environ.get("SUITE_SHOTS_DIR"):
                        bmp = os.path.join(s.tmp, "shot.bmp")
                        d.screenshot(bmp, b.w)
                        subprocess.run(["convert", bmp, os.path.join(os.environ["SUITE_SHOTS_DIR"],
                                                                     "browser-%ddpi.png" % dpi)], check=True)
                    t.eq(b.close(), 0)
        finally:
            d.reg_set_dword(DESKTOP, "LogPixels", 96)
    return t.finish()


if __name__ == "__main__":
    sys.exit(main())
