"""Boxes for end-to-end tests: an engine copy under Boxes\\<box>.exe and the
box's settings in the registry, written through the driver as the manager
would write them, and the engine started the way the shell starts it.

    box = boxes.make_box(d, suite_dir, "T", port=srv.port, user="ann",
                         password="pw", directory="/up")
    try:
        pid = boxes.run_engine(d, box, boxes.path_list(["/tmp/x/a.txt"]))
        code = boxes.finish_engine(d, pid)
    finally:
        box.delete(d)
"""

import os
import shutil
import threading

import suite

SETTINGS_KEY = "Software\\FTP Sendora\\FTP Sendora"


from codec import ALPHABET as PASSWORD_ALPHABET, encode_password  # noqa: E402,F401


class Box:
    """One box: its name, its engine copy and its settings key."""

    def __init__(self, name, suite_dir):
        self.name = name
        self.suite_dir = suite_dir
        self.boxes_dir = os.path.join(suite_dir, "Boxes")
        self.exe = os.path.join(self.boxes_dir, name + ".exe")
        self.key = SETTINGS_KEY + "\\" + name

    def set(self, driver, **values):
        """Writes settings by keyword (host, port, user, password, directory,
        transfer_type, filenames, file_extensions, erase, details, passive,
        tls, certificate, timeout, temp_upload, target_directory); None
        deletes the value, so the engine falls back to its default."""
        for arg, value in values.items():
            name, kind = VALUES[arg]
            if value is None:
                driver.reg_delete_value(self.key, name)
            elif kind == "dword":
                driver.reg_set_dword(self.key, name, int(value))
            elif arg == "password":
                driver.reg_set_sz(self.key, name, encode_password(value))
            else:
                driver.reg_set_sz(self.key, name, str(value))

    def get(self, driver, arg):
        """A setting as stored (int or str), or None when missing."""
        value = driver.reg_get(self.key, VALUES[arg][0])
        return None if value is None else value.data

    def delete(self, driver):
        """Removes the settings key; the engine copy goes with the suite folder."""
        driver.reg_delete_key(self.key)


# Keyword -> (registry value name, kind).
VALUES = {
    "host": ("Host Name", "sz"),
    "port": ("Port", "dword"),
    "user": ("User ID", "sz"),
    "password": ("Password", "sz"),
    "directory": ("Directory", "sz"),
    "transfer_type": ("Transfer Type", "dword"),
    "filenames": ("Filenames", "dword"),
    "file_extensions": ("File Extensions", "dword"),
    "erase": ("Erase", "dword"),
    "details": ("Details", "dword"),
    "passive": ("Passive", "dword"),
    "tls": ("TLS", "dword"),
    "certificate": ("Certificate", "sz"),
    # SFTP boxes
    "sftp": ("SFTP", "dword"),
    "host_key": ("HostKey", "sz"),
    "timeout": ("Timeout", "dword"),
    "temp_upload": ("TempUpload", "dword"),
    "target_directory": ("Target Directory", "sz"),
}


def make_box(driver, suite_dir, name, host="127.0.0.1", port=21, user="test", password="secret",
             directory="", transfer_type=2, filenames=2, file_extensions=2, erase=0, details=0, **options):
    """Copies the engine to suite_dir\\Boxes\\<name>.exe and writes a fresh
    settings key (an old one of the same name is removed first); options
    are further values by their keywords (passive, tls, certificate)."""
    box = Box(name, suite_dir)
    os.makedirs(box.boxes_dir, exist_ok=True)
    shutil.copyfile(suite.win64_bin("Sendora.exe"), box.exe)
    box.delete(driver)
    box.set(driver, host=host, port=port, user=user, password=password, directory=directory,
            transfer_type=transfer_type, filenames=filenames, file_extensions=file_extensions,
            erase=erase, details=details, **options)
    return box


def path_list(paths, quote_blanks=True):
    """The command tail the shell passes: Windows paths joined by blanks, a
    path holding a blank in quotation marks."""
    out = []
    for p in paths:
        w = suite.win_path(p)
        out.append('"%s"' % w if quote_blanks and " " in w else w)
    return " ".join(out)


def run_engine(driver, box, tail, cwd=None):
    """Starts the box's engine with exactly '"<exe>" <tail>' (tail "" gives
    the bare quoted program name); returns the Windows pid."""
    line = '"%s"' % suite.win_path(box.exe)
    if tail:
        line += " " + tail
    return driver.start(line, cwd=cwd or box.suite_dir)


def finish_engine(driver, pid, timeout=60):
    """Waits for the engine to end and gives its exit code. If it is still
    running then, its message boxes are answered, it is ended, and
    DriverTimeout is raised."""
    try:
        return driver.wait_pid(pid, timeout=timeout)
    except suite.DriverTimeout:
        end_engine(driver, pid)
        raise


def end_engine(driver, pid):
    """Leaves nothing of an engine behind: answers its message boxes and
    ends it if it still runs."""
    for _ in range(5):
        box = driver.find_message_box(pid=pid)
        if box is None:
            break
        try:
            driver.answer("ok", box=box)
        except suite.DriverError:
            break
    try:
        if driver.alive(pid):
            driver.kill(pid)
            driver.wait_pid(pid, timeout=10)
    except suite.DriverError:
        pass


def browser_folder(tmp):
    """A suite folder with a copy of SndMgr.exe (so that the Boxes folder and
    the caches beside it are the test's own) and a download target."""
    folder, target = os.path.join(tmp, "suite"), os.path.join(tmp, "in")
    os.makedirs(folder)
    os.makedirs(target)
    program = os.path.join(folder, "SndMgr.exe")
    shutil.copyfile(suite.win64_bin("SndMgr.exe"), program)
    return folder, target, program


def open_browser(driver, program, folder, box):
    """The box's remote browser as SndMgr's only window: (pid, window)."""
    pid = driver.start("SndMgr %s\r" % box, cwd=folder, app=program)
    return pid, driver.wait_window("FTP Fetchora", timeout=30, pid=pid)


class HeldReply(str):
    """A reply text for the scripted server that goes out only once the test
    releases it, so the engine can be looked at while it waits:

        held = boxes.HeldReply("226 Done\\r\\n")
        script = [..., {"expect": "STOR *", "reply": "150 Go\\r\\n",
                        "data": "receive", "then": held}]
        ... read the window ...
        held.release()

    The server encodes each text just before sending it; that is where the
    wait happens. An unreleased reply goes out after `limit` seconds."""

    def __new__(cls, text, limit=60.0):
        self = super().__new__(cls, text)
        self._released = threading.Event()
        self._reached = threading.Event()
        self._limit = limit
        return self

    def encode(self, *args, **kwargs):
        self._reached.set()
        self._released.wait(self._limit)
        return str.encode(self, *args, **kwargs)

    def wait_reached(self, timeout=30.0):
        """True once the server has come to this reply and is holding it."""
        return self._reached.wait(timeout)

    def release(self):
        self._released.set()
