#!/usr/bin/python3
"""Runs the Windows build of ftp_client_test under Wine against scripted FTP
servers of this machine: Windows programs cannot start Python, so the script
dispenser runs here and the program finds it through SCRIPTED_FTPD_PORT."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.environ["SUITE_SOURCE_DIR"], "tests", "support"))
import scripted_ftpd  # noqa: E402


def main():
    exe = os.path.join(os.environ["SUITE_WIN64_DIR"], "bin", "tests", "ftp_client_test.exe")
    if not os.path.exists(exe):
        print("missing %s: build the win64 preset first" % exe)
        return 1
    dispenser = scripted_ftpd.Dispenser().start()
    # A file, not a pipe: Wine's own helper processes inherit the output and
    # would hold a pipe open long after the program has ended.
    with tempfile.TemporaryFile("w+", errors="replace") as out:
        try:
            env = dict(os.environ, SCRIPTED_FTPD_PORT=str(dispenser.port))
            code = subprocess.run([os.environ["SUITE_WINE"], exe], env=env, timeout=200,
                                  stdout=out, stderr=subprocess.STDOUT).returncode
        finally:
            dispenser.stop()
        out.seek(0)
        output = out.read()
    sys.stdout.write(output)
    if code != 0 or "[  PASSED  ]" not in output:
        print("ftp_client_test.exe failed (exit code %d)" % code)
        return 1
    # Every test needs the servers; a skipped one means they were not found.
    if "[  SKIPPED ]" in output:
        print("tests were skipped")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
