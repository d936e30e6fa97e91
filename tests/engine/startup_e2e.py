"""The engine's start-up, run for real under Wine: the box name comes from the
engine copy's own file name, and with nothing to send it opens the manager."""
import os
import shutil
import subprocess
import sys
import time

WINE = os.environ["SUITE_WINE"]
BIN = os.path.join(os.environ["SUITE_WIN64_DIR"], "bin")
WORK = os.path.join(os.environ["SUITE_WINE_RUN_DIR"], "tmp", "engine-startup")

failures = []


def check(cond, what):
    if not cond:
        frame = sys._getframe(1)
        failures.append(f"{frame.f_code.co_filename}:{frame.f_lineno}: {what}")
        print("FAIL", failures[-1])


def make_suite(box):
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(os.path.join(WORK, "Boxes"))
    shutil.copy(os.path.join(BIN, "Sendora.exe"), os.path.join(WORK, "Boxes", box + ".exe"))
    shutil.copy(os.path.join(BIN, "tools", "recorder.exe"), os.path.join(WORK, "SndMgr.exe"))
    return os.path.join(WORK, "record.txt")


def run_engine(box, *args, timeout=60):
    record = os.path.join(WORK, "record.txt")
    env = dict(os.environ, SUITE_RECORD_FILE="Z:" + record.replace("/", "\\"))
    exe = os.path.join(WORK, "Boxes", box + ".exe")
    return subprocess.run([WINE, exe, *args], cwd=WORK, env=env, timeout=timeout,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode


def records(path, wait=10.0):
    """Lines the stand-in wrote; it is started without waiting, so give it time."""
    deadline = time.time() + wait
    while time.time() < deadline:
        if os.path.exists(path):
            with open(path, encoding="latin-1") as f:
                lines = [l.rstrip("\n").split("\t") for l in f if l.strip()]
            if lines:
                return lines
        time.sleep(0.2)
    return []


def case_empty_command_line_starts_the_manager_for_the_box():
    for box in ("Site", "my site.v2"):
        record = make_suite(box)
        rc = run_engine(box)
        check(rc == 0, f"{box}: exit code {rc}")
        lines = records(record)
        check(len(lines) == 1, f"{box}: one manager start, got {lines}")
        if lines:
            exe, cmdline, tail, cwd = lines[0]
            check(cmdline == "SndMgr.exe " + box, f"{box}: command line {cmdline!r}")
            check(tail == box, f"{box}: manager's tail {tail!r}")


def case_folder_switch_with_a_missing_folder_ends_silently():
    record = make_suite("Site")
    start = time.time()
    rc = run_engine("Site", "/b", "NoSuchFolder")
    check(rc == 1, f"exit code {rc}")
    check(time.time() - start < 30, "ended at once")
    check(not records(record, wait=1.0), "no manager started")


def main():
    for name, fn in sorted(globals().items()):
        if name.startswith("case_"):
            print("--", name)
            fn()
    shutil.rmtree(WORK, ignore_errors=True)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
