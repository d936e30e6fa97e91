"""Uploads a sample folder tree and two files through the box "Demo" to a
pyftpdlib server on 127.0.0.1, then checks what arrived."""
import filecmp
import os
import random
import shutil
import subprocess
import sys
import time

SOURCE = os.environ["SUITE_SOURCE_DIR"]
sys.path.insert(0, os.path.join(SOURCE, "tests", "support"))
from codec import encode_password  # noqa: E402
from suite import FtpServer, win_path as win  # noqa: E402

WINE = os.environ["SUITE_WINE"]
DISPLAY = os.environ["DISPLAY"]
BOX = "Demo"
USER, PASSWORD = "demo", "s3cret demo"


def wine_quiet(*args):
    subprocess.run([WINE, *args], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)


def make_sample(root):
    rnd = random.Random(7)
    files = {
        "index.htm": b"<html><body>Hello from the Demo box.</body></html>\r\n",
        "notes.txt": b"Sent with FTP Sendora.\r\n" * 20,
        "site/style.css": b"body { font-family: sans-serif; }\r\n",
        "site/img/logo.bin": bytes(rnd.randrange(256) for _ in range(20000)),
        "site/img/photo.jpg": bytes(rnd.randrange(256) for _ in range(3 << 20)),
        "site/docs/readme.txt": b"A folder tree keeps its shape on the server.\r\n",
    }
    for rel, data in files.items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    return [os.path.join(root, "index.htm"), os.path.join(root, "notes.txt"), os.path.join(root, "site")]


def window_id(title):
    r = subprocess.run(["xwininfo", "-display", DISPLAY, "-name", title],
                       capture_output=True, text=True)
    for line in r.stdout.splitlines():
        if "Window id:" in line:
            return line.split()[3]
    return None


def main(out):
    shutil.rmtree(os.path.join(out, "server"), ignore_errors=True)
    shutil.rmtree(os.path.join(out, "suite"), ignore_errors=True)
    server_home = os.path.join(out, "server")
    suite = os.path.join(out, "suite")
    os.makedirs(server_home)
    os.makedirs(os.path.join(suite, "Boxes"))
    shutil.copy(os.path.join(os.environ["SUITE_WIN64_DIR"], "bin", "Sendora.exe"),
                os.path.join(suite, "Boxes", BOX + ".exe"))
    paths = make_sample(os.path.join(suite, "sample"))

    server = FtpServer(USER, PASSWORD, server_home)
    port = server.port
    print(f"FTP server on 127.0.0.1:{port}, storing into {server_home}")
    key = r"HKCU\Software\FTP Sendora\FTP Sendora" + "\\" + BOX
    values = [("Host Name", "REG_SZ", "127.0.0.1"), ("Port", "REG_DWORD", str(port)),
              ("User ID", "REG_SZ", USER), ("Password", "REG_SZ", encode_password(PASSWORD)),
              ("Account", "REG_SZ", ""), ("Directory", "REG_SZ", ""),
              ("Transfer Type", "REG_DWORD", "1"), ("Details", "REG_DWORD", "1")]
    for name, kind, data in values:
        wine_quiet("reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f")
    print(f'Box "{BOX}" created: Boxes\\{BOX}.exe with its settings in {key}')

    # The shell quotes paths with blanks; these have none, but quoting is harmless.
    tail = " ".join(f'"{win(p)}"' for p in paths)
    print(f"Sending {len(paths)} paths: {tail}")
    engine = subprocess.Popen([WINE, os.path.join(suite, "Boxes", BOX + ".exe"), *[win(p) for p in paths]],
                              cwd=suite, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    shot = os.path.join(out, "progress.png")
    took_shot = False
    start = time.time()
    while engine.poll() is None and time.time() - start < 120:
        wid = window_id(f"FTP Sendora - [{BOX}]")
        if wid and not took_shot and time.time() - start > 1.0:
            subprocess.run(["import", "-display", DISPLAY, "-window", wid, shot],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            took_shot = os.path.exists(shot)
        time.sleep(0.1)
    if engine.poll() is None:
        engine.kill()
        print("The engine did not finish in time.")
        return 1
    elapsed = time.time() - start
    server.stop()
    print(f"Engine finished with exit code {engine.returncode} after {elapsed:.1f} s")

    ok = engine.returncode == 0
    print("Arrived on the server:")
    for dirpath, _, filenames in sorted(os.walk(server_home)):
        for name in sorted(filenames):
            remote = os.path.join(dirpath, name)
            rel = os.path.relpath(remote, server_home)
            local = os.path.join(suite, "sample", rel)
            same = os.path.exists(local) and filecmp.cmp(local, remote, shallow=False)
            ok &= same
            print(f"  {rel:28} {os.path.getsize(remote):>9} bytes  {'identical' if same else 'DIFFERS'}")
    expected = sum(len(fs) for _, _, fs in os.walk(os.path.join(suite, "sample")))
    got = sum(len(fs) for _, _, fs in os.walk(server_home))
    ok &= expected == got
    if took_shot:
        print(f"Screenshot of the progress window: {shot}")
    print("DEMO OK: every file arrived byte-identical" if ok else f"DEMO FAILED ({got} of {expected} files)")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
