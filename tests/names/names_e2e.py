"""Names outside ASCII and IPv6 hosts end to end under Wine: files and folders sent through
the command line arrive under their own UTF-8 names (pyftpdlib, vsftpd with
utf8_filesystem), FEAT and OPTS go before the first such name and never in
an all-ASCII run; a server without UTF8 gets legacy bytes or a clear
refusal; the browser shows, fetches, renames and deletes such entries and
reads the listings of IIS-style, LF-only and group-less servers; a box whose
host is ::1 uploads and lists against servers on ::1 only, with EPRT and
EPSV."""
import os
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "engine_e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "browser"))
from engine_run import EngineRun, ScriptedFtpServer, boxes, dialogue, failure_box, not_sent_text, suite  # noqa: E402
import scripted_ftpd  # noqa: E402
from vsftpd import Vsftpd  # noqa: E402

t = suite.Tests()
WIDE = "caf\u00e9_\u00dcn\u00efcode_\u65e5\u672c.txt"
THREE = ["caf\u00e9.txt", "caf\u00e8.txt", "caf\u00eb.txt"]
FOLDER, INNER = "Dossier \u00e9t\u00e9", "na\u00efve.txt"
NAMES_KEY_MARKS = ("FEAT", "OPTS UTF8 ON")
STATUS = 2101  # the browser's status line
MGR_USER, MGR_PASSWORD, MGR_ALIAS, MGR_HOST = 1001, 1002, 1006, 1007  # manager/resource.h
LAUNCHER_BOXES = SENDER_BOXES = 1002
SHELL_FOLDERS = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return path


def utf8_lines(commands):
    """Command lines as the server got them (latin-1 strings), read as UTF-8."""
    return [c.encode("latin-1").decode("utf-8", "replace") for c in commands]


def tree(root):
    """Every file below root with its text, names as the file system has them."""
    out = {}
    for folder, _, files in os.walk(root):
        for name in files:
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                out[os.path.relpath(os.path.join(folder, name), root)] = f.read()
    return out


def upload(d, s, port, paths, box_name="Names", user="ann", password="pw", **settings):
    """One run that should send everything: a message box on the way fails the case with its text."""
    box = boxes.make_box(d, s.tmp, box_name, port=port, user=user, password=password, **settings)
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


def box_name_case(s, py, src):
    d = s.driver
    box = "Caf\u00e9 S\u00fcd"
    key = boxes.SETTINGS_KEY + "\\" + box
    folder = os.path.join(s.tmp, "suite")
    os.makedirs(folder)
    for program in ("SndMgr.exe", "Sendora.exe", "FtchMgr.exe", "FTP_FN.exe"):
        shutil.copy(suite.win64_bin(program), folder)
    # The shortcut's name has a to z upper-cased; the file system ignores case.
    links = [os.path.join(suite.linux_path(d.reg_get(SHELL_FOLDERS, f).data), "CAF\u00e9 S\u00fcD.LNK")
             for f in ("Desktop", "SendTo")]
    try:
        pid = d.start('"%s"' % suite.win_path(os.path.join(folder, "SndMgr.exe")), cwd=folder)
        w = d.wait_window("FTP Sendora Manager", pid=pid, timeout=30)
        for ctl, text in ((MGR_USER, "ann"), (MGR_PASSWORD, "pw"), (MGR_HOST, "127.0.0.1"), (MGR_ALIAS, box)):
            d.set_text(w, ctl, text)
        d.click(w, 1)
        made = d.message_box(pid=pid, timeout=20)
        t.eq(made.text, box + " has been created")
        d.answer("ok", box=made)
        t.eq(d.wait_pid(pid, timeout=20), 0)
        t.check(os.path.exists(os.path.join(folder, "Boxes", box + ".exe")), "engine copy")
        t.check(all(os.path.exists(p) for p in links), "shortcuts %r" % links)
        d.reg_set_dword(key, "Port", py.port)

        pid = d.start('"%s"' % suite.win_path(os.path.join(folder, "FtchMgr.exe")), cwd=folder)
        w = d.wait_window("FTP Fetchora Manager", pid=pid, timeout=20, class_="#32770")
        t.eq(d.list_items(w, LAUNCHER_BOXES), [box], "the launcher")
        d.escape(w)
        d.wait_pid(pid, timeout=20)

        sent = write(os.path.join(src, "from box.txt"), "b\n")
        py.clear_log()
        pid = d.start('"%s" %s' % (suite.win_path(os.path.join(folder, "FTP_FN.exe")), boxes.path_list([sent])),
                      cwd=folder)
        w = d.wait_window("FTP Fanora", pid=pid, timeout=20, class_="#32770")
        t.eq(d.list_items(w, SENDER_BOXES), [box], "the sender")
        d.list_select(w, SENDER_BOXES, 0)
        d.click(w, 1)
        py.wait_for(lambda cmds: "QUIT" in cmds, timeout=30)
        t.eq(open(py.path("from box.txt")).read(), "b\n", "uploaded by the box")
    finally:
        d.reg_delete_key(key)
        for p in links:
            if os.path.exists(p):
                os.remove(p)


def engine_cases(s):
    d = s.driver
    src = os.path.join(s.tmp, "src")
    home = os.path.join(s.tmp, "pyhome")
    os.makedirs(home)
    py = s.ftp_server(user="ann", password="pw", home=home)

    def files(tag):
        made = [write(os.path.join(src, tag, n), "%s %s\n" % (tag, n)) for n in [WIDE] + THREE]
        folder = os.path.join(src, tag, FOLDER)
        write(os.path.join(folder, INNER), "inner\n")
        return made, folder

    expected = {n: "%s %s\n" % ("py", n) for n in [WIDE] + THREE}
    expected[os.path.join(FOLDER, INNER)] = "inner\n"
    cases = [
        # (what, server, port, home of the upload, box settings, tag)
        ("pyftpdlib, with Erase: every file under its own name, each erased after its own upload", "py"),
        ("vsftpd with utf8_filesystem", "vs"),
    ]
    for what, tag in cases:
        with t.case(what):
            made, folder = files(tag)
            if tag == "py":
                py.clear_log()
                t.eq(upload(d, s, py.port, made + [folder], erase=1), 0, "exit code")
                got, cmds = tree(home), utf8_lines(py.commands())
                t.check(not any(os.path.exists(p) for p in made), "each file erased")
            else:
                root = os.path.join(s.tmp, "vsroot")
                os.makedirs(os.path.join(root, "in"), mode=0o777)
                try:
                    vs = Vsftpd(root, writable=True, options={"utf8_filesystem": "YES"})
                except RuntimeError:
                    t.fail("vsftpd did not start")
                    continue
                with vs:
                    t.eq(upload(d, s, vs.port, made + [folder], user="anonymous", password="a@b.invalid",
                                directory="in"), 0, "exit code")
                    got, cmds = tree(os.path.join(root, "in")), utf8_lines(vs.commands())
            t.eq(got, {k: v.replace("py ", tag + " ") if k != os.path.join(FOLDER, INNER) else v
                       for k, v in expected.items()})
            # vsftpd logs every byte outside ASCII as "?".
            first = next(i for i, c in enumerate(cmds) if not c.isascii() or "?" in c)
            t.eq([c for c in cmds[:first] if c in NAMES_KEY_MARKS], list(NAMES_KEY_MARKS), "asked before")
            t.eq(sum(c == "FEAT" for c in cmds), 1, "FEAT once")

    with t.case("an all-ASCII run sends no FEAT"):
        py.clear_log()
        t.eq(upload(d, s, py.port, [write(os.path.join(src, "plain", "plain.txt"), "p\n")]), 0)
        t.eq([c.split(" ")[0] for c in py.commands()], ["USER", "PASS", "PORT", "TYPE", "STOR", "QUIT"])

    with t.case("a server without UTF8: legacy bytes, and a name with no place there is refused by name"):
        ok = write(os.path.join(src, "legacy", "caf\u00e9.txt"), "e\n")
        omega = write(os.path.join(src, "legacy", "\u03a9mega.txt"), "o\n")
        script = dialogue([("FEAT", "211-Features:\r\n MDTM\r\n211 End\r\n"), "PORT", "TYPE A",
                           "STOR caf\xe9.txt", "QUIT"])
        srv = ScriptedFtpServer(script).start()
        box = boxes.make_box(d, s.tmp, "Legacy", port=srv.port, user="ann", password="pw")
        try:
            with EngineRun(d, box, boxes.path_list([ok, omega])) as run:
                failure_box(t, run, not_sent_text([omega]) + " - the server cannot take this name")
            srv.wait(10)
            t.eq(srv.errors, [])
            t.eq([x["data"] for x in srv.transfers], [b"e\n"])
        finally:
            box.delete(d)
            srv.close()

    with t.case("a tree deeper than 259 characters is sent whole"):
        py.clear_log()
        deep = os.path.join(src, "deep")
        parts = ["level %02d \u00e9" % i + "x" * 30 for i in range(8)]
        inner = write(os.path.join(deep, *parts, "bottom.txt"), "bottom\n")
        t.check(len(suite.win_path(inner)) > 300, "deep enough")
        t.eq(upload(d, s, py.port, [deep]), 0)
        t.eq(tree(os.path.join(home, "deep")), {os.path.join(*parts, "bottom.txt"): "bottom\n"})

    with t.case("a box named \u201cCaf\u00e9 S\u00fcd\u201d is made by the manager, listed by the launcher "
                "and the sender, and uploads"):
        box_name_case(s, py, os.path.join(src, "box"))


def browser_cases(s):
    import browser_e2e as be
    d = s.driver
    home = os.path.join(s.tmp, "brhome")
    srv = s.ftp_server(user="ann", password="pw", home=home)
    write(os.path.join(home, "r\u00e9sum\u00e9 \u65e5.txt"), "cv\n")
    write(os.path.join(home, "plain.txt"), "p\n")
    folder = os.path.join(s.tmp, "browser")
    target = os.path.join(s.tmp, "downloads")
    os.makedirs(folder)
    os.makedirs(target)
    be.set_box(d, srv.port, **{"Target Directory": suite.win_path(target)})
    name = "r\u00e9sum\u00e9 \u65e5.txt"
    with t.case("the browser lists, downloads, renames and deletes a non-ASCII entry"):
        b = be.Browser(s, folder)
        b.wait_names(sorted(os.listdir(home)))
        row = b.names().index(name)
        d.lv_double_click(b.w, be.LIST, row)
        be.wait_for("downloaded", lambda: os.path.exists(os.path.join(target, name)))
        t.eq(open(os.path.join(target, name), encoding="utf-8").read(), "cv\n")
        d.lv_select(b.w, be.LIST, b.names().index(name))
        d.click(b.w, be.RENAME)
        rn = d.wait_window("Rename", pid=b.pid)
        t.eq(d.get_text(rn, be.NAME_EDIT), name)
        d.set_text(rn, be.NAME_EDIT, "\u00fcber.txt")
        d.click(rn, be.OK)
        d.answer("yes", box=b.message())
        b.wait_names(["plain.txt", "\u00fcber.txt"])
        d.lv_select(b.w, be.LIST, b.names().index("\u00fcber.txt"))
        d.click(b.w, be.DELETE)
        d.answer("yes", box=b.message())
        b.wait_names(["plain.txt"])
        t.eq(os.listdir(home), ["plain.txt"])
        t.eq(b.close(), 0)

    # Captured listings; the parser must show every entry and send back the right name.
    listings = [
        ("IIS style", "12-07-26  10:00PM       <DIR>          sub dir\r\n"
                      "12-07-26  03:42AM                  12 a file.txt\r\n", ["a file.txt", "sub dir"]),
        ("LF only, last line without its end", "-rw-r--r-- 1 a b 1 Jan  1 00:00 one.txt\n"
                                               "-rw-r--r-- 1 a b 2 Jan  1 00:00 a file.txt", ["a file.txt", "one.txt"]),
        ("no group column", "-rw-r--r--   1 owner   3 Jan 12 10:31 a file.txt\r\n"
                            "drwxr-xr-x   2 owner 4096 Jan 12 10:31 sub\r\n", ["a file.txt", "sub"]),
    ]
    for what, payload, names in listings:
        with t.case("%s: every entry shown, DELE names the right file" % what):
            if os.path.exists(os.path.join(folder, be.BOX + ".lst")):
                os.remove(os.path.join(folder, be.BOX + ".lst"))
            script = (scripted_ftpd.login() + scripted_ftpd.listing(payload) + [{"expect": "PWD", "reply": '257 "/"\r\n'},
                                                          {"expect": "DELE a file.txt", "reply": "250 Gone\r\n"}]
                      + scripted_ftpd.listing("") + [{"expect": "PWD", "reply": '257 "/"\r\n'}])
            with scripted_ftpd.ScriptedFtpServer(script) as server:
                be.set_box(d, server.port, **{"Sort Order": 16})
                b = be.Browser(s, folder)
                b.wait_names(names)
                t.eq(d.get_text(b.w, STATUS), "")
                d.lv_select(b.w, be.LIST, names.index("a file.txt"))
                d.click(b.w, be.DELETE)
                d.answer("yes", box=b.message())
                b.wait_names([])
                t.eq(server.errors, [])
                t.eq(b.close(), 0)


def ipv6_cases(s):
    import browser_e2e as be
    d = s.driver
    src = os.path.join(s.tmp, "src6")
    for kind in ("pyftpdlib", "vsftpd"):
        home = os.path.join(s.tmp, "v6" + kind)
        os.makedirs(os.path.join(home, "in"), mode=0o777)
        os.chmod(os.path.join(home, "in"), 0o777)
        if kind == "pyftpdlib":
            srv, user, password = s.ftp_server(user="ann", password="pw", home=home, host="::1"), "ann", "pw"
        else:
            try:
                srv, user, password = Vsftpd(home, writable=True, host="::1"), "anonymous", "a@b.invalid"
            except RuntimeError:
                t.fail("vsftpd did not start on ::1")
                continue
        try:
            for passive, command in ((0, "EPRT"), (1, "EPSV")):
                with t.case("%s on ::1 only, %s: a box with host ::1 uploads, the browser lists" % (kind, command)):
                    name = "%s.txt" % command
                    sent = write(os.path.join(src, kind, name), command + "\n")
                    t.eq(upload(d, s, srv.port, [sent], host="::1", user=user, password=password,
                                directory="in", passive=passive), 0, "exit code")
                    t.eq(tree(os.path.join(home, "in")).get(name), command + "\n")
                    verbs = [c.split(" ")[0] for c in srv.commands()]
                    t.check(command in verbs and "PORT" not in verbs and "PASV" not in verbs, verbs)
                    folder = os.path.join(s.tmp, "browser6", kind + command)
                    os.makedirs(folder)
                    be.set_box(d, srv.port, directory="in", Passive=passive, **{"User ID": user, "Sort Order": 16})
                    d.reg_set_sz(be.KEY, "Host Name", "[::1]")
                    d.reg_set_sz(be.KEY, "Password", boxes.encode_password(password))
                    b = be.Browser(s, folder)
                    b.wait_names(sorted(os.listdir(os.path.join(home, "in"))))
                    t.eq(b.close(), 0)
        finally:
            srv.stop()


with suite.Session() as session:
    engine_cases(session)
    browser_cases(session)
    ipv6_cases(session)
sys.exit(t.finish())
