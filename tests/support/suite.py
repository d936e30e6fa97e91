"""Support for the suite's end-to-end tests under Wine.

Every e2e script runs through tools/wine/winerun.sh ("script" mode), which
exports the Wine environment (WINEPREFIX, DISPLAY, HOME, SUITE_WINE, ...).
A script usually looks like this:

    import suite
    t = suite.Tests()
    with suite.Session() as s:
        srv = s.ftp_server(user="ann", password="pw")
        pid = s.driver.start('"%s" %s' % (suite.win_path(exe), arg))
        with t.case("progress window appears"):
            s.driver.wait_window("FTP Sendora", timeout=10)
    sys.exit(t.finish())

Starting Windows programs, three ways:
  run_program(exe, *args)      runs under wine and waits (console tools,
                               install steps); stdout and exit code back.
  Session.start_program(...)   starts under wine from an argument list, not
                               waited for; wine builds the command line.
  Driver.start(cmdline, cwd)   CreateProcessA with the EXACT command line and
                               working directory: use it whenever the bytes
                               matter (quotes, a trailing carriage return, what
                               the shell or another program of the suite would
                               pass) and when the Windows pid is needed (to
                               wait for the exit code or to match windows).
Session cleanup ends every Windows program the test left running, whichever
way it was started (also the ones those programs started), stops the FTP
servers and closes the driver, also when the script fails or is killed.
"""

import atexit
import collections
import contextlib
import logging
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import traceback

# --- environment -------------------------------------------------------------

SOURCE_DIR = os.environ.get("SUITE_SOURCE_DIR") or os.path.dirname(
    os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WIN64_DIR = os.environ.get("SUITE_WIN64_DIR") or os.path.join(SOURCE_DIR, "build", "win64")
NATIVE_DIR = os.environ.get("SUITE_NATIVE_DIR") or os.path.join(SOURCE_DIR, "build", "native")
RUN_DIR = os.environ.get("SUITE_WINE_RUN_DIR", "")


def wine_path():
    """The wine64 loader, as exported by the runner."""
    wine = os.environ.get("SUITE_WINE")
    if not wine or not os.environ.get("WINEPREFIX"):
        raise RuntimeError("no Wine environment: run this script through tools/wine/winerun.sh script")
    return wine


def win64_bin(*parts):
    """A file below the win64 tree's bin/, e.g. win64_bin("tools", "suite_driver.exe")."""
    return os.path.join(WIN64_DIR, "bin", *parts)


# --- paths -------------------------------------------------------------------

def win_path(path):
    """Linux path -> Windows path as Wine sees it (/tmp/x -> Z:\\tmp\\x).
    A path that already has a drive letter, or is a network path, is returned
    as it is."""
    if len(path) >= 2 and (path[1] == ":" or path.startswith("\\\\")):
        return path
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def linux_path(path):
    """Windows path -> Linux path: Z:\\tmp\\x -> /tmp/x, C:\\x -> the prefix's drive_c/x."""
    if len(path) < 2 or path[1] != ":":
        return path
    drive, rest = path[0].lower(), path[2:].replace("\\", "/").lstrip("/")
    if drive == "z":
        return "/" + rest
    prefix = os.environ.get("WINEPREFIX", "")
    root = os.path.realpath(os.path.join(prefix, "dosdevices", drive + ":"))
    return os.path.join(root, rest) if rest else root


# --- Windows programs under wine ---------------------------------------------

def wine_env(extra=None):
    env = dict(os.environ)
    if extra:
        env.update(extra)
    return env


def run_program(exe, *args, cwd=None, env=None, timeout=60):
    """Runs a Windows program under wine and waits for it.
    Returns subprocess.CompletedProcess (stdout/stderr as text)."""
    # Files, not pipes: Wine's background processes, started by the first
    # program of a run, inherit the descriptors and would hold a pipe open.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        proc = subprocess.run([wine_path(), exe, *args], cwd=cwd, env=wine_env(env), timeout=timeout,
                              stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        out.seek(0)
        err.seek(0)
        proc.stdout = out.read().decode("utf-8", "replace")
        proc.stderr = err.read().decode("utf-8", "replace")
    return proc


# --- the driver protocol -----------------------------------------------------

class Hwnd(int):
    """A window handle as the driver names it (@hex)."""

    def __repr__(self):
        return "@%x" % self


class DriverError(Exception):
    """The driver answered ERR (kind: usage, notfound, timeout, disabled, failed),
    or the session itself failed (kind: driver)."""

    def __init__(self, kind, message, command=""):
        super().__init__("%s: %s (command: %s)" % (kind, message, command))
        self.kind, self.message, self.command = kind, message, command


class DriverTimeout(DriverError):
    pass


_ESCAPES = {"\\": "\\\\", '"': '\\"', "\r": "\\r", "\n": "\\n", "\t": "\\t"}


def quote(data):
    """bytes -> one quoted protocol token."""
    out = ['"']
    for b in data:
        c = chr(b)
        if c in _ESCAPES:
            out.append(_ESCAPES[c])
        elif b < 0x20 or b >= 0x7F:
            out.append("\\x%02x" % b)
        else:
            out.append(c)
    out.append('"')
    return "".join(out)


def tokenize(line):
    """A reply line -> [(bytes, quoted)], the driver's own token rules."""
    tokens, i, n = [], 0, len(line)
    while i < n:
        while i < n and line[i] in " \t":
            i += 1
        if i >= n:
            break
        buf, quoted, any_quote = bytearray(), False, False
        while i < n and (quoted or line[i] not in " \t"):
            c = line[i]
            if c == '"':
                quoted, any_quote = not quoted, True
            elif c == "\\":
                e = line[i + 1]
                if e == "x":
                    buf.append(int(line[i + 2:i + 4], 16))
                    i += 2
                else:
                    buf += {"r": b"\r", "n": b"\n", "t": b"\t"}.get(e, e.encode("latin-1"))
                i += 1
            else:
                buf += c.encode("latin-1")
            i += 1
        tokens.append((bytes(buf), any_quote))
    return tokens


WindowInfo = collections.namedtuple("WindowInfo", "hwnd title cls pid visible")
ControlInfo = collections.namedtuple("ControlInfo", "hwnd id cls text visible enabled")
ProcessInfo = collections.namedtuple("ProcessInfo", "pid parent name path")
Progress = collections.namedtuple("Progress", "pos low high")
MessageBox = collections.namedtuple("MessageBox", "hwnd caption text icon pid buttons")
RegValue = collections.namedtuple("RegValue", "type data")


class Rect(collections.namedtuple("Rect", "left top right bottom client_width client_height")):
    """Window rectangle on the screen and the size of the client area."""

    @property
    def width(self):
        return self.right - self.left

    @property
    def height(self):
        return self.bottom - self.top


# Message box buttons by the names a test would use.
BUTTONS = {"ok": 1, "cancel": 2, "abort": 3, "retry": 4, "ignore": 5, "yes": 6, "no": 7,
           "close": 8, "help": 9, "tryagain": 10, "continue": 11}


class Word(str):
    """A bare protocol word (a type name), sent unquoted."""


class Driver:
    """One suite_driver.exe session: commands in, one reply line each.

    Windows are named by exact title (str) or by handle (Hwnd); class_, pid and
    hidden narrow the search, timeout (seconds) waits for the window. Controls
    are dialog IDs (int), Hwnd, or None for the window itself."""

    def __init__(self, exe=None, env=None, timeout=10.0):
        self.exe = exe or win64_bin("tools", "suite_driver.exe")
        if not os.path.exists(self.exe):
            raise RuntimeError("no driver at %s (build the win64 target suite_driver)" % self.exe)
        self.timeout = timeout
        self.encoding = "cp1252"
        self._buf = b""
        # Wine's own messages go to a file: the script's stderr handed to Wine
        # would stay open in its background processes after the script ends.
        self.log = tempfile.NamedTemporaryFile(prefix="driver-", suffix=".log", dir=_temp_root(), delete=False)
        self._proc = subprocess.Popen([wine_path(), self.exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                      stderr=self.log, env=wine_env(env), cwd=tempfile.gettempdir())
        try:
            bits, codepage, self.pid = self.command("hello", reply_timeout=120)
        except BaseException:
            self._abandon()
            self.close()
            raise
        self.bits = bits
        self.encoding = "cp%d" % codepage

    # -- plumbing --

    def _text(self, text):
        if isinstance(text, bytes):
            return quote(text)
        return quote(str(text).encode(self.encoding, "surrogateescape"))

    def _arg(self, value):
        if isinstance(value, Word):
            return str(value)
        if isinstance(value, Hwnd):
            return repr(value)
        if isinstance(value, bool):
            return "1" if value else "0"
        if isinstance(value, int):
            return str(value)
        return self._text(value)

    def command(self, name, *args, reply_timeout=None, **options):
        """Sends one command and returns the reply's tokens after OK: numbers as
        int, handles as Hwnd, texts as str (decoded from the driver's code page;
        bytes it cannot map come back as surrogates and go out again unchanged).
        Keyword options become -name=value (class_ -> -class; True -> -name;
        timeout in seconds). Raises DriverError on ERR."""
        parts = [name] + [self._arg(a) for a in args]
        wait_ms = 0
        for key, value in options.items():
            if value is None or value is False:
                continue
            key = key.rstrip("_")
            if key == "timeout":
                wait_ms = int(value * 1000)
                value = wait_ms
            if value is True:
                parts.append("-" + key)
            elif isinstance(value, Hwnd):
                parts.append("-%s=%r" % (key, value))
            elif isinstance(value, int):
                parts.append("-%s=%d" % (key, value))
            else:
                parts.append("-%s=%s" % (key, self._text(value)))
        line = " ".join(parts)
        if self._proc is None:
            raise DriverError("driver", "driver closed", line)
        self._proc.stdin.write(line.encode("ascii") + b"\n")
        self._proc.stdin.flush()
        reply = self._read_line(reply_timeout or (wait_ms / 1000.0 + 60), line)
        tokens = tokenize(reply)
        if not tokens:
            raise DriverError("failed", "empty reply", line)
        status = tokens[0][0]
        if status == b"ERR":
            kind = tokens[1][0].decode() if len(tokens) > 1 else "failed"
            text = tokens[2][0].decode(self.encoding, "replace") if len(tokens) > 2 else ""
            raise (DriverTimeout if kind == "timeout" else DriverError)(kind, text, line)
        if status != b"OK":
            raise DriverError("failed", "bad reply %r" % reply, line)
        return [self._value(data, quoted) for data, quoted in tokens[1:]]

    def _value(self, data, quoted):
        if quoted:
            return data.decode(self.encoding, "surrogateescape")
        text = data.decode("ascii")
        if text.startswith("@"):
            return Hwnd(int(text[1:], 16))
        try:
            return int(text)
        except ValueError:
            return text

    def _read_line(self, timeout, command):
        deadline = time.monotonic() + timeout
        fd = self._proc.stdout.fileno()
        while b"\n" not in self._buf:
            left = deadline - time.monotonic()
            if left <= 0:
                self._abandon()
                raise DriverError("driver", "no reply from the driver in %.0f s" % timeout, command)
            ready, _, _ = select.select([fd], [], [], left)
            if ready:
                chunk = os.read(fd, 65536)
                if not chunk:
                    self._abandon()
                    raise DriverError("driver", "the driver ended", command)
                self._buf += chunk
        line, self._buf = self._buf.split(b"\n", 1)
        return line.rstrip(b"\r").decode("ascii", "replace")

    @property
    def running(self):
        return self._proc is not None

    def _abandon(self):
        if self._proc:
            self._proc.kill()
            self._proc.wait()
            self._proc = None

    def close(self):
        if self._proc:
            try:
                self._proc.stdin.write(b"quit\n")
                self._proc.stdin.close()
                self._proc.wait(timeout=15)
            except (OSError, subprocess.TimeoutExpired):
                self._proc.kill()
                self._proc.wait()
            self._proc = None
        self.log.close()
        if os.path.getsize(self.log.name):
            sys.stderr.write("driver log %s:\n%s" % (self.log.name, open(self.log.name, errors="replace").read()))
        os.unlink(self.log.name)

    @staticmethod
    def _groups(values, size):
        n = values[0]
        rest = values[1:]
        return [rest[i * size:(i + 1) * size] for i in range(n)]

    @staticmethod
    def _ctl(ctl):
        return "." if ctl is None else ctl

    # -- top-level windows --

    def windows(self, title=None, class_=None, pid=None, hidden=False):
        r = self.command("windows", title=title, class_=class_, pid=pid, hidden=hidden)
        return [WindowInfo(h, t, c, p, bool(v)) for h, t, c, p, v in self._groups(r, 5)]

    def wait_window(self, title, timeout=None, class_=None, pid=None, hidden=False):
        """Waits for a top-level window (visible unless hidden=True); returns its Hwnd."""
        return self.command("wait", title, class_=class_, pid=pid, hidden=hidden,
                            timeout=self.timeout if timeout is None else timeout)[0]

    def wait_gone(self, title, timeout=None, class_=None, pid=None, hidden=False):
        self.command("waitgone", title, class_=class_, pid=pid, hidden=hidden,
                     timeout=self.timeout if timeout is None else timeout)

    def exists(self, title, class_=None, pid=None, hidden=False):
        return bool(self.windows(title, class_=class_, pid=pid, hidden=hidden))

    def children(self, win, **kw):
        r = self.command("children", win, **kw)
        return [ControlInfo(h, i, c, t, bool(v), bool(e)) for h, i, c, t, v, e in self._groups(r, 6)]

    def title(self, win, **kw):
        return self.command("title", win, **kw)[0]

    def pid_of(self, win, **kw):
        return self.command("pid", win, **kw)[0]

    # -- controls --

    def get_text(self, win, ctl=None, **kw):
        return self.command("gettext", win, self._ctl(ctl), **kw)[0]

    def wait_text(self, win, ctl, expected, timeout=None, **kw):
        """Waits until the control's text is expected (or expected(text) is
        true); returns the text then, or at the time limit, for the test to
        compare. For windows that show what they were told a moment later."""
        return self._wait_for(lambda: self.get_text(win, ctl, **kw), expected, timeout)

    def _wait_for(self, read, expected, timeout):
        wanted = expected if callable(expected) else (lambda value: value == expected)
        deadline = time.monotonic() + (self.timeout if timeout is None else timeout)
        while True:
            value = read()
            if wanted(value) or time.monotonic() >= deadline:
                return value
            time.sleep(0.05)

    def set_text(self, win, ctl, text, **kw):
        self.command("settext", win, self._ctl(ctl), text, **kw)

    def is_visible(self, win, ctl=None, **kw):
        return bool(self.command("visible", win, self._ctl(ctl), **kw)[0])

    def is_enabled(self, win, ctl=None, **kw):
        return bool(self.command("enabled", win, self._ctl(ctl), **kw)[0])

    def rect(self, win, ctl=None, **kw):
        return Rect(*self.command("rect", win, self._ctl(ctl), **kw))

    def place(self, win, x, y, width, height, **kw):
        """Moves and sizes a top-level window; gives its new (left, top, right, bottom)."""
        return tuple(self.command("place", win, x, y, width, height, **kw))

    def click(self, win, ctl, force=False, **kw):
        """Clicks a button. Returns once its handler finished or opened a modal
        window (True), or after 5 s of a busy target (False). A disabled button,
        or one under a modal window, raises DriverError kind "disabled"."""
        return bool(self.command("click", win, ctl, force=force, **kw)[0])

    def is_checked(self, win, ctl, **kw):
        return self.command("check", win, ctl, **kw)[0]

    def set_check(self, win, ctl, state=1, **kw):
        return self.command("setcheck", win, ctl, int(state), **kw)[0]

    def key(self, win, key, ctl=None, **kw):
        """Posts a key press (enter, escape, tab, ... or a VK number) to the
        window's focused control, or to ctl. Posted: wait for its effect."""
        return self.command("key", win, key, ctl=ctl, **kw)[0]

    def enter(self, win, **kw):
        return self.key(win, "enter", **kw)

    def escape(self, win, **kw):
        return self.key(win, "escape", **kw)

    def post(self, win, msg, wparam=0, lparam=0, ctl=None, **kw):
        self.command("post", win, msg, wparam, lparam, ctl=ctl, **kw)

    def send(self, win, msg, wparam=0, lparam=0, ctl=None, **kw):
        return self.command("send", win, msg, wparam, lparam, ctl=ctl, **kw)[0]

    # -- list boxes and combo boxes --

    def list_count(self, win, ctl, **kw):
        return self.command("listcount", win, ctl, **kw)[0]

    def list_items(self, win, ctl, **kw):
        return self.command("listitems", win, ctl, **kw)[1:]

    def list_selection(self, win, ctl, **kw):
        """Selected indices ([] when none)."""
        return self.command("listsel", win, ctl, **kw)[1:]

    def list_select(self, win, ctl, index, add=False, **kw):
        """Selects an item (-1: none) and tells the parent as a click would."""
        return self.command("listselect", win, ctl, index, add=add, **kw)[1:]

    def list_double_click(self, win, ctl, index, **kw):
        self.command("listdblclick", win, ctl, index, **kw)

    # -- list views --

    def lv_items(self, win, ctl, **kw):
        """All rows, each a list of its columns' texts."""
        r = self.command("lvitems", win, ctl, **kw)
        rows, cols, texts = r[0], r[1], r[2:]
        return [texts[i * cols:(i + 1) * cols] for i in range(rows)]

    def lv_row(self, win, ctl, row, **kw):
        return self.command("lvitems", win, ctl, row=row, **kw)[2:]

    def lv_count(self, win, ctl, **kw):
        return self.command("lvcount", win, ctl, **kw)[0]

    def lv_columns(self, win, ctl, **kw):
        return self.command("lvcolumns", win, ctl, **kw)[1:]

    def lv_fit(self, win, ctl, **kw):
        """Per column (width, width its widest text needs, arrow: 1 up, -1 down, 0 none)."""
        r = self.command("lvfit", win, ctl, **kw)[1:]
        return [tuple(r[i:i + 3]) for i in range(0, len(r), 3)]

    def tv_selection(self, win, ctl, **kw):
        """The text of a tree view's selected item, "" when none is."""
        return self.command("tvsel", win, ctl, **kw)[0]

    def lv_selection(self, win, ctl, **kw):
        return self.command("lvsel", win, ctl, **kw)[1:]

    def lv_select(self, win, ctl, index, add=False, **kw):
        return self.command("lvselect", win, ctl, index, add=add, **kw)[1:]

    def lv_double_click(self, win, ctl, index, **kw):
        """Selects the item and double-clicks it: the list view gets the mouse
        double-click and tells its parent itself (NM_DBLCLK, LVN_ITEMACTIVATE)."""
        return bool(self.command("lvdblclick", win, ctl, index, **kw)[0])

    def lv_column_click(self, win, ctl, column, **kw):
        """Clicks a column header; the parent gets LVN_COLUMNCLICK."""
        return bool(self.command("lvcolclick", win, ctl, column, **kw)[0])

    # -- progress bars --

    def progress(self, win, ctl, **kw):
        return Progress(*self.command("progress", win, ctl, **kw))

    def wait_progress(self, win, ctl, pos, timeout=None, **kw):
        """Waits until the bar stands at pos; returns its Progress then, or at
        the time limit."""
        return self._wait_for(lambda: self.progress(win, ctl, **kw), lambda p: p.pos == pos, timeout)

    # -- message boxes --

    def message_box(self, title=None, pid=None, timeout=None, icon=True, hwnd=None):
        """Waits for a visible message box (by caption and/or process) and reads it.
        icon is one of none, error, question, warning, information, unknown."""
        r = self.command("msgbox", title=title, pid=pid, hwnd=hwnd, noicon=not icon,
                         timeout=self.timeout if timeout is None else timeout)
        buttons = [(i, t) for i, t in self._groups(r[5:], 2)]
        return MessageBox(r[0], r[1], r[2], r[3], r[4], buttons)

    def find_message_box(self, title=None, pid=None, icon=True):
        """The message box showing now, or None."""
        try:
            return self.message_box(title=title, pid=pid, timeout=0, icon=icon)
        except DriverError as e:
            if e.kind in ("notfound", "timeout"):
                return None
            raise

    def answer(self, button, box=None, title=None, pid=None, timeout=None):
        """Presses a message box button: an ID (6), a name ("yes") or its text ("&Yes").
        box: a MessageBox or Hwnd; otherwise found by title/pid. Returns the ID."""
        if isinstance(button, str) and button.lower() in BUTTONS:
            button = BUTTONS[button.lower()]
        hwnd = box.hwnd if isinstance(box, MessageBox) else box
        return self.command("answer", str(button), title=title, pid=pid, hwnd=hwnd,
                            timeout=self.timeout if timeout is None and hwnd is None else timeout)[0]

    # -- help windows --

    def help_topics(self):
        """(help file, topic) of every page a help window went to since the
        last call, as Wine's HTML Help traces them: programs started after
        setenv("WINEDEBUG", "trace+htmlhelp") write them to this driver's log."""
        with open(self.log.name, "rb") as f:
            f.seek(getattr(self, "_help_seen", 0))
            data = f.read()
        self._help_seen = getattr(self, "_help_seen", 0) + len(data)
        return re.findall(r'navigate_url L"mk:@MSITStore:.*?\\\\([^\\:"]+)::/([^"]+)"', data.decode("latin-1"))

    # -- screenshots --

    def screenshot(self, path, win=None, ctl=None, **kw):
        """Writes a BMP of a window (cut from the screen) or the whole screen;
        path is a Linux or Windows path. Returns (width, height)."""
        target = Hwnd(0) if win is None else win
        args = [target, win_path(path)] + ([] if ctl is None else [ctl])
        return tuple(self.command("screenshot", *args, **kw))

    # -- processes --

    def start(self, command_line, cwd=None, app=None, show=None):
        """CreateProcessA with exactly this command line (str or bytes, sent byte
        for byte); cwd and app are Linux or Windows paths. Returns the pid."""
        return self.command("start", command_line, dir=None if cwd is None else win_path(cwd),
                            app=None if app is None else win_path(app), show=show)[0]

    def wait_pid(self, pid, timeout=None):
        """Waits for the process to end; returns its exit code."""
        return self.command("waitpid", pid, timeout=self.timeout if timeout is None else timeout)[0]

    def alive(self, pid):
        return bool(self.command("alive", pid)[0])

    def kill(self, pid, code=1):
        self.command("kill", pid, code=code)

    def processes(self):
        return [ProcessInfo(*p) for p in self._groups(self.command("procs"), 4)]

    def chdir(self, path):
        self.command("chdir", win_path(path))

    def cwd(self):
        return self.command("cwd")[0]

    def setenv(self, name, value=None):
        """Sets (None: removes) a variable in the driver; programs it starts inherit it."""
        self.command("setenv", name, *([] if value is None else [value]))

    def hold(self, path):
        """Holds a file or folder open without sharing, as another program
        may; returns an id for release(). Usable as a context manager:

            with d.holding(path): ...run the engine...
        """
        return self.command("hold", win_path(path))[0]

    def release(self, held):
        self.command("release", held)

    @contextlib.contextmanager
    def holding(self, path):
        held = self.hold(path)
        try:
            yield held
        finally:
            self.release(held)

    # -- registry, HKEY_CURRENT_USER --

    def reg_get(self, key, name):
        """RegValue(type, data) or None when the value (or key) is missing.
        REG_SZ data is str, REG_DWORD int, other types hex text."""
        try:
            return RegValue(*self.command("regget", key, name))
        except DriverError as e:
            if e.kind == "notfound":
                return None
            raise

    def reg_get_raw(self, key, name):
        """(type number, bytes as stored) or None."""
        try:
            t, data = self.command("regget", key, name, raw=True)
        except DriverError as e:
            if e.kind == "notfound":
                return None
            raise
        return t, bytes.fromhex(data)

    def reg_set_sz(self, key, name, value):
        self.command("regset", key, name, Word("REG_SZ"), value)

    def reg_set_dword(self, key, name, value):
        self.command("regset", key, name, Word("REG_DWORD"), str(value & 0xFFFFFFFF))

    def reg_set_raw(self, key, name, type_number, data):
        """Any type with any bytes, e.g. a REG_SZ without its terminator."""
        self.command("regset", key, name, int(type_number), bytes(data).hex())

    def reg_delete_key(self, key):
        """Deletes the key and everything below it; False if it was not there."""
        return bool(self.command("regdelkey", key)[0])

    def reg_delete_value(self, key, name):
        return bool(self.command("regdelvalue", key, name)[0])

    def reg_exists(self, key, name=None):
        return bool(self.command("regexists", key, *([] if name is None else [name]))[0])

    def reg_values(self, key):
        return self.command("regvalues", key)[1:]

    def reg_keys(self, key):
        return self.command("regkeys", key)[1:]


# --- FTP server fixture --------------------------------------------------------

class FtpServer:
    """A pyftpdlib server on 127.0.0.1 (or host, "::1" say) in a thread of this process.

    users: {name: (password, home)}; or user/password/home for one user (home
    defaults to a new temporary folder). Every command line the server
    receives is logged as it arrived, PASS included, for all sessions in order,
    with the time.monotonic() of its arrival; so is each session's connection.
    tls: a tls_certs.Certificate: FTP over TLS, required for the log-in and
    every data connection. handler: attributes and methods that replace the
    handler's own (e.g. {"ftp_PORT": ...} for a server that refuses PORT).
    """

    def __init__(self, user="test", password="secret", home=None, users=None, perm="elradfmwMT", tls=None,
                 handler=None, host="127.0.0.1"):
        from pyftpdlib.authorizers import DummyAuthorizer
        from pyftpdlib.handlers import FTPHandler, TLS_FTPHandler
        from pyftpdlib.ioloop import IOLoop
        from pyftpdlib.servers import FTPServer

        # A handler of our own keeps pyftpdlib from logging every command.
        server_log = logging.getLogger("pyftpdlib")
        if not server_log.handlers:
            server_log.addHandler(logging.StreamHandler(sys.stderr))
        server_log.setLevel(logging.WARNING)
        self._own_homes = []
        if users is None:
            if home is None:
                home = tempfile.mkdtemp(prefix="ftphome-", dir=_temp_root())
                self._own_homes.append(home)
            users = {user: (password, home)}
        self.users = users
        self.home = next(iter(users.values()))[1]
        authorizer = DummyAuthorizer()
        for name, (pw, folder) in users.items():
            os.makedirs(folder, exist_ok=True)
            authorizer.add_user(name, pw, folder, perm=perm)

        self._lock = threading.Lock()
        self._log = []          # (session number, bytes line, arrival time)
        self._connected = []    # each session's connection time
        fixture = self

        class RecordingHandler(TLS_FTPHandler if tls else FTPHandler):
            def on_connect(self):
                with fixture._lock:
                    fixture._connected.append(time.monotonic())
                    self.session_number = len(fixture._connected)

            def found_terminator(self):
                raw = b"".join(self._in_buffer)
                with fixture._lock:
                    fixture._log.append((getattr(self, "session_number", 0), raw, time.monotonic()))
                super().found_terminator()

        RecordingHandler.authorizer = authorizer
        RecordingHandler.banner = "suite test server ready."
        if tls:
            RecordingHandler.certfile, RecordingHandler.keyfile = tls.certfile, tls.keyfile
            RecordingHandler.tls_control_required = RecordingHandler.tls_data_required = True
        for name, value in (handler or {}).items():
            setattr(RecordingHandler, name, value)
        self._ioloop = IOLoop()
        self._server = FTPServer((host, 0), RecordingHandler, ioloop=self._ioloop)
        self.host = host
        self.port = self._server.socket.getsockname()[1]
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._serve, name="ftpserver", daemon=True)
        self._thread.start()

    def _serve(self):
        try:
            while not self._stop.is_set():
                self._ioloop.loop(0.05, blocking=False)
        finally:
            self._server.close_all()

    def stop(self):
        if self._thread is None:
            return
        self._stop.set()
        self._thread.join(timeout=10)
        self._thread = None
        for home in self._own_homes:
            shutil.rmtree(home, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def commands(self, session=None):
        """Command lines received (str, byte for byte as latin-1), in order."""
        with self._lock:
            return [raw.decode("latin-1") for s, raw, _ in self._log if session is None or s == session]

    def command_log(self):
        """[(session number, bytes)] for tests that care about sessions."""
        with self._lock:
            return [(s, raw) for s, raw, _ in self._log]

    def sessions(self):
        with self._lock:
            return len(self._connected)

    def connect_times(self):
        """The time.monotonic() of each session's connection, in order."""
        with self._lock:
            return list(self._connected)

    def arrival(self, line):
        """The time.monotonic() the first command equal to `line` arrived, or None."""
        with self._lock:
            return next((at for _, raw, at in self._log if raw.decode("latin-1") == line), None)

    def clear_log(self):
        with self._lock:
            self._log.clear()

    def wait_for(self, predicate, timeout=10.0):
        """Waits until predicate(commands()) is true; returns the commands."""
        deadline = time.monotonic() + timeout
        while True:
            cmds = self.commands()
            if predicate(cmds) or time.monotonic() >= deadline:
                return cmds
            time.sleep(0.05)

    def path(self, *parts, user=None):
        """Linux path of a file below a user's home."""
        home = self.home if user is None else self.users[user][1]
        return os.path.join(home, *parts)


# --- test cases --------------------------------------------------------------

def poll(predicate, timeout=5.0, interval=0.05):
    """Calls predicate until it returns true or timeout seconds passed; returns
    its last result. For effects that arrive later (posted keys, other processes)."""
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result or time.monotonic() >= deadline:
            return result
        time.sleep(interval)


class Tests:
    """Named cases for e2e scripts: a failure prints file:line and the case,
    the script goes on, and finish() gives the exit code.

        with t.case("list box selection reaches the parent"):
            t.eq(d.list_selection(W, 1003), [1])
    """

    def __init__(self):
        self.passed = 0
        self.failed = 0
        self._current = None
        self._current_failed = False

    def case(self, name):
        return _Case(self, name)

    def _where(self, depth=2):
        frame = sys._getframe(depth)
        while frame and frame.f_code.co_filename == __file__:
            frame = frame.f_back
        return "%s:%d" % (os.path.basename(frame.f_code.co_filename), frame.f_lineno) if frame else "?"

    def fail(self, message, where=None):
        where = where or self._where()
        print("%s: FAIL [%s] %s" % (where, self._current or "-", message), flush=True)
        if self._current is None:
            self.failed += 1
        else:
            self._current_failed = True

    def check(self, condition, message="check failed"):
        """Soft check: records a failure and goes on."""
        if not condition:
            self.fail(message, self._where())
        return bool(condition)

    def eq(self, actual, expected, message=""):
        if actual != expected:
            self.fail("%sexpected %r, got %r" % (message + ": " if message else "", expected, actual),
                      self._where())
            return False
        return True

    def finish(self):
        """Prints the totals; returns the exit code (1 if any case failed)."""
        print("%d passed, %d failed" % (self.passed, self.failed), flush=True)
        return 1 if self.failed else 0


class _Case:
    def __init__(self, tests, name):
        self.tests, self.name = tests, name

    def __enter__(self):
        self.tests._current, self.tests._current_failed = self.name, False
        self.start = time.monotonic()
        return self

    def __exit__(self, kind, exc, tb):
        t = self.tests
        if exc is not None and not isinstance(exc, Exception):
            t._current = None
            return False  # KeyboardInterrupt, SystemExit: let them end the script
        if exc is not None:
            frames = [f for f in traceback.extract_tb(tb) if f.filename != __file__] or traceback.extract_tb(tb)
            where = "%s:%d" % (os.path.basename(frames[-1].filename), frames[-1].lineno)
            t.fail("%s: %s" % (kind.__name__, exc), where)
        if t._current_failed:
            t.failed += 1
        else:
            t.passed += 1
            print("ok [%s] %.1fs" % (self.name, time.monotonic() - self.start), flush=True)
        t._current = None
        return True


# --- the session: everything a test started, and its cleanup -------------------

def _temp_root():
    root = os.path.join(RUN_DIR, "tmp") if RUN_DIR and os.path.isdir(os.path.join(RUN_DIR, "tmp")) else None
    return root or tempfile.gettempdir()


def _sigterm(signum, frame):
    raise SystemExit(128 + signum)


class Session:
    """Owns the driver, FTP servers, started programs and a temporary folder
    (tmp, kept if the script fails). close() runs on leaving the with block,
    at exit and on SIGTERM, whatever happened."""

    def __init__(self, keep_tmp=False):
        self.tmp = tempfile.mkdtemp(prefix="e2e-", dir=_temp_root())
        self.keep_tmp = keep_tmp
        self._driver = None
        self._servers = []
        self._popens = []
        self._started_windows = False
        self._closed = False
        atexit.register(self.close)
        if threading.current_thread() is threading.main_thread():
            signal.signal(signal.SIGTERM, _sigterm)

    @property
    def driver(self):
        if self._driver is None:
            self._driver = _SessionDriver(self)
            # A test that was killed could not clean up; its programs would
            # answer to this test's window titles.
            self.end_windows_programs()
        return self._driver

    def ftp_server(self, **kw):
        server = FtpServer(**kw)
        self._servers.append(server)
        return server

    def start_program(self, exe, *args, cwd=None, env=None):
        """Starts a Windows program under wine from an argument list; not waited for."""
        self._started_windows = True
        proc = subprocess.Popen([wine_path(), exe, *args], cwd=cwd, env=wine_env(env),
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._popens.append(proc)
        return proc

    def end_windows_programs(self):
        """Ends every Windows program running outside C:\\windows, except drivers:
        whatever the test started and whatever those started in turn."""
        if self._driver is None and not self._started_windows:
            return
        if self._driver is not None and not self._driver.running:
            self._driver = None  # it failed; a new one does the sweep
        d = self._driver or self.driver
        for p in d.processes():
            path = (p.path or "").lower()
            if path.startswith("c:\\windows\\") or not path or p.name.lower() == "suite_driver.exe":
                continue
            try:
                d.kill(p.pid)
            except DriverError:
                pass

    def close(self, failed=False):
        if self._closed:
            return
        self._closed = True
        try:
            self.end_windows_programs()
        except Exception as e:  # cleanup goes on whatever the driver says
            print("cleanup: %s" % e, file=sys.stderr)
        if self._driver is not None:
            self._driver.close()
        for proc in self._popens:
            if proc.poll() is None:
                proc.kill()
            proc.wait()
        for server in self._servers:
            server.stop()
        if failed or self.keep_tmp:
            print("kept %s" % self.tmp, file=sys.stderr)
        else:
            shutil.rmtree(self.tmp, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, kind, exc, tb):
        self.close(failed=exc is not None)
        return False


class _SessionDriver(Driver):
    def __init__(self, session):
        super().__init__()
        self._session = session

    def start(self, *args, **kw):
        self._session._started_windows = True
        return super().start(*args, **kw)
