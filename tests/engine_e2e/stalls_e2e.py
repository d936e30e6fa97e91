"""A server that goes silent, under Wine against the scripted server: at each
step of an upload, and under the browser's LIST and RETR, the wait ends
about "Timeout" seconds later with the step's own message and the reason
below it; nothing is erased or left half-written here. "Timeout" 0 waits on.
A stored port outside 1-65535 is refused without connecting."""

import os
import select
import socket
import sys
import time

from engine_run import (GREETING, LOG, EngineRun, ScriptedFtpServer, boxes, dialogue, failure_box, login,
                        not_sent_text, suite, write)

t = suite.Tests()

LIMIT, MARGIN = 3, 20  # the margin: Wine's start-up, the data that fills the buffers, the message box
NO_ANSWER = "no answer within %d seconds" % LIMIT
HOLD = {"sleep": 30}
STATUS, LIST, DOWNLOAD, YES = 2101, 2106, 2112, 6
WM_SYSCOMMAND, SC_CLOSE = 0x0112, 0xF060

with suite.Session() as s:
    d = s.driver
    src = os.path.join(s.tmp, "src")
    a_txt = write(os.path.join(src, "a.txt"), "alpha\n")
    big = write(os.path.join(src, "big.bin"), b"\0" * (24 << 20))  # more than the sockets hold

    def timed_message(pid, what):
        started = time.monotonic()
        shown = d.message_box(pid=pid, timeout=LIMIT + MARGIN)
        t.check(time.monotonic() - started < LIMIT + MARGIN, "%s: within the limit (%.1f s)" % (
            what, time.monotonic() - started))
        return shown

    with t.case("a server silent at each step: the step's message and why, after about the limit"):
        stor = dialogue(["PORT", "TYPE A"])
        cases = [
            # (what, script, files, the message for a server on port p)
            ("greeting", [dict(HOLD, reply=GREETING)], [a_txt],
             lambda p: "Unable to establish a connection to the FTP host:\n\n127.0.0.1, port %d: %s" % (p, NO_ANSWER)),
            ("after PASS", login()[:2] + [{"expect": "PASS pw"}, HOLD], [a_txt],
             lambda p: "Unable to logon to FTP host:\n\n" + NO_ANSWER),
            ("after 150", stor + [{"expect": "STOR a.txt", "reply": "150 Go\r\n"}, HOLD], [a_txt],
             lambda p: not_sent_text([a_txt]) + "\r\n\r\n" + NO_ANSWER),
            ("mid-data", dialogue(["PORT", "TYPE I"]) +
             [{"expect": "STOR big.bin", "reply": "150 Go\r\n", "data": "stall", "stall": 30}], [big, a_txt],
             lambda p: not_sent_text([big, a_txt]) + "\r\n\r\n" + NO_ANSWER),
            ("before 226", stor + [{"expect": "STOR a.txt", "reply": "150 Go\r\n", "data": "receive"}, HOLD], [a_txt],
             lambda p: not_sent_text([a_txt]) + "\r\n\r\n" + NO_ANSWER),
        ]
        for what, script, files, message in cases:
            srv = ScriptedFtpServer(script).start()
            box = boxes.make_box(d, s.tmp, "Stall", port=srv.port, user="ann", password="pw", erase=1, details=1,
                                 timeout=LIMIT)
            try:
                with EngineRun(d, box, boxes.path_list(files)) as run:
                    t.eq(timed_message(run.pid, what).text, message(srv.port), what)
                    t.check(d.get_text(run.window(), LOG).endswith(NO_ANSWER + "\r\n"), what + ": logged")
                    failure_box(t, run, message(srv.port))
                t.check(all(os.path.exists(f) for f in files), what + ": not erased")
            finally:
                box.delete(d)
                srv.close()

    with t.case("Timeout 0: a silent greeting is waited for"):
        srv = ScriptedFtpServer([dict(HOLD, reply=GREETING)]).start()
        box = boxes.make_box(d, s.tmp, "Stall", port=srv.port, timeout=0)
        try:
            with EngineRun(d, box, boxes.path_list([a_txt])) as run:
                run.window()
                time.sleep(LIMIT + 2)
                t.check(run.alive() and d.find_message_box(pid=run.pid) is None, "still waiting")
        finally:
            box.delete(d)
            srv.close()

    with t.case("a port outside 1-65535 is refused before any connection"):
        for port in (0, 65536, 104929):
            wrapped = socket.socket()  # where a port kept to 16 bits would go
            try:
                wrapped.bind(("127.0.0.1", port & 0xFFFF))
                wrapped.listen(1)
            except OSError:
                wrapped.close()
                wrapped = None
            box = boxes.make_box(d, s.tmp, "Port", port=port)
            try:
                with EngineRun(d, box, boxes.path_list([a_txt])) as run:
                    failure_box(t, run, "Unable to establish a connection to the FTP host:\n\n"
                                        "127.0.0.1, port %d: the port must be from 1 to 65535" % port)
                if wrapped is not None:
                    t.eq(select.select([wrapped], [], [], 0.5)[0], [], "port %d: nothing connected" % port)
            finally:
                box.delete(d)
                if wrapped is not None:
                    wrapped.close()

    folder, target, program = boxes.browser_folder(s.tmp)
    local = os.path.join(target, "r.txt")
    lists = [{"expect": "TYPE A", "reply": "200 Type set\r\n"}, {"expect": "PORT *", "reply": "200 Ok\r\n"}]
    retr = login() + lists + [
        {"expect": "LIST", "reply": "150 Here\r\n", "data": "send", "then": "226 Done\r\n",
         "payload": "-rw-r--r-- 1 a b 3000 Jan  1 00:00 r.txt\r\n"},
        {"expect": "PWD", "reply": "257 \"/\" is current\r\n"}] + lists + [
        {"expect": "RETR r.txt", "reply": "150 Here\r\n", "data": "send", "payload": "x" * 1000}, HOLD]
    cut = "Unable to receive data from the FTP host:\n\n%s\nThe download of \"r.txt\" did not complete: " \
          "the partial file was removed." % NO_ANSWER

    with t.case("the browser: a silent LIST or RETR ends with its message, or at once when closed; the earlier "
                "file stays, no partial"):
        cases = [
            # (what, script, Timeout, how it ends: a message or the close box)
            ("LIST", login() + lists + [{"expect": "LIST", "reply": "150 Here\r\n", "data": "stall", "stall": 30}],
             LIMIT, "Unable to receive data from the FTP host:\n\n" + NO_ANSWER),
            ("RETR", retr, LIMIT, cut),
            ("RETR, closed", retr, 60, None),
        ]
        for what, script, limit, message in cases:
            write(local, b"my own copy\r\n")
            if os.path.exists(os.path.join(folder, "Site.lst")):
                os.remove(os.path.join(folder, "Site.lst"))
            srv = ScriptedFtpServer(script).start()
            box = boxes.make_box(d, folder, "Site", port=srv.port, user="ann", password="pw", timeout=limit,
                                 target_directory=suite.win_path(target))
            try:
                pid, w = boxes.open_browser(d, program, folder, "Site")
                if what.startswith("RETR"):
                    suite.poll(lambda: d.lv_count(w, LIST) == 1, 30, 0.1)
                    d.lv_select(w, LIST, 0)
                    d.click(w, DOWNLOAD)
                    prompt = d.wait_window("FTP Sendora", pid=pid)
                    d.click(prompt, YES)  # replace r.txt
                    suite.poll(lambda: prompt not in [x.hwnd for x in d.windows("FTP Sendora", pid=pid)], 10, 0.05)
                if message is None:
                    suite.poll(lambda: d.get_text(w, STATUS).startswith("Downloading"), 30, 0.1)
                    d.post(w, WM_SYSCOMMAND, SC_CLOSE)
                    t.eq(d.wait_pid(pid, timeout=10), 0, what + ": ends at once")
                else:
                    shown = timed_message(pid, what)
                    t.eq(shown.text, message, what)
                    d.answer("ok", box=shown)
                t.eq(open(local, "rb").read(), b"my own copy\r\n", what + ": the earlier file")
                t.eq(os.listdir(target), ["r.txt"], what + ": no partial file")
                if message is not None:
                    d.escape(w)
                    t.eq(d.wait_pid(pid, timeout=20), 0, what + ": closes")
            finally:
                box.delete(d)
                srv.close()

sys.exit(t.finish())
