"""Uploads one file of SIZE MB (default 100) over SFTP to the tests' own sshd
on loopback, first with the SFTP core (sftp_upload_bench) and then with
OpenSSH's sftp, and prints both times and their ratio. With --engine (run
under tools/wine/winerun.sh script, as sftp_bench.sh does) it times the
engine under Wine instead, beside the limit that one synchronous progress
message per 1 KB block sets there. A measurement, not a test: nothing here
passes or fails on time.
    python3 tools/bench/sftp_bench.py [--engine OUT] [SIZE-MB]"""
import filecmp
import os
import re
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


def openssh_put(srv, key, local, remote, work):
    batch = os.path.join(work, "batch")
    with open(batch, "w") as f:
        f.write("put %s %s\n" % (local, remote))
    return timed(["sftp", "-q", "-b", batch, "-i", key, "-P", str(srv.port), "-o", "StrictHostKeyChecking=no",
                  "-o", "UserKnownHostsFile=/dev/null", "%s@127.0.0.1" % sshd.USER])[0]


def client_key(work):
    key = os.path.join(work, "client_key")
    subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", key], check=True)
    os.chmod(work, 0o755)
    return key


def engine(out, mb):
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import engine_bench as eb
    from codec import encode_password
    work = tempfile.mkdtemp(prefix="sftp_engine_bench.", dir=out)
    try:
        big = os.path.join(work, "big.bin")
        with open(big, "wb") as f:
            f.write(os.urandom(mb << 20))
        suite = os.path.join(work, "suite")
        os.makedirs(os.path.join(suite, "Boxes"))
        exe = os.path.join(suite, "Boxes", "SftpBench.exe")
        shutil.copy(os.path.join(eb.BIN, "Sendora.exe"), exe)
        key = client_key(work)
        # The probe's output goes to a file: a pipe would wait for every
        # Wine process that inherited it.
        with open(os.path.join(work, "probe.txt"), "w+") as probe:
            subprocess.run([eb.WINE, os.path.join(eb.BIN, "tools", "message_probe.exe"), "20000"], stdout=probe,
                           stderr=subprocess.DEVNULL, check=True)
            probe.seek(0)
            message = float(re.search(r"([\d.]+) us per", probe.read()).group(1)) * 1e-6
        with sshd.Sshd(authorized_keys=key + ".pub") as srv:
            target = srv.home_dir("sftp-bench")
            eb.set_box(r"HKCU\Software\FTP Sendora\FTP Sendora\SftpBench", [
                ("Host Name", "REG_SZ", "127.0.0.1"), ("Port", "REG_DWORD", str(srv.port)),
                ("User ID", "REG_SZ", sshd.USER), ("Password", "REG_SZ", encode_password(sshd.PASSWORD)),
                ("Directory", "REG_SZ", target), ("Transfer Type", "REG_DWORD", "1"), ("SFTP", "REG_DWORD", "1"),
                ("HostKey", "REG_SZ", srv.fingerprint)])
            t_engine = eb.timed(eb.WINE, exe, eb.win(big), cwd=suite)
            whole = filecmp.cmp(big, os.path.join(target, "big.bin"), shallow=False)
            with open(os.path.join(work, "core.txt"), "w+") as core:
                subprocess.run([eb.WINE, os.path.join(eb.BIN, "tools", "sftp_upload_bench.exe"), "127.0.0.1",
                                str(srv.port), sshd.USER, sshd.PASSWORD, eb.win(big), target + "/core.bin"],
                               stdout=core, stderr=subprocess.DEVNULL, check=True)
                core.seek(0)
                t_core = float(core.read().split()[0])
            t_openssh = openssh_put(srv, key, big, target + "/openssh.bin", work)
        blocks = (mb << 20) // eb.BLOCK
        limit = t_openssh + (blocks + eb.PER_FILE_MESSAGES) * message
        print("%d MB file over SFTP under Wine (%s):" % (mb, "arrived whole" if whole else "ARRIVED DIFFERENT"))
        print("  engine %8.2f s   OpenSSH sftp (native) %6.2f s   ratio %5.1f" % (t_engine, t_openssh, t_engine / t_openssh))
        print("  message-bound limit %6.2f s (%d block messages of %.1f us)   engine/limit %5.2f"
              % (limit, blocks, message * 1e6, t_engine / limit))
        print("  SFTP core alone under Wine %6.2f s (%4.1f x OpenSSH natively)   engine beyond core and messages %+.2f s"
              % (t_core, t_core / t_openssh, t_engine - t_core - blocks * message))
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    if len(sys.argv) > 2 and sys.argv[1] == "--engine":
        return engine(sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 100)
    mb = int(sys.argv[1]) if len(sys.argv) > 1 else 100
    if not os.access(BENCH, os.X_OK):
        sys.exit("no %s: cmake --build --preset native --target sftp_upload_bench" % BENCH)
    work = tempfile.mkdtemp(prefix="sftp_bench.")
    try:
        up = os.path.join(work, "up.bin")
        with open(up, "wb") as f:
            f.write(os.urandom(mb * 1024 * 1024))
        key = client_key(work)
        with sshd.Sshd(authorized_keys=key + ".pub") as srv:
            target = srv.home_dir("sftp-bench")
            core, blocks = timed([BENCH, "127.0.0.1", str(srv.port), sshd.USER, sshd.PASSWORD, up,
                                  target + "/core.bin"])
            openssh = openssh_put(srv, key, up, target + "/openssh.bin", work)

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
