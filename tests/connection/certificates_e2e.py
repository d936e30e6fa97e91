"""Servers a TLS box must not log in to, against the scripted server playing
TLS: a partial chain, a chain through an issuer that is no CA (both asked
about), a stray Enter on the question (No), TLS 1.0 or 1.1 only. None hears
USER or PASS; the run ends with exit code 1 naming the file as not sent. A
good chain through an intermediate CA is taken without a question."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import links  # noqa: E402
from links import suite  # noqa: E402
import tls_certs  # noqa: E402

NO_LOGON = "Unable to logon to FTP host"
TLS_FAILED = "Unable to establish an encrypted connection to the FTP host:\n\n"

t = suite.Tests()


def main():
    with suite.Session() as s:
        d = s.driver
        paths = links.make_tree(os.path.join(s.tmp, "src"))[:1]
        certs = os.path.join(s.tmp, "certs")
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
            ("a partial chain: the issuer is unknown and not sent", tls_certs.scripted(partial),
             ("no", "Its chain of issuers cannot be completed."), NO_LOGON),
            ("a chain through an issuer that is no CA", tls_certs.scripted(through_leaf),
             ("no", "Its issuer is not allowed to issue certificates."), NO_LOGON),
            ("Enter on the question says No", tls_certs.scripted(partial), ("enter", "Its chain"), NO_LOGON),
            ("TLS 1.0 only", tls_certs.scripted(good, max_version="TLSv1"), None, TLS_FAILED),
            ("TLS 1.1 only", tls_certs.scripted(good, max_version="TLSv1_1"), None, TLS_FAILED),
        ]
        for name, tls, question, said in cases:
            with t.case(name):
                script = [{"reply": "220 Ready\r\n"}, {"expect": "AUTH TLS", "reply": "234 Go\r\n", "tls": tls}]
                t.eq(links.scripted_run(t, d, s, script, paths, said, question).commands, ["AUTH TLS"])

        with t.case("a good chain through an intermediate CA: no question"):
            srv = s.ftp_server(user="ann", password="pw", tls=good)
            t.eq(links.upload(d, s, "Trust", srv.port, paths, host="localhost", tls=1), 0)
            t.eq(links.tree_in(srv.home), {"a.txt": links.SENT["a.txt"]})
    return t.finish()


if __name__ == "__main__":
    sys.exit(main())
