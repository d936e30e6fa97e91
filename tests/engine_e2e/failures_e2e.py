"""How the engine fails, run for real under Wine against the scripted server:
the failure boxes that end a run, files the server did not keep (reported at
the end, never erased), data connections that fail without putting the
control connection out of step, a folder that cannot be entered, Cancel."""

import os
import socket
import sys

from engine_run import (CANCEL, GREETING, LOG, PASS_OK, PORT_OK, STOR_OPEN, STORED, TYPE_OK, USER_OK,
                        EngineRun, ScriptedFtpServer, boxes, dialogue, failure_box, not_sent_text, suite,
                        without_ports, write)

t = suite.Tests()

NO_CONNECTION = "Unable to establish a connection to the FTP host"
NO_LOGON = "Unable to logon to FTP host"
NO_DIRECTORY = "Unable to locate specified directory"


def closed_port():
    """A loopback port that nothing listens on."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def why(message, reason):
    """A failure box's text: the message, a blank line, the reason."""
    return message + ":\n\n" + reason


def run_with(d, s, script, files, box_name="Fail", **settings):
    """Server, box and engine run for one case; yields (run, server)."""
    srv = ScriptedFtpServer(script).start()
    box = boxes.make_box(d, s.tmp, box_name, port=srv.port, **dict({"user": "ann", "password": "pw"}, **settings))
    return srv, box, EngineRun(d, box, boxes.path_list(files))


with suite.Session() as s:
    d = s.driver
    src = os.path.join(s.tmp, "src")
    a_txt = write(os.path.join(src, "a.txt"), "alpha\n")
    b_txt = write(os.path.join(src, "b.txt"), "bravo\n")

    with t.case("failure boxes end the run after they are answered, the server's reply below"):
        not_sent = not_sent_text([a_txt, b_txt]) + "\r\n\r\n"
        cases = [
            # (what, script, Directory, box text (given the port), the commands the server gets)
            ("greeting 421", [{"reply": "421 Too many users\r\n"}], "",
             lambda port: why(NO_CONNECTION, "127.0.0.1, port %d: 421 Too many users" % port), []),
            ("USER 530", [{"reply": GREETING}, {"expect": "USER ann", "reply": "530 Not allowed\r\n"}], "",
             why(NO_LOGON, "530 Not allowed"), ["USER ann"]),
            ("USER 230 still gets PASS; PASS 503",
             [{"reply": GREETING}, {"expect": "USER ann", "reply": "230 Already in\r\n"},
              {"expect": "PASS pw", "reply": "503 Bad sequence of commands\r\n"}], "",
             why(NO_LOGON, "503 Bad sequence of commands"), ["USER ann", "PASS pw"]),
            ("CWD 550", dialogue(["PORT", "TYPE A", ("CWD /nowhere", "550 No such directory\r\n")]), "/nowhere",
             why(NO_DIRECTORY, "550 No such directory"), ["USER ann", "PASS pw", "PORT", "TYPE A", "CWD /nowhere"]),
            ("PWD without a quoted directory",
             dialogue(["PORT", "TYPE A", ("PWD", "257 /home/u is the current directory\r\n")]), "www",
             why(NO_DIRECTORY, "257 /home/u is the current directory"),
             ["USER ann", "PASS pw", "PORT", "TYPE A", "PWD"]),
            # The abort names both files: the one refused and the one never tried.
            ("PORT 500", dialogue([("PORT", "500 PORT not understood\r\n")]), "",
             not_sent + "500 PORT not understood", ["USER ann", "PASS pw", "PORT"]),
            ("STOR 550", dialogue(["PORT", "TYPE A"]) +
             [{"expect": "STOR a.txt", "reply": "550 Permission denied\r\n"}], "", not_sent + "550 Permission denied",
             ["USER ann", "PASS pw", "PORT", "TYPE A", "STOR a.txt"]),
        ]
        for what, script, directory, text, commands in cases:
            srv, box, run = run_with(d, s, script, [a_txt, b_txt], directory=directory)
            try:
                with run:
                    failure_box(t, run, text(srv.port) if callable(text) else text)
                srv.wait(10)
                # Nothing after the failure: no second file, no QUIT.
                t.eq(without_ports(srv.commands), commands, what)
            finally:
                box.delete(d)
                srv.close()

    with t.case("a setting holding a line break is never sent: its step fails"):
        for setting, text, script in (
                ({"user": "ann\r\nDELE index.html"}, NO_LOGON, [{"reply": GREETING}]),
                ({"password": "pw\nDELE index.html"}, NO_LOGON,
                 [{"reply": GREETING}, {"expect": "USER ann", "reply": USER_OK}]),
                ({"directory": "/www\r\nDELE index.html"}, NO_DIRECTORY, dialogue(["PORT", "TYPE A"]))):
            srv, box, run = run_with(d, s, script, [a_txt], **setting)
            try:
                with run:
                    failure_box(t, run, text)
                srv.wait(10)
                t.eq([c for c in srv.commands if "DELE" in c or c.startswith("CWD")], [], str(setting))
                t.eq(srv.errors, [])
            finally:
                box.delete(d)
                srv.close()

    with t.case("a server that never answers QUIT: the run ends by itself with the exit code it earned"):
        for files, code in (([a_txt], 0), ([a_txt, os.path.join(src, "missing.txt")], 1)):
            script = dialogue(["PORT", "TYPE A", "STOR a.txt"]) + [{"expect": "QUIT"}]
            srv, box, run = run_with(d, s, script, files)
            try:
                with run:
                    if code:
                        d.answer("ok", box=run.message_box())
                    t.eq(run.exit_code(timeout=20), code, "exit code")
                t.eq(without_ports(srv.commands)[-1], "QUIT")
                t.eq([x["data"] for x in srv.transfers], [b"alpha\n"])
            finally:
                box.delete(d)
                srv.close()

    with t.case("no host listening"):
        port = closed_port()
        box = boxes.make_box(d, s.tmp, "Fail", port=port)
        try:
            with EngineRun(d, box, boxes.path_list([a_txt])) as run:
                failure_box(t, run, why(NO_CONNECTION, "127.0.0.1, port %d: the connection was refused" % port))
        finally:
            box.delete(d)

    with t.case("Cancel or Escape while the greeting is awaited ends at once, without QUIT"):
        for press in (lambda w: d.click(w, CANCEL), d.escape):
            greeting = boxes.HeldReply(GREETING)
            srv, box, run = run_with(d, s, [{"reply": greeting}, {"expect": "USER ann", "reply": USER_OK}],
                                     [a_txt])
            try:
                with run:
                    w = run.window()
                    t.check(greeting.wait_reached(), "the server holds its greeting")
                    press(w)
                    t.eq(run.exit_code(timeout=10), 2, "exit code")
                t.eq(srv.commands, [])
            finally:
                greeting.release()
                box.delete(d)
                srv.close()

    with t.case("Erase: only a file kept with a 2xx goes; one refused (451) or answered without a number stays"):
        for n, completion in enumerate(("451 Local error in processing\r\n", "Transfer complete\r\n")):
            kept = write(os.path.join(src, "erase%d" % n, "kept.txt"), "refused by the server\n")
            gone = write(os.path.join(src, "erase%d" % n, "gone.txt"), "stored by the server\n")
            script = dialogue(["PORT", "TYPE A", ("STOR kept.txt", completion), "PORT", "TYPE A", "STOR gone.txt",
                               "QUIT"])
            srv, box, run = run_with(d, s, script, [kept, gone], erase=1)
            try:
                with run:
                    report = run.message_box()
                    t.eq(report.text, not_sent_text([kept]))
                    t.check("QUIT" not in srv.commands, "reported before QUIT")
                    d.answer("ok", box=report)
                    t.eq(run.exit_code(), 1, "exit code")
                t.check(os.path.exists(kept), "the refused file stays")
                t.check(not os.path.exists(gone), "the stored file is erased")
                srv.wait(10)
                t.eq(srv.commands[-1], "QUIT")
            finally:
                box.delete(d)
                srv.close()

    with t.case("a data connection that never comes (425) is reported; the next file goes"):
        script = dialogue(["PORT", "TYPE A"]) + [
            {"expect": "STOR a.txt", "reply": [STOR_OPEN, "425 Can't open data connection\r\n"], "pause": 0.3}]
        script += dialogue(["PORT", "TYPE A", "STOR b.txt", "QUIT"], with_login=False)
        srv, box, run = run_with(d, s, script, [a_txt, b_txt], erase=1, details=1)
        try:
            with run:
                report = run.message_box()
                t.eq(report.text, not_sent_text([a_txt]))
                # The log is brought up to date before the report shows: read at once.
                log = d.get_text(run.window(), LOG)
                t.eq(log, GREETING + USER_OK + PASS_OK + PORT_OK + TYPE_OK + STOR_OPEN +
                     "425 Can't open data connection\r\n" + PORT_OK + TYPE_OK + STOR_OPEN + STORED)
                d.answer("ok", box=report)
                t.eq(run.exit_code(), 1, "exit code")
            srv.wait(10)
            t.eq(without_ports(srv.commands),
                 ["USER ann", "PASS pw", "PORT", "TYPE A", "STOR a.txt", "PORT", "TYPE A", "STOR b.txt", "QUIT"])
            t.eq([x["data"] for x in srv.transfers], [b"bravo\n"])
            t.check(os.path.exists(a_txt), "the file not sent is not erased")
            t.eq(srv.errors, [])
        finally:
            box.delete(d)
            srv.close()
        write(b_txt, "bravo\n")

    with t.case("a transfer aborted by the server (426) is reported; the next file goes"):
        script = dialogue(["PORT", "TYPE A", ("STOR a.txt", "426 Connection closed; transfer aborted\r\n"),
                           "PORT", "TYPE A", "STOR b.txt", "QUIT"])
        srv, box, run = run_with(d, s, script, [a_txt, b_txt])
        try:
            with run:
                report = run.message_box()
                t.eq(report.text, not_sent_text([a_txt]))
                d.answer("ok", box=report)
                t.eq(run.exit_code(), 1, "exit code")
            srv.wait(10)
            t.eq(srv.commands[-2:], ["STOR b.txt", "QUIT"])
            t.eq(srv.errors, [])
        finally:
            box.delete(d)
            srv.close()

    with t.case("a send cut off mid-file keeps the control connection in step"):
        big = write(os.path.join(src, "big.bin"), os.urandom(8 << 20))
        script = dialogue(["PORT", "TYPE I"]) + [
            {"expect": "STOR big.bin", "reply": STOR_OPEN, "data": "probe",
             "then": "426 Connection closed; transfer aborted\r\n"}]
        script += dialogue(["PORT", "TYPE A", "STOR a.txt", "QUIT"], with_login=False)
        srv, box, run = run_with(d, s, script, [big, a_txt], erase=1)
        try:
            with run:
                report = run.message_box()
                t.eq(report.text, not_sent_text([big]))
                d.answer("ok", box=report)
                t.eq(run.exit_code(), 1, "exit code")
            srv.wait(10)
            t.eq(without_ports(srv.commands),
                 ["USER ann", "PASS pw", "PORT", "TYPE I", "STOR big.bin", "PORT", "TYPE A", "STOR a.txt", "QUIT"])
            t.eq([x["data"] for x in srv.transfers if x["kind"] == "receive"], [b"alpha\n"])
            t.check(os.path.exists(big), "the cut-off file is not erased")
            t.eq(srv.errors, [])
        finally:
            box.delete(d)
            srv.close()
        write(a_txt, "alpha\n")

    with t.case("replies that end in a bare line feed are read like any other"):
        lf = [dict(step, **{k: step[k].replace("\r\n", "\n") for k in ("reply", "then") if k in step})
              for step in dialogue(["PORT", "TYPE A", "STOR a.txt", "QUIT"])]
        lf[0]["reply"] = "220-Welcome\n220 Ready\n"
        srv, box, run = run_with(d, s, lf, [a_txt])
        try:
            with run:
                t.eq(run.exit_code(timeout=30), 0, "exit code")
            srv.wait(10)
            t.eq(without_ports(srv.commands), ["USER ann", "PASS pw", "PORT", "TYPE A", "STOR a.txt", "QUIT"])
            t.eq([x["data"] for x in srv.transfers], [b"alpha\n"])
        finally:
            box.delete(d)
            srv.close()

    with t.case("an abort names every path not sent: failed before, refused, and never tried"):
        g = os.path.join(src, "g")
        g1, g2 = write(os.path.join(g, "g1.txt"), "g1\n"), write(os.path.join(g, "g2.txt"), "g2\n")
        script = dialogue(["PORT", "TYPE A", ("STOR a.txt", "451 Local error in processing\r\n"),
                           "MKD g", "CWD g", "PORT", "TYPE A"])
        script.append({"expect": "STOR *", "reply": "550 Permission denied\r\n"})
        srv, box, run = run_with(d, s, script, [a_txt, g, b_txt])
        try:
            with run:
                run.message_box()
                first = g1 if "STOR g1.txt" in srv.commands else g2
                failure_box(t, run, not_sent_text([a_txt, first, g2 if first == g1 else g1, b_txt]) +
                            "\r\n\r\n550 Permission denied")
        finally:
            box.delete(d)
            srv.close()
        # A server that goes away: the next data port cannot be opened.
        script = dialogue(["PORT", "TYPE A", "STOR a.txt"])
        script[-1]["close"] = True
        srv, box, run = run_with(d, s, script, [a_txt, b_txt, g])
        try:
            with run:
                failure_box(t, run, not_sent_text([b_txt, g]) + "\r\n\r\nthe FTP host closed the connection")
        finally:
            box.delete(d)
            srv.close()

    with t.case("a folder that cannot be entered is skipped whole, without CDUP"):
        folder = os.path.join(src, "locked")
        write(os.path.join(folder, "inside.txt"), "inside\n")
        write(os.path.join(folder, "sub", "deeper.txt"), "deeper\n")
        script = dialogue([("MKD locked", "550 Create directory operation failed\r\n"),
                           ("CWD locked", "550 Failed to change directory\r\n"),
                           "PORT", "TYPE A", "STOR b.txt", "QUIT"])
        srv, box, run = run_with(d, s, script, [folder, b_txt])
        try:
            with run:
                report = run.message_box()
                t.eq(report.text, not_sent_text([folder]))
                d.answer("ok", box=report)
                t.eq(run.exit_code(), 1, "exit code")
            srv.wait(10)
            t.eq(without_ports(srv.commands),
                 ["USER ann", "PASS pw", "MKD locked", "CWD locked", "PORT", "TYPE A", "STOR b.txt", "QUIT"])
        finally:
            box.delete(d)
            srv.close()

sys.exit(t.finish())
