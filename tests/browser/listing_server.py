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
import signal
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "ftp"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import pyftpd_server  # noqa: E402
from pyftpd_server import write_port  # noqa: E402
from vsftpd import Vsftpd  # noqa: E402


def serve_pyftpdlib(root, port_file):
    return pyftpd_server.serve(root, "ann", "pw", port_file, perm="elr")


def serve_vsftpd(root, port_file):
    try:
        server = Vsftpd(root, options={"no_anon_password": "YES"})
    except RuntimeError:
        return 1
    try:
        write_port(port_file, server.port)
        sys.stdin.buffer.read()
    finally:
        server.stop()
    return 0


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
