"""Data connections a box must not trust, under Wine against the scripted
server (TLS played by it, every data connection recorded): one presenting a
certificate that is not the control connection's and does not pass the
checks that one passed, a server that gives up on our data connection, and
another host that reaches the data port first. A TLS box lists once before
its first STOR, so the first two end the run before any file is touched;
the other host is shut out and the server's own connection is taken."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import links  # noqa: E402
from links import EngineRun, boxes, not_sent_text, suite  # noqa: E402
from scripted_ftpd import ScriptedFtpServer  # noqa: E402
import tls_certs  # noqa: E402

DATA_FAILED = "Unable to use an encrypted data connection to the FTP host:\n\n"
OTHER_CERTIFICATE = DATA_FAILED + "the data connection presented another certificate than the control connection"

t = suite.Tests()


def secured(tls):
    return [{"reply": "220 Ready\r\n"},
            {"expect": "AUTH TLS", "reply": "234 Go\r\n", "tls": tls},
            {"expect": "USER ann", "reply": "331 Password\r\n"},
            {"expect": "PASS pw", "reply": "230 In\r\n"},
            {"expect": "PBSZ 0", "reply": "200 PBSZ=0\r\n"},
            {"expect": "PROT P", "reply": "200 Protection set\r\n"}]


def listing(**data):
    return [{"expect": "PORT *", "reply": "200 Port ok\r\n"},
            dict({"expect": "LIST", "reply": "150 Here\r\n", "data": "send", "payload": "-rw-r--r-- 1 a a 1 x\r\n",
                  "then": "226 Done\r\n"}, **data)]


def store(**data):
    return [{"expect": "PORT *", "reply": "200 Port ok\r\n"},
            {"expect": "TYPE I", "reply": "200 Type set\r\n"},
            dict({"expect": "STOR a.txt", "reply": "150 Go\r\n", "data": "receive", "then": "226 Stored\r\n"}, **data),
            {"expect": "QUIT", "reply": "221 Bye\r\n"}]


def main():
    with suite.Session() as s:
        d = s.driver
        paths = links.make_tree(os.path.join(s.tmp, "src"))[:1]
        certs = os.path.join(s.tmp, "certs")
        os.makedirs(certs)
        trusted = tls_certs.make_certificate(certs, "localhost")
        tls_certs.trust(trusted)
        other = tls_certs.issue(certs, "localhost", trusted, stem="other")  # trusted through its chain
        os.makedirs(os.path.join(certs, "untrusted"))
        untrusted = tls_certs.make_certificate(os.path.join(certs, "untrusted"), "localhost")
        spec = {c: {"cert": c.certfile, "key": c.keyfile} for c in (trusted, other, untrusted)}

        # (case, the box's stored certificate, the script, the exit code,
        # the failure shown before the files not sent, or None)
        cases = [
            ("an untrusted certificate on the data connection of a trusted server", None,
             secured(spec[trusted]) + listing(data_tls=spec[untrusted]), 1, OTHER_CERTIFICATE),
            ("a trusted certificate on the data connection, but not the one the user trusted", untrusted,
             secured(spec[untrusted]) + listing(data_tls=spec[trusted]), 1, OTHER_CERTIFICATE),
            ("the server gives up on the data connection: 425 before STOR", None,
             secured(spec[trusted]) + [{"expect": "PORT *", "reply": "200 Port ok\r\n"},
                                       {"expect": "LIST", "reply": "150 Here\r\n",
                                        "then": "425 Can't open data connection\r\n"}],
             1, DATA_FAILED + "425 Can't open data connection"),
            ("TLS: another host reaches the data port first", None,
             secured(spec[trusted]) + listing(impostor=True) + store(impostor=True), 0, None),
            ("plain: another host reaches the data port first", None,
             [{"reply": "220 Ready\r\n"}, {"expect": "USER ann", "reply": "331 Password\r\n"},
              {"expect": "PASS pw", "reply": "230 In\r\n"}] + store(impostor=True), 0, None),
        ]
        for name, stored, script, code, said in cases:
            with t.case(name):
                with ScriptedFtpServer(script) as srv:
                    box = boxes.make_box(d, s.tmp, "Data", host="localhost", port=srv.port, user="ann",
                                         password="pw", transfer_type=1, tls=int("tls" in script[1]),
                                         certificate=stored.fingerprint if stored else None)
                    try:
                        with EngineRun(d, box, boxes.path_list(paths)) as run:
                            if said:
                                shown = run.message_box()
                                t.check(shown.text.startswith(said), "failure: %r" % shown.text)
                                t.check(shown.text.endswith(not_sent_text(paths)), "not sent: %r" % shown.text)
                                d.answer("ok", box=shown)
                            t.eq(run.exit_code(), code)
                        srv.wait(10)
                        t.eq(srv.errors, [])
                        stors = [c for c in srv.commands if c.startswith("STOR")]
                        t.eq(stors, ["STOR a.txt"] if code == 0 else [], "STOR only once the data connection works")
                        kept = [x["data"] for x in srv.transfers if x["kind"] == "receive"]
                        t.eq(kept, [links.TREE["a.txt"]] if code == 0 else [])
                        t.eq([x["bytes"] for x in srv.transfers if x["kind"] == "impostor"],
                             [0] * sum(1 for step in script if step.get("impostor")), "the other host got nothing")
                    finally:
                        box.delete(d)
    return t.finish()


if __name__ == "__main__":
    sys.exit(main())
