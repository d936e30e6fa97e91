"""What the manager's e2e scripts share: a suite folder to run SndMgr in, its
dialogs' control IDs, the registry and shell folders it writes, and
manager_probe to read shortcut files back through IShellLinkA."""

import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import suite  # noqa: E402

TITLE = "FTP Sendora Manager"
OPTIONS_TITLE = "More Options"
CAPTION = "FTP Sendora"
APP_KEY = "Software\\FTP Sendora\\FTP Sendora"
SHELL_FOLDERS = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
OPTION_VALUES = ("Transfer Type", "Filenames", "File Extensions", "Port", "Erase", "Passive", "TLS", "Timeout",
                 "TempUpload", "SFTP")
ENTRY_VALUES = ("Host Name", "User ID", "Password", "Directory", "Account", "GeoCities Login")

# manager/resource.h
(USER_ID, PASSWORD, ACCOUNT, ANONYMOUS, GEOCITIES, ALIAS, HOST_NAME, DIRECTORY,
 MORE_OPTIONS, DELETE, NEW, FETCHORA) = range(1001, 1013)
OK, CANCEL = 1, 2
(ASCII, BINARY, AUTO_DETECT, LOWERCASE, UPPERCASE, KEEP_CASE,
 HTM_TO_HTML, HTML_TO_HTM, KEEP_EXTENSION, ERASE, PORT, PASSIVE, TLS, SFTP) = range(1101, 1115)
TIMEOUT, TEMP_UPLOAD = 1120, 1121
IDM_ABOUTBOX = 0x0010

WM_CHAR, WM_SYSCOMMAND = 0x0102, 0x0112

PROBE = suite.win64_bin("tests", "manager_probe.exe")


def box_key(name):
    return APP_KEY + "\\" + name


class Suite:
    """A folder holding SndMgr.exe (and Sendora.exe unless engine=False),
    the current directory of every manager started from it."""

    def __init__(self, session, engine=True):
        self.session, self.d = session, session.driver
        self.dir = tempfile.mkdtemp(prefix="suite-", dir=session.tmp)
        shutil.copy(suite.win64_bin("SndMgr.exe"), self.dir)
        if engine:
            shutil.copy(suite.win64_bin("Sendora.exe"), self.dir)
        self.win_dir = suite.win_path(self.dir)

    def start(self, tail=None):
        """Starts SndMgr with exactly this command tail; returns the pid."""
        line = '"%s\\SndMgr.exe"' % self.win_dir
        if tail is not None:
            line += " " + tail
        return self.d.start(line, cwd=self.dir)

    def open(self, tail=None):
        """Starts the manager's main dialog; returns (pid, hwnd)."""
        pid = self.start(tail)
        return pid, self.d.wait_window(TITLE, pid=pid, timeout=30)

    def engine_copy(self, box):
        return os.path.join(self.dir, "Boxes", box + ".exe")


def shell_folder(d, name):
    """Linux path of a Shell Folders value."""
    return suite.linux_path(d.reg_get(SHELL_FOLDERS, name).data)


def link_names(folder):
    """The .LNK files of a folder as the file system spells them."""
    return sorted(n for n in os.listdir(folder) if n.upper().endswith(".LNK"))


_reads = [0]


def read_link(session, path):
    """(target, working directory, description) of a shortcut file, read
    through IShellLinkA by manager_probe; None when it cannot be read."""
    _reads[0] += 1
    out = os.path.join(session.tmp, "link-%d.txt" % _reads[0])
    d = session.driver
    pid = d.start('"%s" link "%s" "%s"' % (suite.win_path(PROBE), suite.win_path(out), suite.win_path(path)))
    if d.wait_pid(pid, timeout=60) != 0:
        return None
    with open(out, encoding="cp1252") as f:
        return tuple(f.read().split("\n")[:3])


def type_text(d, win, ctl, text):
    """Types text into an edit, one WM_CHAR a character, as the keyboard would."""
    for c in text:
        d.post(win, WM_CHAR, ord(c.encode("cp1252")), 1, ctl=ctl)


def wait_text(d, win, ctl, text, timeout=10.0):
    deadline = time.monotonic() + timeout
    while True:
        got = d.get_text(win, ctl)
        if got == text or time.monotonic() > deadline:
            return got
        time.sleep(0.05)


def fill(d, win, **entries):
    """Sets the main dialog's edits: user, password, account, alias, host, directory."""
    ids = {"user": USER_ID, "password": PASSWORD, "account": ACCOUNT, "alias": ALIAS,
           "host": HOST_NAME, "directory": DIRECTORY}
    for name, text in entries.items():
        d.set_text(win, ids[name], text)


def entries(d, win):
    return {name: d.get_text(win, ctl) for name, ctl in
            (("user", USER_ID), ("password", PASSWORD), ("account", ACCOUNT), ("alias", ALIAS),
             ("host", HOST_NAME), ("directory", DIRECTORY))}


def poll(predicate, timeout=10.0):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True
