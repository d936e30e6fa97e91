"""SndMgr end to end under Wine: boxes typed into the dialog are saved as a
registry key, an engine copy and two shortcuts, the new engine uploads with
the typed password, Delete removes it all again, and "/i" places the Start
Menu entry."""

import os
import sys

from manager_support import (ACCOUNT, ALIAS, APP_KEY, BINARY, CANCEL, CAPTION, DELETE, DIRECTORY, ENTRY_VALUES, FETCHORA,
                             HOST_NAME, LOWERCASE, MORE_OPTIONS, NEW, OK, OPTION_VALUES, OPTIONS_TITLE,
                             PASSWORD, PORT, PROBE, SHELL_FOLDERS, TITLE, USER_ID, Suite, box_key,
                             entries, fill, link_names, read_link, shell_folder, suite, type_text,
                             wait_text)

t = suite.Tests()

ONE, TWO, DOT, DOT_ONE = "E2E Mgr One", "E2E Mgr Two", "E2E Mgr Dot", "E2E Mgr Dot.one"
BROKEN = "E2E Mgr Broken"
NO_ENGINE, NO_SENDTO, HOST_ONLY = "E2E Mgr No Engine", "E2E Mgr No SendTo", "e2e-mgr-host.invalid"
ALL_BOXES = [ONE, TWO, DOT, DOT_ONE, NO_ENGINE, NO_SENDTO, HOST_ONLY, BROKEN]
DEVICE = "Windows reserves that name for a device."
# Longer than anything a fixed buffer would hold, with every kind of symbol.
LONG_PASSWORD = "pw-" + "".join(chr(33 + (i * 11) % 94) for i in range(200)).replace(" ", "")


def expect_message(d, pid, text, icon, button="ok"):
    box = d.message_box(pid=pid, timeout=20)
    t.eq((box.caption, box.text, box.icon), (CAPTION, text, icon))
    d.answer(button, box=box)
    return box


def save_new_box(m, alias, user="ann", password="pw", host="127.0.0.1", options=None, typed=False):
    """Fills a new box's dialog, optionally confirms More Options, presses OK;
    returns the manager's pid with the "created" message still open."""
    d = m.d
    pid, w = m.open()
    if typed:
        for ctl, text in ((USER_ID, user), (PASSWORD, password), (HOST_NAME, host), (ALIAS, alias)):
            type_text(d, w, ctl, text)
            t.eq(wait_text(d, w, ctl, text), text, "typed")
    else:
        fill(d, w, user=user, password=password, host=host, alias=alias)
    if options:
        d.click(w, MORE_OPTIONS)
        o = d.wait_window(OPTIONS_TITLE, pid=pid)
        for ctl in options.get("checks", ()):
            d.set_check(o, ctl, 1)
        if "port" in options:
            d.set_text(o, PORT, "")
            type_text(d, o, PORT, str(options["port"]))
            wait_text(d, o, PORT, str(options["port"]))
        d.click(o, OK)
        d.wait_gone(OPTIONS_TITLE, pid=pid)
    d.click(w, OK)
    return pid


def finish_created(d, pid, alias):
    expect_message(d, pid, "%s has been created" % alias, "information")
    t.eq(d.wait_pid(pid, timeout=20), 0, "manager ends after saving")


def check_shortcuts(s, m, alias, folders):
    for folder in folders:
        name = alias.upper() + ".LNK"
        t.check(name in link_names(folder), "%s in %s: %s" % (name, folder, link_names(folder)))
        t.eq(read_link(s, os.path.join(folder, name)),
             ("%s\\Boxes\\%s.exe" % (m.win_dir, alias), m.win_dir, alias), "link read back")


def launcher_lines(path):
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return f.read().splitlines()


def cleanup(d, folders, boxes):
    for box in boxes:
        d.reg_delete_key(box_key(box))
        for folder in folders:
            path = os.path.join(folder, box.upper() + ".LNK")
            if os.path.exists(path):
                os.remove(path)


def main():
    with suite.Session() as s:
        d = s.driver
        desktop, send_to = shell_folder(d, "Desktop"), shell_folder(d, "SendTo")
        start_menu = shell_folder(d, "Start Menu")
        folders = (desktop, send_to)
        cleanup(d, folders, ALL_BOXES)
        m = Suite(s)
        engine_bytes = open(os.path.join(m.dir, "Sendora.exe"), "rb").read()
        launcher_log = os.path.join(s.tmp, "launcher.txt")
        launcher = d.start('"%s" launcher "%s"' % (suite.win_path(PROBE), suite.win_path(launcher_log)))
        d.wait_window("FTP Fetchora Manager", pid=launcher, timeout=20)
        server = s.ftp_server(user="boxuser", password=LONG_PASSWORD)

        with t.case("a typed box without More Options: key without options, engine copy, two shortcuts"):
            pid = save_new_box(m, ONE, user="ann", password="secret", typed=True)
            finish_created(d, pid, ONE)
            key = box_key(ONE)
            t.eq({n: d.reg_get(key, n) for n in ENTRY_VALUES if n != "Password"},
                 {"Host Name": ("REG_SZ", "127.0.0.1"), "User ID": ("REG_SZ", "ann"),
                  "Directory": ("REG_SZ", ""), "Account": ("REG_SZ", ""),
                  "GeoCities Login": ("REG_DWORD", 0)})
            stored = d.reg_get(key, "Password")
            t.check(stored.type == "REG_SZ" and len(stored.data) == 8 and stored.data != "secret",
                    "password stored encoded: %r" % (stored,))
            t.eq([n for n in OPTION_VALUES if d.reg_get(key, n) is not None], [], "no option values")
            with open(m.engine_copy(ONE), "rb") as f:
                t.check(f.read() == engine_bytes, "engine copy is byte for byte Sendora.exe")
            check_shortcuts(s, m, ONE, folders)
            t.check("boxes changed 0 0" in launcher_lines(launcher_log),
                    "launcher told: %s" % launcher_lines(launcher_log))

        with t.case("confirmed More Options are written and the new engine uploads with the typed password"):
            pid = save_new_box(m, TWO, user="boxuser", password=LONG_PASSWORD, typed=True,
                               options={"checks": (BINARY, LOWERCASE), "port": server.port})
            finish_created(d, pid, TWO)
            t.eq({n: d.reg_get(box_key(TWO), n) for n in OPTION_VALUES},
                 {"Transfer Type": ("REG_DWORD", 1), "Filenames": ("REG_DWORD", 0),
                  "File Extensions": ("REG_DWORD", 2), "Port": ("REG_DWORD", server.port),
                  "Erase": ("REG_DWORD", 0), "Passive": ("REG_DWORD", 0), "TLS": ("REG_DWORD", 0),
                  "Timeout": ("REG_DWORD", 60), "TempUpload": ("REG_DWORD", 0), "SFTP": ("REG_DWORD", 0)})
            data = os.path.join(s.tmp, "data")
            os.makedirs(data)
            upload = os.path.join(data, "Upload Me.TXT")
            with open(upload, "wb") as f:
                f.write(b"sent by a box the manager made\r\n" * 100)
            engine = d.start('"%s" %s' % (suite.win_path(m.engine_copy(TWO)), suite.win_path(upload)), cwd=m.dir)
            t.eq(d.wait_pid(engine, timeout=90), 0, "engine exit code")
            t.check("PASS " + LONG_PASSWORD in server.commands(), "the typed password reached the server")
            sent = server.path("upload me.txt")
            t.check(os.path.exists(sent) and open(sent, "rb").read() == open(upload, "rb").read(),
                    "file uploaded in binary under its lower-case name")

        with t.case("reopening a box shows its values, password decoded; OK keeps its options"):
            pid, w = m.open(TWO)
            t.eq(entries(d, w), {"user": "boxuser", "password": LONG_PASSWORD, "account": "",
                                 "alias": TWO, "host": "127.0.0.1", "directory": ""})
            t.eq([d.is_enabled(w, c) for c in (DELETE, NEW, FETCHORA)], [True, True, True])
            d.set_text(w, HOST_NAME, "localhost")
            d.click(w, OK)
            finish_created(d, pid, TWO)
            t.eq(d.reg_get(box_key(TWO), "Host Name").data, "localhost")
            t.eq(d.reg_get(box_key(TWO), "Port").data, server.port, "option kept")

        with t.case("a name with a dot keeps its whole name: two boxes, four shortcuts"):
            for alias in (DOT, DOT_ONE):
                finish_created(d, save_new_box(m, alias), alias)
            check_shortcuts(s, m, DOT, folders)
            check_shortcuts(s, m, DOT_ONE, folders)

        with t.case("Delete: No keeps everything, Yes removes key, engine, shortcuts and listing cache"):
            listing = os.path.join(m.dir, ONE + ".lst")
            open(listing, "wb").write(b"\0" * 352)
            before = len(launcher_lines(launcher_log))
            pid, w = m.open(ONE)
            d.set_text(w, ALIAS, "Some Other Name")  # Delete works on the box it was started for
            d.click(w, DELETE)
            expect_message(d, pid, "Are you sure you want to delete %s?" % ONE, "question", "no")
            t.check(d.exists(TITLE, pid=pid), "dialog stays open after No")
            t.check(d.reg_exists(box_key(ONE)) and os.path.exists(m.engine_copy(ONE))
                    and os.path.exists(listing), "No keeps everything")
            d.click(w, DELETE)
            expect_message(d, pid, "Are you sure you want to delete %s?" % ONE, "question", "yes")
            expect_message(d, pid, "%s has been deleted" % ONE, "information")
            t.eq(d.wait_pid(pid, timeout=20), 0)
            t.check(not d.reg_exists(box_key(ONE)), "key removed")
            t.check(not os.path.exists(m.engine_copy(ONE)), "engine copy removed")
            t.check(not os.path.exists(listing), "listing cache removed")
            for folder in folders:
                t.check(ONE.upper() + ".LNK" not in link_names(folder), "shortcut removed from %s" % folder)
            t.check(len(launcher_lines(launcher_log)) > before, "launcher told")

        with t.case("deleting the dotted box removes its own shortcuts and leaves its namesake's"):
            pid, w = m.open(DOT_ONE)
            d.click(w, DELETE)
            expect_message(d, pid, "Are you sure you want to delete %s?" % DOT_ONE, "question", "yes")
            expect_message(d, pid, "%s has been deleted" % DOT_ONE, "information")
            for folder in folders:
                names = link_names(folder)
                t.check(DOT_ONE.upper() + ".LNK" not in names and DOT.upper() + ".LNK" in names, names)

        with t.case("an alias that cannot be a file name is refused before anything is written"):
            pid, w = m.open()
            fill(d, w, user="ann", password="pw", host="ftp://e2e-mgr/dir", alias="E2E a/b")
            for alias, shown in (("E2E a/b", "E2E a/b"), ("", "ftp://e2e-mgr/dir"), ("con", "con")):
                d.set_text(w, ALIAS, alias)
                d.click(w, OK)
                box = d.message_box(pid=pid)
                t.check(box.icon == "warning" and '"%s"' % shown in box.text, box.text)
                d.answer("ok", box=box)
                t.check(d.exists(TITLE, pid=pid), "dialog stays open")
            d.click(w, CANCEL)
            t.eq(d.wait_pid(pid, timeout=20), 0)
            t.eq([k for k in d.reg_keys(APP_KEY) if k.lower().startswith(("e2e a", "ftp:")) or k.lower() == "con"],
                 [], "no key for a refused name")
            t.eq(sorted(os.listdir(os.path.join(m.dir, "Boxes"))),
                 sorted(a + ".exe" for a in (TWO, DOT)), "no engine copy for a refused name")

        with t.case("blanks or a dot at an alias's ends, more device names and a name too long are refused; "
                    "the longest name that fits is saved whole"):
            # Boxes\<alias>.exe and <folder>\<ALIAS>.LNK within 259 characters.
            longest = min([259 - len(m.win_dir + "\\Boxes\\.exe")] +
                          [259 - len(d.reg_get(SHELL_FOLDERS, f).data + "\\.LNK") for f in ("Desktop", "SendTo")])
            fits = ("E2E Mgr Long " + "x" * 300)[:longest]
            ALL_BOXES.append(fits)
            pid, w = m.open()
            fill(d, w, user="ann", password="pw", host="127.0.0.1")
            refused = [(" E2E Mgr Lead", "a box's name cannot begin or end with a blank."),
                       ("E2E Mgr Trail ", "a box's name cannot begin or end with a blank."),
                       ("E2E Mgr Dot.", "a box's name cannot end with a dot."),
                       ("CONIN$", DEVICE), ("conout$.txt", DEVICE), ("COM0", DEVICE), ("lpt0", DEVICE),
                       ("COM\xb9", DEVICE),
                       (fits + "x", "it is longer than the %d characters that its settings key, engine copy and "
                                    "shortcuts allow here." % longest)]
            for alias, why in refused:
                d.set_text(w, ALIAS, alias)
                d.click(w, OK)
                box = d.message_box(pid=pid)
                t.eq((box.text, box.icon), ('The alias "%s" cannot be used: %s' % (alias, why), "warning"))
                d.answer("ok", box=box)
            t.check(d.exists(TITLE, pid=pid), "dialog stays open")
            keys = [k.lower() for k in d.reg_keys(APP_KEY)]
            t.eq([a for a, _ in refused if a.lower() in keys], [], "no key for a refused name")
            d.set_text(w, ALIAS, fits)
            d.click(w, OK)
            finish_created(d, pid, fits)
            t.check(os.path.exists(m.engine_copy(fits)), "the engine copy bears the whole name")
            check_shortcuts(s, m, fits, folders)

        with t.case("a User ID, Password, Account or Directory holding a line break is refused on OK"):
            pid, w = m.open()
            for name, ctl in (("User ID", USER_ID), ("Password", PASSWORD), ("Account", ACCOUNT),
                              ("Directory", DIRECTORY)):
                fill(d, w, user="ann", password="pw", account="", directory="", host="127.0.0.1", alias=BROKEN)
                d.set_text(w, ctl, "ann\r\nDELE index.html")
                d.click(w, OK)
                box = d.message_box(pid=pid)
                t.eq((box.text, box.icon), ("The %s cannot contain a line break." % name, "warning"))
                d.answer("ok", box=box)
                t.check(d.exists(TITLE, pid=pid), "dialog stays open")
            d.click(w, CANCEL)
            t.eq(d.wait_pid(pid, timeout=20), 0)
            t.check(not d.reg_exists(box_key(BROKEN)) and not os.path.exists(m.engine_copy(BROKEN)), "nothing saved")

        with t.case("saving over another box asks first (in any case of its name); No writes nothing, Yes replaces"):
            key = box_key(TWO)
            values = {n: d.reg_get(key, n) for n in ENTRY_VALUES + OPTION_VALUES}
            with open(m.engine_copy(TWO), "wb") as f:
                f.write(b"the engine copy as it was")
            links = {f: os.stat(os.path.join(f, TWO.upper() + ".LNK")).st_mtime_ns for f in folders}
            question = "A box named %s already exists. Replace it?" % TWO
            # A new box, and a box whose Alias was changed to another's name.
            pid, w = m.open()
            fill(d, w, user="eve", password="other", host="localhost", alias=TWO.lower())
            p2, w2 = m.open(DOT)
            d.set_text(w2, ALIAS, TWO)
            for pid_, win in ((pid, w), (p2, w2)):
                d.click(win, OK)
                box = d.message_box(pid=pid_)
                t.eq((box.text, box.icon, [b for _, b in box.buttons]), (question, "question", ["&Yes", "&No"]))
                d.answer("no", box=box)
                t.check(d.exists(TITLE, pid=pid_), "dialog stays open after No")
            t.eq({n: d.reg_get(key, n) for n in ENTRY_VALUES + OPTION_VALUES}, values, "settings untouched")
            t.eq(open(m.engine_copy(TWO), "rb").read(), b"the engine copy as it was", "engine copy untouched")
            t.eq({f: os.stat(os.path.join(f, TWO.upper() + ".LNK")).st_mtime_ns for f in folders}, links,
                 "shortcuts untouched")
            d.click(w2, CANCEL)
            d.click(w, OK)
            d.answer("yes", box=d.message_box(pid=pid))
            finish_created(d, pid, TWO.lower())
            t.eq(d.reg_get(key, "User ID").data, "eve", "replaced")
            t.check(open(m.engine_copy(TWO), "rb").read() == engine_bytes, "a fresh engine copy")

        with t.case("Delete refuses a name no box can have: \"..\\Sendora\" deletes nothing"):
            outside = os.path.join(os.path.dirname(m.dir), "Sendora.lst")
            open(outside, "wb").close()
            pid, w = m.open("..\\Sendora")
            d.click(w, DELETE)
            box = d.message_box(pid=pid)
            t.eq((box.text, box.icon),
                 ('"..\\Sendora" cannot be the name of a box, so nothing is deleted: a box\'s name becomes a file '
                  'name and must not contain any of the characters \\ / : * ? " < > |', "warning"))
            d.answer("ok", box=box)
            t.check(d.exists(TITLE, pid=pid), "dialog stays open")
            d.click(w, CANCEL)
            t.eq(d.wait_pid(pid, timeout=20), 0)
            t.check(open(os.path.join(m.dir, "Sendora.exe"), "rb").read() == engine_bytes, "Sendora.exe stays")
            t.check(os.path.exists(outside), "nothing outside the Boxes folder is deleted")
            d.reg_delete_key(APP_KEY + "\\..")  # the dialog's reading made it

        with t.case("an empty Alias saves the box under its Host Name"):
            pid, w = m.open()
            fill(d, w, user="ann", password="pw", host=HOST_ONLY)
            d.click(w, OK)
            finish_created(d, pid, HOST_ONLY)
            t.check(d.reg_exists(box_key(HOST_ONLY)) and os.path.exists(m.engine_copy(HOST_ONLY)), "saved")

        with t.case("without Sendora.exe the box is written and the user told which file is missing"):
            bare = Suite(s, engine=False)
            pid = save_new_box(bare, NO_ENGINE)
            box = d.message_box(pid=pid, timeout=20)
            t.eq(box.icon, "warning")
            t.check(bare.win_dir + "\\Sendora.exe" in box.text and
                    "%s\\Boxes\\%s.exe" % (bare.win_dir, NO_ENGINE) in box.text, box.text)
            t.check("shortcuts" not in box.text, "the shortcuts are made after this message: " + box.text)
            d.answer("ok", box=box)
            finish_created(d, pid, NO_ENGINE)
            t.check(d.reg_exists(box_key(NO_ENGINE)), "settings written")
            check_shortcuts(s, bare, NO_ENGINE, folders)

        with t.case("an engine copy in use is reported on Save and on Delete; the rest goes on"):
            d.reg_set_dword(box_key(TWO), "Port", 1)  # nothing listens: the engine stops at its message
            running = d.start('"%s" %s' % (suite.win_path(m.engine_copy(TWO)), suite.win_path(__file__)),
                              cwd=m.dir)
            d.message_box(pid=running, timeout=30)
            pid, w = m.open(TWO)
            d.set_text(w, HOST_NAME, "127.0.0.1")
            d.click(w, OK)
            box = d.message_box(pid=pid, timeout=20)
            t.check("%s\\Boxes\\%s.exe" % (m.win_dir, TWO) in box.text and "error 32" in box.text, box.text)
            d.answer("ok", box=box)
            finish_created(d, pid, TWO)
            t.eq(d.reg_get(box_key(TWO), "Host Name").data, "127.0.0.1")
            # Deleting it now leaves the running copy behind, and says so.
            pid, w = m.open(TWO)
            d.click(w, DELETE)
            expect_message(d, pid, "Are you sure you want to delete %s?" % TWO, "question", "yes")
            box = d.message_box(pid=pid, timeout=20)
            t.check(box.icon == "warning" and "%s\\Boxes\\%s.exe" % (m.win_dir, TWO) in box.text, box.text)
            d.answer("ok", box=box)
            expect_message(d, pid, "%s has been deleted" % TWO, "information")
            t.check(not d.reg_exists(box_key(TWO)) and os.path.exists(m.engine_copy(TWO)),
                    "key removed, running engine copy left")
            d.kill(running)

        with t.case("a missing SendTo folder: \"Save failed!\" for that shortcut, the box is still created"):
            saved = d.reg_get(SHELL_FOLDERS, "SendTo")
            d.reg_delete_value(SHELL_FOLDERS, "SendTo")
            try:
                pid = save_new_box(m, NO_SENDTO)
                expect_message(d, pid, "Save failed!", "warning")
                finish_created(d, pid, NO_SENDTO)
            finally:
                d.reg_set_sz(SHELL_FOLDERS, "SendTo", saved.data)
            check_shortcuts(s, m, NO_SENDTO, (desktop,))
            t.check(NO_SENDTO.upper() + ".LNK" not in link_names(send_to), "nothing in Send To")

        with t.case("\"/i\" and \"/I\" place CREATE NEW SENDORA.LNK in the Start Menu and end"):
            link = os.path.join(start_menu, "CREATE NEW SENDORA.LNK")
            for switch in ("/i", "/I"):
                if os.path.exists(link):
                    os.remove(link)
                t.eq(d.wait_pid(m.start(switch), timeout=30), 0, switch)
                t.check("CREATE NEW SENDORA.LNK" in link_names(start_menu), switch)
                t.eq(read_link(s, link), (m.win_dir + "\\SndMgr.exe", m.win_dir, "Create New Sendora"), switch)
            os.remove(link)

        d.kill(launcher)
        cleanup(d, folders, ALL_BOXES)
    return t.finish()


if __name__ == "__main__":
    sys.exit(main())
