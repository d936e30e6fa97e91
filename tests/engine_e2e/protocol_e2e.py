"""The engine's side of the conversation, run for real under Wine against the
scripted server: what goes into the details log, how the box directory is
entered, and which TYPE and remote name each file gets."""

import os
import sys

from engine_run import (GREETING, LOG, PASS_OK, PORT_OK, QUIT, STATUS, STOR_OPEN, STORED, TYPE_OK, USER_OK,
                        EngineRun, ScriptedFtpServer, boxes, dialogue, suite, without_ports, write)

t = suite.Tests()


def upload(d, s, box_name, files, script, **settings):
    """Runs the box over the files against the script; gives the exit code
    and the server's record."""
    srv = ScriptedFtpServer(script).start()
    box = boxes.make_box(d, s.tmp, box_name, port=srv.port, user="ann", password="pw", **settings)
    try:
        with EngineRun(d, box, boxes.path_list(files)) as run:
            code = run.exit_code()
        srv.wait(10)
        return code, srv
    finally:
        box.delete(d)
        srv.close()


with suite.Session() as s:
    d = s.driver
    src = os.path.join(s.tmp, "src")
    a_txt = write(os.path.join(src, "a.txt"), "alpha\n")
    b_txt = write(os.path.join(src, "b.txt"), "bravo\n")

    with t.case("details log of a one-file upload holds the replies in order, never a command"):
        secret = "Zq7-secret"
        pwd_reply = '257 "/home/u" is the current directory\r\n'
        cwd_reply = "250 Now in www\r\n"
        held = boxes.HeldReply(STORED)
        script = dialogue(["PORT", "TYPE A", ("PWD", pwd_reply), ("CWD /home/u/www", cwd_reply)],
                          password=secret)
        script += [{"expect": "STOR a.txt", "reply": STOR_OPEN, "data": "receive", "then": held}, QUIT]
        srv = ScriptedFtpServer(script).start()
        box = boxes.make_box(d, s.tmp, "Log", port=srv.port, user="ann", password=secret, directory="www",
                             details=1)
        try:
            with EngineRun(d, box, boxes.path_list([a_txt])) as run:
                w = run.window()
                t.check(held.wait_reached(), "the server came to the completion")
                sending = GREETING + USER_OK + PASS_OK + PORT_OK + TYPE_OK + STOR_OPEN
                log = d.wait_text(w, LOG, sending)
                t.eq(log, sending, "log while sending")
                t.check(secret not in log, "no password in the log")
                t.eq(d.title(w), "FTP Sendora - [Log]")
                t.eq(d.wait_text(w, STATUS, "Sending a.txt..."), "Sending a.txt...")
                t.check(d.is_visible(w, LOG), "Details 1 shows the log")
                held.release()
                t.eq(run.exit_code(), 0, "exit code")
            srv.wait(10)
            t.eq(without_ports(srv.commands),
                 ["USER ann", "PASS " + secret, "PORT", "TYPE A", "PWD", "CWD /home/u/www", "STOR a.txt", "QUIT"])
            t.eq([x["data"] for x in srv.transfers], [b"alpha\n"])
            t.eq(srv.errors, [])
        finally:
            box.delete(d)
            srv.close()

    with t.case("the four forms of Directory"):
        rel1 = '257 "/home/u" is the current directory\r\n'
        rel2 = '257 "/home/u/www" is the current directory\r\n'
        root = '257 "/" is the current directory\r\n'
        forms = [
            # (Directory, files, the commands between the login and QUIT)
            ("", [a_txt], ["PORT", "TYPE A", "STOR a.txt"]),
            ("/abs", [a_txt], ["PORT", "TYPE A", "CWD /abs", "STOR a.txt"]),
            ("[MN]'USER.DATA'", [a_txt], ["PORT", "TYPE A", "CWD 'USER.DATA'", "STOR a.txt"]),
            ("www", [a_txt, b_txt],
             ["PORT", "TYPE A", ("PWD", rel1), "CWD /home/u/www", "STOR a.txt",
              "PORT", "TYPE A", ("PWD", rel2), "CWD /home/u/www", "STOR b.txt"]),
            ("www", [a_txt], ["PORT", "TYPE A", ("PWD", root), "CWD /www", "STOR a.txt"]),
        ]
        for directory, files, lines in forms:
            code, srv = upload(d, s, "Dir", files, dialogue(lines + ["QUIT"]), directory=directory)
            expected = [x[0] if isinstance(x, tuple) else x for x in lines]
            t.eq(without_ports(srv.commands)[2:], expected + ["QUIT"], directory)
            t.eq(code, 0, directory + ": exit code")
            t.eq(srv.errors, [], directory)

    with t.case("TYPE, extension and case rules"):
        names = ["INDEX.HTM", "page.html", "photo.JPG", "Makefile", "notes.TXT", "keep.htm", "Report.doc"]
        f = {n: write(os.path.join(src, "rules", n), "content of %s\n" % n) for n in names}
        runs = [
            # (settings, {file: its TYPE and STOR lines})
            (dict(transfer_type=2, file_extensions=0, filenames=0), {"INDEX.HTM": ["TYPE A", "STOR index.html"]}),
            (dict(transfer_type=2, file_extensions=1, filenames=2),
             {"page.html": ["TYPE A", "STOR page.htm"], "photo.JPG": ["TYPE I", "STOR photo.JPG"],
              "Makefile": ["TYPE I", "STOR Makefile"], "notes.TXT": ["TYPE A", "STOR notes.TXT"]}),
            (dict(transfer_type=0, file_extensions=0, filenames=2), {"keep.htm": ["TYPE A", "STOR keep.htm"]}),
            (dict(transfer_type=7, file_extensions=0, filenames=2), {"notes.TXT": ["STOR notes.TXT"]}),
        ]
        for settings, per_file in runs:
            lines = [line for n in per_file for line in ["PORT"] + per_file[n]]
            code, srv = upload(d, s, "Rules", [f[n] for n in per_file], dialogue(lines + ["QUIT"]), **settings)
            t.eq(without_ports(srv.commands)[2:], lines + ["QUIT"], str(settings))
            t.eq(code, 0, str(settings))
            t.eq([x["data"] for x in srv.transfers], [("content of %s\n" % n).encode() for n in per_file],
                 "file contents")

    with t.case("Filenames 1: STOR and status line in upper case"):
        held = boxes.HeldReply(STORED)
        script = dialogue(["PORT", "TYPE I"]) + [
            {"expect": "STOR REPORT.DOC", "reply": STOR_OPEN, "data": "receive", "then": held}, QUIT]
        srv = ScriptedFtpServer(script).start()
        box = boxes.make_box(d, s.tmp, "Upper", port=srv.port, user="ann", password="pw", filenames=1)
        try:
            with EngineRun(d, box, boxes.path_list([f["Report.doc"]])) as run:
                w = run.window()
                t.check(held.wait_reached(), "the server came to the completion")
                t.eq(d.wait_text(w, STATUS, "Sending REPORT.DOC..."), "Sending REPORT.DOC...")
                held.release()
                t.eq(run.exit_code(), 0)
            srv.wait(10)
            t.eq(srv.errors, [])
        finally:
            box.delete(d)
            srv.close()

sys.exit(t.finish())
