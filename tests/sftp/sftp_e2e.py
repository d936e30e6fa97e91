"""SFTP boxes end to end: the real Sendora under Wine against the test's own
sshd (OpenSSH, password log-in, SFTP inside sshd).

The host key is judged before anything of the log-in goes out: No ends the
run and the server saw no log-in request at all; Yes stores the key's
fingerprint as OpenSSH prints it; the stored key is not asked about again;
another key is asked about with a warning. Files and nested trees arrive
byte for byte below a relative or absolute box directory, a text file with
LF line ends, Erase removes exactly what arrived, and a box directory that
is not there ends the run, one the server will not write to ends it naming
every path not sent. Keyboard-interactive log-in is answered with the
password; a wrong password ends the run with the server's refusal.

The browser of the same box lists with sizes and folders, moves into a
folder and back, makes, renames and deletes on the server, downloads byte
for byte (a text file with CR LF line ends, as over FTP), asking before it
replaces a file, and copies files to an FTP box, whose engine sends them
by its own rules."""
import os
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "engine_e2e"))
from engine_run import EngineRun, boxes, failure_box, not_sent_text, suite, write  # noqa: E402
import sshd  # noqa: E402

t = suite.Tests()

# The browser window (browser/resource.h) and its dialogs.
TITLE, CAPTION = "FTP Fetchora", "FTP Sendora"
STATUS, BACK, LIST, NEW_DIRECTORY, DELETE, RENAME, DOWNLOAD, COPY = 2101, 2105, 2106, 2107, 2108, 2109, 2112, 2113
NAME_EDIT, OK, REPLACE_TEXT, YES, COPY_TITLE, COPY_BOXES = 2150, 1, 2161, 6, "Copy files to...", 2170


def remote_tree(root):
    out = {}
    for dirpath, _, names in os.walk(root):
        for n in names:
            full = os.path.join(dirpath, n)
            with open(full, "rb") as f:
                out[os.path.relpath(full, root).replace(os.sep, "/")] = f.read()
    return out


with suite.Session() as s, sshd.Sshd() as srv:
    d = s.driver
    d.setenv("WINEDEBUG", "trace+htmlhelp")  # the help windows' addresses
    shutil.copy(suite.win64_bin("sendora.chm"), s.tmp)  # the suite folder of the boxes' engines
    home = srv.home_dir("e2e-sftp")
    src = os.path.join(s.tmp, "src")
    box = boxes.make_box(d, s.tmp, "Secure", port=srv.port, user=sshd.USER, password=sshd.PASSWORD, sftp=1,
                         transfer_type=1, directory="e2e-sftp")

    def run_once(paths, answer=None, changed=False):
        """One run; answers the host key question when one is expected
        (and checks it), gives the exit code."""
        with EngineRun(d, box, boxes.path_list(paths)) as run:
            if answer:
                q = run.message_box()
                t.eq((q.caption, q.icon, [b[1] for b in q.buttons]),
                     ("FTP Sendora", "question", ["&Yes", "&No", "Help"]))
                if answer == "no":
                    d.help_topics()
                    d.key(q.hwnd, "f1")
                    shown = suite.poll(d.help_topics, timeout=20)
                    time.sleep(1)  # a second page would follow at once
                    t.eq(shown + d.help_topics(), [("sendora.chm", "messages.htm#hostkey")], "F1 on the question")
                t.check(q.text.startswith("WARNING") == changed, "warned only of a changed key: %r" % q.text)
                t.check("Key type: ssh-ed25519\nFingerprint:\n%s\n" % srv.fingerprint in q.text, q.text)
                d.answer(answer, box=q)
                if answer == "no":
                    failure_box(t, run, "The host key of the SFTP host was not trusted.\n"
                                        "The user name and password were not sent.")
                    return 1
            return run.exit_code()

    # (case, stored key before, new server key, answer, exit code, stored after)
    TRUST = [
        ("an unknown key, No: no log-in request reaches the server", None, False, "no", 1, None),
        ("an unknown key, Yes: stored as OpenSSH prints it, and the file arrives", None, False, "yes", 0, "key"),
        ("the stored key is not asked about", "key", False, None, 0, "key"),
        ("another key is asked about again, with a warning; Yes stores it", "key", True, "yes", 0, "key"),
    ]
    for n, (case, before, new_key, answer, code, after) in enumerate(TRUST):
        with t.case(case):
            box.set(d, host_key=srv.fingerprint if before else None)
            if new_key:
                srv.change_key()
            name = "trust%d.bin" % n
            data = os.urandom(3000)
            requests = len(srv.auth_attempts())
            t.eq(run_once([write(os.path.join(src, name), data)], answer, changed=new_key), code, "exit code")
            t.eq(box.get(d, "host_key"), srv.fingerprint if after else None, "stored key")
            if code:
                t.eq(srv.auth_attempts()[requests:], [], "no log-in request")
                t.check(not os.path.exists(os.path.join(home, name)), "nothing arrived")
            else:
                t.check(remote_tree(home).get(name) == data, "arrived whole")

    box.set(d, host_key=srv.fingerprint)
    tree = {"site/a.bin": os.urandom(70000), "site/empty.dat": b"", "site/img/b.gif": os.urandom(1500),
            "site/img/deep/c.bin": os.urandom(200000)}
    text = b"one\r\ntwo\r\n\r\nlone\rcr\r\n" * 2000

    loose = os.urandom(5000)
    # (case, settings, local files, remote folder below home, what arrives there, failure text)
    SENDS = [
        ("a file and a nested tree below a relative box directory, byte for byte", dict(directory="e2e-sftp/rel"),
         dict(tree, **{"loose.bin": loose}), "rel", dict(tree, **{"loose.bin": loose}), None),
        ("a text file goes with LF line ends below an absolute box directory; Erase",
         dict(directory=home + "/abs", transfer_type=2, erase=1), {"notes.txt": text}, "abs",
         {"notes.txt": text.replace(b"\r\n", b"\n")}, None),
        ("a box directory that is not there ends the run", dict(directory="e2e-sftp/none"), {"x.bin": b"x"},
         "none", {}, "Unable to locate specified directory"),
        ("a folder the server will not write to ends the run, naming every path not sent",
         dict(directory="e2e-sftp/ro"), {"x.bin": b"x", "y.bin": b"y"}, "ro", {},
         home + "/ro/x.bin: Permission denied\r\n\r\n" + not_sent_text([os.path.join(src, "send3", n)
                                                                           for n in ("x.bin", "y.bin")])),
    ]
    os.makedirs(os.path.join(home, "ro"))  # the test's own, not the account's
    for n, (case, settings, files, folder, expected, failure) in enumerate(SENDS):
        with t.case(case):
            for sub in ("rel", "abs"):
                srv.home_dir("e2e-sftp/" + sub)
            local = os.path.join(src, "send%d" % n)
            for rel, data in files.items():
                write(os.path.join(local, *rel.split("/")), data)
            os.makedirs(os.path.join(local, "site", "nothing"), exist_ok=True)
            tops = sorted({os.path.join(local, rel.split("/")[0]) for rel in files})
            box.set(d, transfer_type=1, erase=0)
            box.set(d, **settings)
            with EngineRun(d, box, boxes.path_list(tops)) as run:
                if failure:
                    failure_box(t, run, failure)
                else:
                    t.eq(run.exit_code(), 0, "exit code")
            arrived = remote_tree(os.path.join(home, folder))
            t.eq(sorted(arrived), sorted(expected), "names")
            for p, v in expected.items():
                t.check(arrived.get(p) == v, "%s byte for byte" % p)
            if "site/img/deep/c.bin" in files:
                t.check(os.path.isdir(os.path.join(home, folder, "site", "nothing")), "the empty folder is made")
            if settings.get("erase"):
                t.eq([f for f in files if os.path.exists(os.path.join(local, f))], [], "the sent files are erased")

    # (case, server, password, failure text)
    with sshd.Sshd(keyboard_interactive=True) as kbd:
        LOGINS = [
            ("keyboard-interactive alone is answered with the password", kbd, sshd.PASSWORD, None),
            ("a wrong password ends the run with the server's refusal", srv, "wrong",
             "Unable to logon to FTP host:\n\nThe server did not accept the user name and password."),
        ]
        for n, (case, server, password, failure) in enumerate(LOGINS):
            with t.case(case):
                box.set(d, port=server.port, host_key=server.fingerprint, password=password, directory="e2e-sftp",
                        transfer_type=1, erase=0)
                data = os.urandom(2000)
                name = "login%d.bin" % n
                with EngineRun(d, box, boxes.path_list([write(os.path.join(src, name), data)])) as run:
                    if failure:
                        failure_box(t, run, failure)
                    else:
                        t.eq(run.exit_code(), 0, "exit code")
                t.check(remote_tree(home).get(name) == (None if failure else data), "arrived whole, or not at all")

    box.set(d, port=srv.port, host_key=srv.fingerprint, password=sshd.PASSWORD, directory="e2e-sftp/browse")
    browse = srv.home_dir("e2e-sftp/browse")
    served = {"a.txt": b"alpha\nbeta\r\nlone\rcr\n" * 3000, "b.bin": os.urandom(3000), "sub/inner.txt": b"inner"}
    for rel, data in served.items():
        write(os.path.join(browse, *rel.split("/")), data)
    target = os.path.join(s.tmp, "in")
    os.makedirs(target)
    d.reg_set_sz(box.key, "Target Directory", suite.win_path(target))
    # Beside the boxes' engines, which a copy starts.
    shutil.copyfile(suite.win64_bin("SndMgr.exe"), os.path.join(s.tmp, "SndMgr.exe"))
    pid, w = boxes.open_browser(d, os.path.join(s.tmp, "SndMgr.exe"), s.tmp, box.name)

    def rows():
        return {r[0]: r[1:3] for r in d.lv_items(w, LIST)}

    def until(what, predicate, timeout=20.0):
        deadline = time.monotonic() + timeout
        while not predicate():
            if time.monotonic() > deadline:
                raise AssertionError("timed out waiting for " + what)
            time.sleep(0.1)

    def select(*names):
        d.lv_select(w, LIST, -1)
        for name in names:
            d.lv_select(w, LIST, [r[0] for r in d.lv_items(w, LIST)].index(name), add=True)

    def answer_yes():
        q = d.message_box(pid=pid, timeout=20)
        d.answer("yes", box=q)

    with t.case("the browser lists the box directory with sizes and folders, and moves into a folder and back"):
        until("the listing", lambda: set(rows()) == {"a.txt", "b.bin", "sub"})
        t.eq((rows()["sub"], rows()["b.bin"]), (["<DIR>", ""], [" ", "3000"]))
        d.lv_double_click(w, LIST, [r[0] for r in d.lv_items(w, LIST)].index("sub"))
        until("the folder", lambda: set(rows()) == {"inner.txt"})
        t.eq(d.reg_get(box.key, "Current Directory").data, browse + "/sub")
        d.click(w, BACK)
        until("back", lambda: set(rows()) == {"a.txt", "b.bin", "sub"})

    # (case, button, the name typed, a question to answer, what the server then holds)
    CHANGES = [
        ("New Directory makes the folder", NEW_DIRECTORY, "made", False, {"a.txt", "b.bin", "sub", "made"}),
        ("Rename renames the file", RENAME, "c.bin", True, {"a.txt", "c.bin", "sub", "made"}),
        ("Delete removes a folder", DELETE, None, True, {"a.txt", "c.bin", "sub"}),
    ]
    for case, button, typed, ask, after in CHANGES:
        with t.case(case):
            select({RENAME: "b.bin", DELETE: "made"}.get(button, "a.txt"))
            d.click(w, button)
            if typed:
                dialog = d.wait_window("Rename" if button == RENAME else "New Directory", pid=pid)
                d.set_text(dialog, NAME_EDIT, typed)
                d.click(dialog, OK)
            if ask:
                answer_yes()
            until("the server's folder", lambda: set(os.listdir(browse)) == after)
            until("the rows", lambda: set(rows()) == after)

    crlf = b"alpha\r\nbeta\r\nlone\rcr\r\n" * 3000
    # (case, name, a local file there before, what arrives)
    DOWNLOADS = [
        ("Download fetches a binary file byte for byte", "c.bin", None, served["b.bin"]),
        ("Download asks before it replaces a file", "c.bin", b"old", served["b.bin"]),
        ("a text file comes with CR LF line ends, none doubled", "a.txt", None, crlf),
    ]
    for case, name, before, expected in DOWNLOADS:
        with t.case(case):
            local = os.path.join(target, name)
            if before:
                write(local, before)
            select(name)
            d.click(w, DOWNLOAD)
            if before:
                prompt = d.wait_window(CAPTION, timeout=20, pid=pid)
                t.eq(d.get_text(prompt, REPLACE_TEXT), suite.win_path(local) + "\nAlready exists.")
                d.click(prompt, YES)
            until("the download", lambda: os.path.exists(local) and open(local, "rb").read() == expected)
            until("the status", lambda: d.get_text(w, STATUS) == "Download completed")

    with t.case("Copy to an FTP box: its engine sends the files as its own rules say"):
        ftp = s.ftp_server(user="plain", password="p1")
        plain = boxes.make_box(d, s.tmp, "Plain", port=ftp.port, user="plain", password="p1")
        for name in ("a.txt", "c.bin"):
            os.remove(os.path.join(target, name))
        select("a.txt", "c.bin")
        d.click(w, COPY)
        c = d.wait_window(COPY_TITLE, pid=pid)
        d.list_select(c, COPY_BOXES, d.list_items(c, COPY_BOXES).index("Plain"))
        d.click(c, OK)
        until("the FTP box's engine", lambda: "QUIT" in ftp.commands() and
              "plain.exe" not in {p.name.lower() for p in d.processes()}, timeout=90)
        t.eq(d.find_message_box(pid=pid), None, "no message")
        # TYPE A for a .txt: the server keeps its own LF line ends.
        t.check(open(ftp.path("a.txt"), "rb").read() == served["a.txt"].replace(b"\r\n", b"\n"), "a.txt as text")
        t.check(open(ftp.path("c.bin"), "rb").read() == served["b.bin"], "c.bin byte for byte")
        plain.delete(d)

    d.escape(w)
    t.eq(d.wait_pid(pid, timeout=20), 0, "the browser closes")
    box.delete(d)

sys.exit(t.finish())
