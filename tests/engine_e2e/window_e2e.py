"""The progress window of a real upload under Wine: the Details log opened,
closed and remembered for the box's next run, the window's height in each
state, Enter that does not close it, the bar, and the picture of it in
docs/progress.png."""

import os
import shutil
import subprocess
import sys
import time

from engine_run import (BAR, DETAILS, GREETING, LOG, PASS_OK, PORT_OK, QUIT, STATUS, STOR_OPEN, STORED, TYPE_OK,
                        USER_OK, EngineRun, ScriptedFtpServer, boxes, dialogue, suite, write)

t = suite.Tests()
WM_NEXTDLGCTL = 0x0028
# docs/progress.png is renewed on request only, so a test run leaves the tree alone.
PICTURE = (os.path.join(suite.SOURCE_DIR, "docs", "progress.png") if os.environ.get("SUITE_UPDATE_PICTURES")
           else os.path.join(suite.NATIVE_DIR, "pictures", "progress.png"))


def greeting_held(lines):
    """A server that holds its greeting until released, then expects lines."""
    greeting = boxes.HeldReply(GREETING)
    return greeting, ScriptedFtpServer([{"reply": greeting}] + dialogue(lines)[1:]).start()


def held_upload(name, completion):
    return dialogue(["PORT", "TYPE *"]) + [
        {"expect": "STOR " + name, "reply": STOR_OPEN, "data": "receive", "then": completion},
        {"expect": "QUIT", "reply": "221 Goodbye\r\n"}]


with suite.Session() as s:
    d = s.driver
    src = os.path.join(s.tmp, "src")
    a_txt = write(os.path.join(src, "a.txt"), "alpha\n")

    with t.case("Details: toggled, stored, and the next run opens with the log"):
        greeting, srv = greeting_held(["PORT", "TYPE A", "STOR a.txt", "QUIT"])
        box = boxes.make_box(d, s.tmp, "Win", port=srv.port, user="ann", password="pw", details=0)
        try:
            with EngineRun(d, box, boxes.path_list([a_txt])) as run:
                w = run.window()
                t.check(greeting.wait_reached(), "the server holds its greeting")
                cancel, log = d.rect(w, 2), d.rect(w, LOG)
                collapsed = d.rect(w)
                t.check(not d.is_visible(w, LOG), "the log starts hidden")
                t.eq(d.get_text(w, DETAILS), "&Details >>")
                t.check(0 < collapsed.bottom - cancel.bottom <= 12, "collapsed: ends just below Cancel %r %r"
                        % (collapsed, cancel))
                t.check(collapsed.bottom <= log.top, "collapsed: the log is cut off")

                d.click(w, DETAILS)
                expanded = d.rect(w)
                t.check(d.is_visible(w, LOG), "the log is shown")
                t.eq(d.get_text(w, DETAILS), "<< &Details")
                t.eq(box.get(d, "details"), 1, "stored")
                t.check(0 < expanded.bottom - log.bottom <= 12, "expanded: ends just below the log %r %r"
                        % (expanded, log))
                t.eq(expanded.height - collapsed.height, log.bottom - cancel.bottom, "grows by the log")
                t.eq((expanded.left, expanded.top, expanded.width), (collapsed.left, collapsed.top, collapsed.width),
                     "only the height changes")

                d.click(w, DETAILS)
                t.check(not d.is_visible(w, LOG), "hidden again")
                t.eq(d.get_text(w, DETAILS), "&Details >>")
                t.eq(box.get(d, "details"), 0, "stored")
                t.eq(d.rect(w), collapsed, "back to the collapsed height")

                d.click(w, DETAILS)
                greeting.release()
                t.eq(run.exit_code(), 0, "exit code")
            srv.wait(10)

            srv.close()
            greeting, srv = greeting_held(["PORT", "TYPE A", "STOR a.txt", "QUIT"])
            box.set(d, port=srv.port)
            with EngineRun(d, box, boxes.path_list([a_txt])) as run:
                w = run.window()
                t.check(greeting.wait_reached(), "the server holds its greeting")
                t.check(d.is_visible(w, LOG), "the next run opens with the log")
                t.eq(d.get_text(w, DETAILS), "<< &Details")
                # It keeps the template's height, a little more than a toggle gives.
                reopened = d.rect(w)
                t.check(reopened.bottom > d.rect(w, LOG).bottom, "the log fits %r" % (reopened,))
                t.check(reopened.height >= expanded.height, "at least the expanded height %r" % (reopened,))
                greeting.release()
                t.eq(run.exit_code(), 0, "exit code")
        finally:
            greeting.release()
            box.delete(d)
            srv.close()

    with t.case("Enter does not close the window"):
        held = boxes.HeldReply(STORED)
        srv = ScriptedFtpServer(held_upload("a.txt", held)).start()
        box = boxes.make_box(d, s.tmp, "Win", port=srv.port, user="ann", password="pw", details=1)
        try:
            with EngineRun(d, box, boxes.path_list([a_txt])) as run:
                w = run.window()
                t.check(held.wait_reached(), "the server holds the completion")
                d.enter(w)  # as the window opens: it takes the front, not the user's Enter
                time.sleep(0.5)
                t.check(run.alive(), "Enter as the window opens leaves it running")
                log = [c for c in d.children(w) if c.id == LOG][0]
                d.send(w, WM_NEXTDLGCTL, int(log.hwnd), 1)  # focus on the log, not a button
                d.enter(w)
                d.key(w, "enter", ctl=BAR)
                time.sleep(1.0)
                t.check(run.alive(), "still running")
                t.check(d.exists(d.title(w), pid=run.pid), "window still open")
                held.release()
                t.eq(run.exit_code(), 0, "exit code")
        finally:
            held.release()
            box.delete(d)
            srv.close()

    with t.case("the bar reaches 100 for a whole file, also an empty one"):
        empty = write(os.path.join(src, "empty.dat"), b"")
        for path, name in ((a_txt, "a.txt"), (empty, "empty.dat")):
            held = boxes.HeldReply(STORED)
            srv = ScriptedFtpServer(held_upload(name, held)).start()
            box = boxes.make_box(d, s.tmp, "Win", port=srv.port, user="ann", password="pw")
            try:
                with EngineRun(d, box, boxes.path_list([path])) as run:
                    w = run.window()
                    t.check(held.wait_reached(), "the server holds the completion")
                    t.eq(tuple(d.wait_progress(w, BAR, 100)), (100, 0, 100), name)
                    held.release()
                    t.eq(run.exit_code(), 0, "exit code")
            finally:
                held.release()
                box.delete(d)
                srv.close()

    with t.case("a run of many files: the hidden log, opened, holds every reply so far; status and bar current"):
        many = [write(os.path.join(src, "many", "f%02d.txt" % i), "file %d\n" % i) for i in range(40)]
        held = boxes.HeldReply(STORED)
        script = dialogue(sum((["PORT", "TYPE A", "STOR f%02d.txt" % i] for i in range(39)), []))
        script += [{"expect": "PORT *", "reply": PORT_OK}, {"expect": "TYPE A", "reply": TYPE_OK},
                   {"expect": "STOR f39.txt", "reply": STOR_OPEN, "data": "receive", "then": held}, QUIT]
        srv = ScriptedFtpServer(script).start()
        box = boxes.make_box(d, s.tmp, "Win", port=srv.port, user="ann", password="pw", details=0)
        try:
            with EngineRun(d, box, boxes.path_list(many)) as run:
                w = run.window()
                t.check(held.wait_reached(), "the server holds the last completion")
                t.eq(d.wait_text(w, STATUS, "Sending f39.txt..."), "Sending f39.txt...")
                t.eq(tuple(d.wait_progress(w, BAR, 100)), (100, 0, 100))
                d.click(w, DETAILS)
                t.eq(d.get_text(w, LOG), GREETING + USER_OK + PASS_OK + (PORT_OK + TYPE_OK + STOR_OPEN + STORED) * 39 +
                     PORT_OK + TYPE_OK + STOR_OPEN)
                held.release()
                t.eq(run.exit_code(), 0, "exit code")
            t.eq(len(srv.transfers), 40, "all stored")
        finally:
            held.release()
            box.delete(d)
            srv.close()

    with t.case("picture of the window during an upload, log open"):
        big = write(os.path.join(src, "site-backup.zip"), os.urandom(3 << 20))  # about 3 s under Wine
        held = boxes.HeldReply(STORED)
        srv = ScriptedFtpServer(held_upload("site-backup.zip", held)).start()
        box = boxes.make_box(d, s.tmp, "My Site", port=srv.port, user="ann", password="pw", details=1)
        bmp = os.path.join(s.tmp, "progress.bmp")
        try:
            with EngineRun(d, box, boxes.path_list([big])) as run:
                w = run.window()
                # Caught mid-file if the bar can be seen moving; else when sent.
                deadline = time.monotonic() + 30
                while time.monotonic() < deadline and not held.wait_reached(0):
                    if d.get_text(w, STATUS).startswith("Sending") and 40 <= d.progress(w, BAR).pos <= 70:
                        break
                pos = d.progress(w, BAR).pos
                d.screenshot(bmp, win=w)
                t.check(held.wait_reached(), "the server holds the completion")
                t.check(0 < pos <= 100, "the bar moved: %d" % pos)
                held.release()
                t.eq(run.exit_code(), 0, "exit code")
            convert = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else shutil.which("convert")
            os.makedirs(os.path.dirname(PICTURE), exist_ok=True)
            subprocess.run([convert, bmp, PICTURE], check=True)
            t.check(os.path.getsize(PICTURE) > 1000, "picture written")
            print("picture at %d%%: %s" % (pos, PICTURE))
        finally:
            held.release()
            box.delete(d)
            srv.close()

    with t.case("The window gives back its device context before it goes"):
        srv = ScriptedFtpServer(dialogue(["QUIT"])).start()
        box = boxes.make_box(d, s.tmp, "Context", port=srv.port, user="ann", password="pw")
        try:
            # No drive colon, no path: the run logs in and completes at once.
            # Wine names a window destroyed with a context still out.
            run = suite.run_program(box.exe, "nothing", cwd=box.suite_dir, env={"WINEDEBUG": "-all,warn+win"})
            t.eq(run.returncode, 0, "exit code")
            t.check("without ReleaseDC" not in run.stderr, run.stderr[-1500:])
        finally:
            box.delete(d)
            srv.close()

sys.exit(t.finish())
