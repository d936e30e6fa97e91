"""FTP over TLS end to end under Wine, with certificates made for the run
for "localhost" (the box's host): one trusted in the prefix's roots, one
not, one trusted but issued for another name.

A box with "TLS" 1 sends and fetches byte for byte through pyftpdlib's TLS
handler and vsftpd (ssl_enable, require_ssl_reuse=NO), in active and in
passive mode, both servers refusing anything unencrypted; a vsftpd that
insists on session reuse, which Wine's TLS cannot offer, is named in a
message, never waited for. An untrusted or wrong-name certificate is asked
about: No sends nothing more (the server never sees USER), Yes stores its
fingerprint and goes on, and the next run asks nothing; another certificate
later is asked about again. A server without AUTH TLS hears neither USER nor
PASS. The browser does the same, and closing it wakes a worker waiting on
an encrypted reply."""
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import links  # noqa: E402
from links import EngineRun, boxes, not_sent_text, suite  # noqa: E402
import tls_certs  # noqa: E402
from vsftpd import Vsftpd  # noqa: E402

NO_LOGON = "Unable to logon to FTP host"
NOT_OFFERED = "The FTP host does not offer FTP over TLS, which this box requires.\nThe user name and password were not sent."
REUSE = "The FTP host refused the encrypted data connection:\n\n522 SSL connection failed: session reuse required"
LOGIN = ["AUTH TLS", "USER ann", "PASS pw", "PBSZ 0", "PROT P"]

t = suite.Tests()


def question(d, pid, certificate, reason, help_file=None):
    """The certificate question as the run shows it; gives the box. With
    help_file, F1 on it must open that file's page about it (Wine's message
    box does nothing yet for its Help button; Windows sends the same help)."""
    box = d.message_box(pid=pid, timeout=30)
    t.eq((box.caption, box.icon, [b[1] for b in box.buttons]), ("FTP Sendora", "question", ["&Yes", "&No", "Help"]))
    if help_file:
        d.help_topics()
        d.key(box.hwnd, "f1")
        shown = suite.poll(d.help_topics, timeout=20)
        time.sleep(1)  # a second page would follow at once
        t.eq(shown + d.help_topics(), [(help_file, "messages.htm#certificate")], "F1 on the question, once")
    t.check(box.text.startswith('The certificate of the FTP host "localhost" is not trusted.\n' + reason),
            "reason: %r" % box.text)
    t.check("Subject: CN=%s, O=Suite test\n" % certificate.name in box.text, "subject")
    t.check("SHA-256 fingerprint:\n%s\n" % certificate.fingerprint in box.text, "fingerprint")
    return box


def failure(d, pid, text):
    box = d.message_box(pid=pid, timeout=30)
    t.eq((box.text, box.icon), (text, "warning"))
    d.answer("ok", box=box)


class Secure:
    """A box with TLS on, for one case."""

    def __init__(self, d, s, port, **settings):
        self.d = d
        for name, value in (("transfer_type", 1), ("user", "ann"), ("password", "pw")):
            settings.setdefault(name, value)
        self.box = boxes.make_box(d, s.tmp, "Secure", host="localhost", port=port, tls=1, **settings)

    def run(self, paths):
        return EngineRun(self.d, self.box, boxes.path_list(paths))

    def stored(self):
        return self.box.get(self.d, "certificate")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.box.delete(self.d)


def engine_cases(d, s, paths, trusted, untrusted, other_name):
    for passive in (0, 1):
        mode = "passive" if passive else "active"
        with t.case("pyftpdlib, %s: files and folders byte for byte, everything after AUTH encrypted" % mode):
            srv = s.ftp_server(user="ann", password="pw", tls=trusted)
            t.eq(links.upload(d, s, "Secure", srv.port, paths, host="localhost", tls=1, passive=passive), 0)
            t.eq(links.tree_in(srv.home), links.SENT)
            t.eq(srv.commands()[:5], LOGIN)
            verbs = [c.split(" ")[0] for c in srv.commands()]
            t.eq(("PASV" in verbs, "PORT" in verbs), (bool(passive), not passive))

    root = os.path.join(s.tmp, "anon")
    for passive in (0, 1):
        mode = "passive" if passive else "active"
        with t.case("vsftpd without session reuse, %s: byte for byte" % mode):
            up = os.path.join(root, mode)
            os.makedirs(up)
            os.chmod(up, 0o777)
            with Vsftpd(root, writable=True, tls=trusted, options={"require_ssl_reuse": "NO"}) as srv:
                t.eq(links.upload(d, s, "Secure", srv.port, paths, host="localhost", user="anonymous",
                                  password="guest@", directory=mode, tls=1, passive=passive), 0)
                t.eq(links.tree_in(up), links.SENT)
                t.eq(srv.commands()[:2], ["AUTH TLS", "USER anonymous"])

    with t.case("vsftpd insisting on session reuse: its 522 is shown before STOR, the copies there stay"):
        before = links.tree_in(os.path.join(root, "active"))
        with Vsftpd(root, writable=True, tls=trusted) as srv:
            with Secure(d, s, srv.port, user="anonymous", password="guest@", directory="active") as box:
                with box.run(paths[:2]) as run:
                    failure(d, run.pid, REUSE + "\r\n\r\n" + not_sent_text(paths[:2]))
                    t.eq(run.exit_code(), 1)
            t.eq([c for c in srv.commands() if c.startswith("STOR")], [])
        t.eq(links.tree_in(os.path.join(root, "active")), before)
        t.check("a.txt" in before, "a copy was there to keep")

    srv = s.ftp_server(user="ann", password="pw", tls=untrusted)
    with Secure(d, s, srv.port) as box:
        with t.case("an untrusted certificate: No sends nothing more, ends as a logon failure"):
            with box.run(paths[:1]) as run:
                d.answer("no", box=question(d, run.pid, untrusted,
                                            "It is not issued by a trusted certification authority.", "sendora.chm"))
                failure(d, run.pid, NO_LOGON + "\r\n\r\n" + not_sent_text(paths[:1]))
                t.eq(run.exit_code(), 1)
            t.eq(srv.commands(), ["AUTH TLS"])
            t.eq(box.stored(), None, "nothing stored")

        with t.case("Yes stores the fingerprint and goes on; the next run asks nothing"):
            srv.clear_log()
            with box.run(paths[:1]) as run:
                d.answer("yes", box=question(d, run.pid, untrusted, "It is not"))
                t.eq(run.exit_code(), 0)
            t.eq(box.stored(), untrusted.fingerprint)
            t.eq(srv.commands()[:5], LOGIN)
            with box.run(paths[1:2]) as run:
                t.eq(run.exit_code(), 0)
            t.eq(links.tree_in(srv.home), {n: links.SENT[n] for n in ("a.txt", "b.bin")})

        with t.case("a certificate for another name is asked about, also for a box that trusts another"):
            other = s.ftp_server(user="ann", password="pw", tls=other_name)
            box.box.set(d, port=other.port)
            with box.run(paths[:1]) as run:
                d.answer("no", box=question(d, run.pid, other_name, "It is issued for another host name."))
                failure(d, run.pid, NO_LOGON + "\r\n\r\n" + not_sent_text(paths[:1]))
                t.eq(run.exit_code(), 1)
            t.eq(other.commands(), ["AUTH TLS"])
            t.eq(box.stored(), untrusted.fingerprint, "the trusted one stays")

    with t.case("a server without AUTH TLS hears neither USER nor PASS"):
        srv = s.ftp_server(user="ann", password="pw")
        with Secure(d, s, srv.port) as box:
            with box.run(paths[:1]) as run:
                failure(d, run.pid, NOT_OFFERED + "\r\n\r\n" + not_sent_text(paths[:1]))
                t.eq(run.exit_code(), 1)
        t.eq(srv.commands(), ["AUTH TLS"])


def browser_cases(d, s, trusted, untrusted):
    served = os.path.join(s.tmp, "served")
    links.make_tree(served)
    target = os.path.join(s.tmp, "in")
    os.makedirs(target)
    names = ("a.txt", "b.bin")

    def browse(port, user="ann", directory="", **numbers):
        for n in names:
            if os.path.exists(os.path.join(target, n)):
                os.remove(os.path.join(target, n))
        links.set_box(d, "Secure", port, target, user=user, host="localhost", directory=directory, TLS=1,
                      **numbers)
        # A folder without a listing cache: the browser connects at once.
        return links.Browser(d, tempfile.mkdtemp(dir=s.tmp), "Secure")

    def fetched(b):
        try:
            t.check(b.wait_names(["a.txt", "b.bin", "tree"]), "listed")
            t.check(b.download(list(names), target), "downloaded")
        finally:
            t.eq(b.close(), 0, "exit code")
        t.eq(links.tree_in(target, names), {n: links.SENT[n] for n in names})

    srv = s.ftp_server(user="ann", password="pw", home=served, tls=trusted)
    with Vsftpd(served, tls=trusted, options={"require_ssl_reuse": "NO"}) as vs:
        for passive in (0, 1):
            mode = "passive" if passive else "active"
            with t.case("browser, pyftpdlib, %s: lists and downloads byte for byte" % mode):
                fetched(browse(srv.port, Passive=passive))
            with t.case("browser, vsftpd, %s: lists and downloads byte for byte" % mode):
                fetched(browse(vs.port, user="anonymous", Passive=passive))
    t.eq(srv.commands()[:5], LOGIN)

    with t.case("browser, vsftpd insisting on session reuse: its 522 is shown"):
        with Vsftpd(served, tls=trusted) as vs:
            b = browse(vs.port, user="anonymous")
            try:
                failure(d, b.pid, REUSE)
            finally:
                t.eq(b.close(), 0)

    with t.case("browser: an untrusted certificate, No: no USER; Yes: stored and listed"):
        other = s.ftp_server(user="ann", password="pw", home=served, tls=untrusted)
        b = browse(other.port)
        try:
            d.answer("no", box=question(d, b.pid, untrusted, "It is not issued", "Fetchora.chm"))
            failure(d, b.pid, NO_LOGON)
            t.eq(other.commands(), ["AUTH TLS"])
            t.eq(d.reg_get(links.boxes.SETTINGS_KEY + "\\Secure", "Certificate"), None)
        finally:
            t.eq(b.close(), 0)
        b = browse(other.port)
        try:
            d.answer("yes", box=question(d, b.pid, untrusted, "It is not issued"))
            t.check(b.wait_names(["a.txt", "b.bin", "tree"]), "listed")
            t.eq(d.reg_get(links.boxes.SETTINGS_KEY + "\\Secure", "Certificate").data, untrusted.fingerprint)
        finally:
            t.eq(b.close(), 0)

    with t.case("browser: a server without AUTH TLS hears no USER"):
        plain = s.ftp_server(user="ann", password="pw", home=served)
        b = browse(plain.port)
        try:
            failure(d, b.pid, NOT_OFFERED)
        finally:
            t.eq(b.close(), 0)
        t.eq(plain.commands(), ["AUTH TLS"])

    with t.case("browser: closing the window wakes a worker waiting for an encrypted reply"):
        silent = s.ftp_server(user="ann", password="pw", home=served, tls=trusted,
                              handler={"ftp_PWD": lambda self, line: None})
        b = browse(silent.port, directory="www")  # a relative home: PWD first
        silent.wait_for(lambda commands: "PWD" in commands, timeout=30)
        time.sleep(0.5)
        started = time.monotonic()
        t.eq(b.close(), 0)
        # A worker that did not wake would hold the close for the five
        # seconds it grants before giving up on it.
        t.check(time.monotonic() - started < 4, "the waiting worker woke")

    d.reg_delete_key(links.boxes.SETTINGS_KEY + "\\Secure")


def main():
    with suite.Session() as s:
        d = s.driver
        paths = links.make_tree(os.path.join(s.tmp, "src"))
        for folder in ("trusted", "untrusted"):
            os.makedirs(os.path.join(s.tmp, folder))
        trusted = tls_certs.make_certificate(os.path.join(s.tmp, "trusted"), "localhost")
        untrusted = tls_certs.make_certificate(os.path.join(s.tmp, "untrusted"), "localhost")
        other_name = tls_certs.make_certificate(os.path.join(s.tmp, "trusted"), "other.invalid")
        tls_certs.trust(trusted)
        tls_certs.trust(other_name)
        d.setenv("WINEDEBUG", "trace+htmlhelp")  # the help windows' addresses
        shutil.copy(suite.win64_bin("sendora.chm"), s.tmp)  # the suite folder of the boxes' engines
        engine_cases(d, s, paths, trusted, untrusted, other_name)
        browser_cases(d, s, trusted, untrusted)
    return t.finish()


if __name__ == "__main__":
    sys.exit(main())
