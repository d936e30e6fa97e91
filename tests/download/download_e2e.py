"""Downloads and "Copy to..." of SndMgr's "FTP Fetchora" window end to end,
under Wine against pyftpdlib, real box engines (copies of Sendora.exe in the
Boxes folder beside a copy of SndMgr.exe) and, for hostile listings and
downloads cut short, the scripted server (one listing captured from vsftpd)."""
import ftplib
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import boxes  # noqa: E402
import scripted_ftpd  # noqa: E402
import suite  # noqa: E402

BOX = "Site"
KEY = boxes.SETTINGS_KEY + "\\" + BOX
TITLE, CAPTION = "FTP Fetchora", "FTP Sendora"
STATUS, PROGRESS, LIST, DELETE, DOWNLOAD, COPY, REFRESH = 2101, 2102, 2106, 2108, 2112, 2113, 2114
REPLACE_TEXT, YES, NO, YES_TO_ALL = 2161, 6, 7, 2162
COPY_TITLE, COPY_BOXES, OK = "Copy files to...", 2170, 1

PWD = {"expect": "PWD", "reply": "257 \"/\" is current\r\n"}
ABORTED = "426 Connection closed; transfer aborted.\r\n"
PART = "x" * 1500  # of a file listed with 3000 bytes
LISTING_SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "browser", "listing_server.py")

TEXT = b"line one\r\nline two\r\n"
BINARY = bytes(range(256)) * 9 + b"\r\n\n\r"  # a stray line end would change in TYPE A

t = suite.Tests()


def wait_for(what, predicate, timeout=30.0):
    value = suite.poll(predicate, timeout, 0.1)
    if not value:
        raise AssertionError("timed out waiting for " + what)
    return value


def showing(d, pid):
    """The windows of the suite's caption the browser shows now, by handle."""
    return [w.hwnd for w in d.windows(CAPTION, pid=pid)]


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def screenshot(s, d, win, name):
    """A BMP of the window; as PNG into $SUITE_DOWNLOAD_SCREENSHOTS when set."""
    time.sleep(1.0)  # let Wine finish painting
    bmp = os.path.join(s.tmp, name + ".bmp")
    d.screenshot(bmp, win)
    target = os.environ.get("SUITE_DOWNLOAD_SCREENSHOTS")
    if target:
        subprocess.run(["convert", bmp, os.path.join(target, name + ".png")], check=True)


def types_before_retr(commands):
    """{name: the TYPE argument last sent before its RETR}."""
    out, current = {}, None
    for c in commands:
        if c.startswith("TYPE "):
            current = c[5:]
        elif c.startswith("RETR "):
            out[c[5:]] = current
    return out


class Browser:
    def __init__(self, d, program, folder):
        self.d = d
        self.pid = d.start("SndMgr %s\r" % BOX, cwd=folder, app=program)
        self.w = d.wait_window(TITLE, timeout=30, pid=self.pid)

    def names(self):
        return [r[0] for r in self.d.lv_items(self.w, LIST)]

    def select(self, *names):
        shown = self.names()
        self.d.lv_select(self.w, LIST, -1)
        for name in names:
            self.d.lv_select(self.w, LIST, shown.index(name), add=True)

    def prompt(self, timeout=20):
        return self.d.wait_window(CAPTION, timeout=timeout, pid=self.pid)

    def close(self):
        self.d.escape(self.w)
        return self.d.wait_pid(self.pid, timeout=20)


def retr(name, payload, then=None):
    """Script steps: TYPE, PORT and a RETR whose data connection sends the
    payload and closes; then the completion reply, or (None) the control
    connection closes too."""
    step = {"expect": "RETR " + name, "reply": "150 Here\r\n", "data": "send", "payload": payload}
    step.update({"then": then} if then else {"close": True})
    return [{"expect": "TYPE *", "reply": "200 Type set\r\n"}, {"expect": "PORT *", "reply": "200 Port ok\r\n"}, step]


def cut_message(name):
    return ("Unable to receive data from the FTP host\nThe download of \"%s\" did not complete: "
            "the partial file was removed." % name)


def unsafe_message(name):
    return ("The file name \"%s\" given by the server cannot be used for a local file.\n"
            "The file was not downloaded." % name)


def set_box(d, port, target):
    d.reg_delete_key(KEY)
    for name, value in (("Host Name", "127.0.0.1"), ("User ID", "ann"),
                        ("Password", boxes.encode_password("pw")), ("Directory", ""),
                        ("Target Directory", suite.win_path(target))):
        d.reg_set_sz(KEY, name, value)
    d.reg_set_dword(KEY, "Port", port)


def main():
    with suite.Session() as s:
        d = s.driver
        folder = os.path.join(s.tmp, "suite")
        target = os.path.join(s.tmp, "in")
        os.makedirs(folder)
        os.makedirs(target)
        # Its own copy, so that the Boxes folder beside it is this test's.
        program = os.path.join(folder, "SndMgr.exe")
        shutil.copyfile(suite.win64_bin("SndMgr.exe"), program)

        srv = s.ftp_server(user="ann", password="pw")
        files = {"readme.txt": TEXT, "INDEX.HTML": b"<p>x</p>\r\n", "archive.zip": BINARY, "noext": BINARY[:700],
                 "a.txt": b"alpha file", "b.txt": b"bravo file"}
        for i in (1, 2, 3):
            files["r%d.txt" % i] = b"server copy %d" % i
        for name, data in files.items():
            write(srv.path(name), data)
        write(srv.path("gone.txt"), b"removed behind the browser's back")
        os.makedirs(srv.path("folder"))
        set_box(d, srv.port, target)
        b = Browser(d, program, folder)
        wait_for("the listing", lambda: "readme.txt" in b.names())

        with t.case("text and binary files arrive byte for byte, typed by extension"):
            srv.clear_log()
            b.select("readme.txt", "archive.zip", "INDEX.HTML", "noext")
            d.click(b.w, DOWNLOAD)
            wait_for("four files", lambda: all(read(os.path.join(target, n)) == files[n]
                                                for n in ("readme.txt", "archive.zip", "INDEX.HTML", "noext")))
            wait_for("status", lambda: d.get_text(b.w, STATUS) == "Download completed")
            t.eq(types_before_retr(srv.commands()),
                 {"readme.txt": "A", "archive.zip": "I", "INDEX.HTML": "A", "noext": "I"})
            t.eq(d.progress(b.w, PROGRESS).pos, 0, "bar back at 0")

        local = [os.path.join(target, "r%d.txt" % i) for i in (1, 2, 3)]

        with t.case("Yes to all replaces three existing files after one question"):
            for i, path in enumerate(local, 1):
                write(path, b"old %d" % i)
            b.select("r1.txt", "r2.txt", "r3.txt")
            d.click(b.w, DOWNLOAD)
            p = b.prompt()
            t.eq(d.get_text(p, REPLACE_TEXT), suite.win_path(local[0]) + "\nAlready exists.")
            screenshot(s, d, p, "replace")
            d.click(p, YES_TO_ALL)
            wait_for("all three replaced",
                     lambda: [read(x) for x in local] == [b"server copy %d" % i for i in (1, 2, 3)])
            wait_for("status", lambda: d.get_text(b.w, STATUS) == "Download completed")
            t.check(not d.exists(CAPTION, pid=b.pid), "asked once")

        with t.case("No skips only that file and the next one is asked about again"):
            for i, path in enumerate(local, 1):
                write(path, b"old %d" % i)
            srv.clear_log()
            b.select("r1.txt", "r2.txt", "r3.txt")
            d.click(b.w, DOWNLOAD)  # Yes to all of the last action no longer holds
            for path, button in zip(local, (NO, YES, YES)):
                p = b.prompt()
                t.eq(d.get_text(p, REPLACE_TEXT), suite.win_path(path) + "\nAlready exists.")
                d.click(p, button)
                wait_for("the prompt gone", lambda p=p: p not in showing(d, b.pid))
            wait_for("two replaced", lambda: [read(x) for x in local[1:]] == [b"server copy 2", b"server copy 3"])
            t.eq(read(local[0]), b"old 1")
            t.eq([c for c in srv.commands() if c.startswith("RETR")], ["RETR r2.txt", "RETR r3.txt"])

        with t.case("a file and a folder: the file is fetched, the folder refused"):
            b.select("a.txt", "folder")
            d.click(b.w, DOWNLOAD)
            box = d.message_box(pid=b.pid, timeout=20)
            t.eq((box.caption, box.text, box.icon), (CAPTION, "Unable to download a directory", "warning"))
            d.answer("ok", box=box)
            wait_for("a.txt", lambda: read(os.path.join(target, "a.txt")) == files["a.txt"])
            t.check(not os.path.exists(os.path.join(target, "folder")), "nothing made for the folder")

        copy_cases(s, d, b, folder, target, files)
        missing_target_case(d, b, srv, target)
        t.eq(b.close(), 0)
        hostile_case(s, d, program, folder, target)
        cut_cases(s, d, program, folder)
        vsftpd_names_case(s, d, program, folder)
    return t.finish()


def scripted_browser(d, program, folder, target, port):
    """The browser on a scripted server; without a cache it logs in and lists at once."""
    cache = os.path.join(folder, BOX + ".lst")
    if os.path.exists(cache):
        os.remove(cache)
    set_box(d, port, target)
    return Browser(d, program, folder)


def copy_cases(s, d, b, folder, target, files):
    one = s.ftp_server(user="one", password="p1")
    two = s.ftp_server(user="two", password="p2")
    made = [boxes.make_box(d, folder, "One", port=one.port, user="one", password="p1"),
            boxes.make_box(d, folder, "Two", port=two.port, user="two", password="p2")]
    try:
        with t.case("Copy to One and Two: both files to One, then, after One reports, to Two"):
            for name in ("a.txt", "b.txt"):
                if os.path.exists(os.path.join(target, name)):
                    os.remove(os.path.join(target, name))
            b.select("a.txt", "b.txt")
            d.click(b.w, COPY)
            c = d.wait_window(COPY_TITLE, pid=b.pid)
            t.eq(d.list_items(c, COPY_BOXES), ["One", "Two"])
            d.list_select(c, COPY_BOXES, 0)
            d.list_select(c, COPY_BOXES, 1, add=True)
            screenshot(s, d, c, "copy_to")
            d.click(c, OK)
            wait_for("both engines done", lambda: "QUIT" in two.commands() and
                     "two.exe" not in {p.name.lower() for p in d.processes()}, timeout=90)
            for label, server in (("One", one), ("Two", two)):
                for name in ("a.txt", "b.txt"):
                    t.eq(read(server.path(name)), files[name], "%s on %s's server" % (name, label))
            # Judged by the servers, not by the process list: One's engine may
            # still be ending after its QUIT when Two's starts.
            t.eq((len(one.connect_times()), len(two.connect_times())), (1, 1), "one session each")
            t.check(one.arrival("QUIT") < two.connect_times()[0], "never both engines at once: Two's engine "
                    "connected only after One's had quit")
            t.eq([c.split()[0] for c in one.commands() if c.startswith("STOR")], ["STOR", "STOR"])
            t.eq(read(os.path.join(target, "a.txt")), files["a.txt"], "downloaded first")
    finally:
        for box in made:
            box.delete(d)


def missing_target_case(d, b, srv, target):
    """The failed download's completion reply must not answer the next command."""
    with t.case("after a download into a missing folder, a refused Delete shows its error and Refresh lists"):
        away = target + ".away"
        os.rename(target, away)
        try:
            srv.clear_log()
            b.select("a.txt")
            d.click(b.w, DOWNLOAD)
            box = b.prompt()
            m = d.message_box(pid=b.pid, hwnd=box)
            t.eq((m.text, m.icon), ("Unable to write the file on this computer", "warning"))
            d.answer("ok", box=box)
            wait_for("the message gone", lambda: box not in showing(d, b.pid))
        finally:
            os.rename(away, target)
        os.remove(srv.path("gone.txt"))  # the server now refuses DELE gone.txt
        b.select("gone.txt")
        d.click(b.w, DELETE)
        d.answer("yes", box=d.message_box(pid=b.pid, timeout=20))
        box = d.message_box(pid=b.pid, timeout=20)
        t.eq((box.text, box.icon), ("Unable to delete the file", "warning"))
        d.answer("ok", box=box)
        shown = sorted(os.listdir(srv.home))
        wait_for("the listing after the delete", lambda: sorted(b.names()) == shown)
        srv.clear_log()
        d.click(b.w, REFRESH)
        wait_for("the refresh", lambda: srv.commands()[-1:] == ["PWD"])
        t.eq([c.split()[0] for c in srv.commands()], ["TYPE", "PORT", "LIST", "PWD"])
        wait_for("the same rows", lambda: sorted(b.names()) == shown)
        t.eq(d.find_message_box(pid=b.pid), None, "no message")


def hostile_case(s, d, program, folder, target):
    with t.case("a listed name leading out of the target folder is refused and nothing is written"):
        listing = ("-rw-r--r-- 1 a b 5 Jan  1 00:00 ..\\evil.txt\r\n"
                   "-rw-r--r-- 1 a b 5 Jan  1 00:00 CON.txt\r\n")
        script = scripted_ftpd.login() + scripted_ftpd.listing(listing) + [PWD]
        with scripted_ftpd.ScriptedFtpServer(script) as server:
            b = scripted_browser(d, program, folder, target, server.port)
            wait_for("the listing", lambda: b.names() == ["..\\evil.txt", "CON.txt"])
            for name in ("..\\evil.txt", "CON.txt"):
                b.select(name)
                d.click(b.w, DOWNLOAD)
                box = d.message_box(pid=b.pid, timeout=20)
                t.eq((box.text, box.icon), (unsafe_message(name), "warning"))
                d.answer("ok", box=box)
            t.eq(b.close(), 0)
            t.check(server.wait(10), "session over")
            t.eq([c.split()[0] for c in server.commands], ["USER", "PASS", "TYPE", "PORT", "LIST", "PWD"],
                 "no TYPE, PORT or RETR for a refused name")
            t.check(not os.path.exists(os.path.join(s.tmp, "evil.txt")), "nothing beside the target folder")
            t.eq(sorted(os.listdir(target)), sorted(["readme.txt", "archive.zip", "INDEX.HTML", "noext",
                                                     "r1.txt", "r2.txt", "r3.txt", "a.txt", "b.txt"]))



def cut_cases(s, d, program, folder):
    target = os.path.join(s.tmp, "cut")
    os.makedirs(target)
    local = os.path.join(target, "cut.txt")
    one = s.ftp_server(user="one", password="p1")
    made = boxes.make_box(d, folder, "One", port=one.port, user="one", password="p1")
    listing = "-rw-r--r-- 1 a b 10 Jan  1 00:00 a.txt\r\n-rw-r--r-- 1 a b 3000 Jan  1 00:00 cut.txt\r\n"
    script = (scripted_ftpd.login() + scripted_ftpd.listing(listing) + [PWD] + retr("cut.txt", PART, ABORTED) +
              retr("a.txt", "alpha file", "226 Done\r\n") + retr("cut.txt", PART, ABORTED) + retr("cut.txt", PART))
    with scripted_ftpd.ScriptedFtpServer(script) as server:
        b = scripted_browser(d, program, folder, target, server.port)
        wait_for("the listing", lambda: b.names() == ["a.txt", "cut.txt"])

        with t.case("Escape at the replace prompt keeps the local file byte for byte"):
            write(local, b"my own copy\r\n")
            b.select("cut.txt")
            d.click(b.w, DOWNLOAD)
            p = b.prompt()
            d.escape(p)
            wait_for("the prompt gone", lambda: p not in showing(d, b.pid))
            wait_for("the browser idle", lambda: d.is_enabled(b.w, DOWNLOAD))
            t.eq(read(local), b"my own copy\r\n")

        with t.case("part of the file, then 426: no partial file, the one it was to replace as it was, and the user "
                    "is told"):
            d.click(b.w, DOWNLOAD)
            p = b.prompt()
            d.click(p, YES)
            wait_for("the prompt gone", lambda: p not in showing(d, b.pid))
            box = d.message_box(pid=b.pid, timeout=20)
            t.eq((box.text, box.icon), (cut_message("cut.txt"), "warning"))
            t.eq(read(local), b"my own copy\r\n")
            t.eq(sorted(os.listdir(os.path.dirname(local))), [os.path.basename(local)], "no partial file")
            d.answer("ok", box=box)
            wait_for("the status emptied", lambda: d.get_text(b.w, STATUS) == "")
            wait_for("the browser idle", lambda: d.is_enabled(b.w, DOWNLOAD))
            t.eq(d.progress(b.w, PROGRESS).pos, 0)

        with t.case("Copy to with a cut download: the box gets the file that arrived, never the cut one"):
            os.remove(local)
            b.select("a.txt", "cut.txt")
            d.click(b.w, COPY)
            c = d.wait_window(COPY_TITLE, pid=b.pid)
            d.list_select(c, COPY_BOXES, d.list_items(c, COPY_BOXES).index("One"))
            d.click(c, OK)
            box = d.message_box(pid=b.pid, timeout=20)
            t.eq(box.text, cut_message("cut.txt"))
            d.answer("ok", box=box)
            box = d.message_box(pid=b.pid, timeout=20)
            t.eq((box.text, box.icon),
                 ("These files did not arrive and are not copied to other boxes:\n\"cut.txt\"", "warning"))
            d.answer("ok", box=box)
            wait_for("One's engine done", lambda: "QUIT" in one.commands() and
                     "one.exe" not in {p.name.lower() for p in d.processes()}, timeout=90)
            t.eq([c for c in one.commands() if c.startswith("STOR")], ["STOR a.txt"])
            t.eq(read(one.path("a.txt")), b"alpha file")
            t.eq(os.listdir(target), ["a.txt"])
        made.delete(d)

        with t.case("the data connection closed early, then the control connection dropped: no file either"):
            b.select("cut.txt")
            d.click(b.w, DOWNLOAD)
            box = d.message_box(pid=b.pid, timeout=20)
            t.eq((box.text, box.icon), (cut_message("cut.txt"), "warning"))
            t.check(not os.path.exists(local), "the partial file removed")
            d.answer("ok", box=box)
            wait_for("the status emptied", lambda: d.get_text(b.w, STATUS) == "")
            wait_for("the browser idle", lambda: d.is_enabled(b.w, DOWNLOAD))

        t.eq(b.close(), 0)
        t.check(server.wait(10), "session over")
        t.eq(server.commands.count("RETR cut.txt"), 3, "none after Escape")
        t.eq(server.errors, [])


def vsftpd_listing(s, files):
    """LIST as vsftpd sends it (TYPE A) for a folder of these files and a link."""
    root = os.path.join(s.tmp, "vsftpd")
    os.makedirs(root)
    for name, data in files.items():
        write(os.path.join(root, name), data)
    os.symlink(next(iter(files)), os.path.join(root, "link"))
    port_file = os.path.join(s.tmp, "vsftpd.port")
    server = subprocess.Popen([sys.executable, LISTING_SERVER, "--kind", "vsftpd", "--root", root,
                               "--port-file", port_file], stdin=subprocess.PIPE)
    try:
        ftp = ftplib.FTP()
        ftp.connect("127.0.0.1", int(wait_for("vsftpd", lambda: read(port_file))), timeout=30)
        ftp.login("anonymous", "guest@example.invalid")
        ftp.set_pasv(False)
        ftp.voidcmd("TYPE A")
        raw = b""
        with ftp.transfercmd("LIST") as data:
            for chunk in iter(lambda: data.recv(4096), b""):
                raw += chunk
        ftp.voidresp()
        ftp.quit()
    finally:
        server.stdin.close()
        server.wait(timeout=30)
    return raw.decode("latin-1")


def vsftpd_names_case(s, d, program, folder):
    with t.case("names as vsftpd lists them: leading blanks kept, names Windows would change refused, no links"):
        target = os.path.join(s.tmp, "names")
        os.makedirs(target)
        lead = "two blanks lead this name\r\n"
        refused = ["trail.txt.", "blank.txt ", "CONIN$", "CONOUT$"]
        names = ["  lead.txt", " gone.txt"] + refused
        listing = vsftpd_listing(s, {name: lead.encode() for name in names})
        t.check(re.search(r"[0-9]   lead\.txt\r\n", listing), "the name right after the date's blank:\n" + listing)
        kept = "".join(line for line in listing.splitlines(True) if not line.endswith(" gone.txt\r\n"))
        script = (scripted_ftpd.login() + scripted_ftpd.listing(listing) + [PWD] +
                  retr("  lead.txt", lead, "226 Done\r\n") + [{"expect": "DELE  gone.txt", "reply": "250 Gone\r\n"}] +
                  scripted_ftpd.listing(kept) + [PWD])
        with scripted_ftpd.ScriptedFtpServer(script) as server:
            b = scripted_browser(d, program, folder, target, server.port)
            wait_for("the listing without the link", lambda: sorted(b.names()) == sorted(names))
            for name in refused:
                b.select(name)
                d.click(b.w, DOWNLOAD)
                box = d.message_box(pid=b.pid, timeout=20)
                t.eq((box.text, box.icon), (unsafe_message(name), "warning"))
                d.answer("ok", box=box)
            b.select("  lead.txt")
            d.click(b.w, DOWNLOAD)
            wait_for("the status", lambda: d.get_text(b.w, STATUS) == "Download completed")
            t.eq(os.listdir(target), ["  lead.txt"], "nothing else written")
            t.eq(read(os.path.join(target, "  lead.txt")), lead.encode())
            b.select(" gone.txt")
            d.click(b.w, DELETE)
            d.answer("yes", box=d.message_box(pid=b.pid, timeout=20))
            wait_for("the listing after the delete", lambda: " gone.txt" not in b.names() and len(b.names()) == 5)
            t.eq(b.close(), 0)
            t.check(server.wait(10), "session over")
            t.eq([c.split()[0] for c in server.commands], ["USER", "PASS", "TYPE", "PORT", "LIST", "PWD", "TYPE",
                                                           "PORT", "RETR", "DELE", "TYPE", "PORT", "LIST", "PWD"],
                 "no RETR for a refused name")
            t.eq([c for c in server.commands if c.startswith(("RETR", "DELE"))], ["RETR   lead.txt", "DELE  gone.txt"])
            t.eq(server.errors, [])


if __name__ == "__main__":
    sys.exit(main())
