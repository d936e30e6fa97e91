"""What the browser keeps apart and keeps whole, under Wine: two windows of
two boxes started from one folder each show and act on their own server's
files; a cache that cannot be written keeps the old one and says so; a
session the server ended is logged in again by the next action."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import boxes  # noqa: E402
import scripted_ftpd  # noqa: E402
import suite  # noqa: E402

STATUS, LIST, DELETE, DOWNLOAD, REFRESH = 2101, 2106, 2108, 2112, 2114

t = suite.Tests()


def wait_for(what, predicate, timeout=30.0):
    if not suite.poll(predicate, timeout, 0.1):
        raise AssertionError("timed out waiting for " + what)


def read(path):
    with open(path, "rb") as f:
        return f.read()


with suite.Session() as s:
    d = s.driver
    folder, target, program = boxes.browser_folder(s.tmp)
    names = lambda w: sorted(r[0] for r in d.lv_items(w, LIST))  # noqa: E731
    servers, made = {}, []
    for box in ("One", "Two"):
        srv = servers[box] = s.ftp_server(user="ann", password="pw")
        for i in range(40):  # listings long enough to overlap
            with open(srv.path("%s%02d.txt" % (box.lower(), i)), "wb") as f:
                f.write(box.encode())
        made.append(boxes.make_box(d, folder, box, port=srv.port, user="ann", password="pw",
                                   target_directory=suite.win_path(target)))

    with t.case("two boxes' windows from one folder: each lists, caches and deletes on its own server"):
        windows = {box: boxes.open_browser(d, program, folder, box) for box in servers}
        for box, (pid, w) in windows.items():
            own = sorted("%s%02d.txt" % (box.lower(), i) for i in range(40))
            wait_for(box + "'s listing", lambda w=w, own=own: names(w) == own)
            d.lv_select(w, LIST, 0)
            d.click(w, DELETE)
            d.answer("yes", box=d.message_box(pid=pid, timeout=20))
        for box, srv in servers.items():
            wait_for(box + "'s DELE", lambda srv=srv: any(c.startswith("DELE") for c in srv.commands()))
            t.eq([c for c in srv.commands() if c.startswith("DELE")], ["DELE %s00.txt" % box.lower()])

    with t.case("a cache that cannot be written: the old one stays whole, and the user is told"):
        pid, w = windows["One"]
        cache = os.path.join(folder, "One.lst")
        before = read(cache)
        os.makedirs(cache + ".new")  # where the new cache would go: taken, as by a full disk
        with open(servers["One"].path("new.txt"), "wb") as f:
            f.write(b"new")
        d.click(w, REFRESH)
        shown = d.message_box(pid=pid, timeout=20)
        t.eq(shown.text, "The directory listing could not be saved on this computer (is the disk full?).\n"
                         "The listing saved before is kept.")
        d.answer("ok", box=shown)
        t.check("new.txt" in names(w), "the new listing is shown")
        t.eq(read(cache), before, "the old cache, byte for byte")
        os.rmdir(cache + ".new")
        for pid, w in windows.values():
            d.escape(w)
            t.eq(d.wait_pid(pid, timeout=20), 0)

    with t.case("after the server ended an idle session, Refresh and Download log in again and work"):
        ok = "200 Ok\r\n"
        # Both sessions go back to the directory listed last ("/", One's before).
        lists = [{"expect": "CWD /", "reply": "250 Ok\r\n"}, {"expect": "TYPE A", "reply": ok},
                 {"expect": "PORT *", "reply": ok},
                 {"expect": "LIST", "reply": "150 Here\r\n", "data": "send", "then": "226 Done\r\n",
                  "payload": "-rw-r--r-- 1 a b 5 Jan  1 00:00 x.txt\r\n"},
                 {"expect": "PWD", "reply": "257 \"/\" is current\r\n"}]
        first = scripted_ftpd.login() + lists + [{"sleep": 0.5, "reply": "421 Idle timeout\r\n", "close": True}]
        second = scripted_ftpd.login() + lists + lists[1:3] + [
            {"expect": "RETR x.txt", "reply": "150 Here\r\n", "data": "send", "payload": "hello", "then": "226 Done\r\n"}]
        with scripted_ftpd.ScriptedFtpServer(scripts=[first, second]) as srv:
            os.remove(os.path.join(folder, "One.lst"))
            made[0].set(d, port=srv.port)
            pid, w = boxes.open_browser(d, program, folder, "One")
            wait_for("the listing", lambda: names(w) == ["x.txt"])
            wait_for("the server's hang-up", lambda: srv.sessions[0].done.is_set())
            d.click(w, REFRESH)
            wait_for("the status", lambda: d.get_text(w, STATUS) == "Reconnected to One")
            t.check("LIST" in srv.sessions[1].commands, "listed in the new session")
            d.lv_select(w, LIST, 0)
            d.click(w, DOWNLOAD)
            local = os.path.join(target, "x.txt")
            wait_for("the download", lambda: os.path.exists(local) and read(local) == b"hello")
            t.eq(srv.errors, [])
            d.escape(w)
            t.eq(d.wait_pid(pid, timeout=20), 0)

    for box in made:
        box.delete(d)

sys.exit(t.finish())
