"""Passive mode end to end under Wine: a box with "Passive" 1 uploads and
downloads byte for byte through pyftpdlib and vsftpd with PASV and never a
PORT; behind a server that refuses PORT, as a router leaves a client, the
active box fails and the passive one is served; a 227 reply that cannot be
read and a passive port nobody answers fail that transfer with the messages
of old."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import links  # noqa: E402
from links import EngineRun, boxes, failure_box, not_sent_text, suite  # noqa: E402
from scripted_ftpd import ScriptedFtpServer, listing, login  # noqa: E402
from vsftpd import Vsftpd  # noqa: E402

NO_DATA_CHANNEL = "Unable to establish a data channel to the FTP host"

t = suite.Tests()


def verbs(commands):
    return [c.split(" ", 1)[0].upper() for c in commands]


def main():
    with suite.Session() as s:
        d = s.driver
        paths = links.make_tree(os.path.join(s.tmp, "src"))

        with t.case("pyftpdlib: a passive box sends files and folders byte for byte, with PASV and no PORT"):
            srv = s.ftp_server(user="ann", password="pw")
            t.eq(links.upload(d, s, "Passive", srv.port, paths, passive=1), 0, "exit code")
            t.eq(links.tree_in(srv.home), links.SENT)
            t.eq(verbs(srv.commands()).count("PASV"), len(links.SENT))
            t.check("PORT" not in verbs(srv.commands()), "no PORT")

        root = os.path.join(s.tmp, "anon")
        os.makedirs(os.path.join(root, "up"))
        os.chmod(os.path.join(root, "up"), 0o777)

        with t.case("vsftpd: the same"):
            with Vsftpd(root, writable=True) as srv:
                code = links.upload(d, s, "Passive", srv.port, paths, user="anonymous", password="guest@",
                                    directory="up", passive=1)
                t.eq(code, 0, "exit code")
                t.eq(links.tree_in(os.path.join(root, "up")), links.SENT)
                t.check("PASV" in srv.commands() and not any(c.startswith("PORT") for c in srv.commands()),
                        "PASV and no PORT")

        with t.case("a server that refuses PORT fails the active box and serves the passive one"):
            refused = os.path.join(root, "refused")
            os.makedirs(refused)
            os.chmod(refused, 0o777)
            with Vsftpd(root, writable=True, options={"port_enable": "NO"}) as srv:
                box = boxes.make_box(d, s.tmp, "Active", port=srv.port, user="anonymous", password="guest@",
                                     directory="refused", transfer_type=1)
                try:
                    with EngineRun(d, box, boxes.path_list(paths[:1])) as run:
                        failure_box(t, run, not_sent_text(paths[:1]) + "\r\n\r\n550 Permission denied.")
                finally:
                    box.delete(d)
                t.eq(os.listdir(refused), [], "nothing arrived")
                t.eq(links.upload(d, s, "Passive", srv.port, paths[:1], user="anonymous", password="guest@",
                                  directory="refused", passive=1), 0, "passive exit code")
                t.eq(links.tree_in(refused), {"a.txt": links.SENT["a.txt"]})

        target = os.path.join(s.tmp, "in")
        os.makedirs(target)
        with t.case("the browser lists and downloads in passive mode from pyftpdlib and vsftpd"):
            served = os.path.join(s.tmp, "served")
            links.make_tree(served)
            srv = s.ftp_server(user="ann", password="pw", home=served)
            with Vsftpd(served) as vs:
                for kind, port, user in (("pyftpdlib", srv.port, "ann"), ("vsftpd", vs.port, "anonymous")):
                    for name in ("a.txt", "b.bin"):
                        if os.path.exists(os.path.join(target, name)):
                            os.remove(os.path.join(target, name))
                    key = links.set_box(d, "Down", port, target, user=user, Passive=1)
                    b = links.Browser(d, os.path.join(s.tmp, kind), "Down")
                    try:
                        t.check(b.wait_names(["a.txt", "b.bin", "tree"]), kind + ": listed")
                        t.check(b.download(["a.txt", "b.bin"], target), kind + ": downloaded")
                    finally:
                        t.eq(b.close(), 0, kind + ": exit code")
                        d.reg_delete_key(key)
                    t.eq(links.tree_in(target, ("a.txt", "b.bin")), {n: links.SENT[n] for n in ("a.txt", "b.bin")},
                         kind)
                t.check("PASV" in vs.commands() and not any(c.startswith("PORT") for c in vs.commands()),
                        "vsftpd: PASV and no PORT")
            t.check("PASV" in srv.commands() and "PORT" not in verbs(srv.commands()), "pyftpdlib: PASV and no PORT")

        # The engine's PASV follows its PORT's place: before TYPE and STOR.
        # (the reply, the case, whether the reply is the reason shown)
        for reply, what, why in (("227 Entering Passive Mode (127,0,0,1,999,1).\r\n", "a number past a byte", True),
                                 ("227 Entering Passive Mode.\r\n", "no numbers", True),
                                 ("227 Entering Passive Mode (127,0,0,1,0,1).\r\n", "nobody at the port", False)):
            with t.case("engine: %s in the 227 reply ends the run before STOR" % what):
                srv = ScriptedFtpServer(login() + [{"expect": "PASV", "reply": reply}]).start()
                box = boxes.make_box(d, s.tmp, "Hostile", port=srv.port, user="ann", password="pw", passive=1)
                try:
                    with EngineRun(d, box, boxes.path_list(paths[:2])) as run:
                        failure_box(t, run, not_sent_text(paths[:2]) + ("\r\n\r\n" + reply.strip() if why else ""))
                finally:
                    box.delete(d)
                    srv.wait(10)
                    srv.close()
                t.eq(srv.commands, ["USER ann", "PASS pw", "PASV"])

            with t.case("browser: %s in the 227 reply fails the listing, which is never asked for" % what):
                srv = ScriptedFtpServer(login() + [{"expect": "TYPE A", "reply": "200 Type set\r\n"},
                                                   {"expect": "PASV", "reply": reply}]).start()
                key = links.set_box(d, "Hostile", srv.port, target, Passive=1)
                b = links.Browser(d, os.path.join(s.tmp, "hostile"), "Hostile")
                try:
                    box = b.message()
                    t.eq((box.text, box.icon), (NO_DATA_CHANNEL, "warning"))
                    d.answer("ok", box=box)
                finally:
                    t.eq(b.close(), 0, "exit code")
                    d.reg_delete_key(key)
                    srv.wait(10)
                    srv.close()
                t.eq(srv.commands, ["USER ann", "PASS pw", "TYPE A", "PASV"])

    return t.finish()


if __name__ == "__main__":
    sys.exit(main())
