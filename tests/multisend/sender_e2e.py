"""FTP_FN run for real under Wine: the boxes it lists, the engines it starts
on OK (real ones uploading to pyftpdlib, or the recorder standing in for them
where the exact command line is the point), the no-files message and the
install step.

    sender_e2e.py [--shots DIR]   also writes DIR/sender.bmp of the dialog
"""

import ntpath
import os
import shutil
import socket
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import suite  # noqa: E402
from codec import encode_password  # noqa: E402

TITLE = "FTP Fanora"
BOXES = 1002
SETTINGS = "Software\\FTP Sendora\\FTP Sendora\\"
SHELL_FOLDERS = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
NO_FILES = ("FTP Fanora was not given any file(s) to upload.\n\n"
            "Please read the SENDORA.CHM help file for instructions\non how to use FTP Fanora.")
SHOTS = sys.argv[sys.argv.index("--shots") + 1] if "--shots" in sys.argv else None

t = suite.Tests()


class Suite:
    """A suite folder below a folder with a blank, as under C:\\Program Files:
    FTP_FN.exe and a Boxes folder. A recorder planted as <tmp>\\Program.exe
    would catch an engine started by an unquoted path."""

    def __init__(self, s, name):
        self.top = os.path.join(s.tmp, name)
        self.folder = os.path.join(self.top, "Program Files", "FTP Sendora")
        self.boxes = os.path.join(self.folder, "Boxes")
        os.makedirs(self.boxes)
        shutil.copy(suite.win64_bin("FTP_FN.exe"), self.folder)
        shutil.copy(suite.win64_bin("tools", "recorder.exe"), os.path.join(self.top, "Program.exe"))
        self.record = os.path.join(self.top, "record.txt")
        s.driver.setenv("SUITE_RECORD_FILE", suite.win_path(self.record))

    def stand_in(self, *names):
        """Boxes whose engine is the recorder: it notes its command line."""
        for name in names:
            shutil.copy(suite.win64_bin("tools", "recorder.exe"), os.path.join(self.boxes, name + ".exe"))

    def start(self, d, tail):
        """FTP_FN as the shell starts it: the quoted program path, then the tail."""
        line = '"%s"' % suite.win_path(os.path.join(self.folder, "FTP_FN.exe"))
        return d.start(line + (" " + tail if tail else ""), cwd=self.top)

    def engine_command(self, box_file, tail):
        return '"%s\\boxes\\%s" %s' % (suite.win_path(self.folder), box_file, tail)

    def records(self, count, wait=10.0):
        """The stand-ins' lines (exe, command line, tail, cwd); they start
        without being waited for, so give them time to appear."""
        deadline = time.monotonic() + wait
        lines = []
        while time.monotonic() < deadline:
            if os.path.exists(self.record):
                with open(self.record, encoding="latin-1") as f:
                    lines = [unescape_fields(line) for line in f if line.strip()]
                if len(lines) >= count:
                    break
            time.sleep(0.2)
        return lines


def unescape_fields(line):
    """A recorder line back into its four texts: it escapes backslashes and
    control characters as Python does."""
    return [field.encode("latin-1").decode("unicode_escape") for field in line.rstrip("\n").split("\t")]


def open_sender(d, sd, tail):
    pid = sd.start(d, tail)
    return pid, d.wait_window(TITLE, pid=pid, timeout=20, class_="#32770")


def mark(d, win, indexes):
    d.list_select(win, BOXES, -1)
    for i in indexes:
        d.list_select(win, BOXES, i, add=True)


class HeldPort:
    """Takes the engines' control connections and holds them unanswered until
    released, so that both engines are alive at once; then joins each to the
    FTP server. The data connections go straight between server and engine."""

    def __init__(self, server_port):
        self.server_port = server_port
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.listener.settimeout(0.5)
        self.port = self.listener.getsockname()[1]
        self.released = threading.Event()
        self.stopped = threading.Event()
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        self.released.wait()
        while not self.stopped.is_set():
            try:
                client, _ = self.listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            server = socket.create_connection(("127.0.0.1", self.server_port))
            for a, b in ((client, server), (server, client)):
                threading.Thread(target=self._pump, args=(a, b), daemon=True).start()

    @staticmethod
    def _pump(src, dst):
        try:
            while True:
                data = src.recv(65536)
                if not data:
                    break
                dst.sendall(data)
        except OSError:
            pass
        try:
            dst.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    def close(self):
        self.released.set()
        self.stopped.set()
        self.listener.close()


def linux_pids(folder_win_path):
    """{box file name (lower case): Linux pid} of the Wine processes whose
    program lies in the folder. Wine's CreateProcess forks the new process
    before it returns, so these pids rise in the order of the starts."""
    prefix = (folder_win_path + "\\boxes\\").lower().encode("latin-1")
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                program = f.read().split(b"\0")[0]
        except OSError:
            continue
        if program.lower().startswith(prefix):
            found[program[len(prefix):].decode("latin-1").lower()] = int(entry)
    return found


def wait_for(collect, count, timeout=20.0):
    """collect() once it holds count entries, or what it holds at the timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = collect()
        if len(value) >= count or time.monotonic() >= deadline:
            return value
        time.sleep(0.1)


def make_files(top):
    """Two files to send, one in a folder with a blank and with a blank in its name."""
    folder = os.path.join(top, "My Files")
    os.makedirs(folder)
    files = {"a.txt": b"first file\r\n" * 50, "with space.bin": bytes(range(256)) * 40}
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    paths = [os.path.join(folder, name) for name in files]
    tail = " ".join('"%s"' % suite.win_path(p) if " " in p else suite.win_path(p) for p in paths)
    return files, tail


def make_engine_box(d, sd, name, port, user, password):
    """A real box: an engine copy and the settings the manager would write."""
    shutil.copy(suite.win64_bin("Sendora.exe"), os.path.join(sd.boxes, name + ".exe"))
    key = SETTINGS + name
    d.reg_delete_key(key)
    for value, text in (("Host Name", "127.0.0.1"), ("User ID", user),
                        ("Password", encode_password(password)), ("Directory", ""), ("Account", "")):
        d.reg_set_sz(key, value, text)
    d.reg_set_dword(key, "Port", port)
    d.reg_set_dword(key, "Transfer Type", 1)  # binary: the bytes arrive as sent


def case_two_of_three_boxes_upload_in_order(s):
    d = s.driver
    sd = Suite(s, "upload")
    files, tail = make_files(sd.top)
    names = ["my site", "Photos", "Work Server"]
    homes = {n: os.path.join(s.tmp, "home-" + n.replace(" ", "_")) for n in names}
    users = {n: ("u%d" % i, "pass %d!" % i) for i, n in enumerate(names)}
    # A server of its own for each box: one pyftpdlib loop serving two
    # engines at once now and then leaves a connection unread.
    servers = {n: s.ftp_server(user=users[n][0], password=users[n][1], home=homes[n]) for n in names}
    held = {n: HeldPort(servers[n].port) for n in names}
    try:
        for n in names:
            make_engine_box(d, sd, n, held[n].port, *users[n])
        pid, win = open_sender(d, sd, tail)
        with t.case("each box is listed under its long name without .exe, my site included"):
            listed = d.list_items(win, BOXES)
            t.eq(sorted(listed, key=str.lower), names)
        mark(d, win, [0, 2])
        first, third = listed[0], listed[2]
        if SHOTS:
            d.screenshot(os.path.join(SHOTS, "sender.bmp"), win)
        d.click(win, 1)
        with t.case("OK starts the first and the third box's engine, in that order"):
            t.eq(d.wait_pid(pid, timeout=20), 0, "FTP_FN ends after OK")
            started = wait_for(lambda: linux_pids(suite.win_path(sd.folder)), count=2)
            t.eq(sorted(started), sorted([first.lower() + ".exe", third.lower() + ".exe"]))
            if len(started) == 2:
                t.check(started[first.lower() + ".exe"] < started[third.lower() + ".exe"],
                        "%s started before %s: %r" % (first, third, started))
        engines = [p for p in d.processes() if p.name.lower() in started]
        for h in held.values():
            h.released.set()
        with t.case("each marked box uploads the same files to its own folder"):
            t.eq(len(engines), 2, "engines held until now")
            for p in engines:
                t.eq(d.wait_pid(p.pid, timeout=60), 0, "engine %s completes" % p.name)
            for n in names:
                marked = n in (first, third)
                for fname, data in files.items():
                    path = os.path.join(homes[n], fname)
                    if marked:
                        t.check(os.path.exists(path) and open(path, "rb").read() == data,
                                "%s: %s arrived whole" % (n, fname))
                    else:
                        t.check(not os.path.exists(path), "%s was not marked: %s" % (n, fname))
            t.eq(servers[listed[1]].sessions(), 0, "the unmarked box never connects")
    finally:
        for h in held.values():
            h.close()
        for n in names:
            d.reg_delete_key(SETTINGS + n)


def case_a_silent_server_ends_its_box_alone(s):
    """One box's server never greets: its engine gives up after the box's
    "Timeout" while the other box uploads under temporary names."""
    d = s.driver
    sd = Suite(s, "silent")
    files, tail = make_files(sd.top)
    home = os.path.join(s.tmp, "home-quick")
    os.makedirs(home)
    with open(os.path.join(home, "a.txt"), "wb") as f:
        f.write(b"the earlier copy\n")
    server = s.ftp_server(user="q", password="pq", home=home)
    silent = socket.socket()
    silent.bind(("127.0.0.1", 0))
    silent.listen(4)  # takes the connection, never answers
    try:
        make_engine_box(d, sd, "Quick", server.port, "q", "pq")
        d.reg_set_dword(SETTINGS + "Quick", "TempUpload", 1)
        make_engine_box(d, sd, "Silent", silent.getsockname()[1], "x", "y")
        d.reg_set_dword(SETTINGS + "Silent", "Timeout", 2)
        pid, win = open_sender(d, sd, tail)
        mark(d, win, [0, 1])
        d.click(win, 1)
        t.eq(d.wait_pid(pid, timeout=20), 0, "FTP_FN ends after OK")
        engines = {p.name.lower(): p.pid for p in wait_for(
            lambda: [p for p in d.processes() if p.name.lower() in ("quick.exe", "silent.exe")], count=2)}
        with t.case("the silent box ends after its time limit with the reason; the other one's files arrive"):
            box = d.message_box(pid=engines.get("silent.exe"), timeout=30)
            t.eq(box.text, "Unable to establish a connection to the FTP host:\n\n127.0.0.1, port %d: "
                           "no answer within 2 seconds" % silent.getsockname()[1])
            d.answer("ok", box=box)
            t.eq(d.wait_pid(engines.get("silent.exe"), timeout=20), 1, "the silent box's exit code")
            # Long done by now, most likely: its exit code is gone with it.
            t.check(suite.poll(lambda: "QUIT" in server.commands() and "quick.exe" not in
                               {p.name.lower() for p in d.processes()}, 60, 0.2), "the other box's engine done")
            t.eq(sorted(os.listdir(home)), sorted(files), "real names only, no temporary file")
            for name, data in files.items():
                t.check(open(os.path.join(home, name), "rb").read() == data, name + " arrived whole")
            t.check("RNTO a.txt" in server.commands(), "renamed onto the earlier copy")
    finally:
        silent.close()
        for n in ("Quick", "Silent"):
            d.reg_delete_key(SETTINGS + n)


def case_commands_quote_the_engine_and_carry_the_whole_tail(s):
    d = s.driver
    sd = Suite(s, "commands")
    sd.stand_in("alpha", "beta box", "PAGES")
    os.rename(os.path.join(sd.boxes, "PAGES.exe"), os.path.join(sd.boxes, "PAGES.EXE"))
    os.makedirs(os.path.join(sd.boxes, "folder.exe"))
    # Longer than any fixed buffer of 256 or 1024 characters, quotes and all.
    tail = " ".join('"C:\\Some Folder\\file number %d.txt"' % i for i in range(120))
    pid, win = open_sender(d, sd, tail)
    with t.case("a folder in Boxes is no box; capital .EXE is dropped too"):
        t.eq(sorted(d.list_items(win, BOXES), key=str.lower), ["alpha", "beta box", "PAGES"])
    listed = d.list_items(win, BOXES)
    mark(d, win, [0, 1, 2])
    d.click(win, 1)
    d.wait_pid(pid, timeout=20)
    with t.case("every engine gets its quoted long path, a blank and the whole tail"):
        lines = sd.records(3)
        by_box = {ntpath.basename(exe).lower(): (line, got_tail, cwd) for exe, line, got_tail, cwd in lines}
        files = {n.lower(): n + (".EXE" if n == "PAGES" else ".exe") for n in listed}
        t.eq(sorted(by_box), sorted(f.lower() for f in files.values()))
        for n, f in files.items():
            line, got_tail, cwd = by_box.get(f.lower(), ("", "", ""))
            t.check(line == sd.engine_command(f, tail), "%s: command line %r..." % (n, line[:150]))
            t.check(got_tail == tail, "%s: the engine's tail %r..." % (n, got_tail[:80]))
            t.eq(cwd.lower(), suite.win_path(sd.top).lower(), n + ": FTP_FN's current directory")
        t.check(not any(ntpath.basename(exe).lower() == "program.exe" for exe, *_ in lines),
                "nothing started C:\\...\\Program.exe")


def case_switch_in_other_forms_is_a_file_list(s):
    d = s.driver
    for tail in ("/INSTALL", "/install "):
        with t.case("%r opens the dialog and reaches the box as its file list" % tail):
            sd = Suite(s, "switch" + str(len(tail)) + tail.strip("/ "))
            sd.stand_in("only")
            pid, win = open_sender(d, sd, tail)
            mark(d, win, [0])
            d.click(win, 1)
            d.wait_pid(pid, timeout=20)
            lines = sd.records(1)
            t.eq([(line, got) for _, line, got, _ in lines], [(sd.engine_command("only.exe", tail), tail)])


def case_too_long_a_command_is_refused_for_that_box_only(s):
    d = s.driver
    sd = Suite(s, "long")
    sd.stand_in("b", "bb")
    # FTP_FN's own command line takes the tail with one character to spare
    # over "b"'s engine command, which then reaches CreateProcess's limit
    # exactly; "bb"'s is one character over it.
    own = '"%s" ' % suite.win_path(os.path.join(sd.folder, "FTP_FN.exe"))
    tail_len = 32766 - len(sd.engine_command("b.exe", ""))
    tail = ("C:\\f.txt " * (tail_len // 9 + 1))[:tail_len]
    t.check(len(own) + len(tail) <= 32766, "FTP_FN itself can be started")
    pid, win = open_sender(d, sd, tail)
    mark(d, win, [0, 1])
    d.click(win, 1)
    with t.case("the box whose command does not fit is named in a refusal"):
        box = d.message_box(title=TITLE, pid=pid, timeout=20)
        t.eq(box.icon, "warning")
        t.check('"bb"' in box.text, box.text)
        d.answer("ok", box=box)
        t.eq(d.wait_pid(pid, timeout=20), 0)
    with t.case("the box whose command fits gets the whole tail"):
        lines = sd.records(1)
        t.eq([(ntpath.basename(exe).lower(), len(line), got == tail) for exe, line, got, _ in lines],
             [("b.exe", 32766, True)])


def case_no_files_cancel_and_nothing_marked(s):
    d = s.driver
    sd = Suite(s, "nothing")
    sd.stand_in("one", "two")
    with t.case("an empty tail shows the no-files message and ends"):
        pid = sd.start(d, "")
        box = d.message_box(title=TITLE, pid=pid, timeout=20)
        t.eq((box.text, box.icon, [b for _, b in box.buttons]), (NO_FILES, "warning", ["OK"]))
        t.eq([w.hwnd for w in d.windows(TITLE, pid=pid, hidden=True)], [box.hwnd], "no dialog")
        d.answer("ok", box=box)
        t.eq(d.wait_pid(pid, timeout=20), 0)
    with t.case("Cancel starts nothing, even with boxes marked"):
        pid, win = open_sender(d, sd, "C:\\a.txt")
        mark(d, win, [0, 1])
        d.click(win, 2)
        d.wait_pid(pid, timeout=20)
        t.eq(sd.records(1, wait=2.0), [])
    with t.case("OK with nothing marked starts nothing and ends"):
        pid, win = open_sender(d, sd, "C:\\a.txt")
        mark(d, win, [])
        d.click(win, 1)
        t.eq(d.wait_pid(pid, timeout=20), 0)
        t.eq(sd.records(1, wait=2.0), [])


def case_install_places_two_shortcuts(s):
    d = s.driver
    sd = Suite(s, "install")
    desktop, send_to = os.path.join(s.tmp, "Desktop"), os.path.join(s.tmp, "SendTo")
    os.makedirs(desktop)
    os.makedirs(send_to)
    saved = {n: d.reg_get(SHELL_FOLDERS, n) for n in ("Desktop", "SendTo")}
    exe = suite.win_path(os.path.join(sd.folder, "FTP_FN.exe"))

    def install():
        pid = sd.start(d, "/install")
        box = d.message_box(title=TITLE, pid=pid, timeout=30)
        t.eq((box.text, box.icon), ("FTP Sendora installation is completed", "information"))
        d.answer("ok", box=box)
        t.eq(d.wait_pid(pid, timeout=20), 0)

    try:
        d.reg_set_sz(SHELL_FOLDERS, "Desktop", suite.win_path(desktop))
        d.reg_set_sz(SHELL_FOLDERS, "SendTo", suite.win_path(send_to))
        with t.case("/install writes FTP FANORA.LNK to Desktop and Send To, twice over the same pair"):
            for _ in range(2):
                install()
                for folder in (desktop, send_to):
                    t.eq(os.listdir(folder), ["FTP FANORA.LNK"])
                    with open(os.path.join(folder, "FTP FANORA.LNK"), "rb") as f:
                        t.check(exe.encode("latin-1") in f.read(), "the link aims at FTP_FN")
    finally:
        for name, value in saved.items():
            if value is None:
                d.reg_delete_value(SHELL_FOLDERS, name)
            else:
                d.reg_set_sz(SHELL_FOLDERS, name, value.data)


def main():
    with suite.Session() as s:
        for name, fn in sorted(globals().items()):
            if name.startswith("case_"):
                print("--", name, flush=True)
                try:
                    fn(s)
                except Exception as e:  # one broken case must not hide the others
                    t.fail("%s: %s: %s" % (name, type(e).__name__, e))
                s.end_windows_programs()
    return t.finish()


if __name__ == "__main__":
    sys.exit(main())
