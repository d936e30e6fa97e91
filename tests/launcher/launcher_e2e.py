"""FtchMgr run for real under Wine: the sorted box list, the browser command a
double-click starts (the recorder stands in for SndMgr beside FtchMgr), the
re-listing on WM_BOXES_CHANGED, the question when there is no box, and the
Start Menu entry of "/i".

    launcher_e2e.py [--shots DIR]   also writes DIR/launcher.bmp of the window
"""

import os
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import suite  # noqa: E402

TITLE = "FTP Fetchora Manager"
BOXES = 1002
WM_COMMAND, LBN_DBLCLK = 0x0111, 2
WM_BOXES_CHANGED = 0x0400 + 600
MANAGER, MANAGER_DELETE = "FTP Sendora Manager", 1010
QUESTION = "No Sendora has been created.\r\nCreate one now?"
SHELL_FOLDERS = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
SHOTS = sys.argv[sys.argv.index("--shots") + 1] if "--shots" in sys.argv else None

t = suite.Tests()


class Suite:
    """FtchMgr.exe, the recorder as SndMgr.exe beside it, and a Boxes folder.
    The launcher runs from another folder, so a start that finds SndMgr
    proves the program search looked beside the launcher."""

    def __init__(self, s, name, boxes=()):
        self.top = os.path.join(s.tmp, name)
        self.folder = os.path.join(self.top, "suite")
        self.boxes = os.path.join(self.folder, "Boxes")
        self.cwd = os.path.join(self.top, "elsewhere")
        os.makedirs(self.boxes)
        os.makedirs(self.cwd)
        shutil.copy(suite.win64_bin("FtchMgr.exe"), self.folder)
        shutil.copy(suite.win64_bin("tools", "recorder.exe"), os.path.join(self.folder, "SndMgr.exe"))
        self.record = os.path.join(self.top, "record.txt")
        s.driver.setenv("SUITE_RECORD_FILE", suite.win_path(self.record))
        self.add(*boxes)

    def add(self, *names):
        # Only the file names matter to the listing.
        for name in names:
            open(os.path.join(self.boxes, name + ".exe"), "wb").close()

    def remove(self, *names):
        for name in names:
            os.remove(os.path.join(self.boxes, name + ".exe"))

    def start(self, d, tail="", cwd=None):
        line = '"%s"' % suite.win_path(os.path.join(self.folder, "FtchMgr.exe"))
        return d.start(line + (" " + tail if tail else ""), cwd=cwd or self.cwd)

    def open(self, d, tail=""):
        pid = self.start(d, tail)
        return pid, d.wait_window(TITLE, pid=pid, timeout=20, class_="#32770")

    def records(self, count, wait=10.0):
        """The stand-in's lines (exe, command line, tail, cwd); it escapes
        backslashes and control characters as Python does."""
        deadline = time.monotonic() + wait
        lines = []
        while time.monotonic() < deadline:
            if os.path.exists(self.record):
                with open(self.record, encoding="latin-1") as f:
                    lines = [[field.encode("latin-1").decode("unicode_escape") for field in line.rstrip("\n").split("\t")]
                             for line in f if line.strip()]
                if len(lines) >= count:
                    break
            time.sleep(0.2)
        return lines


def launcher_window(d, pid):
    """The launcher's own dialog (not a message box of the same caption)."""
    for w in d.windows(TITLE, pid=pid, hidden=True):
        if any(c.id == BOXES for c in d.children(w.hwnd)):
            return w
    return None


def double_click_nothing(d, win):
    """A double-click notification while no entry is selected."""
    d.list_select(win, BOXES, -1)
    list_hwnd = next(c.hwnd for c in d.children(win) if c.id == BOXES)
    d.send(win, WM_COMMAND, (LBN_DBLCLK << 16) | BOXES, int(list_hwnd))


def close(d, win, pid):
    d.escape(win)
    return d.wait_pid(pid, timeout=20)


def case_lists_sorted_and_opens_a_browser(s):
    d = s.driver
    # The directory fill gives "Web Shop" before "Web" (it compares the file
    # names, ".exe" and all); the list sorts the names themselves.
    sd = Suite(s, "list", ["Work Server", "Web", "My Box", "Web Shop", "PAGES"])
    os.rename(os.path.join(sd.boxes, "PAGES.exe"), os.path.join(sd.boxes, "PAGES.EXE"))
    os.makedirs(os.path.join(sd.boxes, "folder.exe"))
    pid, win = sd.open(d)
    with t.case("the boxes are listed by name in the list's sorted order, folders left out"):
        t.eq(d.list_items(win, BOXES), ["My Box", "PAGES", "Web", "Web Shop", "Work Server"])
        t.eq(d.find_message_box(pid=pid), None, "no question with boxes there")
    if SHOTS:
        d.list_select(win, BOXES, 0)
        d.screenshot(os.path.join(SHOTS, "launcher.bmp"), win)
    with t.case("a double-click starts SndMgr, the name and a carriage return, beside the launcher"):
        d.list_double_click(win, BOXES, 0)
        lines = sd.records(1)
        t.eq(len(lines), 1)
        if lines:
            exe, line, tail, cwd = lines[0]
            t.eq(line, "SndMgr My Box\r")
            t.eq(tail, "My Box\r")
            t.eq(exe.lower(), suite.win_path(os.path.join(sd.folder, "SndMgr.exe")).lower())
            t.eq(cwd.lower(), suite.win_path(sd.cwd).lower(), "the launcher's current directory, untouched by the listing")
    with t.case("the launcher stays open for further boxes"):
        d.list_double_click(win, BOXES, 4)
        t.eq([line for _, line, _, _ in sd.records(2)], ["SndMgr My Box\r", "SndMgr Work Server\r"])
    with t.case("a double-click with no entry selected starts nothing"):
        double_click_nothing(d, win)
        t.eq(len(sd.records(3, wait=2.0)), 2)
    with t.case("Escape ends the launcher"):
        t.eq(close(d, win, pid), 0)


def case_lists_again_on_boxes_changed(s):
    d = s.driver
    sd = Suite(s, "changed", ["Site", "zeta"])
    pid, win = sd.open(d)
    with t.case("a box saved meanwhile appears in its sorted place"):
        sd.add("Middle")
        d.post(win, WM_BOXES_CHANGED)
        t.eq(wait_items(d, win, 3), ["Middle", "Site", "zeta"])
    with t.case("a box deleted meanwhile disappears"):
        sd.remove("Site")
        d.post(win, WM_BOXES_CHANGED)
        t.eq(wait_items(d, win, 2), ["Middle", "zeta"])
    with t.case("deleting the last box empties the list and asks again; No starts nothing"):
        sd.remove("Middle", "zeta")
        d.post(win, WM_BOXES_CHANGED)
        box = d.message_box(title=TITLE, pid=pid, timeout=10)
        t.eq((box.text, box.icon, [b for _, b in box.buttons]), (QUESTION, "question", ["&Yes", "&No"]))
        t.eq(d.list_items(win, BOXES), [])
        d.answer("no", box=box)
        t.eq(sd.records(1, wait=2.0), [])
        t.eq(d.find_message_box(pid=pid), None, "the question is gone")
    with t.case("Yes starts SndMgr.exe for a first box"):
        d.post(win, WM_BOXES_CHANGED)
        box = d.message_box(title=TITLE, pid=pid, timeout=10)
        t.eq(box.text, QUESTION)
        d.answer("yes", box=box)
        t.eq([line for _, line, _, _ in sd.records(1)], ["SndMgr.exe"])
        t.check(d.is_visible(win), "the launcher stays")
    close(d, win, pid)


def case_follows_the_manager_saving_and_deleting(s):
    """The real SndMgr saves and deletes boxes; the launcher learns of each
    change from its message alone."""
    d = s.driver
    if not os.path.exists(suite.win64_bin("SndMgr.exe")):
        print("skipped: no SndMgr.exe in the win64 tree")
        return
    sd = Suite(s, "manager", ["Old"])
    shutil.copy(suite.win64_bin("SndMgr.exe"), sd.folder)
    shutil.copy(suite.win64_bin("Sendora.exe"), sd.folder)
    shell = {n: os.path.join(sd.top, n) for n in ("Desktop", "SendTo")}
    saved = {n: d.reg_get(SHELL_FOLDERS, n) for n in shell}
    manager = '"%s"' % suite.win_path(os.path.join(sd.folder, "SndMgr.exe"))

    def manage(tail, act, answers):
        pid = d.start(manager + tail, cwd=sd.folder)
        win = d.wait_window(MANAGER, pid=pid, timeout=20)
        act(win)
        texts = []
        for answer in answers:
            box = d.message_box(pid=pid, timeout=20)
            texts.append(box.text)
            d.answer(answer, box=box)
        d.wait_pid(pid, timeout=20)
        return texts

    def create(win):
        for ctl, text in ((1001, "ann"), (1002, "pw"), (1006, "New Box"), (1007, "127.0.0.1")):
            d.set_text(win, ctl, text)
        d.click(win, 1)

    try:
        for name, folder in shell.items():
            os.makedirs(folder)
            d.reg_set_sz(SHELL_FOLDERS, name, suite.win_path(folder))
        pid, win = sd.open(d)
        with t.case("a box saved in SndMgr appears in the launcher"):
            t.eq(manage("", create, ["ok"]), ["New Box has been created"])
            t.eq(wait_items(d, win, 2), ["New Box", "Old"])
        with t.case("a box deleted in SndMgr disappears from the launcher"):
            t.eq(manage(" New Box", lambda w: d.click(w, MANAGER_DELETE), ["yes", "ok"]),
                 ["Are you sure you want to delete New Box?", "New Box has been deleted"])
            t.eq(wait_items(d, win, 1), ["Old"])
        with t.case("deleting the last box in SndMgr makes the launcher ask"):
            manage(" Old", lambda w: d.click(w, MANAGER_DELETE), ["yes", "ok"])
            box = d.message_box(title=TITLE, pid=pid, timeout=10)
            t.eq(box.text, QUESTION)
            t.eq(d.list_items(win, BOXES), [])
        with t.case("a box saved in SndMgr while the question is open is listed once it closes"):
            # The message went to the question, which bears the launcher's title.
            t.eq(manage("", create, ["ok"]), ["New Box has been created"])
            d.answer("no", box=box)
            t.eq(wait_items(d, win, 1), ["New Box"])
            t.eq(d.find_message_box(pid=pid), None, "asked once")
        close(d, win, pid)
    finally:
        for name in ("New Box", "Old"):
            d.reg_delete_key("Software\\FTP Sendora\\FTP Sendora\\" + name)
        for name, value in saved.items():
            if value is None:
                d.reg_delete_value(SHELL_FOLDERS, name)
            else:
                d.reg_set_sz(SHELL_FOLDERS, name, value.data)


def wait_items(d, win, count, timeout=10.0):
    """The list once it holds count entries (the message is posted)."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            items = d.list_items(win, BOXES)
        except suite.DriverError as e:
            if e.kind != "notfound":
                raise
            items = None  # read while the launcher was filling it again
        if (items is not None and len(items) == count) or time.monotonic() >= deadline:
            return items
        time.sleep(0.1)


def case_no_boxes_asks_before_the_window(s):
    d = s.driver
    for name, make_folder in (("empty", True), ("missing", False)):
        with t.case("with the Boxes folder %s the question comes before the window" % name):
            sd = Suite(s, name)
            if not make_folder:
                os.rmdir(sd.boxes)
            pid = sd.start(d)
            box = d.message_box(title=TITLE, pid=pid, timeout=20)
            t.eq(box.text, QUESTION)
            w = launcher_window(d, pid)
            t.check(w is not None and not w.visible, "the launcher window is not shown yet")
            d.answer("no", box=box)
            win = d.wait_window(TITLE, pid=pid, timeout=10, class_="#32770")
            t.eq(d.list_items(win, BOXES), [])
            t.eq(close(d, win, pid), 0)


def case_install_switch(s):
    d = s.driver
    sd = Suite(s, "install", ["Site"])
    start_menu = os.path.join(s.tmp, "Start Menu")
    os.makedirs(start_menu)
    saved = d.reg_get(SHELL_FOLDERS, "Start Menu")
    try:
        d.reg_set_sz(SHELL_FOLDERS, "Start Menu", suite.win_path(start_menu))
        for switch in ("/i", "/I"):
            with t.case("%r places FTP FETCHORA MANAGER.LNK and opens no window" % switch):
                pid = sd.start(d, switch, cwd=sd.folder)
                t.eq(d.wait_pid(pid, timeout=30), 0)
                t.eq(d.windows(pid=pid, hidden=True), [])
                t.eq(os.listdir(start_menu), ["FTP FETCHORA MANAGER.LNK"])
                with open(os.path.join(start_menu, "FTP FETCHORA MANAGER.LNK"), "rb") as f:
                    target = suite.win_path(os.path.join(sd.folder, "FtchMgr.exe"))
                    t.check(target.encode("latin-1") in f.read(), "the link aims at FtchMgr in the current folder")
                os.remove(os.path.join(start_menu, "FTP FETCHORA MANAGER.LNK"))
        with t.case("'/install' is no switch of the launcher: the window opens"):
            pid, win = sd.open(d, "/install")
            t.eq(d.list_items(win, BOXES), ["Site"])
            close(d, win, pid)
            t.eq(os.listdir(start_menu), [])
        with t.case("with no Start Menu known, Save failed! bears the program's file name"):
            d.reg_delete_value(SHELL_FOLDERS, "Start Menu")
            pid = sd.start(d, "/i", cwd=sd.folder)
            box = d.message_box(pid=pid, timeout=20)
            t.eq((box.caption, box.text, box.icon), ("FtchMgr", "Save failed!", "warning"))
            d.answer("ok", box=box)
            t.eq(d.wait_pid(pid, timeout=20), 0)
    finally:
        if saved is None:
            d.reg_delete_value(SHELL_FOLDERS, "Start Menu")
        else:
            d.reg_set_sz(SHELL_FOLDERS, "Start Menu", saved.data)


def main():
    with suite.Session() as s:
        for name, fn in sorted(globals().items()):
            if name.startswith("case_"):
                print("--", name, flush=True)
                try:
                    fn(s)
                except Exception as e:  # one broken case must not hide the others
                    t.fail("%s: %s: %s" % (name, type(e).__name__, e))
                s.end_windows_programs()
    return t.finish()


if __name__ == "__main__":
    sys.exit(main())
