"""What the engine's end-to-end scripts share: the progress window's controls,
scripted-server steps for the usual dialogue, and one engine run that never
outlives its case."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "support"))

import boxes  # noqa: E402
import suite  # noqa: E402
from scripted_ftpd import ScriptedFtpServer  # noqa: E402,F401

# Controls of the progress window (engine/resource.h).
STATUS, BAR, DETAILS, LOG = 1000, 1001, 1003, 1004
CANCEL = 2

GREETING = "220 Scripted server ready\r\n"
USER_OK = "331 Password required\r\n"
PASS_OK = "230 Logged in\r\n"
PORT_OK = "200 PORT command successful\r\n"
TYPE_OK = "200 Type set\r\n"
STOR_OPEN = "150 Opening data connection\r\n"
STORED = "226 Transfer complete\r\n"
BYE = "221 Goodbye\r\n"


def login(user="ann", password="pw", greeting=GREETING):
    return [{"reply": greeting},
            {"expect": "USER " + user, "reply": USER_OK},
            {"expect": "PASS " + password, "reply": PASS_OK}]


def store(name="*", type_="TYPE *", completion=STORED, data="receive", cwd=None):
    """PORT, TYPE (None: none expected), an optional CWD step list, STOR."""
    steps = [{"expect": "PORT *", "reply": PORT_OK}]
    if type_ is not None:
        steps.append({"expect": type_, "reply": TYPE_OK})
    steps += cwd or []
    steps.append({"expect": "STOR " + name, "reply": STOR_OPEN, "data": data, "then": completion})
    return steps


QUIT = {"expect": "QUIT", "reply": BYE}

# What a willing server answers, by verb.
ANSWERS = {"PORT": PORT_OK, "TYPE": TYPE_OK, "CWD": "250 CWD command successful\r\n",
           "MKD": "257 Directory created\r\n", "CDUP": "250 CDUP command successful\r\n",
           "QUIT": BYE}


def dialogue(lines, user="ann", password="pw", with_login=True):
    """A script for a server that accepts the login and then expects exactly
    these command lines ("PORT" for any PORT). A line may come as
    (line, reply); STOR receives the file and completes it with STORED, or
    with the reply given."""
    steps = login(user, password) if with_login else []
    for line in lines:
        line, reply = line if isinstance(line, tuple) else (line, None)
        verb = line.split(" ", 1)[0]
        pattern = "PORT *" if line == "PORT" else line
        if verb == "STOR":
            steps.append({"expect": pattern, "reply": STOR_OPEN, "data": "receive", "then": reply or STORED})
        else:
            steps.append({"expect": pattern, "reply": reply or ANSWERS[verb]})
    return steps


def without_ports(commands):
    """Command lines with the PORT arguments (a free port each run) blanked."""
    return ["PORT" if c.startswith("PORT ") else c for c in commands]


def title(box):
    return "FTP Sendora - [%s]" % box.name


class EngineRun:
    """One run of a box's engine, ended whatever the case does:

        with EngineRun(d, box, tail) as run:
            w = run.window()
            t.eq(run.exit_code(), 0)
    """

    def __init__(self, driver, box, tail, cwd=None):
        self.driver, self.box = driver, box
        self.pid = boxes.run_engine(driver, box, tail, cwd=cwd)

    def window(self, timeout=30):
        return self.driver.wait_window(title(self.box), pid=self.pid, timeout=timeout)

    def message_box(self, timeout=30):
        return self.driver.message_box(pid=self.pid, timeout=timeout)

    def alive(self):
        return self.driver.alive(self.pid)

    def exit_code(self, timeout=60):
        return boxes.finish_engine(self.driver, self.pid, timeout=timeout)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        boxes.end_engine(self.driver, self.pid)
        return False


def failure_box(t, run, text):
    """The run shows exactly this failure the platform's way and ends only
    once it is answered, with exit code 1."""
    box = run.message_box()
    t.eq(box.caption, "FTP Sendora", "caption")
    t.eq(box.text, text, "text")
    t.eq(box.icon, "warning", "icon")
    t.eq([b[1] for b in box.buttons], ["OK"], "buttons")
    t.check(run.alive(), "the engine waits for the answer")
    run.driver.answer("ok", box=box)
    t.eq(run.exit_code(), 1, "exit code")
    return box


def not_sent_text(paths):
    return "File transfer was not successful:\r\n\r\n" + "\r\n".join(suite.win_path(p) for p in paths)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("latin-1"))
    return path
