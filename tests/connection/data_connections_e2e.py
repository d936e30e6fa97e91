"""Data connections a box must not trust, against the scripted server
playing TLS: a certificate that is not the control connection's and fails
the checks that one passed, a server that gives up on the data connection
(both caught by the listing before the first STOR), and another host at the
data port first (shut out; the server's own connection is taken)."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import links  # noqa: E402
from links import suite  # noqa: E402
import scripted_ftpd  # noqa: E402
import tls_certs  # noqa: E402

DATA_FAILED = "Unable to use an encrypted data connection to the FTP host:\n\n"
OTHER_CERTIFICATE = DATA_FAILED + "the data connection presented another certificate than the control connection"

t = suite.Tests()


def secured(tls):
    steps = scripted_ftpd.login()
    steps.insert(1, {"expect": "AUTH TLS", "reply": "234 Go\r\n", "tls": tls})
    return steps + [{"expect": "PBSZ 0", "reply": "200 PBSZ=0\r\n"}, {"expect": "PROT P", "reply": "200 P\r\n"},
                    {"expect": "PORT *", "reply": "200 Port ok\r\n"}]


def listing(**data):
    return [dict({"expect": "LIST", "reply": "150 Here\r\n", "data": "send", "payload": "x\r\n",
                  "then": "226 Done\r\n"}, **data)]


def store(**data):
    return [{"expect": "PORT *", "reply": "200 Port ok\r\n"}, {"expect": "TYPE I", "reply": "200 Type set\r\n"},
            dict({"expect": "STOR a.txt", "reply": "150 Go\r\n", "data": "receive", "then": "226 Stored\r\n"}, **data)]


def main():
    with suite.Session() as s:
        d = s.driver
        paths = links.make_tree(os.path.join(s.tmp, "src"))[:1]
        trusted = tls_certs.make_certificate(os.path.join(s.tmp, "trusted"), "localhost")
        untrusted = tls_certs.make_certificate(os.path.join(s.tmp, "untrusted"), "localhost")
        tls_certs.trust(trusted)
        certs = {c: tls_certs.scripted(c) for c in (trusted, untrusted)}

        # (case, the box's stored certificate, the script, the exit code,
        # the failure shown before the files not sent, or None)
        cases = [
            ("an untrusted certificate on the data connection of a trusted server", None,
             secured(certs[trusted]) + listing(data_tls=certs[untrusted]), 1, OTHER_CERTIFICATE),
            ("a trusted certificate on the data connection, but not the one the user trusted", untrusted,
             secured(certs[untrusted]) + listing(data_tls=certs[trusted]), 1, OTHER_CERTIFICATE),
            ("the server gives up on the data connection: 425 before STOR", None,
             secured(certs[trusted]) + [{"expect": "LIST", "reply": "150 Here\r\n", "then": "425 No connection\r\n"}],
             1, DATA_FAILED + "425 No connection"),
            ("TLS: another host reaches the data port first", None,
             secured(certs[trusted]) + listing(impostor=True) + store(impostor=True), 0, None),
            ("plain: another host reaches the data port first", None,
             scripted_ftpd.login() + store(impostor=True), 0, None),
        ]
        for name, stored, script, code, said in cases:
            with t.case(name):
                srv = links.scripted_run(t, d, s, script, paths, said, code=code, tls=int("tls" in script[1]),
                                         certificate=stored and stored.fingerprint)
                t.eq(srv.errors, [])
                t.eq([x["data"] for x in srv.transfers if x["kind"] == "receive"],
                     [links.TREE["a.txt"]] if code == 0 else [], "STOR only once the data connection works")
                t.eq([x["bytes"] for x in srv.transfers if x["kind"] == "impostor"],
                     [0] * sum(1 for step in script if step.get("impostor")), "the other host got nothing")
    return t.finish()


if __name__ == "__main__":
    sys.exit(main())
