"""Engine benchmark under Wine; see engine_bench.sh."""
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.environ["SUITE_SOURCE_DIR"], "tests", "support"))
from codec import encode_password  # noqa: E402
from suite import FtpServer, win_path as win  # noqa: E402
import tls_certs  # noqa: E402

WINE = os.environ["SUITE_WINE"]
BIN = os.path.join(os.environ["SUITE_WIN64_DIR"], "bin")
USER = PASSWORD = "bench"
BLOCK = 1024
# Display calls the engine makes besides the blocks, one cross-thread message
# each: per file four replies logged, two status lines and a bar reset; per
# folder three replies logged.
PER_FILE_MESSAGES = 4 + 2 + 1
PER_FOLDER_MESSAGES = 3


def quiet(*args, cwd=None, check=True):
    subprocess.run(list(args), cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=check)


def timed(*args, cwd=None, check=True):
    t = time.perf_counter()
    quiet(*args, cwd=cwd, check=check)
    return time.perf_counter() - t


def fixed_cost(engine, empty, suite):
    """The median of five runs on a 0-byte file: start, connect, log in, QUIT, end."""
    return sorted(timed(WINE, engine, win(empty), cwd=suite) for _ in range(5))[2]


def set_box(key, values):
    for name, kind, value in values:
        quiet(WINE, "reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f")


def connection_options(engine, suite, key, big, tree, home, out):
    """The file and the tree again, passive and over TLS: (label, file s, tree s, all arrived)."""
    cert = tls_certs.make_certificate(out, "localhost")
    tls_certs.trust(cert)
    rows = []
    for label, passive, tls in (("passive, plain", 1, 0), ("active, TLS", 0, 1), ("passive, TLS", 1, 1)):
        shutil.rmtree(home, ignore_errors=True)
        os.makedirs(home)
        server = FtpServer(USER, PASSWORD, home, tls=cert if tls else None)
        set_box(key, [("Host Name", "REG_SZ", "localhost"), ("Port", "REG_DWORD", str(server.port)),
                      ("Passive", "REG_DWORD", str(passive)), ("TLS", "REG_DWORD", str(tls))])
        t_file = timed(WINE, engine, win(big), cwd=suite)
        t_tree = timed(WINE, engine, win(tree), cwd=suite)
        server.stop()
        whole = open(big, "rb").read() == open(os.path.join(home, "big.bin"), "rb").read() and \
            sum(len(f) for _, _, f in os.walk(os.path.join(home, "tree"))) == 1000
        rows.append((label, t_file, t_tree, whole))
    return rows


def probe_message_cost():
    out = subprocess.run([WINE, os.path.join(BIN, "tools", "message_probe.exe"), "20000"],
                         capture_output=True, text=True, check=True).stdout
    return float(re.search(r"([\d.]+) us per", out).group(1)) * 1e-6


def main(out, mb):
    shutil.rmtree(out + "/data", ignore_errors=True)
    data, home = out + "/data/local", out + "/data/server"
    os.makedirs(data)
    os.makedirs(home)
    big = os.path.join(data, "big.bin")
    with open(big, "wb") as f:
        f.write(os.urandom(mb << 20))
    tree = os.path.join(data, "tree")
    for d in range(20):
        os.makedirs(os.path.join(tree, f"dir{d:02}"))
        for i in range(50):
            with open(os.path.join(tree, f"dir{d:02}", f"f{i:03}.dat"), "wb") as f:
                f.write(os.urandom(4096))

    server = FtpServer(USER, PASSWORD, home)
    port = server.port
    suite = os.path.join(data, "suite")
    os.makedirs(os.path.join(suite, "Boxes"))
    shutil.copy(os.path.join(BIN, "Sendora.exe"), os.path.join(suite, "Boxes", "Bench.exe"))
    key = r"HKCU\Software\FTP Sendora\FTP Sendora\Bench"
    box_values = [("Host Name", "REG_SZ", "127.0.0.1"), ("Port", "REG_DWORD", str(port)),
                  ("User ID", "REG_SZ", USER), ("Password", "REG_SZ", encode_password(PASSWORD)),
                  ("Directory", "REG_SZ", ""), ("Transfer Type", "REG_DWORD", "1")]
    set_box(key, box_values)
    engine = os.path.join(suite, "Boxes", "Bench.exe")

    message = probe_message_cost()
    start_cost = timed(WINE, engine, "/b", "NoSuchFolder", check=False)  # start-up and exit, no connection
    empty = os.path.join(data, "empty.bin")
    open(empty, "wb").close()
    fixed = fixed_cost(engine, empty, suite)

    url = f"ftp://127.0.0.1:{port}"
    t_engine_file = timed(WINE, engine, win(big), cwd=suite)
    core = subprocess.run([WINE, os.path.join(BIN, "tools", "ftp_upload_bench.exe"), "127.0.0.1", str(port),
                           USER, PASSWORD, win(big), "core.bin"], capture_output=True, text=True)
    t_core = float(core.stdout.split()[0]) if core.returncode == 0 else float("nan")
    t_curl = timed("curl", "-sS", "-P", "-", "-T", big, "--user", f"{USER}:{PASSWORD}", f"{url}/curl.bin")
    t_engine_tree = timed(WINE, engine, win(tree), cwd=suite)
    before = os.environ.get("BENCH_BEFORE")  # an earlier Sendora.exe, timed in the same run
    if before:
        shutil.copy(before, os.path.join(suite, "Boxes", "Before.exe"))
        set_box(key.replace("Bench", "Before"), box_values)
        old = os.path.join(suite, "Boxes", "Before.exe")
        t_before_file = timed(WINE, old, win(big), cwd=suite)
        t_before_tree = timed(WINE, old, win(tree), cwd=suite)
        t_before_fixed = fixed_cost(old, empty, suite)
    one = os.path.join(tree, "dir00", "f000.dat")
    many = subprocess.run([WINE, os.path.join(BIN, "tools", "ftp_upload_bench.exe"), "127.0.0.1", str(port),
                           USER, PASSWORD, win(one), "core", "1000"], capture_output=True, text=True)
    t_core_files = float(many.stdout.split()[0]) if many.returncode == 0 else float("nan")
    os.makedirs(os.path.join(home, "lftp"))
    t_lftp = timed("lftp", "-u", f"{USER},{PASSWORD}", "-e",
                   f"set ftp:passive-mode off; mirror -R {tree} /lftp/tree; quit", url)
    server.stop()

    ok_file = open(big, "rb").read() == open(os.path.join(home, "big.bin"), "rb").read()
    ok_tree = sum(len(f) for _, _, f in os.walk(os.path.join(home, "tree"))) == 1000
    options = connection_options(engine, suite, key, big, tree, home, out + "/data")

    blocks = (mb << 20) // BLOCK
    limit_file = t_curl + (blocks + PER_FILE_MESSAGES) * message
    tree_messages = 1000 * (4096 // BLOCK + PER_FILE_MESSAGES) + 21 * PER_FOLDER_MESSAGES
    limit_tree = t_lftp + tree_messages * message

    print(f"Cross-thread SendMessage under this Wine: {message * 1e6:.1f} us; engine start and exit: {start_cost:.2f} s")
    print(f"Engine fixed cost (0-byte file: start, connect, log in, QUIT, end; median of 5): {fixed:.2f} s")
    print(f"{mb} MB file ({'arrived whole' if ok_file else 'ARRIVED DIFFERENT'}):")
    print(f"  engine {t_engine_file:8.2f} s   curl {t_curl:6.2f} s   ratio {t_engine_file / t_curl:6.1f}")
    print(f"  the FTP core alone under Wine (same blocks, no window): {t_core:6.2f} s;"
          f" engine beyond core and messages {t_engine_file - t_core - (blocks + PER_FILE_MESSAGES) * message:+.2f} s")
    print(f"  message-bound limit {limit_file:6.2f} s ({blocks} block messages)   engine/limit {t_engine_file / limit_file:5.2f}"
          f"   overhead beyond limit {t_engine_file - limit_file:+.2f} s")
    print(f"Tree of 1000 x 4 KB in 20 folders ({'all arrived' if ok_tree else 'INCOMPLETE'}):")
    print(f"  engine {t_engine_tree:8.2f} s   lftp {t_lftp:6.2f} s   ratio {t_engine_tree / t_lftp:6.1f}")
    print(f"  the FTP core alone under Wine, 1000 files of 4 KB (no window): {t_core_files:6.2f} s;"
          f" engine beyond core and messages {t_engine_tree - t_core_files - tree_messages * message:+.2f} s")
    print(f"  message-bound limit {limit_tree:6.2f} s ({tree_messages} messages)   engine/limit {t_engine_tree / limit_tree:5.2f}"
          f"   overhead beyond limit {t_engine_tree - limit_tree:+.2f} s")
    if before:
        print(f"The earlier engine ({before}), same run:")
        print(f"  {mb} MB file {t_before_file:8.2f} s   engine/limit {t_before_file / limit_file:5.2f}")
        print(f"  tree       {t_before_tree:8.2f} s   engine/limit {t_before_tree / limit_tree:5.2f}")
        print(f"  fixed cost {t_before_fixed:8.2f} s")
    print(f"The engine by connection option ({mb} MB file; tree of 1000 x 4 KB), pyftpdlib:")
    print(f"  {'active, plain':16} file {t_engine_file:8.2f} s   tree {t_engine_tree:8.2f} s")
    for label, t_file, t_tree, whole in options:
        print(f"  {label:16} file {t_file:8.2f} s   tree {t_tree:8.2f} s"
              f"   {'all arrived' if whole else 'NOT ALL ARRIVED'}")
    shutil.rmtree(out + "/data", ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], int(sys.argv[2])))
