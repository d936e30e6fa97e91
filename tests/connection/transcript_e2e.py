"""A box with neither passive mode nor TLS talks to its server exactly as
boxes always have: the bytes the engine and the browser send on the control
connection, and the replies the engine's details log shows, compared with a
transcript recorded before those options existed (plain_transcript.txt).

    transcript_e2e.py            compare
    transcript_e2e.py --record   write the transcript anew"""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "engine_e2e"))
from engine_run import LOG, STORED, EngineRun, ScriptedFtpServer, boxes, dialogue, suite, write  # noqa: E402
import scripted_ftpd  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
TRANSCRIPT = os.path.join(HERE, "plain_transcript.txt")
BOX = "Plain"
KEY = boxes.SETTINGS_KEY + "\\" + BOX
LIST, DOWNLOAD, STATUS = 2106, 2112, 2101

t = suite.Tests()


def escaped(raw):
    """One line per command, its line end spelled out; the PORT line's port,
    new every run, blanked."""
    text = raw.decode("latin-1").replace("\r", "\\r").replace("\n", "\\n\n")
    return re.sub(r"PORT (\d+,\d+,\d+,\d+),\d+,\d+", r"PORT \1,*,*", text)


def engine_part(d, s):
    """Two files and a folder into a relative box directory; the log is read
    while the server holds its answer to the last command but QUIT."""
    src = os.path.join(s.tmp, "src")
    a_txt = write(os.path.join(src, "a.txt"), "alpha\r\n")
    b_bin = write(os.path.join(src, "b.bin"), bytes(range(256)))
    write(os.path.join(src, "site", "index.htm"), "<p>x</p>")
    home = '257 "/home/u" is the current directory\r\n'
    www = '257 "/home/u/www" is the current directory\r\n'
    held = boxes.HeldReply("250 CDUP command successful\r\n")
    script = dialogue(["PORT", "TYPE A", ("PWD", home), "CWD /home/u/www", "STOR a.txt",
                       "PORT", "TYPE I", ("PWD", www), "CWD /home/u/www", "STOR b.bin",
                       ("PWD", www), "CWD /home/u/www", "MKD site", "CWD site",
                       "PORT", "TYPE A", "STOR index.htm", ("CDUP", held), "QUIT"])
    srv = ScriptedFtpServer(script).start()
    box = boxes.make_box(d, s.tmp, BOX, port=srv.port, user="ann", password="pw", directory="www", details=1)
    try:
        with EngineRun(d, box, boxes.path_list([a_txt, b_bin, os.path.join(src, "site")])) as run:
            w = run.window()
            t.check(held.wait_reached(), "the server came to the CDUP")
            # Nothing more is logged until the CDUP's reply: three completions are all.
            log = d.wait_text(w, LOG, lambda text: text.count(STORED) == 3)
            held.release()
            t.eq(run.exit_code(), 0, "exit code")
        srv.wait(10)
        t.eq(srv.errors, [])
        return escaped(srv.sessions[0].raw), log.replace("\r\n", "\\r\\n\n")
    finally:
        box.delete(d)
        srv.close()


def browser_part(d, s):
    """Connect, list, and download a file, with the browser started as the
    launcher starts it."""
    listing = "-rw-r--r-- 1 u g 5 Jan  1 00:00 get.bin\r\n"
    script = scripted_ftpd.login() + scripted_ftpd.listing(listing) + [
        {"expect": "PWD", "reply": '257 "/" is the current directory\r\n'},
        {"expect": "TYPE I", "reply": "200 Type set\r\n"},
        {"expect": "PORT *", "reply": "200 Port ok\r\n"},
        {"expect": "RETR get.bin", "reply": "150 Here\r\n", "data": "send", "payload": "12345",
         "then": "226 Done\r\n"}]
    srv = ScriptedFtpServer(script).start()
    folder = os.path.join(s.tmp, "suite")
    target = os.path.join(s.tmp, "in")
    os.makedirs(folder)
    os.makedirs(target)
    d.reg_delete_key(KEY)
    for name, value in (("Host Name", "127.0.0.1"), ("User ID", "ann"), ("Password", boxes.encode_password("pw")),
                        ("Directory", ""), ("Target Directory", suite.win_path(target))):
        d.reg_set_sz(KEY, name, value)
    d.reg_set_dword(KEY, "Port", srv.port)
    try:
        pid = d.start("SndMgr %s\r" % BOX, cwd=folder, app=suite.win64_bin("SndMgr.exe"))
        w = d.wait_window("FTP Fetchora", timeout=30, pid=pid)
        suite.poll(lambda: d.lv_count(w, LIST) == 1, 20)
        d.lv_select(w, LIST, 0)
        d.click(w, DOWNLOAD)
        t.check(suite.poll(lambda: d.get_text(w, STATUS) == "Download completed", 20), "downloaded")
        d.escape(w)
        d.wait_pid(pid, timeout=20)
        srv.wait(10)
        t.eq(srv.errors, [])
        return escaped(srv.sessions[0].raw)
    finally:
        d.reg_delete_key(KEY)
        srv.close()


def main():
    with suite.Session() as s:
        d = s.driver
        sent, log = engine_part(d, s)
        browsed = browser_part(d, s)
    transcript = ("== the engine sends\n" + sent + "== the engine's details log\n" + log +
                  "== the browser sends\n" + browsed)
    if "--record" in sys.argv:
        with open(TRANSCRIPT, "w", encoding="latin-1", newline="\n") as f:
            f.write(transcript)
        print("recorded %s" % TRANSCRIPT)
    else:
        with t.case("both options off: byte for byte the transcript of old"):
            with open(TRANSCRIPT, encoding="latin-1", newline="\n") as f:
                t.eq(transcript, f.read())
    return t.finish()


if __name__ == "__main__":
    sys.exit(main())
