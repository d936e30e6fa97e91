"""What the browser keeps apart and keeps whole, under Wine: two windows of
two boxes started from one folder each show and act on their own server's
files; a cache that cannot be written keeps the old one and says so; a
session the server ended is logged in again by the next action."""

import os
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import boxes  # noqa: E402
import scripted_ftpd  # noqa: E402
import suite  # noqa: E402

TITLE = "FTP Fetchora"
STATUS, LIST, DELETE, DOWNLOAD, REFRESH = 2101, 2106, 2108, 2112, 2114
YES = 6

t = suite.Tests()


def wait_for(what, predicate, timeout=30.0):
    if not suite.poll(predicate, timeout, 0.1):
        raise AssertionError("timed out waiting for " + what)


class Browser:
    def __init__(self, d, program, folder, box):
        self.d = d
        self.pid = d.start("SndMgr %s\r" % box, cwd=folder, app=program)
        self.w = d.wait_window(TITLE, timeout=30, pid=self.pid)

    def names(self):
        return sorted(r[0] for r in self.d.lv_items(self.w, LIST))

    def close(self):
        self.d.escape(self.w)
        return self.d.wait_pid(self.pid, timeout=20)


def read(path):
    with open(path, "rb") as f:
        return f.read()


with suite.Session() as s:
    d = s.driver
    folder = os.path.join(s.tmp, "suite")
    target = os.path.join(s.tmp, "in")
    os.makedirs(folder)
    os.makedirs(target)
    program = os.path.join(folder, "SndMgr.exe")
    shutil.copyfile(suite.win64_bin("SndMgr.exe"), program)

    servers, made = {}, []
    for name in ("One", "Two"):
        srv = servers[name] = s.ftp_server(user="ann", password="pw")
        for i in range(40):  # listings long enough to overlap
            with open(srv.path("%s%02d.txt" % (name.lower(), i)), "wb") as f:
                f.write(name.encode())
        made.append(boxes.make_box(d, folder, name, port=srv.port, user="ann", password="pw",
                                   target_directory=suite.win_path(target)))

    with t.case("two boxes' windows from one folder: each lists, caches and deletes on its own server"):
        windows = {name: Browser(d, program, folder, name) for name in servers}
        for name, b in windows.items():
            own = sorted("%s%02d.txt" % (name.lower(), i) for i in range(40))
            wait_for(name + "'s listing", lambda b=b, own=own: b.names() == own)
        for name, b in windows.items():
            d.lv_select(b.w, LIST, 0)
            d.click(b.w, DELETE)
            d.answer("yes", box=d.message_box(pid=b.pid, timeout=20))
        for name, srv in servers.items():
            wait_for(name + "'s DELE", lambda srv=srv: any(c.startswith("DELE") for c in srv.commands()))
            t.eq([c for c in srv.commands() if c.startswith("DELE")], ["DELE %s00.txt" % name.lower()])

    with t.case("a cache that cannot be written: the old one stays whole, and the user is told"):
        b = windows["One"]
        cache = os.path.join(folder, "One.lst")
        before = read(cache)
        os.makedirs(cache + ".new")  # where the new cache would go: taken, as by a full disk
        with open(servers["One"].path("new.txt"), "wb") as f:
            f.write(b"new")
        d.click(b.w, REFRESH)
        shown = d.message_box(pid=b.pid, timeout=20)
        t.eq(shown.text, "The directory listing could not be saved on this computer (is the disk full?).\n"
                         "The listing saved before is kept.")
        d.answer("ok", box=shown)
        t.check("new.txt" in b.names(), "the new listing is shown")
        t.eq(read(cache), before, "the old cache, byte for byte")
        os.rmdir(cache + ".new")
        for w in windows.values():
            t.eq(w.close(), 0)

    with t.case("after the server ended an idle session, Refresh and Download log in again and work"):
        listing = "-rw-r--r-- 1 a b 5 Jan  1 00:00 x.txt\r\n"
        pwd = {"expect": "PWD", "reply": "257 \"/\" is current\r\n"}
        lists = [{"expect": "TYPE A", "reply": "200 Ok\r\n"}, {"expect": "PORT *", "reply": "200 Ok\r\n"},
                 {"expect": "LIST", "reply": "150 Here\r\n", "data": "send", "payload": listing,
                  "then": "226 Done\r\n"}, pwd]
        # Both sessions go back to the directory listed last ("/", One's before).
        cwd = [{"expect": "CWD /", "reply": "250 Ok\r\n"}]
        first = scripted_ftpd.login() + cwd + lists + [{"sleep": 0.5, "reply": "421 Idle timeout\r\n", "close": True}]
        second = (scripted_ftpd.login() + cwd + lists +
                  [{"expect": "TYPE A", "reply": "200 Ok\r\n"}, {"expect": "PORT *", "reply": "200 Ok\r\n"},
                   {"expect": "RETR x.txt", "reply": "150 Here\r\n", "data": "send", "payload": "hello",
                    "then": "226 Done\r\n"}])
        with scripted_ftpd.ScriptedFtpServer(scripts=[first, second]) as srv:
            os.remove(os.path.join(folder, "One.lst"))
            made[0].set(d, port=srv.port)
            b = Browser(d, program, folder, "One")
            wait_for("the listing", lambda: b.names() == ["x.txt"])
            wait_for("the server's hang-up", lambda: srv.sessions[0].done.is_set())
            d.click(b.w, REFRESH)
            wait_for("the new session's listing", lambda: "LIST" in srv.sessions[1].commands)
            wait_for("the status", lambda: d.get_text(b.w, STATUS) == "Reconnected to One")
            d.lv_select(b.w, LIST, 0)
            d.click(b.w, DOWNLOAD)
            wait_for("the download", lambda: os.path.exists(os.path.join(target, "x.txt")))
            wait_for("the file whole", lambda: read(os.path.join(target, "x.txt")) == b"hello")
            t.eq(srv.errors, [])
            t.eq(b.close(), 0)

    for box in made:
        box.delete(d)

sys.exit(t.finish())
