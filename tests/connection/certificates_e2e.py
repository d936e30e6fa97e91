"""Servers a TLS box must not log in to, under Wine against the scripted
server, which plays TLS and records every command it could decrypt: a
certificate whose chain is partial or runs through an issuer that is no CA
(asked about, with the reason), a question answered by a stray Enter (No),
and a server that agrees on TLS 1.0 or 1.1 only. None hears USER, PASS or a
byte of a file; the run ends with exit code 1 and names the file as not
sent. A good chain through an intermediate CA is taken without a question."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import links  # noqa: E402
from links import EngineRun, boxes, not_sent_text, suite  # noqa: E402
from scripted_ftpd import ScriptedFtpServer  # noqa: E402
import tls_certs  # noqa: E402

NO_LOGON = "Unable to logon to FTP host"
TLS_FAILED = "Unable to establish an encrypted connection to the FTP host:\n\n"

t = suite.Tests()


def spec(certificate, **more):
    return dict({"cert": certificate.certfile, "key": certificate.keyfile}, **more)


def main():
    with suite.Session() as s:
        d = s.driver
        paths = links.make_tree(os.path.join(s.tmp, "src"))[:1]
        certs = os.path.join(s.tmp, "certs")
        os.makedirs(certs)
        root = tls_certs.make_certificate(certs, "Suite root")
        unknown = tls_certs.make_certificate(certs, "Unknown root")
        tls_certs.trust(root)
        ca = tls_certs.issue(certs, "Suite CA", root, ca=True)
        not_ca = tls_certs.issue(certs, "Not a CA", root)
        good = tls_certs.issue(certs, "localhost", ca, sent_with=[ca])
        partial = tls_certs.issue(certs, "localhost", unknown, stem="partial")
        through_leaf = tls_certs.issue(certs, "localhost", not_ca, sent_with=[not_ca], stem="through-leaf")

        # (case, the server's TLS, the answer to the question or None when
        # none is asked, what the run says before the files not sent)
        cases = [
            ("a partial chain: the issuer is unknown and not sent", spec(partial),
             ("no", "Its chain of issuers cannot be completed."), NO_LOGON),
            ("a chain through an issuer that is no CA", spec(through_leaf),
             ("no", "Its issuer is not allowed to issue certificates."), NO_LOGON),
            ("Enter on the question says No", spec(partial), ("enter", "Its chain"), NO_LOGON),
            ("TLS 1.0 only", spec(good, max_version="TLSv1"), None, TLS_FAILED),
            ("TLS 1.1 only", spec(good, max_version="TLSv1_1"), None, TLS_FAILED),
        ]
        for name, tls, question, said in cases:
            with t.case(name):
                script = [{"reply": "220 Ready\r\n"}, {"expect": "AUTH TLS", "reply": "234 Go\r\n", "tls": tls}]
                with ScriptedFtpServer(script) as srv:
                    box = boxes.make_box(d, s.tmp, "Trust", host="localhost", port=srv.port, user="ann",
                                         password="pw", tls=1)
                    try:
                        with EngineRun(d, box, boxes.path_list(paths)) as run:
                            if question:
                                asked = run.message_box()
                                t.check(question[1] in asked.text, "reason: %r" % asked.text)
                                if question[0] == "enter":
                                    d.enter(asked.hwnd)
                                else:
                                    d.answer(question[0], box=asked)
                            shown = run.message_box()
                            t.check(shown.text.startswith(said), "failure: %r" % shown.text)
                            t.check(shown.text.endswith(not_sent_text(paths)), "not sent: %r" % shown.text)
                            d.answer("ok", box=shown)
                            t.eq(run.exit_code(), 1)
                        srv.wait(10)
                        t.eq(srv.commands, ["AUTH TLS"])
                        t.eq(box.get(d, "certificate"), None, "nothing trusted")
                    finally:
                        box.delete(d)

        with t.case("a good chain through an intermediate CA: no question"):
            srv = s.ftp_server(user="ann", password="pw", tls=good)
            t.eq(links.upload(d, s, "Trust", srv.port, paths, host="localhost", tls=1), 0)
            t.eq(links.tree_in(srv.home), {"a.txt": links.SENT["a.txt"]})
    return t.finish()


if __name__ == "__main__":
    sys.exit(main())
