"""Names outside ASCII and IPv6 hosts, under Wine: files and a folder sent
through the command line arrive under their own UTF-8 names, FEAT and OPTS
only before the first such name; a server without UTF8 gets legacy bytes or
a refusal; a box named "Café Süd"; the browser on such names and on other
servers' listings; boxes on ::1 with EPRT and EPSV."""
import os
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "engine_e2e"), os.path.join(HERE, "..", "browser")]
from engine_run import EngineRun, ScriptedFtpServer, boxes, dialogue, failure_box, not_sent_text, suite  # noqa: E402
import browser_e2e as be  # noqa: E402
import scripted_ftpd  # noqa: E402
from vsftpd import Vsftpd  # noqa: E402

t = suite.Tests()
NAMES = ["caf\u00e9_\u00dcn\u00efcode_\u65e5\u672c.txt", "caf\u00e9.txt", "caf\u00e8.txt", "caf\u00eb.txt"]
INNER = os.path.join("Dossier \u00e9t\u00e9", "na\u00efve.txt")
BOX = "Caf\u00e9 S\u00fcd"
STATUS, MGR_USER, MGR_PASSWORD, MGR_ALIAS, MGR_HOST, BOX_LIST = 2101, 1001, 1002, 1006, 1007, 1002
SHELL_FOLDERS = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return path


def tree(root):
    out = {}
    for folder, _, files in os.walk(root):
        for name in files:
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                out[os.path.relpath(os.path.join(folder, name), root)] = f.read()
    return out


def serve(s, kind, root, host="127.0.0.1"):
    """(server, user, password); uploads go to root/in (vsftpd keeps no root of its own: "in" is relative)."""
    os.makedirs(os.path.join(root, "in"))
    os.chmod(os.path.join(root, "in"), 0o777)
    if kind == "pyftpdlib":
        return s.ftp_server(user="ann", password="pw", home=root, host=host), "ann", "pw"
    return Vsftpd(root, writable=True, host=host, options={"utf8_filesystem": "YES"}), "anonymous", "a@b.invalid"


def upload(d, s, port, paths, **settings):
    """A run that should send everything: a message box on the way fails the case."""
    box = boxes.make_box(d, s.tmp, "Names", port=port, directory="in", **settings)
    try:
        with EngineRun(d, box, boxes.path_list(paths)) as run:
            while run.alive():
                shown = d.find_message_box(pid=run.pid)
                if shown is not None:
                    t.fail("the run showed: " + shown.text)
                    d.answer("ok", box=shown)
                time.sleep(0.2)
            return run.exit_code()
    finally:
        box.delete(d)


def engine_cases(s, d, py):
    for kind in ("pyftpdlib", "vsftpd"):
        with t.case("%s: every file and the folder under its own name, each erased after its upload" % kind):
            src = os.path.join(s.tmp, "src", kind)
            made = [write(os.path.join(src, n), n) for n in NAMES]
            write(os.path.join(src, INNER), "inner")
            root = os.path.join(s.tmp, "utf8", kind)
            srv, user, password = py if kind == "pyftpdlib" else serve(s, kind, root)
            if kind == "pyftpdlib":
                srv.clear_log()
                root = srv.home
            t.eq(upload(d, s, srv.port, made + [os.path.dirname(os.path.join(src, INNER))], user=user,
                        password=password, erase=1), 0)
            t.eq(tree(os.path.join(root, "in")), dict([(n, n) for n in NAMES] + [(INNER, "inner")]))
            t.check(not any(os.path.exists(p) for p in made), "each file erased")
            cmds = srv.commands()
            # vsftpd logs each byte outside ASCII as "?".
            first = next(i for i, c in enumerate(cmds) if not c.isascii() or "?" in c)
            t.eq([c for c in cmds[:first] if c in ("FEAT", "OPTS UTF8 ON")], ["FEAT", "OPTS UTF8 ON"])
            t.eq(cmds.count("FEAT"), 1, "FEAT once")
            if kind == "vsftpd":
                srv.stop()

    with t.case("an all-ASCII run sends no FEAT"):
        py[0].clear_log()
        t.eq(upload(d, s, py[0].port, [write(os.path.join(s.tmp, "plain", "p.txt"), "p")], user="ann",
                    password="pw"), 0)
        t.eq([c.split(" ")[0] for c in py[0].commands()], ["USER", "PASS", "PORT", "TYPE", "PWD", "CWD", "STOR", "QUIT"])

    with t.case("a server without UTF8: legacy bytes, and a name with no place there refused by name"):
        ok, omega = (write(os.path.join(s.tmp, "legacy", n), "e\n") for n in ("caf\u00e9.txt", "\u03a9mega.txt"))
        srv = ScriptedFtpServer(dialogue([("FEAT", "211-Features:\r\n MDTM\r\n211 End\r\n"), "PORT", "TYPE A",
                                          "STOR caf\xe9.txt", "QUIT"])).start()
        box = boxes.make_box(d, s.tmp, "Legacy", port=srv.port, user="ann", password="pw")
        try:
            with EngineRun(d, box, boxes.path_list([ok, omega])) as run:
                failure_box(t, run, not_sent_text([omega]) + " - the server cannot take this name")
            srv.wait(10)
            t.eq((srv.errors, [x["data"] for x in srv.transfers]), ([], [b"e\n"]))
        finally:
            box.delete(d)
            srv.close()

    with t.case("a tree deeper than 259 characters is sent whole"):
        parts = ["level %02d \u00e9" % i + "x" * 30 for i in range(8)]
        inner = write(os.path.join(s.tmp, "deep", *parts, "bottom.txt"), "bottom")
        t.check(len(suite.win_path(inner)) > 300, "deep enough")
        t.eq(upload(d, s, py[0].port, [os.path.join(s.tmp, "deep")], user="ann", password="pw"), 0)
        t.eq(tree(os.path.join(py[0].home, "in", "deep")), {os.path.join(*parts, "bottom.txt"): "bottom"})


def box_name_case(s, d, py):
    folder = os.path.join(s.tmp, "suite")
    os.makedirs(folder)
    for program in ("SndMgr.exe", "Sendora.exe", "FtchMgr.exe", "FTP_FN.exe"):
        shutil.copy(suite.win64_bin(program), folder)
    # a to z upper-cased: the file system ignores case.
    links = [os.path.join(suite.linux_path(d.reg_get(SHELL_FOLDERS, f).data), "CAF\u00e9 S\u00fcD.LNK")
             for f in ("Desktop", "SendTo")]

    def start(program, tail=""):
        return d.start('"%s" %s' % (suite.win_path(os.path.join(folder, program)), tail), cwd=folder)

    with t.case("a box named \u201c%s\u201d: made, listed by the launcher and the sender, and sending" % BOX):
        try:
            pid = start("SndMgr.exe")
            w = d.wait_window("FTP Sendora Manager", pid=pid, timeout=30)
            for ctl, text in ((MGR_USER, "ann"), (MGR_PASSWORD, "pw"), (MGR_HOST, "127.0.0.1"), (MGR_ALIAS, BOX)):
                d.set_text(w, ctl, text)
            d.click(w, 1)
            made = d.message_box(pid=pid, timeout=20)
            t.eq(made.text, BOX + " has been created")
            d.answer("ok", box=made)
            t.eq(d.wait_pid(pid, timeout=20), 0)
            t.check(all(os.path.exists(p) for p in links + [os.path.join(folder, "Boxes", BOX + ".exe")]))
            d.reg_set_dword(boxes.SETTINGS_KEY + "\\" + BOX, "Port", py.port)
            pid = start("FtchMgr.exe")
            w = d.wait_window("FTP Fetchora Manager", pid=pid, timeout=20, class_="#32770")
            t.eq(d.list_items(w, BOX_LIST), [BOX], "the launcher")
            d.escape(w)
            py.clear_log()
            pid = start("FTP_FN.exe", boxes.path_list([write(os.path.join(s.tmp, "box", "b.txt"), "b")]))
            w = d.wait_window("FTP Fanora", pid=pid, timeout=20, class_="#32770")
            t.eq(d.list_items(w, BOX_LIST), [BOX], "the sender")
            d.list_select(w, BOX_LIST, 0)
            d.click(w, 1)
            py.wait_for(lambda cmds: "QUIT" in cmds, timeout=30)
            t.eq(open(py.path("b.txt")).read(), "b", "sent by the box")
        finally:
            d.reg_delete_key(boxes.SETTINGS_KEY + "\\" + BOX)
            for p in links:
                if os.path.exists(p):
                    os.remove(p)


def browser_cases(s, d):
    home, folder, target = (os.path.join(s.tmp, n) for n in ("brhome", "browser", "downloads"))
    name, renamed = "r\u00e9sum\u00e9 \u65e5.txt", "\u00fcber.txt"
    write(os.path.join(home, name), "cv")
    write(os.path.join(home, "plain.txt"), "p")
    os.makedirs(folder)
    os.makedirs(target)
    be.set_box(d, s.ftp_server(user="ann", password="pw", home=home).port,
               **{"Target Directory": suite.win_path(target)})
    with t.case("the browser lists, downloads, renames and deletes a non-ASCII entry"):
        b = be.Browser(s, folder)
        b.wait_names(["plain.txt", name])
        d.lv_double_click(b.w, be.LIST, b.names().index(name))
        be.wait_for("downloaded", lambda: tree(target) == {name: "cv"})
        d.lv_select(b.w, be.LIST, b.names().index(name))
        d.click(b.w, be.RENAME)
        rn = d.wait_window("Rename", pid=b.pid)
        t.eq(d.get_text(rn, be.NAME_EDIT), name)
        d.set_text(rn, be.NAME_EDIT, renamed)
        d.click(rn, be.OK)
        d.answer("yes", box=b.message())
        b.wait_names(["plain.txt", renamed])
        d.lv_select(b.w, be.LIST, 1)
        d.click(b.w, be.DELETE)
        d.answer("yes", box=b.message())
        b.wait_names(["plain.txt"])
        t.eq(os.listdir(home), ["plain.txt"])
        t.eq(b.close(), 0)

    # (what, LIST payload, rows shown, the DELE line for the first row)
    listings = [
        ("IIS style, a line of no known style", "12-07-26  10:00PM       <DIR>          sub dir\r\n+?!\r\n"
         "12-07-26  03:42AM                  12 a file.txt\r\n", ["a file.txt", "sub dir"], "DELE a file.txt"),
        ("LF only, the last line without its end", "-rw-r--r-- 1 a b 1 Jan  1 00:00 one.txt\n"
         "-rw-r--r-- 1 a b 2 Jan  1 00:00 a file.txt", ["a file.txt", "one.txt"], "DELE a file.txt"),
        ("no group column", "-rw-r--r--   1 owner   3 Jan 12 10:31 a file.txt\r\n"
         "drwxr-xr-x   2 owner 4096 Jan 12 10:31 sub\r\n", ["a file.txt", "sub"], "DELE a file.txt"),
        # Not UTF-8: shown in the legacy page, its own bytes sent back.
        ("legacy bytes", "-rw-r--r-- 1 a b 1 Jan  1 00:00 caf\xe9.txt\r\n", ["caf\u00e9.txt"], "DELE caf\xe9.txt"),
    ]
    pwd = {"expect": "PWD", "reply": '257 "/"\r\n'}
    for what, payload, names, dele in listings:
        with t.case("%s: every entry shown, DELE names the right file" % what):
            os.remove(os.path.join(folder, be.BOX + ".lst"))
            script = (scripted_ftpd.login() + scripted_ftpd.listing(payload) + [pwd] +
                      [{"expect": dele, "reply": "250 Gone\r\n"}] + scripted_ftpd.listing("") + [pwd])
            with scripted_ftpd.ScriptedFtpServer(script) as server:
                be.set_box(d, server.port, **{"Sort Order": 16})
                b = be.Browser(s, folder)
                b.wait_names(names)
                t.eq(d.get_text(b.w, STATUS), "1 entry of the listing could not be shown" if "+" in payload else "")
                d.lv_select(b.w, be.LIST, 0)
                d.click(b.w, be.DELETE)
                d.answer("yes", box=b.message())
                b.wait_names([])
                t.eq((server.errors, b.close()), ([], 0))

    with t.case("a cache written before, in the legacy page, is shown as it was"):
        with open(os.path.join(folder, be.BOX + ".lst"), "wb") as f:
            f.write(b"caf\xe9.txt".ljust(256, b"\0") + b"1".ljust(32, b"\0") + b"Jan  1 00:00 ".ljust(32, b"\0") +
                    b" ".ljust(32, b"\0"))
        b = be.Browser(s, folder)
        b.wait_names(["caf\u00e9.txt"], timeout=5)
        t.eq(b.close(), 0)


def ipv6_cases(s, d):
    for kind in ("pyftpdlib", "vsftpd"):
        root = os.path.join(s.tmp, "v6", kind)
        srv, user, password = serve(s, kind, root, host="::1")
        for passive, command in ((0, "EPRT"), (1, "EPSV")):
            with t.case("%s on ::1 only, %s: a box with host ::1 uploads, the browser lists" % (kind, command)):
                sent = write(os.path.join(s.tmp, "src6", kind, command + ".txt"), command)
                t.eq(upload(d, s, srv.port, [sent], host="::1", user=user, password=password, passive=passive), 0)
                verbs = [c.split(" ")[0] for c in srv.commands()]
                t.check(command in verbs and "PORT" not in verbs and "PASV" not in verbs, verbs)
                folder = os.path.join(s.tmp, "browser6", kind + command)
                os.makedirs(folder)
                be.set_box(d, srv.port, directory="in", Passive=passive, **{"Sort Order": 16, "Host Name": "[::1]",
                                                                           "User ID": user})
                d.reg_set_sz(be.KEY, "Password", boxes.encode_password(password))
                b = be.Browser(s, folder)
                b.wait_names(sorted(os.listdir(os.path.join(root, "in"))))
                t.eq(b.close(), 0)
        srv.stop()


with suite.Session() as session:
    driver = session.driver
    home = os.path.join(session.tmp, "pyhome")
    server = serve(session, "pyftpdlib", home)
    engine_cases(session, driver, server)
    box_name_case(session, driver, server[0])
    browser_cases(session, driver)
    ipv6_cases(session, driver)
sys.exit(t.finish())
