"""Uploads under a temporary name ("TempUpload" 1), under Wine against
pyftpdlib, vsftpd and the scripted server: files and a folder tree arrive
under their real names and no temporary file remains; a STOR cut short (the
server's disk full) or a Cancel never touches the server's earlier copy and
leaves no temporary file; a server that will not rename onto an existing
file gets it deleted first."""

import contextlib
import os
import resource
import sys

from engine_run import (BAR, CANCEL, EngineRun, ScriptedFtpServer, boxes, dialogue, failure_box, not_sent_text, suite,
                        write)
from vsftpd import Vsftpd
import sshd

t = suite.Tests()

EARLIER = b"the earlier copy, which must survive\n"
FULL = 1 << 20  # the most a server may write to one file in the "disk full" runs


@contextlib.contextmanager
def pyftpd_disk_full(server):
    """pyftpdlib runs in this process: its writes past FULL fail (Python
    ignores the signal), as on a full disk. Gives the server's port."""
    soft, hard = resource.getrlimit(resource.RLIMIT_FSIZE)
    resource.setrlimit(resource.RLIMIT_FSIZE, (FULL, hard))
    try:
        yield {"port": server.port}
    finally:
        resource.setrlimit(resource.RLIMIT_FSIZE, (soft, hard))


def tree(root):
    """Every file below root by its relative path, with its bytes."""
    out = {}
    for folder, _, names in os.walk(root):
        for n in names:
            with open(os.path.join(folder, n), "rb") as f:
                out[os.path.relpath(os.path.join(folder, n), root).replace(os.sep, "/")] = f.read()
    return out


@contextlib.contextmanager
def vsftpd_disk_full(root):
    with Vsftpd(root, writable=True, file_limit=FULL) as full:
        yield {"port": full.port}


@contextlib.contextmanager
def sshd_disk_full():
    with sshd.Sshd(file_limit=FULL) as full:
        yield {"port": full.port, "host_key": full.fingerprint}


def temporary(name):
    return "." + name + ".part-upload"


with suite.Session() as s:
    d = s.driver
    src = os.path.join(s.tmp, "src")
    a_txt = write(os.path.join(src, "a.txt"), "alpha\n")
    site = os.path.join(src, "site")
    sent_tree = {"site/index.htm": b"<p>new</p>\n", "site/img/b.bin": os.urandom(5000)}
    for rel, data in sent_tree.items():
        write(os.path.join(src, *rel.split("/")), data)
    big = write(os.path.join(src, "big.bin"), os.urandom(48 << 20))

    anon = os.path.join(s.tmp, "anon")
    pub = os.path.join(anon, "pub")
    os.makedirs(pub)
    os.chmod(pub, 0o777)
    pyftpd = s.ftp_server(user="ann", password="pw")
    with Vsftpd(anon, writable=True) as vsftpd, sshd.Sshd() as ssh:
        # Each with a way to make it run out of disk while it stores a file.
        servers = [("pyftpdlib", {"port": pyftpd.port}, pyftpd.home, "ann", "pw", "",
                    lambda: pyftpd_disk_full(pyftpd)),
                   ("vsftpd", {"port": vsftpd.port}, pub, "anonymous", "guest@", "pub",
                    lambda: vsftpd_disk_full(anon)),
                   ("SFTP", {"port": ssh.port, "sftp": 1, "host_key": ssh.fingerprint}, ssh.home_dir("e2e-temp"),
                    sshd.USER, sshd.PASSWORD, "e2e-temp", sshd_disk_full)]
        for server, settings, home, user, password, directory, disk_full in servers:
            with t.case("%s: files and a tree arrive under their real names; Cancel mid-file and a full disk "
                        "leave the earlier copy byte for byte and no temporary file" % server):
                write(os.path.join(home, "a.txt"), EARLIER)
                write(os.path.join(home, "big.bin"), EARLIER)
                b = boxes.make_box(d, s.tmp, "Temp", user=user, password=password, directory=directory,
                                   transfer_type=1, temp_upload=1, **settings)
                try:
                    with EngineRun(d, b, boxes.path_list([a_txt, site])) as run:
                        t.eq(run.exit_code(), 0, "exit code")
                    got = tree(home)
                    t.eq(got.get("a.txt"), b"alpha\n")
                    t.eq({k: v for k, v in got.items() if k.startswith("site/")}, sent_tree)
                    t.eq([k for k in got if ".part-upload" in k], [], "no temporary file left")
                    with EngineRun(d, b, boxes.path_list([big])) as run:
                        w = run.window()
                        if not suite.poll(lambda: d.progress(w, BAR).pos > 0, 60, 0.05):
                            t.fail("the upload never got under way")
                        d.click(w, CANCEL)
                        t.eq(run.exit_code(timeout=10), 2, "exit code")
                    t.eq(tree(home)["big.bin"], EARLIER)
                    t.eq([k for k in tree(home) if ".part-upload" in k], [], "no temporary file after Cancel")

                    with disk_full() as full:
                        b.set(d, **full)
                        with EngineRun(d, b, boxes.path_list([big])) as run:
                            box = run.message_box(timeout=60)
                            t.eq(box.text, not_sent_text([big]), "disk full")
                            d.answer("ok", box=box)
                            t.eq(run.exit_code(), 1, "exit code")
                    t.eq(tree(home)["big.bin"], EARLIER, "disk full")
                    t.eq([k for k in tree(home) if ".part-upload" in k], [], "no temporary file after a full disk")
                finally:
                    b.delete(d)

    def scripted(script, files, **settings):
        srv = ScriptedFtpServer(script).start()
        b = boxes.make_box(d, s.tmp, "Temp", port=srv.port, user="ann", password="pw", temp_upload=1, erase=1,
                           **settings)
        return srv, b, EngineRun(d, b, boxes.path_list(files))

    with t.case("the scripted server: what a cut STOR and a refused rename are answered with"):
        stor = dialogue(["PORT", "TYPE A"])
        cases = [
            # (what, the steps after PORT and TYPE, the failure box (None: none), exit code, erased)
            ("cut at half: the temporary copy goes, no rename",
             [{"expect": "STOR " + temporary("a.txt"), "reply": "150 Go\r\n", "data": "receive",
               "then": "426 Connection closed; transfer aborted\r\n"},
              {"expect": "DELE " + temporary("a.txt"), "reply": "250 Deleted\r\n"}],
             not_sent_text([a_txt]), 1, False),
            ("a rename onto an existing file refused: the old copy is deleted first",
             [{"expect": "STOR " + temporary("a.txt"), "reply": "150 Go\r\n", "data": "receive",
               "then": "226 Done\r\n"},
              {"expect": "RNFR " + temporary("a.txt"), "reply": "350 Ready\r\n"},
              {"expect": "RNTO a.txt", "reply": "553 File exists\r\n"},
              {"expect": "DELE a.txt", "reply": "250 Deleted\r\n"},
              {"expect": "RNFR " + temporary("a.txt"), "reply": "350 Ready\r\n"},
              {"expect": "RNTO a.txt", "reply": "250 Renamed\r\n"},
              {"expect": "QUIT", "reply": "221 Bye\r\n"}],
             None, 0, True),
            ("no rename at all: the message names the temporary copy; the real one and the file stay",
             [{"expect": "STOR " + temporary("a.txt"), "reply": "150 Go\r\n", "data": "receive",
               "then": "226 Done\r\n"},
              {"expect": "RNFR " + temporary("a.txt"), "reply": "502 Not implemented\r\n"}],
             not_sent_text([a_txt]) + "\r\n\r\nThe file is on the FTP host as %s: it could not be renamed to a.txt "
                                      "(502 Not implemented)" % temporary("a.txt"), 1, False),
        ]
        for what, steps, text, code, erased in cases:
            write(a_txt, "alpha\n")
            srv, b, run = scripted(stor + steps, [a_txt])
            try:
                with run:
                    if text is None:
                        t.eq(run.exit_code(), code, what)
                    else:
                        failure_box(t, run, text)
                srv.wait(10)
                t.eq(srv.errors, [], what)
                t.eq(os.path.exists(a_txt), not erased, what + ": erased only after the rename")
                t.check(not [c for c in srv.commands if c.startswith("STOR a.txt")], what + ": never to the real name")
            finally:
                b.delete(d)
                srv.close()

sys.exit(t.finish())
