#!/usr/bin/python3
"""Runs tls_schannel_test.exe under Wine against TLS servers of this machine,
with certificates made for this run: once before they are trusted in the
prefix (SchannelUntrusted.*), once after (the rest).

Each TLS session first sends a command line: "echo N ID" (the server sends
the N bytes back, then its close_notify, and waits for ours), "upload ID"
(it reads to the end), "drop N ID" (N bytes, then the socket closes without
a close_notify). The report port tells what the server saw of session ID."""
import os
import socket
import ssl
import sys
import threading

sys.path.insert(0, os.path.join(os.environ["SUITE_SOURCE_DIR"], "tests", "support"))
import suite  # noqa: E402
import tls_certs  # noqa: E402

outcomes = {}
outcome_ready = threading.Condition()


def finish(ident, outcome):
    with outcome_ready:
        outcomes[ident] = outcome
        outcome_ready.notify_all()


def serve(handler):
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)

    def accept():
        while True:
            conn, _ = listener.accept()
            conn.settimeout(30)
            threading.Thread(target=handler, args=(conn,), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    return str(listener.getsockname()[1])


def read_exactly(tls, n, until_line=False):
    data = bytearray()
    while len(data) < n and not (until_line and data.endswith(b"\n")):
        chunk = tls.recv(1 if until_line else min(65536, n - len(data)))
        if not chunk:
            raise EOFError("the client ended after %d bytes" % len(data))
        data += chunk
    return bytes(data)


def tls_server(certificate):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate.certfile, certificate.keyfile)

    def session(conn):
        ident, tls = "?", None
        try:
            tls = context.wrap_socket(conn, server_side=True, suppress_ragged_eofs=False)
            command, *args = read_exactly(tls, 200, until_line=True).decode().split()
            ident = args[-1]
            if command == "echo":
                tls.sendall(read_exactly(tls, int(args[0])))
                version = tls.version()
                tls.unwrap()  # our close_notify, then the client's
                finish(ident, "clean " + version)
            elif command == "upload":
                total = 0
                while True:
                    chunk = tls.recv(65536)  # b"" only after a close_notify
                    if not chunk:
                        break
                    total += len(chunk)
                finish(ident, "received %d clean" % total)
            elif command == "drop":
                tls.sendall(b"d" * int(args[0]))
                finish(ident, "dropped")
        except Exception as e:  # the outcome tells the test
            finish(ident, "%s: %s" % (type(e).__name__, e))
        finally:
            (tls or conn).close()

    return serve(session)


def plain_server(conn):
    with conn:
        # Enough text for whatever length a TLS record header read from it claims.
        conn.sendall(b"220 no TLS here\r\n" * 4000)
        try:
            while conn.recv(4096):
                pass
        except OSError:
            pass


def report_server(conn):
    with conn:
        ident = conn.makefile().readline().strip()
        with outcome_ready:
            outcome_ready.wait_for(lambda: ident in outcomes, timeout=20)
            conn.sendall((outcomes.get(ident, "no outcome") + "\n").encode())


def run(exe, env, gtest_filter):
    proc = suite.run_program(exe, "--gtest_filter=" + gtest_filter, env=env, timeout=200)
    sys.stdout.write(proc.stdout + proc.stderr)
    if proc.returncode != 0 or "[  PASSED  ]" not in proc.stdout or "[  SKIPPED ]" in proc.stdout:
        print("tls_schannel_test.exe %s failed (exit code %d)" % (gtest_filter, proc.returncode))
        return False
    return True


def main():
    exe = suite.win64_bin("tests", "tls_schannel_test.exe")
    with suite.Session() as session:
        localhost = tls_certs.make_certificate(session.tmp, "localhost")
        other = tls_certs.make_certificate(session.tmp, "other.invalid")
        env = {"TLS_PORT": tls_server(localhost), "TLS_OTHER_PORT": tls_server(other),
               "TLS_PLAIN_PORT": serve(plain_server), "TLS_REPORT_PORT": serve(report_server),
               "TLS_FINGERPRINT": localhost.fingerprint}
        if not run(exe, env, "SchannelUntrusted.*"):
            return 1
        tls_certs.trust(localhost)
        tls_certs.trust(other)
        return 0 if run(exe, env, "-SchannelUntrusted.*") else 1


if __name__ == "__main__":
    sys.exit(main())
