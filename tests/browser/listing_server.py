#!/usr/bin/python3
"""A real FTP server on 127.0.0.1 whose LIST output the parser tests read:
pyftpdlib in this process, or vsftpd started standalone with a configuration
of its own in a temporary folder (anonymous, read-only, run as the launching
user, so nothing of the system's configuration is touched).

  listing_server.py --kind pyftpdlib|vsftpd --root DIR --port-file FILE

Writes the port once the server answers, and serves until standard input
closes. User "ann", password "pw" for pyftpdlib; "anonymous" for vsftpd."""
import argparse
import ctypes
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "ftp"))
import pyftpd_server  # noqa: E402
from pyftpd_server import write_port  # noqa: E402


PR_SET_PDEATHSIG = 1


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


def end_with_parent():
    """In the child before exec: a SIGTERM when this helper dies, however."""
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def end_group(server):
    """Ends the server this helper started, and only that, by its id."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(server.pid, sig)
        except ProcessLookupError:
            break
        try:
            server.wait(timeout=5)
            break
        except subprocess.TimeoutExpired:
            continue
    server.wait()


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
        # Its own process group, so that ending it by its id also ends the
        # session processes it forks; and it goes when this helper goes.
        server = subprocess.Popen(["/usr/sbin/vsftpd", conf], stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  start_new_session=True, preexec_fn=end_with_parent)
        try:
            if not wait_greeting(port):
                return 1
            write_port(port_file, port)
            sys.stdin.buffer.read()
        finally:
            end_group(server)
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    # Ended by a signal, the helper still ends its server on the way out.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
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
