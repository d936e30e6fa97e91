#!/usr/bin/python3
"""A real FTP server (pyftpdlib) for tests and the benchmark: 127.0.0.1 only,
one user with full rights in one folder.

  pyftpd_server.py --root DIR --user NAME --password WORD --port-file FILE

Writes the port it got to FILE and serves until its standard input closes."""
import argparse
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def write_port(path, port):
    """Writes the port whole at once, so a reader never sees half of it."""
    with open(path + ".tmp", "w") as f:
        f.write("%d\n" % port)
    os.replace(path + ".tmp", path)


def serve(root, user, password, port_file, perm="elradfmwMT"):
    """Serves root to one user until standard input closes."""
    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm=perm)
    handler = type("Handler", (FTPHandler,), {"authorizer": authorizer})
    server = FTPServer(("127.0.0.1", 0), handler)
    write_port(port_file, server.address[1])

    stop = threading.Event()
    threading.Thread(target=lambda: (sys.stdin.buffer.read(), stop.set()), daemon=True).start()
    while not stop.is_set():
        server.serve_forever(timeout=0.2, blocking=False)
    server.close_all()
    return 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--user", required=True)
    ap.add_argument("--password", required=True)
    ap.add_argument("--port-file", required=True)
    args = ap.parse_args()
    return serve(args.root, args.user, args.password, args.port_file)


if __name__ == "__main__":
    sys.exit(main())
