"""The driver and the e2e support module, against DriverTarget.exe: every
driver command, the FTP server fixture, exact command lines and cleanup."""

import ftplib
import io
import os
import shutil
import struct
import subprocess
import sys
import textwrap

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import suite  # noqa: E402

W = "Driver Target"
EDIT, ASK, LIST, VIEW, PROGRESS, CHECK, ICON, MULTI, LOG = 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009
WM_TARGET_ADD, WM_TARGET_SHOW = 0x8001, 0x8002
SW_HIDE, SW_SHOW = 0, 5
TARGET = suite.win64_bin("tests", "DriverTarget.exe")

t = suite.Tests()


def log_lines(d):
    return d.get_text(W, LOG).splitlines()


def clear_log(d):
    d.set_text(W, LOG, "")


def read_start_info(path):
    """DriverTarget's record: command line NUL current directory NUL."""
    with open(path, "rb") as f:
        line, cwd, _ = f.read().split(b"\0")
    return line, cwd


def start_target(s, *extra):
    exe = suite.win_path(TARGET)
    return s.driver.start('"%s"%s' % (exe, "".join(" " + e for e in extra)), cwd=s.tmp)


def test_framework():
    # The helper every e2e script relies on: a failing case names file:line
    # and the case, later cases still run, and the exit code says it failed.
    script = textwrap.dedent("""\
        import sys
        sys.path.insert(0, %r)
        import suite
        t = suite.Tests()
        with t.case("first"):
            t.eq(1 + 1, 3, "sum")
        with t.case("second"):
            raise ValueError("boom")
        with t.case("third"):
            t.check(True)
        sys.exit(t.finish())
        """ % os.path.dirname(suite.__file__))
    r = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True)
    with t.case("test helper reports failures with file:line and keeps going"):
        t.eq(r.returncode, 1, "exit code")
        t.check("<string>:6: FAIL [first] sum: expected 3, got 2" in r.stdout, r.stdout)
        t.check("<string>:8: FAIL [second] ValueError: boom" in r.stdout, r.stdout)
        t.check("ok [third]" in r.stdout, r.stdout)
        t.check(r.stdout.rstrip().endswith("1 passed, 2 failed"), r.stdout)


def test_paths():
    with t.case("Linux and Windows paths convert both ways"):
        t.eq(suite.win_path("/tmp/a b/c.txt"), "Z:\\tmp\\a b\\c.txt")
        t.eq(suite.linux_path("Z:\\tmp\\a b\\c.txt"), "/tmp/a b/c.txt")
        t.eq(suite.win_path("C:\\x"), "C:\\x")
        drive_c = os.path.realpath(os.path.join(os.environ["WINEPREFIX"], "drive_c"))
        t.eq(suite.linux_path("C:\\windows\\win.ini"), os.path.join(drive_c, "windows", "win.ini"))


def test_protocol(d):
    with t.case("texts with quotes, backslashes, CR/LF, tabs and code page bytes survive"):
        text = 'a "quoted" \\path\\\r\nline two\tcaf\u00e9 \x01'
        d.set_text(W, EDIT, text)
        t.eq(d.get_text(W, EDIT), text)
        t.eq(suite.tokenize(suite.quote(text.encode("cp1252"))), [(text.encode("cp1252"), True)])
    with t.case("errors come back as exceptions with their kind"):
        for call, kind in [(lambda: d.command("nosuch"), "usage"),
                           (lambda: d.command("title", W, bogus=1), "usage"),
                           (lambda: d.get_text(W, 4242), "notfound"),
                           (lambda: d.title("No Such Window"), "notfound"),
                           (lambda: d.wait_window("No Such Window", timeout=0.2), "timeout")]:
            try:
                call()
                t.fail("no error for %s" % kind)
            except suite.DriverError as e:
                t.eq(e.kind, kind)
        t.check(isinstance(suite.DriverTimeout("timeout", ""), suite.DriverError))


def test_windows(d, pid):
    with t.case("top-level windows are listed with title, class, pid and visibility"):
        found = d.windows(title=W)
        t.eq(len(found), 1)
        t.eq((found[0].cls, found[0].pid, found[0].visible), ("#32770", pid, True))
        t.eq(d.pid_of(W), pid)
        t.eq(d.title(found[0].hwnd), W)
        t.check(all(w.visible for w in d.windows()), "windows() lists only visible ones")
    with t.case("hidden windows are found only when asked for"):
        d.send(W, WM_TARGET_SHOW, SW_HIDE)
        d.wait_gone(W, timeout=5)
        t.check(not d.exists(W))
        hwnd = d.wait_window(W, hidden=True, timeout=1)
        t.eq(d.windows(title=W, hidden=True)[0].visible, False)
        d.send(hwnd, WM_TARGET_SHOW, SW_SHOW)
        t.eq(d.wait_window(W, class_="#32770", pid=pid, timeout=5), hwnd)
        t.check(not d.exists(W, class_="Edit"), "class narrows the search")
    with t.case("children are listed with ID, class and state"):
        kids = {c.id: c for c in d.children(W)}
        t.eq((kids[ASK].cls, kids[ASK].text, kids[ASK].visible, kids[ASK].enabled), ("Button", "&Ask", True, True))
        t.eq(kids[VIEW].cls, "SysListView32")
        t.eq(kids[PROGRESS].cls, "msctls_progress32")
        t.check(d.is_visible(W, ASK) and d.is_enabled(W, ASK) and d.is_visible(W))
    with t.case("window and client rectangles give sizes"):
        r, e = d.rect(W), d.rect(W, EDIT)
        t.check(r.width > r.client_width > 0 and r.height > r.client_height > 0, str(r))
        t.check(r.left <= e.left and e.right <= r.right and r.top <= e.top and e.bottom <= r.bottom, str(e))
        t.eq((e.client_width, e.client_height), (e.width - 4, e.height - 4), "edit has a 2-pixel frame")


def test_controls(d):
    with t.case("check box: clicking sets it and tells the dialog"):
        clear_log(d)
        t.eq(d.is_checked(W, CHECK), 0)
        t.eq(d.set_check(W, CHECK, 1), 1)
        t.eq(d.set_check(W, CHECK, 1), 1)
        t.eq(d.is_checked(W, CHECK), 1)
        t.eq(d.set_check(W, CHECK, 0), 0)
        t.eq(log_lines(d), ["check 1", "check 0"], "one notification per click")
    with t.case("Enter reaches the default button through the dialog's own loop"):
        clear_log(d)
        d.enter(W)
        d.key(W, "enter", ctl=EDIT)
        t.check(suite.poll(lambda: log_lines(d) == ["ok", "ok"]), log_lines(d))
    with t.case("messages are posted and sent with wParam and lParam"):
        clear_log(d)
        t.eq(d.send(W, WM_TARGET_ADD, 5, 7), 12)
        d.post(W, WM_TARGET_ADD, 1, 2)
        t.check(suite.poll(lambda: log_lines(d) == ["add 5 7", "add 1 2"]), log_lines(d))
        t.eq(d.send(W, WM_TARGET_ADD, 0, -3), -3, "negative lParam")


def test_lists(d):
    with t.case("list box: items, selection and the notifications a click gives"):
        clear_log(d)
        t.eq(d.list_count(W, LIST), 3)
        t.eq(d.list_items(W, LIST), ["alpha", "beta", "gamma"])
        t.eq(d.list_selection(W, LIST), [])
        t.eq(d.list_select(W, LIST, 1), [1])
        d.list_double_click(W, LIST, 2)
        t.eq(d.list_selection(W, LIST), [2])
        t.eq(d.list_select(W, LIST, -1), [])
        t.eq(log_lines(d), ["list select 1", "list select 2", "list dblclk 2", "list select -1"])
    with t.case("multi-selection list box: replace or add to the selection"):
        clear_log(d)
        t.eq(d.list_select(W, MULTI, 1), [1])
        t.eq(d.list_select(W, MULTI, 3, add=True), [1, 3])
        t.eq(d.list_select(W, MULTI, 0), [0])
        t.eq(log_lines(d), ["multi select 1", "multi select 2", "multi select 1"])
    with t.case("combo box: items and selection"):
        clear_log(d)
        t.eq(d.list_items(W, ICON), ["none", "error", "question", "warning", "information"])
        t.eq(d.list_selection(W, ICON), [3])
        t.eq(d.list_select(W, ICON, 1), [1])
        t.eq(log_lines(d), ["icon 1"])
    with t.case("list view: rows, columns and selection through the target's memory"):
        clear_log(d)
        t.eq(d.lv_columns(W, VIEW), ["Name", "Size"])
        t.eq(d.lv_items(W, VIEW), [["one", "1"], ["two words", "22"], ["three", "333"]])
        t.eq(d.lv_row(W, VIEW, 2), ["three", "333"])
        t.eq(d.lv_count(W, VIEW), 3)
        t.eq(d.lv_select(W, VIEW, 1), [1])
        t.eq(d.lv_select(W, VIEW, 2, add=True), [1, 2])
        t.eq(d.lv_select(W, VIEW, -1), [])
        t.eq(log_lines(d), ["view select 1", "view select 2"])
    with t.case("list view: double-click and column click reach the parent once"):
        clear_log(d)
        d.lv_double_click(W, VIEW, 1)
        d.lv_column_click(W, VIEW, 1)
        t.eq(log_lines(d), ["view select 1", "view dblclk 1", "view column 1"])
        t.eq(d.lv_selection(W, VIEW), [1])
    with t.case("progress bar position and range"):
        t.eq(d.progress(W, PROGRESS), (75, 0, 200))


def ask(d, icon, yes_no, text):
    d.list_select(W, ICON, icon)
    d.set_check(W, CHECK, 1 if yes_no else 0)
    d.set_text(W, EDIT, text)
    t.check(d.click(W, ASK), "click returns while the box is up")


def test_message_boxes(d, pid):
    kinds = ["none", "error", "question", "warning", "information"]
    with t.case("message boxes: caption, text, icon kind and buttons"):
        for icon, kind in enumerate(kinds):
            ask(d, icon, icon % 2 == 0, "Line one\r\nline %d" % icon)
            box = d.message_box(pid=pid)
            t.eq((box.caption, box.text, box.icon, box.pid), (W, "Line one\r\nline %d" % icon, kind, pid), kind)
            want = [(6, "&Yes"), (7, "&No")] if icon % 2 == 0 else [(1, "OK")]
            t.eq(box.buttons, want, kind)
            d.answer(want[0][0], box=box)
    with t.case("answering by name, by text and by ID; the dialog learns the answer"):
        clear_log(d)
        for button, expected in [("no", 7), ("&Yes", 6), ("No", 7), (6, 6)]:
            ask(d, 2, True, "Sure?")
            t.eq(d.answer(button, title=W), expected, str(button))
        answers = lambda: [line for line in log_lines(d) if line.startswith("answer")]  # noqa: E731
        t.check(suite.poll(lambda: answers() == ["answer 7", "answer 6", "answer 7", "answer 6"]), log_lines(d))
    with t.case("the dialog under a message box cannot be clicked; none left afterwards"):
        ask(d, 0, False, "modal")
        box = d.message_box(title=W)
        try:
            d.click(W, ASK)
            t.fail("click went through under a modal box")
        except suite.DriverError as e:
            t.eq(e.kind, "disabled")
        t.eq(d.get_text(W, EDIT), "modal", "controls of the dialog found past the box of the same title")
        d.answer("ok", box=box)
        t.check(suite.poll(lambda: d.find_message_box(title=W, icon=False) is None), "box still up")
        t.check(d.is_enabled(W), "dialog enabled again")
    with t.case("a wrong button name is an error, the box stays"):
        ask(d, 0, False, "stay")
        try:
            d.answer("Maybe", title=W)
            t.fail("no error")
        except suite.DriverError as e:
            t.eq(e.kind, "notfound")
        d.answer("OK", title=W)


def test_screenshot(d, s):
    with t.case("screenshots of a window and of the screen are BMP files of their size"):
        for path, win in [(os.path.join(s.tmp, "window.bmp"), W), (os.path.join(s.tmp, "screen.bmp"), None)]:
            w, h = d.screenshot(path, win)
            with open(path, "rb") as f:
                data = f.read()
            t.eq(data[:2], b"BM")
            t.eq(struct.unpack("<ii", data[18:26]), (w, h))
            t.eq(len(data), 54 + ((w * 3 + 3) & ~3) * h)
            pixels = data[54:]
            t.check(len(set(pixels[i:i + 3] for i in range(0, len(pixels) - 3, 999))) > 2, "not a blank image")
        r = d.rect(W)
        t.eq(d.screenshot(os.path.join(s.tmp, "w2.bmp"), W), (r.width, r.height))


def test_processes(d, s):
    # What FtchMgr passes to SndMgr: a blank, the box name and a carriage
    # return, found through the caller's current directory.
    with t.case("exact command line: program found in the current directory, trailing CR kept"):
        folder = os.path.join(s.tmp, "suite dir")
        os.makedirs(folder)
        shutil.copy(TARGET, os.path.join(folder, "SndMgr.exe"))
        out = os.path.join(s.tmp, "start.bin")
        d.setenv("DRIVER_TARGET_OUT", suite.win_path(out))
        saved = d.cwd()
        d.chdir(folder)
        pid = d.start("SndMgr My Box\r")
        d.chdir(saved)
        d.wait_window(W, pid=pid)
        t.eq(read_start_info(out), (b"SndMgr My Box\r", suite.win_path(folder).encode()))
        d.kill(pid)
        t.check(not d.alive(pid))
    with t.case("exact command line: quotes, two blanks and CR; working directory given"):
        exe = suite.win_path(os.path.join(s.tmp, "suite dir", "SndMgr.exe"))
        line = '"%s" "a b"  c:\\x\r' % exe
        pid = d.start(line, cwd=s.tmp)
        d.wait_window(W, pid=pid)
        t.eq(read_start_info(out), (line.encode(), suite.win_path(s.tmp).encode()))
        d.escape(W, pid=pid)
        t.eq(d.wait_pid(pid, timeout=10), 3, "Escape ends the dialog with its code")
        d.setenv("DRIVER_TARGET_OUT")
    with t.case("the process list shows started programs with their paths"):
        pid = start_target(s)
        d.wait_window(W, pid=pid)
        procs = {p.pid: p for p in d.processes()}
        t.eq((procs[pid].name, procs[pid].path), ("DriverTarget.exe", suite.win_path(TARGET)))
        t.eq(procs[pid].parent, d.pid)
        try:
            d.wait_pid(pid, timeout=0.1)
            t.fail("wait_pid returned for a running program")
        except suite.DriverTimeout:
            pass
        d.kill(pid, code=9)
        t.eq(d.wait_pid(pid), 9)
        d.wait_gone(W, pid=pid)
    with t.case("an ownerless message box at start-up is found by process"):
        pid = start_target(s, "/msgbox")
        box = d.message_box(pid=pid)
        t.eq((box.caption, box.text, box.icon, box.buttons), (W, "Started.\r\nSecond line", "information",
                                                             [(1, "OK")]))
        d.answer("OK", box=box)
        d.wait_window(W, pid=pid)
        d.kill(pid)


def test_registry(d):
    key = "Software\\Suite Driver Test"
    d.reg_delete_key(key)
    with t.case("registry values are written, read and listed"):
        t.check(not d.reg_exists(key))
        t.eq(d.reg_get(key, "Missing"), None)
        d.reg_set_sz(key + "\\Box One", "Host Name", "ftp.example.test\r\n")
        d.reg_set_dword(key + "\\Box One", "Port", 2121)
        d.reg_set_dword(key + "\\Box One", "Big", 0xFFFFFFFF)
        t.check(d.reg_exists(key + "\\Box One") and d.reg_exists(key + "\\Box One", "Port"))
        t.check(not d.reg_exists(key + "\\Box One", "User ID"))
        t.eq(d.reg_get(key + "\\Box One", "Host Name"), ("REG_SZ", "ftp.example.test\r\n"))
        t.eq(d.reg_get(key + "\\Box One", "Port"), ("REG_DWORD", 2121))
        t.eq(d.reg_get(key + "\\Box One", "Big"), ("REG_DWORD", 0xFFFFFFFF))
        t.eq(sorted(d.reg_values(key + "\\Box One")), ["Big", "Host Name", "Port"])
        t.eq(d.reg_keys(key), ["Box One"])
    with t.case("raw values: a string without its terminator, a short DWORD"):
        d.reg_set_raw(key, "NoNul", 1, b"abc")
        d.reg_set_raw(key, "Short", 4, b"\x01\x02")
        # Wine stores strings as UTF-16 and its ANSI read adds the terminator.
        t.eq(d.reg_get(key, "NoNul"), ("REG_SZ", "abc"))
        t.eq(d.reg_get_raw(key, "Short"), (4, b"\x01\x02"))
        t.eq(d.reg_get(key, "Short"), ("REG_DWORD", "0102"), "a DWORD of the wrong size shows as hex")
        t.eq(d.reg_get_raw(key + "\\Box One", "Port"), (4, struct.pack("<I", 2121)))
    with t.case("values and key trees are deleted"):
        t.eq(d.reg_delete_value(key, "NoNul"), True)
        t.eq(d.reg_delete_value(key, "NoNul"), False)
        t.eq(d.reg_delete_key(key), True)
        t.check(not d.reg_exists(key) and not d.reg_exists(key + "\\Box One"))
        t.eq(d.reg_delete_key(key), False)


def test_ftp_server(s):
    with t.case("FTP server: active-mode upload is stored and every command logged"):
        srv = s.ftp_server(user="ann", password="s3cret")
        data = bytes(range(256)) * 20
        ftp = ftplib.FTP()
        ftp.connect(srv.host, srv.port, timeout=10)
        ftp.login("ann", "s3cret")
        ftp.set_pasv(False)
        ftp.mkd("site")
        ftp.cwd("site")
        ftp.storbinary("STOR up.bin", io.BytesIO(data))
        ftp.quit()
        with open(srv.path("site", "up.bin"), "rb") as f:
            t.eq(f.read(), data)
        cmds = srv.commands()
        t.eq(cmds[:2], ["USER ann", "PASS s3cret"])
        t.eq([c.split(" ")[0] for c in cmds[2:]], ["MKD", "CWD", "TYPE", "PORT", "STOR", "QUIT"])
        t.check(cmds[5].startswith("PORT 127,0,0,1,"), cmds[5])
        t.eq(srv.sessions(), 1)
    with t.case("FTP server: several users with their own homes, sessions apart"):
        homes = {u: os.path.join(s.tmp, "home-" + u) for u in ("bob", "cy")}
        srv = s.ftp_server(users={"bob": ("pw1", homes["bob"]), "cy": ("pw2", homes["cy"])})
        for user, pw in (("bob", "pw1"), ("cy", "pw2")):
            ftp = ftplib.FTP()
            ftp.connect(srv.host, srv.port, timeout=10)
            ftp.login(user, pw)
            ftp.set_pasv(False)
            ftp.storbinary("STOR %s.txt" % user, io.BytesIO(user.encode()))
            ftp.quit()
        t.eq(sorted(os.listdir(homes["bob"])), ["bob.txt"])
        t.eq(sorted(os.listdir(homes["cy"])), ["cy.txt"])
        t.eq(srv.commands(session=2)[:2], ["USER cy", "PASS pw2"])
        try:
            bad = ftplib.FTP()
            bad.connect(srv.host, srv.port, timeout=10)
            bad.login("bob", "wrong")
            t.fail("wrong password accepted")
        except ftplib.error_perm:
            pass
        t.check("PASS wrong" in srv.commands(), "refused PASS still logged")


def test_cleanup(outer):
    with t.case("a session ends the programs it started, and the ones those started"):
        inner = suite.Session()
        d = inner.driver
        pid = d.start('"%s"' % suite.win_path(TARGET))
        d.wait_window(W, pid=pid)
        # cmd's start stands for a program of the suite starting another.
        shell = d.start('C:\\windows\\system32\\cmd.exe /c start "" "%s" grandchild' % suite.win_path(TARGET))
        t.eq(d.wait_pid(shell), 0)
        t.check(suite.poll(lambda: len(d.windows(title=W)) == 2), "second program did not start")
        port = inner.ftp_server().port
        inner.close()
        od = outer.driver
        left = [p for p in od.processes() if p.name == "DriverTarget.exe"]
        t.eq(left, [], "programs still running")
        t.check(od.alive(od.pid), "the other session's driver was left alone")
        try:
            ftplib.FTP().connect("127.0.0.1", port, timeout=2)
            t.fail("server still listening")
        except OSError:
            pass


def main():
    test_framework()
    test_paths()
    with suite.Session() as s:
        d = s.driver
        with t.case("the driver session starts"):
            t.eq(d.bits, 64)
        pid = start_target(s)
        d.wait_window(W, pid=pid, timeout=30)
        test_protocol(d)
        test_windows(d, pid)
        test_controls(d)
        test_lists(d)
        test_message_boxes(d, pid)
        test_screenshot(d, s)
        d.kill(pid)
        test_processes(d, s)
        test_registry(d)
        test_ftp_server(s)
        test_cleanup(s)
    return t.finish()


if __name__ == "__main__":
    sys.exit(main())
