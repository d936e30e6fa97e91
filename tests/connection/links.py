"""What the tests of a box's connection options share: a tree of files that
line ends or a lost block would change, engine runs of a box over it, the
browser of a box, and what arrived where.

    paths = links.make_tree(folder)
    code = links.upload(d, s, "Box", srv.port, paths, passive=1)
    t.eq(links.tree_in(srv.home), links.SENT)

Boxes send in binary here: a server may store a TYPE A upload with its own
line ends (pyftpdlib does), and byte for byte is what is compared.
"""
import hashlib
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "engine_e2e"))
from engine_run import EngineRun, boxes, failure_box, not_sent_text, suite  # noqa: E402,F401

TREE = {
    "a.txt": b"alpha\r\nbeta\r\n",
    "b.bin": bytes(range(256)) * 40 + b"\r\n\n\r",
    "tree/c.htm": b"<p>c</p>\r\n",
    "tree/sub/d.gif": bytes(reversed(range(256))) * 9,
}
BROWSER_TITLE = "FTP Fetchora"
STATUS, LIST, DOWNLOAD = 2101, 2106, 2112


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_tree(folder):
    """TREE below folder; gives the paths to send: the two files and "tree"."""
    for name, data in TREE.items():
        write(os.path.join(folder, name), data)
    return [os.path.join(folder, n) for n in ("a.txt", "b.bin", "tree")]


def digest(data):
    """What a comparison shows of a file: its length and hash."""
    return len(data), hashlib.sha256(data).hexdigest()[:16]


SENT = {name: digest(data) for name, data in TREE.items()}


def tree_in(folder, names=None):
    """{relative path: digest} of every file below folder, or of those named."""
    found = {}
    for top, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(top, name)
            relative = os.path.relpath(path, folder).replace(os.sep, "/")
            if names is None or relative in names:
                with open(path, "rb") as f:
                    found[relative] = digest(f.read())
    return found


def upload(d, s, name, port, paths, user="ann", password="pw", **settings):
    """Runs the box's engine over the paths to its end; gives the exit code."""
    settings.setdefault("transfer_type", 1)
    box = boxes.make_box(d, s.tmp, name, port=port, user=user, password=password, **settings)
    try:
        with EngineRun(d, box, boxes.path_list(paths)) as run:
            return run.exit_code()
    finally:
        box.delete(d)


def set_box(d, name, port, target, user="ann", password="pw", host="127.0.0.1", directory="", **numbers):
    """A box as the browser reads it, downloading into target."""
    key = boxes.SETTINGS_KEY + "\\" + name
    d.reg_delete_key(key)
    for value, text in (("Host Name", host), ("User ID", user), ("Password", boxes.encode_password(password)),
                        ("Directory", directory), ("Target Directory", suite.win_path(target))):
        d.reg_set_sz(key, value, text)
    d.reg_set_dword(key, "Port", port)
    for value, number in numbers.items():
        d.reg_set_dword(key, value, number)
    return key


class Browser:
    """The browser of a box, started as the launcher starts it, in a folder
    of its own."""

    def __init__(self, d, folder, box):
        self.d = d
        os.makedirs(folder, exist_ok=True)
        self.pid = d.start("SndMgr %s\r" % box, cwd=folder, app=suite.win64_bin("SndMgr.exe"))
        self.w = d.wait_window(BROWSER_TITLE, timeout=30, pid=self.pid)

    def names(self):
        return [r[0] for r in self.d.lv_items(self.w, LIST)]

    def wait_names(self, names, timeout=30):
        return suite.poll(lambda: sorted(self.names()) == sorted(names), timeout, 0.1)

    def download(self, names, target, timeout=30):
        """Downloads the rows; true once every file has arrived whole."""
        shown = self.names()
        self.d.lv_select(self.w, LIST, -1)
        for n in names:
            self.d.lv_select(self.w, LIST, shown.index(n), add=True)
        self.d.click(self.w, DOWNLOAD)
        return suite.poll(lambda: self.status() == "Download completed" and
                          all(os.path.exists(os.path.join(target, n)) for n in names), timeout, 0.1)

    def status(self):
        return self.d.get_text(self.w, STATUS)

    def message(self, timeout=30):
        return self.d.message_box(pid=self.pid, timeout=timeout)

    def close(self):
        self.d.escape(self.w)
        return self.d.wait_pid(self.pid, timeout=20)


def scripted_run(t, d, s, script, paths, said=None, question=None, code=1, **settings):
    """A TLS box run over the paths against the scripted server; gives the
    server. question: (button or "enter", a reason the question must show).
    A failure must start with said and name every path as not sent."""
    from scripted_ftpd import ScriptedFtpServer
    srv = ScriptedFtpServer(script).start()
    settings = dict(dict(host="localhost", user="ann", password="pw", transfer_type=1, tls=1), **settings)
    box = boxes.make_box(d, s.tmp, "Scripted", port=srv.port, **settings)
    try:
        with EngineRun(d, box, boxes.path_list(paths)) as run:
            if question:
                asked = run.message_box()
                t.check(question[1] in asked.text, "reason: %r" % asked.text)
                d.enter(asked.hwnd) if question[0] == "enter" else d.answer(question[0], box=asked)
            if said:
                shown = run.message_box()
                t.check(shown.text.startswith(said) and shown.text.endswith(not_sent_text(paths)),
                        "failure: %r" % shown.text)
                d.answer("ok", box=shown)
            t.eq(run.exit_code(), code)
        t.eq(box.get(d, "certificate"), settings.get("certificate"), "nothing more trusted")
    finally:
        box.delete(d)
        srv.wait(10)
        srv.close()
    return srv
