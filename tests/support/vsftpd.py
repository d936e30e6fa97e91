"""vsftpd for tests: standalone on a free port of 127.0.0.1 (or of host, "::1" say), run as the
launching user with a configuration of its own in a temporary folder, so
nothing of the system's configuration is touched; ended by its own process
id, also when the process that started it dies.

    with Vsftpd(root, writable=True, tls=cert, options={"port_enable": "NO"}) as srv:
        ... connect to srv.port as "anonymous" ...
        srv.commands()   # every command line it received, PASS excepted

Anonymous log-in only; writable lets it store below root (never into root
itself). tls: a tls_certs.Certificate, required for the log-in and every
data connection (require_ssl_reuse stays vsftpd's default, YES, unless
options say otherwise). file_limit: no file it writes may grow past that
many bytes, as on a full disk."""
import ctypes
import os
import re
import resource
import shutil
import signal
import socket
import subprocess
import tempfile
import time

PR_SET_PDEATHSIG = 1
COMMAND = re.compile(r'FTP command: Client "[^"]*", "(.*)"$')


def free_port(host="127.0.0.1"):
    with socket.socket(socket.AF_INET6 if ":" in host else socket.AF_INET) as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def wait_greeting(port, limit=10.0, host="127.0.0.1"):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        try:
            with socket.create_connection((host, port), timeout=2) as s:
                if s.recv(1024).startswith(b"220"):
                    return True
        except OSError:
            time.sleep(0.1)
    return False


def end_with_parent():
    """In the child before exec: a SIGTERM when its parent dies, however."""
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def end_group(server):
    """Ends the server and the session processes it forked, by its id."""
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


def limited(file_limit):
    end_with_parent()
    if file_limit:
        # A failing write, as on a full disk, rather than the signal's end.
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (file_limit, file_limit))


class Vsftpd:
    def __init__(self, root, writable=False, tls=None, options=None, host="127.0.0.1", file_limit=None):
        self.work = tempfile.mkdtemp(prefix="vsftpd-")
        self.port = free_port(host)
        self.log = os.path.join(self.work, "vsftpd.log")
        empty = os.path.join(self.work, "empty")
        os.mkdir(empty)
        conf = {
            "listen": "YES", "listen_ipv6": "NO", "listen_address": "127.0.0.1", "listen_port": self.port,
            "background": "NO", "run_as_launching_user": "YES", "seccomp_sandbox": "NO",
            "anonymous_enable": "YES", "anon_root": root, "local_enable": "NO",
            "write_enable": "YES" if writable else "NO", "connect_from_port_20": "NO",
            "secure_chroot_dir": empty, "xferlog_enable": "YES", "xferlog_std_format": "NO",
            "log_ftp_protocol": "YES", "vsftpd_log_file": self.log,
        }
        if writable:
            conf.update(anon_upload_enable="YES", anon_mkdir_write_enable="YES", anon_other_write_enable="YES",
                        anon_umask="022")
        if tls:
            conf.update(ssl_enable="YES", allow_anon_ssl="YES", force_anon_logins_ssl="YES",
                        force_anon_data_ssl="YES", rsa_cert_file=tls.certfile, rsa_private_key_file=tls.keyfile)
        if ":" in host:
            conf.update(listen="NO", listen_ipv6="YES", listen_address6=host)
            del conf["listen_address"]
        conf.update(options or {})
        path = os.path.join(self.work, "vsftpd.conf")
        with open(path, "w") as f:
            f.write("".join("%s=%s\n" % item for item in conf.items()))
        # Its own process group, so that ending it by its id also ends the
        # session processes it forks.
        self._server = subprocess.Popen(["/usr/sbin/vsftpd", path], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        start_new_session=True, preexec_fn=lambda: limited(file_limit))
        if not wait_greeting(self.port, host=host):
            self.stop()
            raise RuntimeError("vsftpd did not start")

    def commands(self):
        """The command lines received, all sessions in order (vsftpd leaves PASS out)."""
        try:
            with open(self.log, encoding="latin-1") as f:
                return [m.group(1) for m in map(COMMAND.search, f) if m]
        except OSError:
            return []

    def stop(self):
        if self._server is not None:
            end_group(self._server)
            self._server = None
        shutil.rmtree(self.work, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
