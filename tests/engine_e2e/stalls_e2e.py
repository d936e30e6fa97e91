"""A server that goes silent, under Wine against the scripted server: at each
step of an upload, and under the browser's LIST and RETR, the wait ends
about "Timeout" seconds later with the step's own message and the reason
below it; nothing is erased or left half-written here. "Timeout" 0 waits on.
A stored port outside 1-65535 is refused without connecting."""

import os
import shutil
import socket
import sys
import time

from engine_run import (GREETING, LOG, PASS_OK, USER_OK, EngineRun, ScriptedFtpServer, boxes, dialogue, failure_box,
                        login, not_sent_text, suite, write)

t = suite.Tests()

LIMIT = 3
MARGIN = 12  # Wine's start-up and the message box's appearance
NO_ANSWER = "no answer within %d seconds" % LIMIT
HOLD = {"sleep": 30}  # longer than any case waits
BROWSER, STATUS, LIST, DOWNLOAD = "FTP Fetchora", 2101, 2106, 2112


def stall_cases(a_txt, big):
    """(what, script, files, the message for a server on `port`)."""
    stor = dialogue(["PORT", "TYPE A"])
    return [
        ("greeting", [dict(HOLD, reply=GREETING)], [a_txt],
         lambda port: "Unable to establish a connection to the FTP host:\n\n127.0.0.1, port %d: %s" % (port, NO_ANSWER)),
        ("after PASS", login()[:2] + [{"expect": "PASS pw"}, HOLD], [a_txt],
         lambda port: "Unable to logon to FTP host:\n\n" + NO_ANSWER),
        ("after 150", stor + [{"expect": "STOR a.txt", "reply": "150 Go\r\n"}, HOLD], [a_txt],
         lambda port: not_sent_text([a_txt]) + "\r\n\r\n" + NO_ANSWER),
        ("mid-data", dialogue(["PORT", "TYPE I"]) +
         [{"expect": "STOR big.bin", "reply": "150 Go\r\n", "data": "stall", "stall": 30}], [big, a_txt],
         lambda port: not_sent_text([big, a_txt]) + "\r\n\r\n" + NO_ANSWER),
        ("before 226", stor + [{"expect": "STOR a.txt", "reply": "150 Go\r\n", "data": "receive"}, HOLD], [a_txt],
         lambda port: not_sent_text([a_txt]) + "\r\n\r\n" + NO_ANSWER),
    ]


def closed_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Browser:
    def __init__(self, d, program, folder, box):
        self.d = d
        self.pid = d.start("SndMgr %s\r" % box, cwd=folder, app=program)
        self.w = d.wait_window(BROWSER, timeout=30, pid=self.pid)

    def names(self):
        return [r[0] for r in self.d.lv_items(self.w, LIST)]


def wait_for(what, predicate, timeout=30.0):
    if not suite.poll(predicate, timeout, 0.1):
        raise AssertionError("timed out waiting for " + what)


with suite.Session() as s:
    d = s.driver
    src = os.path.join(s.tmp, "src")
    a_txt = write(os.path.join(src, "a.txt"), "alpha\n")
    big = write(os.path.join(src, "big.bin"), b"\0" * (32 << 20))

    with t.case("a server silent at each step: the step's message and why, after about the limit"):
        for what, script, files, message in stall_cases(a_txt, big):
            srv = ScriptedFtpServer(script).start()
            box = boxes.make_box(d, s.tmp, "Stall", port=srv.port, user="ann", password="pw", erase=1, details=1,
                                 timeout=LIMIT)
            try:
                started = time.monotonic()
                with EngineRun(d, box, boxes.path_list(files)) as run:
                    shown = run.message_box(timeout=LIMIT + MARGIN)
                    t.check(time.monotonic() - started < LIMIT + MARGIN, what + ": within the limit")
                    t.eq(shown.text, message(srv.port), what)
                    t.check(d.get_text(run.window(), LOG).endswith(NO_ANSWER + "\r\n"), what + ": logged")
                    failure_box(t, run, shown.text)
                t.check(all(os.path.exists(f) for f in files), what + ": not erased")
            finally:
                box.delete(d)
                srv.close()

    with t.case("Timeout 0: a silent greeting is waited for"):
        greeting = boxes.HeldReply(GREETING)
        srv = ScriptedFtpServer([{"reply": greeting}, {"expect": "USER ann", "reply": USER_OK},
                                 {"expect": "PASS pw", "reply": PASS_OK}]).start()
        box = boxes.make_box(d, s.tmp, "Stall", port=srv.port, user="ann", password="pw", timeout=0)
        try:
            with EngineRun(d, box, boxes.path_list([a_txt])) as run:
                t.check(greeting.wait_reached(), "the server holds its greeting")
                time.sleep(LIMIT + 2)
                t.check(run.alive() and d.find_message_box(pid=run.pid) is None, "still waiting")
        finally:
            greeting.release()
            box.delete(d)
            srv.close()

    with t.case("a port outside 1-65535 is refused before any connection"):
        for port in (0, 65536, 104929):
            # What a port kept to 16 bits would reach.
            wrapped = socket.socket()
            try:
                wrapped.bind(("127.0.0.1", port & 0xFFFF or closed_port()))
                wrapped.listen(1)
                wrapped.settimeout(0.5)
            except OSError:
                wrapped = None
            box = boxes.make_box(d, s.tmp, "Port", port=port)
            try:
                with EngineRun(d, box, boxes.path_list([a_txt])) as run:
                    failure_box(t, run, "Unable to establish a connection to the FTP host:\n\n"
                                        "127.0.0.1, port %d: the port must be from 1 to 65535" % port)
                if wrapped is not None:
                    try:
                        wrapped.accept()
                        t.check(False, "port %d: connected" % port)
                    except socket.timeout:
                        pass
            finally:
                box.delete(d)
                if wrapped is not None:
                    wrapped.close()

    folder = os.path.join(s.tmp, "suite")
    target = os.path.join(s.tmp, "in")
    os.makedirs(target)
    os.makedirs(folder)
    program = os.path.join(folder, "SndMgr.exe")
    shutil.copyfile(suite.win64_bin("SndMgr.exe"), program)
    listing = "-rw-r--r-- 1 a b 3000 Jan  1 00:00 r.txt\r\n"
    local = os.path.join(target, "r.txt")
    receive_failed = "Unable to receive data from the FTP host:\n\n" + NO_ANSWER

    with t.case("the browser: a silent LIST or RETR ends with its message; the earlier file stays, no partial"):
        cases = [
            ("LIST", [{"expect": "TYPE A", "reply": "200 Type set\r\n"}, {"expect": "PORT *", "reply": "200 Ok\r\n"},
                      {"expect": "LIST", "reply": "150 Here\r\n", "data": "stall", "stall": 30}], receive_failed),
            ("RETR", [{"expect": "TYPE A", "reply": "200 Type set\r\n"}, {"expect": "PORT *", "reply": "200 Ok\r\n"},
                      {"expect": "LIST", "reply": "150 Here\r\n", "data": "send", "payload": listing,
                       "then": "226 Done\r\n"},
                      {"expect": "PWD", "reply": "257 \"/\" is current\r\n"},
                      {"expect": "TYPE A", "reply": "200 Type set\r\n"}, {"expect": "PORT *", "reply": "200 Ok\r\n"},
                      {"expect": "RETR r.txt", "reply": "150 Here\r\n", "data": "send", "payload": "x" * 1000},
                      HOLD],
             receive_failed + "\nThe download of \"r.txt\" did not complete: the partial file was removed."),
        ]
        for what, steps, message in cases:
            write(local, b"my own copy\r\n")
            if os.path.exists(os.path.join(folder, "Site.lst")):
                os.remove(os.path.join(folder, "Site.lst"))
            srv = ScriptedFtpServer(login() + steps).start()
            box = boxes.make_box(d, folder, "Site", port=srv.port, user="ann", password="pw", timeout=LIMIT)
            box.set(d, target_directory=suite.win_path(target))
            try:
                b = Browser(d, program, folder, "Site")
                if what == "RETR":
                    wait_for("the listing", lambda: b.names() == ["r.txt"])
                    d.lv_select(b.w, LIST, 0)
                    d.click(b.w, DOWNLOAD)
                    prompt = d.wait_window("FTP Sendora", pid=b.pid)
                    d.click(prompt, 6)  # Yes: replace
                started = time.monotonic()
                shown = d.message_box(pid=b.pid, timeout=LIMIT + MARGIN)
                t.check(time.monotonic() - started < LIMIT + MARGIN, what + ": within the limit")
                t.eq(shown.text, message, what)
                d.answer("ok", box=shown)
                t.eq(open(local, "rb").read(), b"my own copy\r\n", what + ": the earlier file")
                t.eq(sorted(os.listdir(target)), ["r.txt"], what + ": no partial file")
                d.escape(b.w)
                t.eq(d.wait_pid(b.pid, timeout=20), 0, what + ": closes")
            finally:
                box.delete(d)
                srv.close()

    with t.case("the browser's close box during a stalled download: the earlier file stays, no partial"):
        write(local, b"my own copy\r\n")
        srv = ScriptedFtpServer(login() + cases[1][1]).start()
        box = boxes.make_box(d, folder, "Site", port=srv.port, user="ann", password="pw", timeout=60)
        box.set(d, target_directory=suite.win_path(target))
        try:
            os.remove(os.path.join(folder, "Site.lst"))
            b = Browser(d, program, folder, "Site")
            wait_for("the listing", lambda: b.names() == ["r.txt"])
            d.lv_select(b.w, LIST, 0)
            d.click(b.w, DOWNLOAD)
            d.click(d.wait_window("FTP Sendora", pid=b.pid), 6)
            wait_for("the download under way", lambda: d.get_text(b.w, STATUS).startswith("Downloading"))
            d.post(b.w, 0x0112, 0xF060)  # the close box: WM_SYSCOMMAND, SC_CLOSE
            t.eq(d.wait_pid(b.pid, timeout=10), 0, "closes at once")
            t.eq(open(local, "rb").read(), b"my own copy\r\n")
            t.eq(sorted(os.listdir(target)), ["r.txt"], "no partial file")
        finally:
            box.delete(d)
            srv.close()

sys.exit(t.finish())
