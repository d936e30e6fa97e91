"""Per-run TLS server certificates for tests, and trust in them under Wine.

    cert = tls_certs.make_certificate(folder, "localhost")
    context.load_cert_chain(cert.certfile, cert.keyfile)   # a Python TLS server
    tls_certs.trust(cert)   # now the Wine prefix's chain check accepts it

The certificates are self-signed: trusting one makes it its own root.
issue() makes chains below one of them.
"""
import collections
import hashlib
import os
import ssl
import subprocess

import suite

Certificate = collections.namedtuple("Certificate", "name certfile keyfile derfile fingerprint")


def make_certificate(folder, name, days=2):
    """A new key and self-signed certificate for the host name, in folder.
    fingerprint is its SHA-256 as the suite shows it (AB:CD:...)."""
    os.makedirs(folder, exist_ok=True)
    base = os.path.join(folder, name)
    certfile, keyfile, derfile = base + ".crt", base + ".key", base + ".der"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", str(days),
                    "-subj", "/O=Suite test/CN=%s" % name, "-addext", "subjectAltName=DNS:%s" % name,
                    "-addext", "extendedKeyUsage=serverAuth", "-keyout", keyfile, "-out", certfile],
                   check=True, capture_output=True)
    with open(certfile) as f:
        der = ssl.PEM_cert_to_DER_cert(f.read())
    with open(derfile, "wb") as f:
        f.write(der)
    fingerprint = ":".join("%02X" % b for b in hashlib.sha256(der).digest())
    return Certificate(name, certfile, keyfile, derfile, fingerprint)


def issue(folder, name, issuer, ca=False, sent_with=(), stem=None):
    """A certificate for name signed by issuer (a Certificate), with a CA's
    basic constraints or an end entity's, in files named stem (else name).
    certfile holds it followed by the certificates in sent_with: the chain
    a server presents."""
    base = os.path.join(folder, stem or name)
    certfile, keyfile, derfile, ext = base + ".crt", base + ".key", base + ".der", base + ".ext"
    with open(ext, "w") as f:
        f.write("basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,digitalSignature\n" if ca else
                "basicConstraints=CA:FALSE\nsubjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\n" % name)
    subprocess.run(["openssl", "req", "-new", "-newkey", "rsa:2048", "-nodes", "-subj", "/O=Suite test/CN=%s" % name,
                    "-keyout", keyfile, "-out", base + ".csr"], check=True, capture_output=True)
    subprocess.run(["openssl", "x509", "-req", "-in", base + ".csr", "-CA", issuer.certfile, "-CAkey", issuer.keyfile,
                    "-set_serial", str(int.from_bytes(os.urandom(8), "big")), "-days", "2", "-extfile", ext,
                    "-outform", "DER", "-out", derfile], check=True, capture_output=True)
    with open(derfile, "rb") as f:
        der = f.read()
    with open(certfile, "w") as f:
        f.write(ssl.DER_cert_to_PEM_cert(der))
        for other in sent_with:
            with open(other.derfile, "rb") as g:
                f.write(ssl.DER_cert_to_PEM_cert(g.read()))
    fingerprint = ":".join("%02X" % b for b in hashlib.sha256(der).digest())
    return Certificate(name, certfile, keyfile, derfile, fingerprint)


def scripted(certificate, **more):
    """The certificate as the scripted server's "tls" step takes it."""
    return dict({"cert": certificate.certfile, "key": certificate.keyfile}, **more)


def trust(certificate):
    """Adds the certificate to the trusted roots of the run's Wine prefix.
    Programs started afterwards see it; one already running may not."""
    helper = suite.win64_bin("tests", "tls_trust_root.exe")
    proc = suite.run_program(helper, suite.win_path(certificate.derfile))
    if proc.returncode != 0:
        raise RuntimeError("tls_trust_root failed: %s%s" % (proc.stdout, proc.stderr))
