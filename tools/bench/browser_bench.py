"""Browser benchmark under Wine; see browser_bench.sh."""
import ftplib
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.environ["SUITE_SOURCE_DIR"], "tests", "support"))
import boxes  # noqa: E402
import suite  # noqa: E402

BOX = "Bench"
KEY = boxes.SETTINGS_KEY + "\\" + BOX
TITLE = "FTP Fetchora"
LIST = 2106  # the browser's list view
ENTRIES = 2000


def server_time(port):
    """The server's own time to send the listing: log in, LIST in active mode, as the browser does."""
    t = time.perf_counter()
    ftp = ftplib.FTP()
    ftp.connect("127.0.0.1", port)
    ftp.login("ann", "pw")
    ftp.set_pasv(False)
    lines = []
    ftp.retrlines("LIST", lines.append)
    ftp.quit()
    return time.perf_counter() - t, len(lines)


def until_rows(d, program, folder):
    """Seconds from the start of the program to every row shown."""
    t = time.perf_counter()
    pid = d.start("SndMgr %s\r" % BOX, cwd=folder, app=program)
    w = d.wait_window(TITLE, timeout=60, pid=pid)
    while d.lv_count(w, LIST) < ENTRIES:
        if time.perf_counter() - t > 120:
            raise RuntimeError("the rows never all came")
        time.sleep(0.02)
    shown = time.perf_counter() - t
    d.escape(w)
    d.wait_pid(pid, timeout=60)
    return shown


def main(programs):
    with suite.Session() as s:
        d = s.driver
        srv = s.ftp_server(user="ann", password="pw")
        for i in range(ENTRIES):
            with open(srv.path("file%04d.dat" % i), "wb") as f:
                f.write(b"x" * (i % 97))
        t_server, count = server_time(srv.port)
        print(f"Listing of {count} entries from pyftpdlib on 127.0.0.1; the server's own time to send it"
              f" (log in, LIST, QUIT with Python's ftplib, natively): {t_server:.2f} s")
        print("The browser under Wine, from SndMgr's start until every row shows:")
        for label, program in programs:
            for order in (0, 16):
                folder = os.path.join(s.tmp, "suite")
                shutil.rmtree(folder, ignore_errors=True)
                os.makedirs(folder)
                d.reg_delete_key(KEY)
                for name, value in (("Host Name", "127.0.0.1"), ("User ID", "ann"),
                                    ("Password", boxes.encode_password("pw")), ("Directory", "")):
                    d.reg_set_sz(KEY, name, value)
                d.reg_set_dword(KEY, "Port", srv.port)
                d.reg_set_dword(KEY, "Sort Order", order)
                listed = until_rows(d, program, folder)  # no cache yet: the listing fills the rows
                cached = until_rows(d, program, folder)  # reopened: the cache fills them first
                print(f"  {label:7} sort order {order:2}: listed {listed:6.2f} s   from the cache {cached:6.2f} s"
                      f"   (each from the program's start)")
    return 0


if __name__ == "__main__":
    args = sys.argv[1:]
    sys.exit(main(list(zip(args[0::2], args[1::2]))))
