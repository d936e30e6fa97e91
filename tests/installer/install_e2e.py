"""The 64-bit package under Wine, as a user without a command prompt meets
it: msiexec installs per user and places the suite's shortcuts; the
installed manager makes a box whose engine uploads; Help opens the installed
help files; a newer package keeps the boxes, refreshes their engines and
names the one that is sending; uninstalling leaves no program, shortcut or
box file, and keeps the box settings."""

import glob
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
for folder in ("support", "manager", "engine_e2e"):
    sys.path.insert(0, os.path.join(HERE, "..", folder))

import boxes  # noqa: E402
from engine_run import QUIT, STOR_OPEN, STORED, EngineRun, ScriptedFtpServer, dialogue  # noqa: E402
from manager_support import (CANCEL, CAPTION, FETCHORA, MORE_OPTIONS, OK, OPTIONS_TITLE, PORT,  # noqa: E402
                             SHELL_FOLDERS, TITLE, Suite, box_key, fill, link_names, read_link, shell_folder,
                             suite, type_text, wait_text)

t = suite.Tests()

PACKAGE = glob.glob(os.path.join(suite.WIN64_DIR, "FTP Sendora-*.msi"))
NEWER = glob.glob(suite.win64_bin("tests", "next", "FTP Sendora-*.msi"))
PROGRAMS = ("Sendora.exe", "SndMgr.exe", "FtchMgr.exe", "FTP_FN.exe", "sendora.chm", "Fetchora.chm")
SITE, BUSY = "E2E Inst Site", "E2E Inst Busy"
IDHELP, BROWSER_HELP = 9, 2115
WM_CLOSE = 0x0010
UNINSTALL_KEYS = ("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                  "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall")


MSIEXEC_LOG = os.path.join(os.environ.get("SUITE_WINE_RUN_DIR", "/tmp"), "tmp", "msiexec.log")


def msiexec(*args, timeout=240):
    """Runs msiexec with its log in MSIEXEC_LOG; gives the exit code."""
    return suite.run_program("msiexec", *args, "/l*v", suite.win_path(MSIEXEC_LOG), timeout=timeout).returncode


def held_upload(held):
    """A server that takes one file and holds its completion: the box is sending."""
    script = dialogue(["PORT", "TYPE *"]) + [
        {"expect": "STOR *", "reply": STOR_OPEN, "data": "receive", "then": held}, QUIT]
    return ScriptedFtpServer(script).start()


def read(path):
    with open(path, "rb") as f:
        return f.read()


def installed_entries():
    """(DisplayName, DisplayVersion, Publisher, InstallLocation) of every entry
    named FTP Sendora in the list of installed programs."""
    found = []
    for key in UNINSTALL_KEYS:
        out = suite.run_program("reg", "query", key, "/s").stdout
        for block in out.split("\r\n\r\n"):
            values = {}
            for line in block.splitlines():
                parts = line.strip().split(None, 2)
                if len(parts) == 3 and parts[1].startswith("REG_"):
                    values[parts[0]] = parts[2]
            if values.get("DisplayName") == "FTP Sendora":
                found.append(tuple(values.get(n) for n in ("DisplayVersion", "Publisher", "InstallLocation")))
    return found


def save_box(d, folder, alias, port, user="ann", password="pw"):
    """The installed manager, started as "Create New Sendora" starts it (folder
    a Windows path), saves a box."""
    pid = d.start('"%s\\SndMgr.exe"' % folder, cwd=folder)
    w = d.wait_window(TITLE, pid=pid, timeout=30)
    fill(d, w, user=user, password=password, host="127.0.0.1", alias=alias)
    d.click(w, MORE_OPTIONS)
    o = d.wait_window(OPTIONS_TITLE, pid=pid)
    d.set_text(o, PORT, "")
    type_text(d, o, PORT, str(port))
    wait_text(d, o, PORT, str(port))
    d.click(o, OK)
    d.wait_gone(OPTIONS_TITLE, pid=pid)
    d.click(w, OK)
    box = d.message_box(pid=pid, timeout=30)
    t.eq(box.text, "%s has been created" % alias)
    d.answer("ok", box=box)
    t.eq(d.wait_pid(pid, timeout=30), 0, "manager ends")


def cleanup(d, folders, install_dir):
    for package in PACKAGE + NEWER:
        msiexec("/x", suite.win_path(package), "/qn")
    for box in (SITE, BUSY):
        d.reg_delete_key(box_key(box))
    for folder in folders:
        for name in link_names(folder):
            if name.upper().split(".")[0] in ("CREATE NEW SENDORA", "FTP FETCHORA MANAGER", "FTP FANORA",
                                              SITE.upper(), BUSY.upper()):
                os.remove(os.path.join(folder, name))
    shutil.rmtree(install_dir, ignore_errors=True)


def main():
    if not t.check(len(PACKAGE) == 1 and len(NEWER) == 1, "one package and one newer: %s %s" % (PACKAGE, NEWER)):
        return t.finish()
    with suite.Session() as s:
        d = s.driver
        desktop, send_to = shell_folder(d, "Desktop"), shell_folder(d, "SendTo")
        start_menu = shell_folder(d, "Start Menu")
        folders = (desktop, send_to, start_menu)
        install_win = d.reg_get(SHELL_FOLDERS, "Local AppData").data + "\\Programs\\FTP Sendora"
        install_dir = suite.linux_path(install_win)
        server = s.ftp_server(user="ann", password="pw")
        try:
            run_cases(s, d, folders, install_win, install_dir, server)
        finally:
            cleanup(d, folders, install_dir)
    return t.finish()


def run_cases(s, d, folders, install_win, install_dir, server):
    desktop, send_to, start_menu = folders
    old_engine = read(suite.win64_bin("Sendora.exe"))
    new_engine = read(suite.win64_bin("tests", "next", "Sendora.exe"))
    t.check(old_engine != new_engine, "the newer engine differs in bytes")

    with t.case("msiexec /i /qn installs into %LOCALAPPDATA%\\Programs\\FTP Sendora, listed as installed"):
        t.eq(msiexec("/i", suite.win_path(PACKAGE[0]), "/qn"), 0, "msiexec")
        for name in PROGRAMS:
            t.check(read(os.path.join(install_dir, name)) == read(suite.win64_bin(name)), name)
        version = os.path.basename(PACKAGE[0])[len("FTP Sendora-"):-len(".msi")]
        t.eq(installed_entries(), [(version, "FTP Sendora", install_win + "\\")])

    expected = {
        (start_menu, "CREATE NEW SENDORA"): ("SndMgr.exe", "Create New Sendora"),
        (start_menu, "FTP FETCHORA MANAGER"): ("FtchMgr.exe", "FTP Fetchora Manager"),
        (desktop, "FTP FANORA"): ("FTP_FN.exe", "FTP Fanora"),
        (send_to, "FTP FANORA"): ("FTP_FN.exe", "FTP Fanora"),
    }

    def suite_links():
        links = {}
        for (folder, name) in expected:
            files = [n for n in link_names(folder) if n.upper() == name + ".LNK"]
            links[(folder, name)] = read_link(s, os.path.join(folder, files[0])) if len(files) == 1 else files
        return links

    with t.case("the shortcuts read back through IShellLinkA are those the install switches place"):
        placed = suite_links()
        # Windows Installer ends the working directory in a backslash; the same folder.
        t.eq(placed, {key: ("%s\\%s" % (install_win, exe), install_win + "\\", desc)
                      for key, (exe, desc) in expected.items()})
        # Now the programs' own switches, run in the suite's folder, over them.
        for tail in ("SndMgr.exe /i", "FtchMgr.exe /i", "FTP_FN.exe /install"):
            pid = d.start('"%s\\%s' % (install_win, tail.replace(".exe", '.exe"')), cwd=install_win)
            if "FTP_FN" in tail:
                d.answer("ok", box=d.message_box(pid=pid, timeout=30))
            t.eq(d.wait_pid(pid, timeout=30), 0, tail)
        by_switches = {key: (link[0], link[1] + "\\", link[2]) for key, link in suite_links().items()}
        t.eq(by_switches, placed, "the switches write the same shortcuts")

    with t.case("the installed manager makes a box whose engine uploads to pyftpdlib"):
        save_box(d, install_win, SITE, server.port)
        site = boxes.Box(SITE, install_dir)
        t.check(read(site.exe) == old_engine, "engine copy is the installed Sendora.exe")
        for folder in (desktop, send_to):
            t.eq(read_link(s, os.path.join(folder, SITE.upper() + ".LNK")),
                 ("%s\\Boxes\\%s.exe" % (install_win, SITE), install_win, SITE))
        upload = os.path.join(s.tmp, "first.txt")
        with open(upload, "wb") as f:
            f.write(b"sent by an installed box; " * 50)
        pid = boxes.run_engine(d, site, boxes.path_list([upload]))
        t.eq(boxes.finish_engine(d, pid, timeout=90), 0, "engine exit code")
        t.check(os.path.exists(server.path("first.txt")) and read(server.path("first.txt")) == read(upload),
                "arrived byte for byte")

    with t.case("Help of the browser and of the manager opens the installed help files; closing a window closes its help"):
        pid = d.start('"%s\\SndMgr.exe" %s' % (install_win, SITE), cwd=install_win)
        manager = d.wait_window(TITLE, pid=pid, timeout=30)
        d.click(manager, FETCHORA)
        browser = d.wait_window("FTP Fetchora", pid=pid, timeout=30)
        t.check(suite.poll(lambda: os.path.exists(os.path.join(install_dir, SITE + ".lst")), timeout=30),
                "the browser keeps its listing in the suite's folder")
        d.click(browser, BROWSER_HELP)
        d.wait_window("FTP Fetchora Help", pid=pid, timeout=30)
        t.eq(d.find_message_box(pid=pid), None, "no message: the help file is where the install put it")
        d.post(browser, WM_CLOSE)
        d.wait_gone("FTP Fetchora Help", pid=pid, timeout=30)
        t.check(d.exists(TITLE, pid=pid), "the manager goes on")
        # One help window at a time: Wine's HTML Help keeps one window per program.
        d.click(manager, IDHELP)
        d.wait_window("FTP Sendora Help", pid=pid, timeout=30)
        t.eq(d.find_message_box(pid=pid), None, "no message: the help file is where the install put it")
        d.post(manager, WM_CLOSE)
        t.eq(d.wait_pid(pid, timeout=30), 0)

    with t.case("without its help file, Help says so"):
        bare = Suite(s, engine=False)
        pid, w = bare.open()
        d.click(w, IDHELP)
        box = d.message_box(pid=pid, timeout=20)
        path = "%s\\sendora.chm" % bare.win_dir
        t.eq((box.caption, box.icon), (CAPTION, "warning"))
        t.check(box.text.startswith("The help file\n%s\nwas not found." % path), box.text)
        d.answer("ok", box=box)
        d.click(w, CANCEL)
        t.eq(d.wait_pid(pid, timeout=20), 0)

    held = boxes.HeldReply(STORED, limit=120)
    busy_server = held_upload(held)
    try:
        busy = boxes.make_box(d, install_dir, BUSY, port=busy_server.port, user="ann", password="pw")
        sending = os.path.join(s.tmp, "busy.txt")
        with open(sending, "wb") as f:
            f.write(b"sent across an upgrade")
        with EngineRun(d, busy, boxes.path_list([sending])) as run:
            with t.case("a newer package keeps the boxes, refreshes their engines and names the one sending"):
                t.check(held.wait_reached(60), "the busy box is sending")
                settings = {n: d.reg_get(box_key(SITE), n) for n in d.reg_values(box_key(SITE))}
                # Basic UI, as a double-click gives: the warning is a message box.
                pid = d.start('msiexec /i "%s" /qb' % suite.win_path(NEWER[0]))
                box = d.message_box(timeout=120)
                t.check('"%s": %s\\Boxes\\%s.exe' % (BUSY, install_win, BUSY) in box.text, box.text)
                t.check("sending while FTP Sendora was updated" in box.text, box.text)
                t.check('"%s"' % SITE not in box.text, "only the busy box is named")
                d.answer("ok", box=box)
                t.eq(d.wait_pid(pid, timeout=120), 0, "msiexec")
                t.check(read(os.path.join(install_dir, "Sendora.exe")) == new_engine, "new Sendora.exe installed")
                t.check(read(boxes.Box(SITE, install_dir).exe) == new_engine, "the idle box runs the new engine")
                t.check(read(busy.exe) == old_engine, "the busy box's engine is left alone")
                t.eq({n: d.reg_get(box_key(SITE), n) for n in d.reg_values(box_key(SITE))}, settings)
                for folder in (desktop, send_to):
                    t.eq(read_link(s, os.path.join(folder, SITE.upper() + ".LNK"))[0],
                         "%s\\Boxes\\%s.exe" % (install_win, SITE))
                t.eq([e[0] for e in installed_entries()], [os.path.basename(NEWER[0])[12:-4]], "one entry")
            with t.case("the busy box was not broken: its upload completes"):
                held.release()
                t.eq(run.exit_code(timeout=60), 0, "engine exit code")
                busy_server.wait(10)
                t.eq([x["data"] for x in busy_server.transfers], [b"sent across an upgrade"])
        with t.case("repairing once it has finished refreshes it too"):
            # What Repair in the list of installed programs runs (Wine's msiexec has no /f for a package).
            t.eq(msiexec("/i", suite.win_path(NEWER[0]), "REINSTALL=ALL", "REINSTALLMODE=omus", "/qn"), 0)
            t.check(read(busy.exe) == new_engine, "the busy box runs the new engine now")
    finally:
        busy_server.close()

    with t.case("msiexec /x leaves no program, shortcut or box file but the sending box's engine, which it names"):
        held = boxes.HeldReply(STORED, limit=120)
        busy_server = held_upload(held)
        busy.set(d, port=busy_server.port)
        try:
            with EngineRun(d, busy, boxes.path_list([sending])) as run:
                t.check(held.wait_reached(60), "the busy box is sending")
                t.eq(msiexec("/x", suite.win_path(NEWER[0]), "/qn"), 0, "msiexec")
                with open(MSIEXEC_LOG, encoding="latin-1") as f:
                    log = f.read()
                t.check("sending while FTP Sendora was uninstalled" in log, "named in the log")
                t.check('"%s": %s\\Boxes\\%s.exe' % (BUSY, install_win, BUSY) in log, "with its engine")
                t.eq([os.path.relpath(os.path.join(r, f), install_dir) for r, _, fs in os.walk(install_dir)
                      for f in fs], ["Boxes/%s.exe" % BUSY], "all else is gone")
                held.release()
                t.eq(run.exit_code(timeout=60), 0, "the upload completes")
        finally:
            busy_server.close()
        left = [(folder, n) for folder in folders for n in link_names(folder)
                if n.upper().rsplit(".", 1)[0] in ("CREATE NEW SENDORA", "FTP FETCHORA MANAGER", "FTP FANORA",
                                                   SITE.upper(), BUSY.upper())]
        t.eq(left, [])
        t.eq(installed_entries(), [])

    with t.case("the box settings are kept"):
        for box in (SITE, BUSY):
            t.eq(d.reg_get(box_key(box), "Host Name"), ("REG_SZ", "127.0.0.1"), box + " settings kept")
        t.eq(d.reg_get(box_key(SITE), "User ID"), ("REG_SZ", "ann"))


if __name__ == "__main__":
    sys.exit(main())
