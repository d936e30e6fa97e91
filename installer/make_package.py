#!/usr/bin/env python3
"""Builds the installer package with wixl from the program files.

    make_package.py --wxs FtpSendora.wxs --version 1.0.0 --arch x64 \
        --out "FTP Sendora-1.0.0.msi" NAME=PATH ...

Each NAME=PATH puts the file PATH into the package's source folder as NAME
(wixl takes sources relative to its working folder only). wixl leaves the
File table's Version column empty, which would make Windows Installer treat
the programs as unversioned: an upgrade would then keep the older programs
on disk. So each program's version is read from its version resource and
written into the package afterwards with msibuild.
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile

FIXED_FILE_INFO_SIGNATURE = struct.pack("<I", 0xFEEF04BD)
VERSION_KEY = "VS_VERSION_INFO".encode("utf-16-le")


def file_version(path):
    """The FILEVERSION of a program's version resource, "a.b.c.d", or None."""
    with open(path, "rb") as f:
        data = f.read()
    key = data.find(VERSION_KEY)
    if key < 0:
        return None
    fixed = data.find(FIXED_FILE_INFO_SIGNATURE, key)
    if fixed < 0:
        return None
    ms, ls = struct.unpack_from("<II", data, fixed + 8)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--wxs", required=True)
    ap.add_argument("--version", required=True)
    ap.add_argument("--arch", required=True, choices=("x86", "x64"))
    ap.add_argument("--out", required=True)
    ap.add_argument("files", nargs="+", metavar="NAME=PATH")
    args = ap.parse_args()

    out = os.path.abspath(args.out)
    os.makedirs(os.path.dirname(out), exist_ok=True)
    stage = tempfile.mkdtemp(prefix="package-", dir=os.path.dirname(out))
    try:
        shutil.copy(args.wxs, os.path.join(stage, "package.wxs"))
        versions = {}
        for entry in args.files:
            name, path = entry.split("=", 1)
            shutil.copy(path, os.path.join(stage, name))
            if name.lower().endswith(".exe"):
                versions[name] = file_version(path)
                if versions[name] is None:
                    sys.exit("%s has no version resource" % path)
        built = os.path.join(stage, "package.msi")
        subprocess.run(["wixl", "-a", args.arch, "-D", "Version=" + args.version, "-o", built, "package.wxs"],
                       cwd=stage, check=True)
        # File ids are the file names (see the .wxs).
        queries = []
        for name, version in sorted(versions.items()):
            queries.append("UPDATE `File` SET `Version` = '%s' WHERE `File` = '%s'" % (version, name))
            # A hash is for unversioned files only; a versioned one is compared by its version.
            queries.append("DELETE FROM `MsiFileHash` WHERE `File_` = '%s'" % name)
        for query in queries:
            subprocess.run(["msibuild", built, "-q", query], check=True)
        os.replace(built, out)
    finally:
        shutil.rmtree(stage, ignore_errors=True)


if __name__ == "__main__":
    main()
