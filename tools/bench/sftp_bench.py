"""Uploads one file of SIZE MB (default 100) over SFTP to the tests' own sshd
on loopback, first with the SFTP core (sftp_upload_bench) and then with
OpenSSH's sftp, and prints both times and their ratio. A measurement, not a
test: nothing here passes or fails on time.
    python3 tools/bench/sftp_bench.py [SIZE-MB]"""
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
import sshd  # noqa: E402

BENCH = os.environ.get("SFTP_UPLOAD_BENCH", os.path.join(ROOT, "build", "native", "bin", "sftp_upload_bench"))


def timed(args):
    start = time.perf_counter()
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout
    return time.perf_counter() - start, out.strip()


def main():
    mb = int(sys.argv[1]) if len(sys.argv) > 1 else 100
    if not os.access(BENCH, os.X_OK):
        sys.exit("no %s: cmake --build --preset native --target sftp_upload_bench" % BENCH)
    work = tempfile.mkdtemp(prefix="sftp_bench.")
    try:
        up = os.path.join(work, "up.bin")
        with open(up, "wb") as f:
            f.write(os.urandom(mb * 1024 * 1024))
        key = os.path.join(work, "client_key")
        subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", key], check=True)
        os.chmod(work, 0o755)
        with sshd.Sshd(authorized_keys=key + ".pub") as srv:
            target = srv.home_dir("sftp-bench")
            core, blocks = timed([BENCH, "127.0.0.1", str(srv.port), sshd.USER, sshd.PASSWORD, up,
                                  target + "/core.bin"])
            batch = os.path.join(work, "batch")
            with open(batch, "w") as f:
                f.write("put %s %s/openssh.bin\n" % (up, target))
            openssh, _ = timed(["sftp", "-q", "-b", batch, "-i", key, "-P", str(srv.port),
                                "-o", "StrictHostKeyChecking=no", "-o", "UserKnownHostsFile=/dev/null",
                                "%s@127.0.0.1" % sshd.USER])

            def verdict(name):
                return "arrived whole" if filecmp.cmp(up, os.path.join(target, name), shallow=False) else "ARRIVED DIFFERENT"

            print("%d MB upload over SFTP to OpenSSH on 127.0.0.1" % mb)
            print("  SFTP core (1 KB progress blocks): %7.2f s  %7.1f MB/s  %s (%s)" % (core, mb / core, verdict("core.bin"), blocks))
            print("  OpenSSH sftp put:                 %7.2f s  %7.1f MB/s  %s" % (openssh, mb / openssh, verdict("openssh.bin")))
            print("  core rate / OpenSSH rate:         %7.2f" % (openssh / core))
            shutil.rmtree(target, ignore_errors=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
