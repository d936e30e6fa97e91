#!/usr/bin/python3
"""A real FTP server on 127.0.0.1 whose LIST output the parser tests read:
pyftpdlib in this process, or vsftpd started standalone with a configuration
of its own in a temporary folder (anonymous, read-only, run as the launching
user, so nothing of the system's configuration is touched).

  listing_server.py --kind pyftpdlib|vsftpd --root DIR --port-file FILE

Writes the port once the server answers, and serves until standard input
closes. User "ann", password "pw" for pyftpdlib; "anonymous" for vsftpd."""
import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "ftp"))
import pyftpd_server  # noqa: E402
from pyftpd_server import write_port  # noqa: E402


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_greeting(port, limit=10.0):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=2) as s:
                if s.recv(1024).startswith(b"220"):
                    return True
        except OSError:
            time.sleep(0.1)
    return False


def serve_pyftpdlib(root, port_file):
    return pyftpd_server.serve(root, "ann", "pw", port_file, perm="elr")


def serve_vsftpd(root, port_file):
    work = tempfile.mkdtemp(prefix="vsftpd-")
    try:
        port = free_port()
        empty = os.path.join(work, "empty")
        os.mkdir(empty)
        conf = os.path.join(work, "vsftpd.conf")
        with open(conf, "w") as f:
            f.write("\n".join([
                "listen=YES", "listen_ipv6=NO", "listen_address=127.0.0.1", "listen_port=%d" % port,
                "background=NO", "run_as_launching_user=YES", "seccomp_sandbox=NO",
                "anonymous_enable=YES", "no_anon_password=YES", "anon_root=" + root,
                "local_enable=NO", "write_enable=NO", "connect_from_port_20=NO",
                "secure_chroot_dir=" + empty, "xferlog_enable=NO",
                "vsftpd_log_file=" + os.path.join(work, "vsftpd.log"), ""]))
        server = subprocess.Popen(["/usr/sbin/vsftpd", conf], stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            if not wait_greeting(port):
                return 1
            write_port(port_file, port)
            sys.stdin.buffer.read()
        finally:
            server.terminate()
            try:
                server.wait(timeout=5)
            except subprocess.TimeoutExpired:
                server.kill()
                server.wait()
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--kind", choices=["pyftpdlib", "vsftpd"], required=True)
    ap.add_argument("--root", required=True)
    ap.add_argument("--port-file", required=True)
    args = ap.parse_args()
    if args.kind == "pyftpdlib":
        return serve_pyftpdlib(args.root, args.port_file)
    return serve_vsftpd(args.root, args.port_file)


if __name__ == "__main__":
    sys.exit(main())
