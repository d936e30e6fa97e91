"""What the engine does with local files it cannot read, folders it cannot
list and names that meet on the server, run for real under Wine against
pyftpdlib (the scripted server where a name is not UTF-8): nothing of the
server's is touched for them, nothing local is erased, and the closing
report names each of them."""

import os
import sys

from engine_run import EngineRun, ScriptedFtpServer, boxes, dialogue, failure_box, not_sent_text, suite, write

t = suite.Tests()


def read(path):
    with open(path, "rb") as f:
        return f.read()


with suite.Session() as s:
    d = s.driver
    home = os.path.join(s.tmp, "ftphome")
    os.makedirs(home)
    srv = s.ftp_server(user="ann", password="pw", home=home)
    src = os.path.join(s.tmp, "src")

    def upload(paths, not_sent, **settings):
        """One run: the report must name exactly not_sent; gives the
        server's commands."""
        srv.clear_log()
        box = boxes.make_box(d, s.tmp, "Src", port=srv.port, user="ann", password="pw", **settings)
        try:
            with EngineRun(d, box, boxes.path_list(paths)) as run:
                if not_sent:
                    failure_box(t, run, not_sent_text(not_sent))
                else:
                    t.eq(run.exit_code(), 0, "exit code")
        finally:
            box.delete(d)
        return srv.commands()

    with t.case("a file held open by another program: no PORT, no STOR; the server's copy stays whole"):
        write(os.path.join(home, "held.txt"), "the server's copy\n")
        held = write(os.path.join(src, "held.txt"), "the local copy\n")
        free = write(os.path.join(src, "free.txt"), "free\n")
        with d.holding(held):
            cmds = upload([held, free], [held], erase=1)
        t.eq([c for c in cmds if c.startswith(("PORT", "STOR"))][1:], ["STOR free.txt"], "one PORT, one STOR")
        t.eq(read(os.path.join(home, "held.txt")), b"the server's copy\n")
        t.eq(read(os.path.join(home, "free.txt")), b"free\n")
        t.check(os.path.exists(held) and not os.path.exists(free), "only the file sent is erased")

    with t.case("a folder that cannot be listed is reported, and not made on the server"):
        locked = os.path.join(src, "locked")
        write(os.path.join(locked, "in.txt"), "in\n")
        tree = os.path.join(src, "tree")
        write(os.path.join(tree, "a.txt"), "a\n")
        write(os.path.join(tree, "sub", "b.txt"), "b\n")
        with d.holding(locked), d.holding(os.path.join(tree, "sub")):
            cmds = upload([locked, tree], [locked, os.path.join(tree, "sub")])
        t.eq([c for c in cmds if c.startswith(("MKD", "STOR"))], ["MKD tree", "STOR a.txt"])
        t.eq(sorted(os.listdir(home)), ["free.txt", "held.txt", "tree"])
        t.eq(os.listdir(os.path.join(home, "tree")), ["a.txt"])

    with t.case("index.htm and index.html both stored as index.html: the second is not sent, not erased"):
        site = os.path.join(src, "site")
        htm = write(os.path.join(site, "index.htm"), "<p>htm</p>\n")
        html = write(os.path.join(site, "index.html"), "<p>html</p>\n")
        srv.clear_log()
        box = boxes.make_box(d, s.tmp, "Src", port=srv.port, user="ann", password="pw", file_extensions=0, erase=1)
        try:
            with EngineRun(d, box, boxes.path_list([site])) as run:
                report = run.message_box()
                # The file system's order decides which one goes first.
                first, second = (htm, html) if report.text == not_sent_text([html]) else (html, htm)
                failure_box(t, run, not_sent_text([second]))
        finally:
            box.delete(d)
        t.eq(srv.commands().count("STOR index.html"), 1)
        t.eq(os.listdir(os.path.join(home, "site")), ["index.html"])
        t.eq(read(os.path.join(home, "site", "index.html")), b"<p>htm</p>\n" if first == htm else b"<p>html</p>\n")
        t.check(not os.path.exists(first) and os.path.exists(second), "only the stored one is erased")

    with t.case("two paths of the command line with one name: the second is not sent"):
        one = write(os.path.join(src, "one", "x.txt"), "one\n")
        two = write(os.path.join(src, "two", "x.txt"), "two\n")
        cmds = upload([one, two], [two])
        t.eq(cmds.count("STOR x.txt"), 1)
        t.eq(read(os.path.join(home, "x.txt")), b"one\n")

    with t.case("names the case option folds together, by the code page's own letters, meet too"):
        # Lower-casing CAF\xc9.TXT gives caf\xe9.txt only by the platform's mapping.
        upper = write(os.path.join(src, "up", "CAF\u00c9.TXT"), "upper\n")
        lower = write(os.path.join(src, "low", "caf\u00e9.txt"), "lower\n")
        other = write(os.path.join(src, "low", "Other.txt"), "other\n")
        # A server without UTF-8 gets the name in the legacy code page.
        script = dialogue([("FEAT", "500 Unknown command\r\n"), "PORT", "TYPE A", "STOR caf\xe9.txt", "PORT", "TYPE A",
                           "STOR other.txt", "QUIT"])
        cs = ScriptedFtpServer(script).start()
        box = boxes.make_box(d, s.tmp, "Src", port=cs.port, user="ann", password="pw", filenames=0)
        try:
            with EngineRun(d, box, boxes.path_list([upper, lower, other])) as run:
                failure_box(t, run, not_sent_text([lower]))
            cs.wait(10)
            t.eq([x["data"] for x in cs.transfers], [b"upper\n", b"other\n"])
            t.eq(cs.errors, [])
        finally:
            box.delete(d)
            cs.close()

    with t.case("the same name in different remote folders is no clash"):
        again = os.path.join(src, "again")
        write(os.path.join(again, "x.txt"), "again\n")
        write(os.path.join(again, "deeper", "x.txt"), "deeper\n")
        upload([again], [])
        t.eq(read(os.path.join(home, "again", "x.txt")), b"again\n")
        t.eq(read(os.path.join(home, "again", "deeper", "x.txt")), b"deeper\n")

sys.exit(t.finish())
