"""Folder trees and path lists, run for real under Wine against pyftpdlib:
the remote tree mirrors the local one (under the box directory when one is
set), files arrive byte for byte, Erase empties the local tree, "/b" sends a
folder below the engine, and the shell's quoted and missing paths."""

import os
import sys

from engine_run import EngineRun, boxes, not_sent_text, suite, write

t = suite.Tests()


def make_tree(root):
    """site.v2 with files at three depths and an empty folder; gives the
    files' paths relative to root's parent, with their bytes."""
    files = {
        "a.txt": b"alpha\n",
        "index.htm": b"<html></html>\n",
        "img/b.gif": os.urandom(3000),
        "img/deep/c.bin": os.urandom(5000),
        "img/deep/zero.dat": b"",
        "notes/readme.txt": b"notes\n",
    }
    for rel, data in files.items():
        write(os.path.join(root, *rel.split("/")), data)
    os.makedirs(os.path.join(root, "empty"), exist_ok=True)
    name = os.path.basename(root)
    return {name + "/" + rel: data for rel, data in files.items()}


def replay(t, commands, start):
    """Follows MKD, CWD and CDUP from the remote folder `start` (a list of
    names) and gives where each STOR went; checks the walk on the way."""
    here, stored, entered = list(start), [], []
    for i, c in enumerate(commands):
        verb, _, arg = c.partition(" ")
        if verb == "MKD":
            t.eq(commands[i + 1], "CWD " + arg, "MKD is followed by its CWD")
        elif verb == "CWD" and arg.startswith("/"):
            here = [p for p in arg.split("/") if p]  # the box directory
        elif verb == "CWD":
            here = here + [arg]
            entered.append("/".join(here))
        elif verb == "CDUP":
            t.check(len(here) > len(start), "CDUP never climbs above where the folder was made")
            here = here[:-1]
        elif verb == "STOR":
            stored.append("/".join(here + [arg]))
    t.eq(here, list(start), "back where it began")
    t.eq(len(entered), len(set(entered)), "each folder is entered once, and finished before the next")
    return stored


def remote_files(home, top):
    out = {}
    for dirpath, _, names in os.walk(os.path.join(home, top)):
        for n in names:
            full = os.path.join(dirpath, n)
            with open(full, "rb") as f:
                out[os.path.relpath(full, home).replace(os.sep, "/")] = f.read()
    return out


with suite.Session() as s:
    d = s.driver
    home = os.path.join(s.tmp, "ftphome")
    os.makedirs(os.path.join(home, "box"))
    os.makedirs(os.path.join(home, "www"))
    srv = s.ftp_server(user="ann", password="pw", home=home)
    src = os.path.join(s.tmp, "src")
    site = os.path.join(src, "site.v2")
    tree = make_tree(site)

    def upload(paths_or_tail, expect_exit=0, **settings):
        """One run of the box "Tree"; gives the commands after the login."""
        srv.clear_log()
        box = boxes.make_box(d, s.tmp, "Tree", port=srv.port, user="ann", password="pw", transfer_type=1,
                             **settings)
        tail = paths_or_tail if isinstance(paths_or_tail, str) else boxes.path_list(paths_or_tail)
        try:
            with EngineRun(d, box, tail) as run:
                t.eq(run.exit_code(), expect_exit, "exit code")
        finally:
            box.delete(d)
        return [c for c in srv.commands() if not c.startswith(("USER", "PASS", "PORT", "TYPE", "QUIT"))]

    with t.case("a folder tree is mirrored: MKD, CWD, files, CDUP; files byte for byte"):
        cmds = upload([site])
        t.eq(sorted(replay(t, cmds, [])), sorted(tree))
        t.eq(remote_files(home, "site.v2"), tree)
        t.check(os.path.isdir(os.path.join(home, "site.v2", "empty")), "the empty folder is made")
        t.eq(sum(c.startswith("MKD ") for c in cmds), 5, "site.v2, img, deep, notes, empty")
        t.eq(cmds.count("CDUP"), 5)

    with t.case("with an absolute box directory the tree lands below it, and a later file in it"):
        loose = write(os.path.join(src, "loose.txt"), "loose\n")
        cmds = upload([site, loose], directory="/box")
        t.eq(cmds[0], "CWD /box")
        t.eq(cmds.count("CWD /box"), 2, "the box directory once per path")
        t.eq(sorted(replay(t, cmds, ["box"])), sorted(["box/" + p for p in tree] + ["box/loose.txt"]))
        t.eq(remote_files(home, "box/site.v2"), {"box/" + p: data for p, data in tree.items()})

    with t.case("a tree sent again enters the folders that exist"):
        write(os.path.join(site, "a.txt"), "alpha, second edition\n")
        tree["site.v2/a.txt"] = b"alpha, second edition\n"
        cmds = upload([site], directory="/box")
        t.eq(sorted(replay(t, cmds, ["box"])), sorted("box/" + p for p in tree))
        t.eq(remote_files(home, "box/site.v2"), {"box/" + p: data for p, data in tree.items()})

    with t.case("with a relative box directory every path goes below it"):
        other = os.path.join(src, "other")
        write(os.path.join(other, "o.txt"), "other\n")
        cmds = upload([site, other], directory="www")
        t.eq([c for c in cmds if c in ("PWD", "CWD /www")], ["PWD", "CWD /www", "PWD", "CWD /www"])
        t.eq(sorted(replay(t, cmds, ["www"])), sorted(["www/" + p for p in tree] + ["www/other/o.txt"]))
        t.eq(remote_files(home, "www/site.v2"), {"www/" + p: data for p, data in tree.items()})

    with t.case("Erase with a folder: every file sent is deleted, the folders stay"):
        doomed = os.path.join(src, "doomed")
        doomed_tree = make_tree(doomed)
        upload([doomed], erase=1)
        t.eq(remote_files(home, "doomed"), doomed_tree)
        left = [os.path.relpath(os.path.join(p, n), doomed) for p, _, names in os.walk(doomed) for n in names]
        t.eq(left, [], "no local file left")
        t.eq(sorted(os.path.relpath(p, doomed) for p, _, _ in os.walk(doomed)),
             sorted([".", "empty", "img", "img/deep", "notes"]))

    with t.case('"/b <folder>" sends every entry of the folder below the engine'):
        incoming = os.path.join(s.tmp, "Boxes", "Incoming")
        write(os.path.join(incoming, "x.txt"), "x\n")
        write(os.path.join(incoming, "sub", "y.txt"), "y\n")
        upload("/B   Incoming")
        with open(os.path.join(home, "x.txt"), "rb") as f:
            t.eq(f.read(), b"x\n")
        t.eq(remote_files(home, "sub"), {"sub/y.txt": b"y\n"})

    with t.case("a path with blanks, quoted as the shell passes it"):
        spaced = write(os.path.join(src, "with blank", "a b.txt"), "a b\n")
        plain = write(os.path.join(src, "c.txt"), "c\n")
        tail = '"%s" %s' % (suite.win_path(spaced), suite.win_path(plain))
        cmds = upload(tail)
        t.eq([c for c in cmds if c.startswith("STOR")], ["STOR a b.txt", "STOR c.txt"])
        with open(os.path.join(home, "a b.txt"), "rb") as f:
            t.eq(f.read(), b"a b\n")

    with t.case("a path without a drive letter (a network path) is sent like any other, also after a drive path"):
        net_file = write(os.path.join(src, "net", "n.bin"), os.urandom(2000))
        net_folder = os.path.join(src, "net", "share")
        write(os.path.join(net_folder, "s.txt"), "shared\n")
        drive = write(os.path.join(src, "drive.txt"), "drive\n")
        # Wine has no network client; "\\?\unix\..." is a path of that form it can read.
        network = ["\\\\?\\unix" + p.replace("/", "\\") for p in (net_file, net_folder)]
        cmds = upload(" ".join([suite.win_path(drive)] + network))
        t.eq([c for c in cmds if c.startswith("STOR")], ["STOR drive.txt", "STOR n.bin", "STOR s.txt"])
        for name, local in (("drive.txt", drive), ("n.bin", net_file), ("share/s.txt", os.path.join(net_folder, "s.txt"))):
            with open(os.path.join(home, name), "rb") as f, open(local, "rb") as g:
                t.eq(f.read(), g.read(), name)

    with t.case("a network path that cannot be read is reported exactly as given"):
        srv.clear_log()
        here = write(os.path.join(src, "here.txt"), "here\n")
        gone = "\\\\nosuch-e2e\\share\\gone.txt"
        box = boxes.make_box(d, s.tmp, "Tree", port=srv.port, user="ann", password="pw")
        try:
            with EngineRun(d, box, gone + " " + suite.win_path(here)) as run:
                report = run.message_box()
                t.eq(report.text, not_sent_text([gone]))
                d.answer("ok", box=report)
                t.eq(run.exit_code(), 1, "exit code")
        finally:
            box.delete(d)
        t.check(os.path.exists(os.path.join(home, "here.txt")), "the readable path arrived")

    with t.case('"/b" takes its folder name without the quotation marks'):
        quoted = os.path.join(s.tmp, "Boxes", "In Quotes")
        write(os.path.join(quoted, "q.txt"), "quoted\n")
        upload('/b "In Quotes"')
        with open(os.path.join(home, "q.txt"), "rb") as f:
            t.eq(f.read(), b"quoted\n")

    with t.case("a path that does not exist is reported; the others arrive"):
        first = write(os.path.join(src, "first.txt"), "first\n")
        missing = os.path.join(src, "missing.txt")
        last = write(os.path.join(src, "last.txt"), "last\n")
        srv.clear_log()
        box = boxes.make_box(d, s.tmp, "Tree", port=srv.port, user="ann", password="pw")
        try:
            with EngineRun(d, box, boxes.path_list([first, missing, last])) as run:
                report = run.message_box()
                t.eq(report.text, not_sent_text([missing]))
                t.eq(report.caption, "FTP Sendora")
                t.eq(report.icon, "warning")
                d.answer("ok", box=report)
                t.eq(run.exit_code(), 1, "exit code")
        finally:
            box.delete(d)
        for name in ("first.txt", "last.txt"):
            t.check(os.path.exists(os.path.join(home, name)), name + " arrived")

sys.exit(t.finish())
