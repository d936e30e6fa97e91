"""OpenSSH's sshd for tests: on a free port of 127.0.0.1, in the foreground
(-D) with its log on stderr (-e) kept in a file, with host keys and a
configuration of its own in a temporary folder, so the machine's own SSH
service and configuration are never touched; ended by its process id.

    with Sshd() as srv:
        srv.port, srv.fingerprint      # as ssh-keygen -l prints it
        srv.auth_attempts()            # the log-in requests it saw
        srv.change_key()               # the same port, another host key

It takes only the test account that tools/setup.sh makes (USER, PASSWORD),
by password (or by keyboard-interactive alone), with SFTP inside sshd."""
import os
import pwd
import shutil
import socket
import subprocess
import tempfile
import time

from vsftpd import end_group, free_port, limited

USER = "suitesftp"
PASSWORD = "Sftp-Test-24"


def wait_banner(port, limit=10.0):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=2) as s:
                if s.recv(256).startswith(b"SSH-2.0"):
                    return True
        except OSError:
            time.sleep(0.1)
    return False


class Sshd:
    def __init__(self, keyboard_interactive=False, authorized_keys=None, file_limit=None):
        self.work = tempfile.mkdtemp(prefix="sshd-")
        self.port = free_port()
        self.log_path = os.path.join(self.work, "sshd.log")
        self.keyboard_interactive = keyboard_interactive
        self.authorized_keys = authorized_keys  # a file of public keys also let in
        self.file_limit = file_limit  # bytes a file it writes may have, as on a full disk
        self._server = None
        self._keys = 0
        self.change_key()

    def _new_key(self):
        self._keys += 1
        key = os.path.join(self.work, "host_ed25519_%d" % self._keys)
        subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", key], check=True)
        listed = subprocess.run(["ssh-keygen", "-l", "-f", key + ".pub"], check=True, capture_output=True, text=True)
        self.fingerprint = listed.stdout.split()[1]
        return key

    def change_key(self):
        """(Re)starts the server with a new host key."""
        self._end_server()
        conf = {
            "Port": self.port, "ListenAddress": "127.0.0.1", "HostKey": self._new_key(), "PidFile": "none",
            "LogLevel": "DEBUG1", "StrictModes": "no", "PermitRootLogin": "no", "AllowUsers": USER,
            "PubkeyAuthentication": "yes" if self.authorized_keys else "no",
            "AuthorizedKeysFile": self.authorized_keys or "none", "PrintMotd": "no",
            # keyboard-interactive needs PAM to ask for the password
            "UsePAM": "yes" if self.keyboard_interactive else "no",
            "PasswordAuthentication": "no" if self.keyboard_interactive else "yes",
            "KbdInteractiveAuthentication": "yes" if self.keyboard_interactive else "no",
            "Subsystem": "sftp internal-sftp",
        }
        path = os.path.join(self.work, "sshd_config")
        with open(path, "w") as f:
            f.write("".join("%s %s\n" % item for item in conf.items()))
        os.makedirs("/run/sshd", mode=0o755, exist_ok=True)  # its privilege separation folder
        with open(self.log_path, "ab") as log:
            self._server = subprocess.Popen(["/usr/sbin/sshd", "-D", "-e", "-f", path], stdin=subprocess.DEVNULL,
                                            stdout=log, stderr=log, start_new_session=True,
                                            preexec_fn=lambda: limited(self.file_limit))
        if not wait_banner(self.port):
            self.stop()
            raise RuntimeError("sshd did not start")

    def log(self):
        with open(self.log_path, encoding="latin-1") as f:
            return f.read()

    def auth_attempts(self):
        """Every log-in request of any method, "none" included."""
        return [line for line in self.log().splitlines() if "userauth-request" in line]

    def home_dir(self, name):
        """A fresh folder of the test account's home, owned by it; its path."""
        account = pwd.getpwnam(USER)
        path = os.path.join(account.pw_dir, name)
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)
        os.chown(path, account.pw_uid, account.pw_gid)
        return path

    def _end_server(self):
        if self._server is not None:
            end_group(self._server)
            self._server = None

    def stop(self):
        self._end_server()
        shutil.rmtree(self.work, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
