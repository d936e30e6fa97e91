#!/usr/bin/python3
"""A scripted FTP server for tests: each control connection plays one script,
and every command line received is recorded, in order.

A script is a list of steps (JSON, or Python dicts). A step may hold any of
these keys, which are carried out in this order:

  "expect":     read one command line and record it (without its line end);
                a glob the line should match ("USER bob", "STOR *", "*");
                a mismatch goes to the errors list, the script goes on
  "sleep":      seconds to wait before answering
  "reply":      text to send ("220 Ready\\r\\n"), or a list of pieces sent
                apart with "pause" seconds (default 0.05) between them
  "passive":    true: listen on a free port for the next data step, and put
                that port in the reply where it says {pasv} (as
                127,0,0,1,p1,p2) or {port} (as p1,p2); the
                default reply is "227 Entering Passive Mode ({pasv}).\r\n"
  "data":       open a data connection to the address of the last PORT line,
                or take the client's on the port a "passive" step opened:
                  "receive"  read until the client closes it
                  "send"     send "payload" (text) or "payload_file", close
                  "probe"    only try to connect ("accepted" or "refused")
                  "connect"  connect and keep it open, sending nothing
                  "stall"    connect, then neither read nor send for
                             "stall" seconds (default 30) before closing
                "data_delay" seconds are waited before connecting; a client
                that does not connect to a passive port within 10 seconds
                counts as refused
                "impostor": true first has 127.0.0.2 connect to the PORT
                address and record what it gets (kind "impostor")
  "then":       text or pieces sent after the data step (a completion reply)
  "close":      true: close the control connection after this step
  "tls":        after the reply, TLS on the control connection and every
                later data connection: {"cert": file, "key": file, and
                optionally "max_version": "TLSv1"}; a data step's
                "data_tls" (same form) replaces it for that connection

Text is sent as Latin-1, so "\\u00ff" in JSON is the byte 0xff. After the last
step every further command line is recorded and answered "502 Not in the
script.\\r\\n" until the client closes the connection.

Example, an upload:
  [{"reply": "220 Ready\\r\\n"},
   {"expect": "PORT *", "reply": "200 PORT ok\\r\\n"},
   {"expect": "STOR a.txt", "reply": "150 Go\\r\\n", "data": "receive",
    "then": "226 Done\\r\\n"}]

Use it as a module (ScriptedFtpServer, Dispenser) or from the command line:
  scripted_ftpd.py --script s.json [--log cmds.txt] [--port-file p.txt]
                   [--result r.json] [--sessions N]
  scripted_ftpd.py --dispenser [--port-file p.txt] [--until-stdin-closes]

The dispenser hands out one-session servers to test programs that cannot
start Python themselves (Windows programs under Wine), over a line protocol:
  SCRIPT <n>\\n<n bytes of JSON>   ->  OK <port>\\n        (or ERR <text>\\n)
  RESULT [seconds]\\n               ->  the session's record once it has ended:
      CMD <line>\\n               each command, "\\\\", "\\r", "\\n" escaped
      XFER <kind> <result> <bytes> <hex>\\n   each data connection
                                 (result accepted or refused, hex "-" if empty)
      ERROR <text>\\n
      TIMEOUT\\n                  if the session had not ended in time
      END\\n
  QUIT\\n                           ends the dispenser
All servers listen on 127.0.0.1 only.
"""

import argparse
import fnmatch
import hashlib
import json
import os
import re
import socket
import ssl
import sys
import threading
import time

HOST = "127.0.0.1"
PORT_LINE = re.compile(r"PORT\s+(\d+),(\d+),(\d+),(\d+),(\d+),(\d+)", re.IGNORECASE)
UNSCRIPTED = "502 Not in the script.\r\n"


class Session:
    """What one control connection did: commands, data connections, errors."""

    def __init__(self):
        self.commands = []
        self.raw = b""  # every byte the client sent on the control connection
        self.transfers = []
        self.errors = []
        self.done = threading.Event()


class _Control:
    def __init__(self, conn, session, log):
        self.conn = conn
        self.session = session
        self.log = log
        self.pending = b""
        self.data_address = None
        self.listener = None  # the passive port, until its data step
        self.tls = None       # the control connection's TLS settings, once secured

    def read_line(self):
        while b"\n" not in self.pending:
            chunk = self.conn.recv(4096)
            if not chunk:
                return None
            self.pending += chunk
        raw, self.pending = self.pending.split(b"\n", 1)
        self.session.raw += raw + b"\n"
        if raw.endswith(b"\r"):
            raw = raw[:-1]
        line = raw.decode("latin-1")
        self.session.commands.append(line)
        if self.log is not None:
            self.log(line)
        m = PORT_LINE.match(line)
        if m:
            n = [int(x) for x in m.groups()]
            self.data_address = ("%d.%d.%d.%d" % tuple(n[:4]), n[4] * 256 + n[5])
        return line

    def send(self, text, pause):
        pieces = [text] if isinstance(text, str) else list(text)
        for i, piece in enumerate(pieces):
            if i:
                time.sleep(pause)
            self.conn.sendall(piece.encode("latin-1"))


def _passive_reply(control, step):
    control.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    control.listener.bind((HOST, 0))
    control.listener.listen(1)
    port = control.listener.getsockname()[1]
    numbers = "%d,%d" % (port >> 8, port & 0xFF)
    reply = step.get("reply", "227 Entering Passive Mode ({pasv}).\r\n")
    return reply.replace("{pasv}", "127,0,0,1," + numbers).replace("{port}", numbers)


def _tls_context(certificate):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate["cert"], certificate["key"])
    if "max_version" in certificate:
        version = getattr(ssl.TLSVersion, certificate["max_version"])
        context.minimum_version = context.maximum_version = version
        context.set_ciphers("DEFAULT:@SECLEVEL=0")  # old versions need old ciphers
    return context


def _impostor(control):
    received = b""
    try:
        with socket.create_connection(control.data_address, timeout=5, source_address=("127.0.0.2", 0)) as other:
            for chunk in iter(lambda: other.recv(65536), b""):
                received += chunk
    except OSError:
        pass
    control.session.transfers.append({"kind": "impostor", "result": "accepted", "bytes": len(received),
                                      "data": received})


def _connect(control):
    """The data connection of the step: ours to the client's PORT, or the
    client's to the passive port; None when it does not come about."""
    if control.listener is not None:
        listener, control.listener = control.listener, None
        with listener:
            listener.settimeout(10)
            try:
                return listener.accept()[0]
            except OSError:
                return None
    if control.data_address is None:
        control.session.errors.append("data step without a PORT line")
        raise OSError("no data address")
    try:
        return socket.create_connection(control.data_address, timeout=30)
    except OSError:
        return None


def _data_step(control, step):
    kind = step["data"]
    time.sleep(step.get("data_delay", 0))
    if step.get("impostor"):
        _impostor(control)
    try:
        data = _connect(control)
    except OSError:
        return
    if data is None:
        control.session.transfers.append({"kind": kind, "result": "refused", "bytes": 0, "data": b""})
        return
    if control.tls is not None:
        data.settimeout(30)
        data = _tls_context(step.get("data_tls", control.tls)).wrap_socket(data, server_side=True)
    data.settimeout(None)
    with data:
        received = b""
        if kind == "receive":
            while True:
                chunk = data.recv(65536)
                if not chunk:
                    break
                received += chunk
            if "save_to" in step:
                with open(step["save_to"], "wb") as f:
                    f.write(received)
        elif kind == "send":
            if "payload_file" in step:
                with open(step["payload_file"], "rb") as f:
                    payload = f.read()
            else:
                payload = step.get("payload", "").encode("latin-1")
            data.sendall(payload)
        elif kind == "connect":
            # Held open until the client closes it or the session ends.
            while data.recv(65536):
                pass
        elif kind == "stall":
            time.sleep(step.get("stall", 30))
        if control.tls is not None and kind == "send":
            try:
                data.unwrap()  # a client takes data without a close_notify for cut short
            except OSError:
                pass
        control.session.transfers.append(
            {"kind": kind, "result": "accepted", "bytes": len(received), "data": received})


def play(conn, script, session, log=None):
    """Plays the script on an accepted control connection."""
    control = _Control(conn, session, log)
    try:
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        for step in script:
            if "expect" in step:
                line = control.read_line()
                if line is None:
                    session.errors.append("connection closed while expecting %r" % step["expect"])
                    return
                pattern = step["expect"]
                if pattern is not True and not fnmatch.fnmatchcase(line, pattern):
                    session.errors.append("expected %r, got %r" % (pattern, line))
            time.sleep(step.get("sleep", 0))
            pause = step.get("pause", 0.05)
            if step.get("passive"):
                control.send(_passive_reply(control, step), pause)
            elif "reply" in step:
                control.send(step["reply"], pause)
            if "tls" in step:
                conn = control.conn = _tls_context(step["tls"]).wrap_socket(conn, server_side=True)
                control.tls = step["tls"]
            if "data" in step:
                _data_step(control, step)
            if "then" in step:
                control.send(step["then"], pause)
            if step.get("close"):
                return
        while control.read_line() is not None:
            control.send(UNSCRIPTED, 0)
    except OSError as e:
        session.errors.append("control connection: %s" % e)
    finally:
        if control.listener is not None:
            control.listener.close()
        conn.close()
        session.done.set()


class ScriptedFtpServer:
    """Listens on 127.0.0.1 and plays the script to each of `sessions`
    connections in turn; `scripts`, a list of scripts, gives each session
    its own (and their number).

        with ScriptedFtpServer(script) as server:
            ... connect to server.port ...
            server.wait(10)
            assert server.commands == ["USER bob", ...]
    """

    def __init__(self, script=None, port=0, sessions=1, log_path=None, scripts=None):
        self.scripts = scripts or [script] * sessions
        self.sessions = [Session() for _ in self.scripts]
        self._log_file = open(log_path, "a", encoding="latin-1") if log_path else None
        self._log_lock = threading.Lock()
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._listener.bind((HOST, port))
        self._listener.listen(4)
        self.port = self._listener.getsockname()[1]
        self._thread = threading.Thread(target=self._serve, daemon=True)

    def start(self):
        self._thread.start()
        return self

    def _log(self, line):
        with self._log_lock:
            # Written before the reply goes out, so a client that has its
            # reply finds its command in the log.
            self._log_file.write(line + "\n")
            self._log_file.flush()

    def _serve(self):
        for session, script in zip(self.sessions, self.scripts):
            try:
                conn, _ = self._listener.accept()
            except OSError:
                break
            play(conn, script, session, self._log if self._log_file else None)
        for session in self.sessions:
            session.done.set()

    def wait(self, timeout=None):
        """True when every session has ended within the timeout."""
        deadline = None if timeout is None else time.monotonic() + timeout
        for session in self.sessions:
            left = None if deadline is None else max(0.0, deadline - time.monotonic())
            if not session.done.wait(left):
                return False
        return True

    @property
    def commands(self):
        return [c for s in self.sessions for c in s.commands]

    @property
    def transfers(self):
        return [t for s in self.sessions for t in s.transfers]

    @property
    def errors(self):
        return [e for s in self.sessions for e in s.errors]

    def result(self):
        return {
            "port": self.port,
            "commands": self.commands,
            "transfers": [{"kind": t["kind"], "result": t["result"], "bytes": t["bytes"],
                           "sha256": hashlib.sha256(t["data"]).hexdigest()} for t in self.transfers],
            "errors": self.errors,
        }

    def close(self):
        try:
            self._listener.close()
        except OSError:
            pass
        if self._log_file:
            self._log_file.close()
            self._log_file = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.close()


def login(user="ann", password="pw"):
    """Script steps: the greeting and an accepted log-in."""
    return [{"reply": "220 Ready\r\n"},
            {"expect": "USER " + user, "reply": "331 Password\r\n"},
            {"expect": "PASS " + password, "reply": "230 In\r\n"}]


def listing(payload):
    """Script steps: TYPE A, PORT, and a LIST that sends the payload."""
    return [{"expect": "TYPE A", "reply": "200 Type set\r\n"},
            {"expect": "PORT *", "reply": "200 Port ok\r\n"},
            {"expect": "LIST", "reply": "150 Here\r\n", "data": "send", "payload": payload,
             "then": "226 Done\r\n"}]


def _escape(text):
    return text.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n")


class Dispenser:
    """Starts a one-session ScriptedFtpServer for every script it is sent."""

    def __init__(self, port=0, idle_timeout=600):
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._listener.bind((HOST, port))
        self._listener.listen(16)
        self._listener.settimeout(1.0)
        self.port = self._listener.getsockname()[1]
        self.idle_timeout = idle_timeout
        self._last_request = time.monotonic()
        self._stopped = threading.Event()
        self._servers = []
        self._thread = threading.Thread(target=self.serve_forever, daemon=True)

    def start(self):
        self._thread.start()
        return self

    def stop(self):
        self._stopped.set()

    def stopped(self):
        return self._stopped.is_set()

    def serve_forever(self):
        while not self._stopped.is_set():
            if time.monotonic() - self._last_request > self.idle_timeout:
                break
            try:
                conn, _ = self._listener.accept()
            except socket.timeout:
                continue
            except OSError:
                break
            threading.Thread(target=self._client, args=(conn,), daemon=True).start()
        self._stopped.set()
        self._listener.close()
        for server in self._servers:
            server.close()

    def _client(self, conn):
        conn.settimeout(None)
        reader = conn.makefile("rb")
        server = None
        try:
            for raw in reader:
                self._last_request = time.monotonic()
                words = raw.decode("latin-1").split()
                if not words:
                    continue
                if words[0] == "SCRIPT" and len(words) == 2:
                    body = reader.read(int(words[1]))
                    try:
                        server = ScriptedFtpServer(json.loads(body.decode("latin-1"))).start()
                    except (ValueError, OSError) as e:
                        conn.sendall(("ERR %s\n" % e).encode("latin-1"))
                        continue
                    self._servers.append(server)
                    conn.sendall(b"OK %d\n" % server.port)
                elif words[0] == "RESULT" and server is not None:
                    timeout = float(words[1]) if len(words) > 1 else 30.0
                    conn.sendall(self._record(server, timeout).encode("latin-1"))
                elif words[0] == "QUIT":
                    self.stop()
                    return
                else:
                    conn.sendall(b"ERR unknown request\n")
        except OSError:
            pass
        finally:
            reader.close()
            conn.close()

    @staticmethod
    def _record(server, timeout):
        ended = server.wait(timeout)
        lines = ["CMD %s\n" % _escape(c) for c in server.commands]
        for t in server.transfers:
            lines.append("XFER %s %s %d %s\n" % (t["kind"], t["result"], t["bytes"], t["data"].hex() or "-"))
        lines += ["ERROR %s\n" % _escape(e) for e in server.errors]
        if not ended:
            lines.append("TIMEOUT\n")
        lines.append("END\n")
        return "".join(lines)


def _announce(port, port_file):
    print("PORT %d" % port, flush=True)
    if port_file:
        # Renamed into place so that a reader never sees half a number.
        tmp = port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % port)
        os.replace(tmp, port_file)


def main(argv=None):
    ap = argparse.ArgumentParser(description="Scripted FTP server for tests (127.0.0.1 only).")
    mode = ap.add_mutually_exclusive_group(required=True)
    mode.add_argument("--script", help="JSON file with the list of steps")
    mode.add_argument("--dispenser", action="store_true", help="serve scripts sent by test programs")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--port-file")
    ap.add_argument("--log", help="file that receives every command line")
    ap.add_argument("--result", help="JSON file written when all sessions have ended")
    ap.add_argument("--sessions", type=int, default=1)
    ap.add_argument("--timeout", type=float, default=600, help="give up after this many seconds")
    ap.add_argument("--until-stdin-closes", action="store_true",
                    help="end when standard input reaches its end (the parent has gone)")
    args = ap.parse_args(argv)

    if args.dispenser:
        dispenser = Dispenser(args.port, idle_timeout=args.timeout).start()
        _announce(dispenser.port, args.port_file)
        if args.until_stdin_closes:
            threading.Thread(target=lambda: (sys.stdin.buffer.read(), dispenser.stop()), daemon=True).start()
        while not dispenser.stopped():
            time.sleep(0.2)
        return 0

    with open(args.script, encoding="latin-1") as f:
        script = json.load(f)
    with ScriptedFtpServer(script, args.port, args.sessions, args.log) as server:
        _announce(server.port, args.port_file)
        ended = server.wait(args.timeout)
        if args.result:
            with open(args.result, "w") as f:
                json.dump(server.result(), f, indent=1)
    return 0 if ended else 1


if __name__ == "__main__":
    sys.exit(main())
