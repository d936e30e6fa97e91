"""The remote browser "FTP Fetchora" of SndMgr end to end, under Wine against
a real FTP server (pyftpdlib) and, for protocol faults, the scripted server:
started the way the box launcher starts it ("SndMgr", a blank, the box name,
a carriage return), it connects, lists, moves through directories, makes,
deletes and renames, sorts, keeps its cache, reports failures and closes
safely, also from the manager's "&FTP Fetchora..." button."""
import glob
import os
import struct
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import boxes  # noqa: E402
import scripted_ftpd  # noqa: E402
import suite  # noqa: E402

PROGRAM = suite.win64_bin("SndMgr.exe")
# The manager's main dialog, whose "&FTP Fetchora..." button opens the
# browser modeless (again: destroying the earlier one).
OWNER_COMMAND, OWNER_TITLE, OWNER_BUTTON = '"%s" Site', "FTP Sendora Manager", 1012
BOX = "Site"
KEY = boxes.SETTINGS_KEY + "\\" + BOX
TITLE = "FTP Fetchora"
CAPTION = "FTP Sendora"

# Controls of the browser window and its name dialogs.
CONNECTION, COMBO, BACK, LIST = 2103, 2104, 2105, 2106
NEW_DIRECTORY, DELETE, RENAME, REFRESH = 2107, 2108, 2109, 2114
NAME_EDIT, OK = 2150, 1
X_TXT = "-rw-r--r-- 1 a b 3 Jan  1 00:00 x.txt\r\n"

t = suite.Tests()


def wait_for(what, predicate, timeout=20.0):
    """Polls until predicate() gives a true value and returns it; fails the case otherwise."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            break
        time.sleep(0.1)
    if not value:
        raise AssertionError("timed out waiting for " + what)
    return value


def cache_records(folder):
    """The cache file's records: (name, size, date, type), each field cut at its NUL."""
    with open(os.path.join(folder, BOX + ".lst"), "rb") as f:
        data = f.read()
    if len(data) % 352:
        raise AssertionError("cache of %d bytes is not whole records" % len(data))
    out = []
    for i in range(0, len(data), 352):
        fields = struct.unpack("256s32s32s32s", data[i:i + 352])
        out.append(tuple(f.split(b"\0", 1)[0].decode("latin-1") for f in fields))
    return out


class Browser:
    """One run of the program showing the browser of BOX."""

    def __init__(self, session, folder):
        self.d = session.driver
        self.folder = folder
        self.pid = self.d.start("SndMgr %s\r" % BOX, cwd=folder, app=PROGRAM)
        self.w = self.d.wait_window(TITLE, timeout=30, pid=self.pid)

    def rows(self):
        return self.d.lv_items(self.w, LIST)

    def names(self):
        return [r[0] for r in self.rows()]

    def wait_names(self, names, timeout=20.0):
        try:
            return wait_for("rows %r" % (names,), lambda: self.names() == names, timeout)
        except AssertionError:
            raise AssertionError("rows %r, expected %r" % (self.names(), names))

    def wait_current_directory(self, path):
        """The list worker writes "Current Directory" last, after the rows."""
        wait_for("Current Directory " + path,
                 lambda: (self.d.reg_get(KEY, "Current Directory") or suite.RegValue("", None)).data == path)

    def combo(self):
        items = self.d.list_items(self.w, COMBO)
        selected = self.d.list_selection(self.w, COMBO)
        return items, [items[i] for i in selected]

    def message(self, timeout=20.0):
        return self.d.message_box(pid=self.pid, timeout=timeout)

    def close(self):
        self.d.escape(self.w)
        return self.d.wait_pid(self.pid, timeout=20)


def set_box(d, port, directory="", **extra):
    d.reg_delete_key(KEY)
    d.reg_set_sz(KEY, "Host Name", "127.0.0.1")
    d.reg_set_dword(KEY, "Port", port)
    d.reg_set_sz(KEY, "User ID", "ann")
    d.reg_set_sz(KEY, "Password", boxes.encode_password("pw"))
    d.reg_set_sz(KEY, "Directory", directory)
    for name, value in extra.items():
        if isinstance(value, int):
            d.reg_set_dword(KEY, name, value)
        else:
            d.reg_set_sz(KEY, name, value)


def listed(path):
    """pyftpdlib's order: sorted by bytes, so capitals first; the list view's
    own sort ignores case, which tells the two apart."""
    return sorted(os.listdir(path))


def after(commands, first):
    """The commands from the last occurrence of `first` on."""
    for i in range(len(commands) - 1, -1, -1):
        if commands[i] == first:
            return commands[i:]
    return []


def main():
    if not os.path.exists(PROGRAM):
        print("no %s: build it first" % PROGRAM)
        return 1
    with suite.Session() as s:
        d = s.driver
        srv = s.ftp_server(user="ann", password="pw")
        for folder in ("sub", "a dir", "home"):
            os.makedirs(srv.path(folder))
        for name, text in (("b.txt", "bbb"), ("Zeta.bin", "z" * 10), ("mid file.txt", "m" * 10240)):
            with open(srv.path(name), "w") as f:
                f.write(text)
        with open(srv.path("sub", "inner.txt"), "w") as f:
            f.write("inner")
        with open(srv.path("home", "h.txt"), "w") as f:
            f.write("home")
        os.makedirs(srv.path("many"))
        for i in range(600):
            with open(srv.path("many", ("File%03d.txt" if i % 3 else "file%03d.bin") % (599 - i)), "w") as f:
                f.write("x" * i)
        server_order = listed(srv.home)
        folder = os.path.join(s.tmp, "suite")
        os.makedirs(folder)
        set_box(d, srv.port)

        b = None
        with t.case("opened with <box> and a carriage return it connects, lists and caches"):
            b = Browser(s, folder)
            b.wait_names(server_order)
            rows = {r[0]: r for r in b.rows()}
            t.eq(rows["sub"][1:3], ["<DIR>", ""], "a directory shows <DIR> and no size")
            t.eq(rows["mid file.txt"][1:3], [" ", "10240"], "a file shows its size")
            t.check(all(len(r[3]) == 13 and r[3].endswith(" ") for r in rows.values()), "13 date characters")
            t.eq(b.d.get_text(b.w, CONNECTION), "Site(127.0.0.1) - Connected")
            t.eq(b.combo(), (["/"], ["/"]))
            b.wait_current_directory("/")
            cache = cache_records(folder)
            t.eq([c[0] for c in cache], server_order, "cache in the server's order")
            t.check(all(c[2] == rows[c[0]][3] for c in cache), "cache dates are the rows' dates")
            t.eq({c[0]: c[3] for c in cache}["sub"], "<DIR>")
            t.eq({c[0]: c[1] for c in cache}["b.txt"], "3")
            t.eq(srv.commands()[:2], ["USER ann", "PASS pw"])
            t.eq([c.split()[0] for c in srv.commands()[2:]], ["TYPE", "PORT", "LIST", "PWD"])
            t.eq(glob.glob(os.path.join(folder, "list*.tmp")), [], "the raw listing deleted after the parse")

        with t.case("double-click, Back and the combo box move through directories"):
            srv.clear_log()
            d.lv_double_click(b.w, LIST, b.names().index("sub"))
            b.wait_names(["inner.txt"])
            t.eq(srv.commands()[0], "CWD sub", "no second connect while connected")
            t.eq(b.combo(), (["/", "/sub"], ["/sub"]))
            b.wait_current_directory("/sub")
            d.click(b.w, BACK)
            b.wait_names(server_order)
            t.check("CWD .." in srv.commands())
            t.eq(b.combo(), (["/", "/sub"], ["/"]))
            d.list_select(b.w, COMBO, 1)
            b.wait_names(["inner.txt"])
            t.check("CWD /sub" in srv.commands())
            d.list_select(b.w, COMBO, 0)
            b.wait_names(server_order)
            d.lv_double_click(b.w, LIST, b.names().index("a dir"))
            b.wait_names([])
            t.check("CWD a dir" in srv.commands(), "a name with a blank")
            d.click(b.w, BACK)
            b.wait_names(server_order)

        with t.case("New Directory refuses an empty name, then makes the directory"):
            srv.clear_log()
            d.click(b.w, NEW_DIRECTORY)
            nd = d.wait_window("New Directory", pid=b.pid)
            d.click(nd, OK)
            box = b.message()
            t.eq((box.caption, box.text, box.icon), (CAPTION, "Invalid directory name used!", "warning"))
            d.answer("ok", box=box)
            t.check(d.exists("New Directory", pid=b.pid), "the dialog stays open")
            d.set_text(nd, NAME_EDIT, "made dir")
            d.click(nd, OK)
            wait_for("made dir on the server", lambda: os.path.isdir(srv.path("made dir")))
            wait_for("made dir in the list", lambda: "made dir" in b.names())
            t.eq(after(srv.commands(), "MKD made dir")[:2], ["MKD made dir", "TYPE A"])

        with t.case("the Delete key removes a folder and a file together, then lists once"):
            d.lv_select(b.w, LIST, -1)
            d.click(b.w, DELETE)
            d.key(b.w, "delete", ctl=LIST)
            time.sleep(0.5)
            t.eq(d.find_message_box(pid=b.pid), None, "nothing selected: nothing asked")
            srv.clear_log()
            names = b.names()
            d.lv_select(b.w, LIST, names.index("made dir"))
            d.lv_select(b.w, LIST, names.index("b.txt"), add=True)
            d.key(b.w, "delete", ctl=LIST)
            box = b.message()
            t.eq((box.text, box.icon), ("Are you sure you want to delete the selected item(s)?", "question"))
            d.answer("yes", box=box)
            wait_for("both gone", lambda: not os.path.exists(srv.path("made dir"))
                     and not os.path.exists(srv.path("b.txt")))
            wait_for("rows without them", lambda: "b.txt" not in b.names() and "made dir" not in b.names())
            expected = sorted(["RMD made dir", "DELE b.txt"], key=lambda c: names.index(c.split(" ", 1)[1]))
            cmds = srv.commands()
            t.eq([c for c in cmds if c.startswith(("RMD", "DELE"))], expected, "in list order")
            t.eq(sum(c == "LIST" for c in cmds), 1, "one listing after both")

        with t.case("Rename renames on the server after the question"):
            srv.clear_log()
            d.lv_select(b.w, LIST, b.names().index("Zeta.bin"))
            d.click(b.w, RENAME)
            rn = d.wait_window("Rename", pid=b.pid)
            t.eq(d.get_text(rn, NAME_EDIT), "Zeta.bin")
            d.set_text(rn, NAME_EDIT, "Zeta renamed.bin")
            d.click(rn, OK)
            box = b.message()
            t.eq(box.text, "Are you sure you want to rename the selected file(s)?")
            d.answer("yes", box=box)
            wait_for("renamed on the server", lambda: os.path.exists(srv.path("Zeta renamed.bin")))
            wait_for("renamed in the list", lambda: "Zeta renamed.bin" in b.names())
            t.eq(srv.commands()[:2], ["RNFR Zeta.bin", "RNTO Zeta renamed.bin"])

        with t.case("three clicks on Name sort up, down and back to the server's order"):
            shown = b.names()
            d.lv_column_click(b.w, LIST, 1)
            t.eq(b.names(), shown, "other headers do nothing")
            t.eq(d.reg_get(KEY, "Sort Order"), None)
            for stored, order in ((16, sorted(shown, key=str.lower)),
                                  (32, sorted(shown, key=str.lower, reverse=True)), (0, shown)):
                d.lv_column_click(b.w, LIST, 0)
                b.wait_names(order)
                t.eq(d.reg_get(KEY, "Sort Order").data, stored)

        with t.case("a listing of 600 rows: every row, its size, the cache, and the three orders"):
            root = b.names()
            d.lv_double_click(b.w, LIST, root.index("many"))
            many = listed(srv.path("many"))
            b.wait_names(many)
            sizes = {name: str(os.path.getsize(srv.path("many", name))) for name in many}
            t.eq({r[0]: r[2] for r in b.rows()}, sizes)
            t.eq([c[0] for c in cache_records(folder)], many, "cache in the server's order")
            for order in (sorted(many, key=str.lower), sorted(many, key=str.lower, reverse=True), many):
                d.lv_column_click(b.w, LIST, 0)
                b.wait_names(order)
            d.click(b.w, BACK)
            b.wait_names(root)

        with t.case("a failed command shows its message and the next queued command still runs"):
            srv.clear_log()
            d.click(b.w, NEW_DIRECTORY)
            nd = d.wait_window("New Directory", pid=b.pid)
            d.set_text(nd, NAME_EDIT, "sub")  # exists: the server refuses MKD
            d.click(nd, OK)
            box = b.message()
            t.eq((box.caption, box.text, box.icon), (CAPTION, "Unable to make the directory", "warning"))
            time.sleep(1.0)
            t.eq(srv.commands(), ["MKD sub"], "the refresh waits while the message is open")
            d.answer("ok", box=box)
            wait_for("the queued listing", lambda: "LIST" in srv.commands())
            b.wait_names(listed(srv.home))

        if b:
            with t.case("closing ends the program"):
                t.eq(b.close(), 0)

        with t.case("reopening with a usable cache shows it and does not connect"):
            sessions = srv.sessions()
            d.reg_set_dword(KEY, "Sort Order", 16)
            b = Browser(s, folder)
            cached = [c[0] for c in cache_records(folder)]
            b.wait_names(sorted(cached, key=str.lower), timeout=5)
            t.eq(b.combo(), (["/"], ["/"]))
            t.eq(d.get_text(b.w, CONNECTION), "Site(127.0.0.1) - Not connected")
            time.sleep(2.0)
            t.eq(srv.sessions(), sessions, "no connection")
            srv.clear_log()
            d.click(b.w, REFRESH)
            wait_for("refresh", lambda: srv.commands()[-1:] == ["PWD"] and "LIST" in srv.commands())
            t.eq(srv.commands()[:3], ["USER ann", "PASS pw", "CWD /"], "the stored directory restored")
            b.wait_names(sorted(listed(srv.home), key=str.lower))
            wait_for("connected", lambda: d.get_text(b.w, CONNECTION) == "Site(127.0.0.1) - Connected")
            t.eq(b.close(), 0)

        with t.case("an empty cache connects and goes to the box's home directory"):
            open(os.path.join(folder, BOX + ".lst"), "wb").close()
            set_box(d, srv.port, directory="home", **{"Current Directory": "/sub"})
            srv.clear_log()
            b = Browser(s, folder)
            b.wait_names(["h.txt"])
            t.eq(srv.commands()[:4], ["USER ann", "PASS pw", "PWD", "CWD /home"])
            b.wait_current_directory("/home")
            t.eq(b.combo(), (["/home"], ["/home"]))
            t.eq(len(cache_records(folder)), 1)
            t.eq(b.close(), 0)

        scripted_cases(s, folder)
    return t.finish()


def scripted_cases(s, folder):
    d = s.driver
    with t.case("a PWD reply without quotes fails, and the listing still runs after the message"):
        os.remove(os.path.join(folder, BOX + ".lst"))
        script = (scripted_ftpd.login() + [{"expect": "PWD", "reply": "257 /home/ann is current\r\n"}] +
                  scripted_ftpd.listing(X_TXT) + [{"expect": "PWD", "reply": "257 no quotes here\r\n"}])
        with scripted_ftpd.ScriptedFtpServer(script) as server:
            set_box(d, server.port, directory="www")
            b = Browser(s, folder)
            box = b.message()
            t.eq((box.text, box.icon), ("Unable to get the present working directory", "warning"))
            d.answer("ok", box=box)
            box = b.message()
            t.eq(box.text, "Unable to get the present working directory")
            d.answer("ok", box=box)
            t.eq([c.split()[0] for c in server.commands], ["USER", "PASS", "PWD", "TYPE", "PORT", "LIST", "PWD"])
            t.eq(len(glob.glob(os.path.join(folder, "list-*.tmp"))), 1, "the window's raw listing left behind")
            t.eq(b.names(), [], "the list is left as it was")
            t.eq(d.reg_get(KEY, "Current Directory"), None, "Current Directory unchanged")
            t.eq(b.close(), 0)
            t.check(server.wait(10), "session over")
            t.eq(server.errors, [])

    with t.case("a User ID holding a line break is never sent: \"Unable to logon to FTP host\""):
        script = [{"reply": "220 Ready\r\n"}]
        with scripted_ftpd.ScriptedFtpServer(script) as server:
            set_box(d, server.port, **{"User ID": "ann\r\nDELE b.txt"})
            b = Browser(s, folder)
            box = b.message()
            t.eq((box.text, box.icon), ("Unable to logon to FTP host", "warning"))
            d.answer("ok", box=box)
            # The queued listing may fail in turn on the refused connection.
            late = suite.poll(lambda: d.find_message_box(pid=b.pid), 2.0)
            if late:
                d.answer("ok", box=late)
            t.eq(b.close(), 0)
            t.check(server.wait(10), "session over")
            t.eq([c for c in server.commands if c.startswith("USER") or "DELE" in c], [], "no USER line sent")

    with t.case("a LIST refused after 150 (425) or cut short after its data (426) fails, rows and cache kept"):
        cache = os.path.join(folder, BOX + ".lst")
        refused = scripted_ftpd.listing("")
        refused[-1] = {"expect": "LIST", "reply": ["150 Here\r\n", "425 Can't open data connection.\r\n"],
                       "pause": 0.3}
        cut = scripted_ftpd.listing(X_TXT + X_TXT.replace("x.txt", "y.txt"))
        cut[-1]["then"] = "426 Connection closed; transfer aborted.\r\n"
        script = (scripted_ftpd.login() + refused + cut + scripted_ftpd.listing(X_TXT) +
                  [{"expect": "PWD", "reply": "257 \"/\" is current\r\n"}])
        with scripted_ftpd.ScriptedFtpServer(script) as server:
            set_box(d, server.port)
            b = Browser(s, folder)
            for message in ("Unable to establish a data channel to the FTP host",
                            "Unable to receive data from the FTP host"):
                box = b.message()
                t.eq((box.text, box.icon), (message, "warning"))
                d.answer("ok", box=box)
                t.eq(b.names(), [])
                t.check(not os.path.exists(cache), "no cache written")
                d.click(b.w, REFRESH)
            b.wait_names(["x.txt"])
            t.eq(b.close(), 0)
            t.check(server.wait(10), "session over")
            t.eq([c.split()[0] for c in server.commands], ["USER", "PASS"] + ["TYPE", "PORT", "LIST"] * 3 + ["PWD"])
            t.eq(server.errors, [])
        if os.path.exists(cache):
            os.remove(cache)  # the cases below connect when the window opens

    with t.case("Escape while a command waits for the server ends it and the queued ones at once"):
        held = boxes.HeldReply("331 Password\r\n", limit=60)
        script = [{"reply": "220 Ready\r\n"}, {"expect": "USER ann", "reply": held}]
        with scripted_ftpd.ScriptedFtpServer(script) as server:
            set_box(d, server.port)
            b = Browser(s, folder)
            t.check(held.wait_reached(20), "USER sent")
            for _ in range(3):
                d.click(b.w, REFRESH)
            start = time.monotonic()
            t.eq(b.close(), 0)
            t.check(time.monotonic() - start < 3, "closed in %.1f s" % (time.monotonic() - start))
            held.release()
            t.check(server.wait(10), "connection closed")
            t.eq(server.commands, ["USER ann"], "no queued command ran")

    with t.case("the owner's button replaces a browser whose failure is showing; closing the owner ends all"):
        script = [{"reply": "220 Ready\r\n"}, {"expect": "USER ann", "reply": "530 Not you\r\n"}]
        with scripted_ftpd.ScriptedFtpServer(script, sessions=2) as server:
            set_box(d, server.port)
            pid = d.start(OWNER_COMMAND % suite.win_path(PROGRAM), cwd=folder)
            owner = d.wait_window(OWNER_TITLE, timeout=30, pid=pid)
            d.click(owner, OWNER_BUTTON)
            first = d.message_box(pid=pid, timeout=20)
            t.eq((first.caption, first.text), (CAPTION, "Unable to logon to FTP host:\n\n530 Not you"))
            d.click(owner, OWNER_BUTTON)
            wait_for("the second connection", lambda: len(server.commands) == 2)
            second = d.message_box(pid=pid, timeout=20)
            t.check(second.hwnd != first.hwnd, "the first message went with its window")
            t.eq(len(d.windows(TITLE, pid=pid)), 1)
            d.answer("ok", box=second)
            # The new window's queued listing runs on the refused connection and fails in turn.
            third = d.message_box(pid=pid, timeout=20)
            t.eq(third.text, "Unable to establish a data channel to the FTP host")
            d.answer("ok", box=third)
            start = time.monotonic()
            d.click(owner, 2)
            t.eq(d.wait_pid(pid, timeout=20), 0)
            t.check(time.monotonic() - start < 5, "ended in %.1f s" % (time.monotonic() - start))
            t.check(server.wait(10), "both sessions over")
            t.eq(server.sessions[0].commands, ["USER ann"], "the replaced window's queued commands never ran")
            t.eq([c.split()[0] for c in server.sessions[1].commands], ["USER", "TYPE", "PORT"])


if __name__ == "__main__":
    sys.exit(main())
