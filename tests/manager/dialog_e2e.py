"""SndMgr's dialogs end to end under Wine: the command line's forms, the
Anonymous and GeoCities presets, the three validation messages, More
Options with its port check, the other buttons, the About box, and
screenshots of both dialogs (copied as PNG to $SUITE_MANAGER_SCREENSHOTS
when that names a folder)."""

import os
import subprocess
import sys
import time

from manager_support import (ACCOUNT, ALIAS, ASCII, AUTO_DETECT, BINARY, CANCEL, CAPTION,
                             DELETE, DIRECTORY, ERASE, FETCHORA, GEOCITIES, HOST_NAME, HTM_TO_HTML,
                             HTML_TO_HTM, IDM_ABOUTBOX, KEEP_CASE, KEEP_EXTENSION, LOWERCASE,
                             MORE_OPTIONS, NEW, OK, OPTION_VALUES, OPTIONS_TITLE, PASSIVE, PASSWORD, PORT, SFTP, TITLE,
                             TIMEOUT, TLS, UPPERCASE, USER_ID, ANONYMOUS, WM_SYSCOMMAND, Suite, box_key, entries,
                             fill, poll, suite)

t = suite.Tests()

GEO, ANON_LOWER, ANON_UPPER, ODD_TYPE, PORT_BOX = ("E2E Dlg Geo", "E2E Dlg anon", "E2E Dlg Anon2",
                                                  "E2E Dlg Type5", "E2E Dlg Port")
ODD_NAMES = ("/i ", "-i", "/install", "my e2e box name", "E2E Dlg No Such Box")
ALL_BOXES = (GEO, ANON_LOWER, ANON_UPPER, ODD_TYPE, PORT_BOX) + ODD_NAMES
PORT_RANGE = "Please enter a port from 1 to 65535."
TIMEOUT_RANGE = "Please enter a time limit from 0 to 3600 seconds (0: no limit)."
TRANSFER, CASES, EXTENSIONS = (ASCII, BINARY, AUTO_DETECT), (LOWERCASE, UPPERCASE, KEEP_CASE), \
    (HTM_TO_HTML, HTML_TO_HTM, KEEP_EXTENSION)


def expect_message(d, pid, text, icon="warning", button="ok"):
    box = d.message_box(pid=pid, timeout=20)
    t.eq((box.caption, box.text, box.icon), (CAPTION, text, icon))
    d.answer(button, box=box)


def no_message(d, pid):
    time.sleep(0.5)
    return d.find_message_box(pid=pid) is None


def checks(d, win, ids):
    return [d.is_checked(win, i) for i in ids]


def enabled(d, win, ids):
    return [d.is_enabled(win, i) for i in ids]


def open_options(d, pid, w):
    d.click(w, MORE_OPTIONS)
    return d.wait_window(OPTIONS_TITLE, pid=pid)


def close(d, pid, w):
    d.click(w, CANCEL)
    t.eq(d.wait_pid(pid, timeout=20), 0, "manager ends")


def save(d, pid, w, alias):
    d.click(w, OK)
    expect_message(d, pid, "%s has been created" % alias, "information")
    t.eq(d.wait_pid(pid, timeout=20), 0)


def screenshot(s, d, win, name):
    """A BMP of the window; as PNG into $SUITE_MANAGER_SCREENSHOTS when set."""
    time.sleep(1.0)  # let Wine finish painting the controls
    bmp = os.path.join(s.tmp, name + ".bmp")
    size = d.screenshot(bmp, win)
    r = d.rect(win)
    t.eq(size, (r.width, r.height), "screenshot of the whole window")
    target = os.environ.get("SUITE_MANAGER_SCREENSHOTS")
    if target:
        subprocess.run(["convert", bmp, os.path.join(target, name + ".png")], check=True)


def main():
    with suite.Session() as s:
        d = s.driver
        for box in ALL_BOXES:
            d.reg_delete_key(box_key(box))
        m = Suite(s)

        with t.case("a new box: empty entries; Delete, New Sendora and FTP Fetchora disabled"):
            pid, w = m.open()
            t.eq(set(entries(d, w).values()), {""})
            t.eq(enabled(d, w, (DELETE, NEW, FETCHORA, MORE_OPTIONS, OK)), [False, False, False, True, True])
            fill(d, w, user="webmaster", password="secret", host="ftp.example.com", alias="My Site",
                 directory="public_html")
            screenshot(s, d, w, "manager")

        with t.case("More Options of a new box: Auto-detect, no conversion, no change, erase, passive, TLS off, "
                    "port 21"):
            o = open_options(d, pid, w)
            t.eq(checks(d, o, TRANSFER + CASES + EXTENSIONS + (ERASE, PASSIVE, TLS)),
                 [0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 0])
            t.eq([d.get_text(o, i) for i in (PASSIVE, TLS)],
                 ["&Passive mode (behind a router or firewall)", "Use FTP over &TLS (encrypted)"])
            t.eq([d.get_text(o, PORT), d.get_text(o, TIMEOUT)], ["21", "60"])
            screenshot(s, d, o, "more_options")

        with t.case("an empty Port: \"Please enter an integer.\" once, dialog open; Cancel leaves nothing pending"):
            d.set_check(o, ASCII)
            d.set_text(o, PORT, "")
            d.click(o, OK)
            expect_message(d, pid, "Please enter an integer.")
            t.check(no_message(d, pid), "one message only")
            t.check(d.exists(OPTIONS_TITLE, pid=pid), "More Options stays open")
            for text in ("80 x", "0x50", "\t"):
                d.set_text(o, PORT, text)
                d.click(o, OK)
                expect_message(d, pid, "Please enter an integer.")
            # A port kept to 16 bits would reach another service; a time limit past an hour is a typo.
            for field, text, message in ((PORT, "0", PORT_RANGE), (PORT, "65536", PORT_RANGE),
                                         (PORT, "104929", PORT_RANGE), (TIMEOUT, "3601", TIMEOUT_RANGE),
                                         (TIMEOUT, "", "Please enter an integer.")):
                d.set_text(o, PORT, "21")
                d.set_text(o, TIMEOUT, "60")
                d.set_text(o, field, text)
                d.click(o, OK)
                expect_message(d, pid, message)
                t.check(d.exists(OPTIONS_TITLE, pid=pid), "More Options stays open after " + text)
            d.click(o, CANCEL)
            d.wait_gone(OPTIONS_TITLE, pid=pid)
            d.set_text(w, ALIAS, PORT_BOX)
            save(d, pid, w, PORT_BOX)
            t.eq([n for n in OPTION_VALUES if d.reg_get(box_key(PORT_BOX), n) is not None], [], "nothing pending")

        with t.case("confirmed, then reopened before saving: the stored choices again and the pending port"):
            pid, w = m.open(PORT_BOX)
            o = open_options(d, pid, w)
            d.set_check(o, ASCII)
            d.set_check(o, UPPERCASE)
            d.set_check(o, ERASE, 1)
            d.set_check(o, TLS, 1)
            d.set_text(o, PORT, " 2121\t")
            d.click(o, OK)
            d.wait_gone(OPTIONS_TITLE, pid=pid)
            o = open_options(d, pid, w)
            t.eq(checks(d, o, TRANSFER + CASES + (ERASE, PASSIVE, TLS)), [0, 0, 1, 0, 0, 1, 0, 0, 0])
            t.eq(d.get_text(o, PORT), "2121")
            d.click(o, CANCEL)
            save(d, pid, w, PORT_BOX)
            t.eq([d.reg_get(box_key(PORT_BOX), n).data for n in OPTION_VALUES], [0, 1, 2, 2121, 1, 0, 1, 60, 0, 0],
                 "the confirmed choices, not the second opening's")

        with t.case("stored connection options are shown, any number but 0 as checked"):
            d.reg_set_dword(box_key(PORT_BOX), "Passive", 7)
            pid, w = m.open(PORT_BOX)
            o = open_options(d, pid, w)
            t.eq(checks(d, o, (PASSIVE, TLS)), [1, 1])
            d.click(o, CANCEL)
            close(d, pid, w)

        with t.case("SFTP moves port 21 to 22 and back and greys passive and TLS; a port of its own stays"):
            pid, w = m.open(PORT_BOX)
            o = open_options(d, pid, w)
            for port, sftp, shown in (("21", 1, "22"), ("22", 0, "21"), ("2222", 1, "2222")):
                d.set_text(o, PORT, port)
                d.click(o, SFTP)
                t.eq((d.get_text(o, PORT), checks(d, o, (SFTP,)), enabled(d, o, (PASSIVE, TLS))),
                     (shown, [sftp], [not sftp] * 2))
            d.click(o, OK)
            d.wait_gone(OPTIONS_TITLE, pid=pid)
            save(d, pid, w, PORT_BOX)
            t.eq([d.reg_get(box_key(PORT_BOX), n).data for n in ("SFTP", "Port")], [1, 2222])
            pid, w = m.open(PORT_BOX)
            o = open_options(d, pid, w)
            t.eq((checks(d, o, (SFTP,)), enabled(d, o, (PASSIVE, TLS))), ([1], [False, False]), "shown as stored")
            d.click(o, CANCEL)
            close(d, pid, w)

        with t.case("confirming and then pressing Cancel in the main dialog writes nothing"):
            d.reg_delete_value(box_key(PORT_BOX), "Port")
            pid, w = m.open(PORT_BOX)
            o = open_options(d, pid, w)
            d.set_text(o, PORT, "4242")
            d.click(o, OK)
            close(d, pid, w)
            t.eq(d.reg_get(box_key(PORT_BOX), "Port"), None)

        with t.case("a stored Transfer Type of 5 checks no button, and confirming stores -1"):
            d.reg_set_dword(box_key(ODD_TYPE), "Transfer Type", 5)
            d.reg_set_dword(box_key(ODD_TYPE), "Erase", 7)
            pid, w = m.open(ODD_TYPE)
            o = open_options(d, pid, w)
            t.eq(checks(d, o, TRANSFER + (ERASE,)), [0, 0, 0, 0])
            d.click(o, OK)
            d.wait_gone(OPTIONS_TITLE, pid=pid)
            fill(d, w, user="ann", password="pw", host="127.0.0.1")
            save(d, pid, w, ODD_TYPE)
            t.eq(d.reg_get(box_key(ODD_TYPE), "Transfer Type").data & 0xFFFFFFFF, 0xFFFFFFFF)
            t.eq(d.reg_get(box_key(ODD_TYPE), "Erase").data, 0)

        with t.case("Anonymous preset: on fills the guest login, off empties User ID and Password, keeps Account"):
            pid, w = m.open()
            fill(d, w, user="me", password="mine", account="acct")
            d.set_check(w, ANONYMOUS, 1)
            e = entries(d, w)
            t.eq((e["user"], e["account"]), ("anonymous", "acct"))
            t.check("@" in e["password"] and "." in e["password"].split("@")[1], "an e-mail-shaped guest password")
            t.eq(enabled(d, w, (USER_ID, PASSWORD, ACCOUNT, GEOCITIES)), [False, True, False, False])
            t.eq(d.is_checked(w, GEOCITIES), 0)
            d.set_check(w, ANONYMOUS, 0)
            e = entries(d, w)
            t.eq((e["user"], e["password"], e["account"]), ("", "", "acct"))
            t.eq(enabled(d, w, (USER_ID, PASSWORD, ACCOUNT, GEOCITIES)), [True, True, True, True])

        with t.case("GeoCities preset: on checks and locks Anonymous and fills the site; off empties it"):
            fill(d, w, user="me", password="mine", directory="www")
            d.set_check(w, GEOCITIES, 1)
            e = entries(d, w)
            t.eq((d.is_checked(w, ANONYMOUS), d.is_enabled(w, ANONYMOUS)), (1, False))
            t.eq((e["user"], e["password"], e["alias"], e["directory"]), ("me", "mine", "GeoCities", ""))
            t.check(e["host"] != "", "a host name")
            d.set_check(w, GEOCITIES, 0)
            e = entries(d, w)
            t.eq((d.is_checked(w, ANONYMOUS), d.is_enabled(w, ANONYMOUS)), (0, True))
            t.eq((e["user"], e["password"], e["alias"], e["host"], e["directory"]), ("me", "mine", "", "", ""))

        with t.case("a GeoCities box reopened: both presets shown, its own login kept"):
            d.set_check(w, GEOCITIES, 1)
            host = d.get_text(w, HOST_NAME)
            d.set_text(w, ALIAS, GEO)
            save(d, pid, w, GEO)
            pid, w = m.open(GEO)
            t.eq((d.is_checked(w, GEOCITIES), d.is_checked(w, ANONYMOUS), d.is_enabled(w, ANONYMOUS)),
                 (1, 1, False))
            e = entries(d, w)
            t.eq((e["user"], e["password"], e["host"], e["alias"]), ("me", "mine", host, GEO))
            t.eq(enabled(d, w, (USER_ID, ACCOUNT)), [True, True])
            close(d, pid, w)

        with t.case("a stored User ID \"anonymous\" turns the preset on; \"Anonymous\" does not"):
            d.reg_set_sz(box_key(ANON_LOWER), "User ID", "anonymous")
            d.reg_set_sz(box_key(ANON_UPPER), "User ID", "Anonymous")
            pid, w = m.open(ANON_LOWER)
            t.eq((d.is_checked(w, ANONYMOUS), enabled(d, w, (USER_ID, ACCOUNT, PASSWORD))), (1, [False, False, True]))
            close(d, pid, w)
            pid, w = m.open(ANON_UPPER)
            t.eq((d.is_checked(w, ANONYMOUS), enabled(d, w, (USER_ID, ACCOUNT))), (0, [True, True]))
            t.eq(d.get_text(w, USER_ID), "Anonymous")
            close(d, pid, w)

        with t.case("validation on OK: User ID, then Password, then Host Name; the dialog stays, nothing saved"):
            pid, w = m.open()
            d.enter(w)  # Enter is OK
            expect_message(d, pid, "Please enter User ID.")
            fill(d, w, user="ann", host="127.0.0.1", alias="E2E Dlg Never")
            d.click(w, OK)
            expect_message(d, pid, "Please enter Password.")
            fill(d, w, password="pw", host="")
            d.click(w, OK)
            expect_message(d, pid, "Please enter Host Name.")
            t.check(d.exists(TITLE, pid=pid), "dialog stays open")
            d.escape(w)  # Escape is Cancel
            t.eq(d.wait_pid(pid, timeout=20), 0)
            t.check(not d.reg_exists(box_key("E2E Dlg Never")), "nothing saved")

        with t.case("the whole command tail is the box name; a name without settings shows empty entries"):
            for name in ODD_NAMES:
                pid, w = m.open(name)
                e = entries(d, w)
                t.eq((e["alias"], e["user"], e["host"]), (name, "", ""), repr(name))
                t.eq(enabled(d, w, (DELETE, NEW, FETCHORA)), [True, True, True], repr(name))
                close(d, pid, w)

        with t.case("a box name ending in a carriage return opens the browser as the only window"):
            pid = m.start(GEO + "\r")
            browser = d.wait_window("FTP Fetchora", pid=pid, timeout=20)
            t.check(not d.exists(TITLE, pid=pid), "no main dialog")
            # The preset's host cannot be reached from here: the browser says so.
            box = d.message_box(title="FTP Sendora", pid=pid, timeout=30)
            t.eq(box.text.split(":\n\n")[0], "Unable to establish a connection to the FTP host")
            d.answer("ok", box=box)
            d.escape(browser)
            t.eq(d.wait_pid(pid, timeout=20), 0)

        with t.case("New Sendora starts another manager for a new box; FTP Fetchora opens the browser"):
            pid, w = m.open(GEO)
            d.click(w, NEW)
            t.check(poll(lambda: len(d.windows(title=TITLE)) == 2, 20), "a second manager")
            other = [x for x in d.windows(title=TITLE) if x.pid != pid]
            if other:
                t.eq(d.get_text(other[0].hwnd, ALIAS), "")
                t.eq(d.is_enabled(other[0].hwnd, DELETE), False)
                close(d, other[0].pid, other[0].hwnd)
            d.click(w, FETCHORA)
            browser = d.wait_window("FTP Fetchora", pid=pid, timeout=20)
            box = d.message_box(title="FTP Sendora", pid=pid, timeout=30)
            t.eq(box.text.split(":\n\n")[0], "Unable to establish a connection to the FTP host")
            d.answer("ok", box=box)
            d.escape(browser)
            d.wait_gone("FTP Fetchora", pid=pid, timeout=20)
            t.check(d.exists(TITLE, pid=pid), "dialog stays open")

        with t.case("the system menu's About entry shows \"About FTP Sendora\"; the close box saves nothing"):
            d.post(w, WM_SYSCOMMAND, IDM_ABOUTBOX)
            about = d.wait_window("About FTP Sendora", pid=pid)
            t.check(any("FTP Sendora" in c.text for c in d.children(about)), "product line")
            d.click(about, OK)
            d.wait_gone("About FTP Sendora", pid=pid)
            d.set_text(w, DIRECTORY, "changed")
            d.post(w, 0x0010)  # WM_CLOSE
            t.eq(d.wait_pid(pid, timeout=20), 0)
            t.eq(d.reg_get(box_key(GEO), "Directory").data, "")

        for box in ALL_BOXES:
            d.reg_delete_key(box_key(box))
    return t.finish()


if __name__ == "__main__":
    sys.exit(main())
