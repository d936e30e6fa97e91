#!/usr/bin/env python3
"""Both installer packages read back with msitools: the files, the shortcut
table (the very shortcuts that "SndMgr /i", "FtchMgr /i" and "FTP_FN /install"
place), the per-user scope and the entry in the list of installed programs;
and both trees' help files listed with chmls.

    package_check.py VERSION WIN32_TREE WIN64_TREE
"""

import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import suite  # noqa: E402

t = suite.Tests()

PROGRAMS = ("Sendora.exe", "SndMgr.exe", "FtchMgr.exe", "FTP_FN.exe")
HELP = ("sendora.chm", "Fetchora.chm")
# (folder, name, program, description); every one with the suite's folder as working directory.
SHORTCUTS = {
    ("StartMenuFolder", "CREATE NEW SENDORA", "SndMgr.exe", "Create New Sendora"),
    ("StartMenuFolder", "FTP FETCHORA MANAGER", "FtchMgr.exe", "FTP Fetchora Manager"),
    ("DesktopFolder", "FTP FANORA", "FTP_FN.exe", "FTP Fanora"),
    ("SendToFolder", "FTP FANORA", "FTP_FN.exe", "FTP Fanora"),
}


def table(msi, name):
    """Rows of a table as lists of columns (msiinfo export: names, types, key, rows)."""
    # Binary columns are written out as files below the current folder.
    with tempfile.TemporaryDirectory() as scratch:
        out = subprocess.run(["msiinfo", "export", os.path.abspath(msi), name], check=True, capture_output=True,
                             text=True, cwd=scratch).stdout
    return [line.split("\t") for line in out.splitlines()[3:] if line]


def icon_data(msi, key):
    """The bytes of an Icon table row, as msiinfo writes them out."""
    with tempfile.TemporaryDirectory() as scratch:
        subprocess.run(["msiinfo", "export", os.path.abspath(msi), "Icon"], check=True, capture_output=True,
                       cwd=scratch)
        with open(os.path.join(scratch, "Icon", "Icon." + key), "rb") as f:
            return f.read()


def summary(msi):
    out = subprocess.run(["msiinfo", "suminfo", msi], check=True, capture_output=True, text=True).stdout
    return dict(line.split(": ", 1) for line in out.splitlines() if ": " in line)


def check(tree, arch, version):
    msi = os.path.join(tree, "FTP Sendora-%s.msi" % version)
    if not t.check(os.path.exists(msi), "%s exists" % msi):
        return
    bin_dir = os.path.join(tree, "bin")
    with t.case("%s: the four programs with their version, and the two help files" % arch):
        files = {row[2]: row for row in table(msi, "File")}
        t.eq(sorted(files), sorted(PROGRAMS + HELP))
        for name in PROGRAMS:
            t.eq(files[name][4], version + ".0", name + " version")
        for name in PROGRAMS + HELP:
            t.eq(int(files[name][3]), os.path.getsize(os.path.join(bin_dir, name)), name + " size")
        components = {row[0]: row[2] for row in table(msi, "Component")}
        t.eq(set(components.values()), {"INSTALLDIR"})
    with t.case("%s: into %%LOCALAPPDATA%%\\Programs\\FTP Sendora, for the user alone" % arch):
        dirs = {row[0]: (row[1], row[2]) for row in table(msi, "Directory")}
        t.eq(dirs["INSTALLDIR"], ("UserPrograms", "FTP Sendora"))
        t.eq(dirs["UserPrograms"], ("LocalAppDataFolder", "Programs"))
        info = summary(msi)
        t.eq(info["Template"], ("x64" if arch == "win64" else "Intel") + ";1033")
        # Word count 2 (compressed) + 8 (no elevation); no ALLUSERS, so per user.
        t.eq(int(info["Source"].split()[0]), 10)
        props = {row[0]: row[1] for row in table(msi, "Property")}
        t.check("ALLUSERS" not in props and "MSIINSTALLPERUSER" not in props, "no all-users install: %s" % props)
    with t.case("%s: the suite's shortcuts, as its programs' install switches place them" % arch):
        # Not advertised: the target is the program's path, not a feature.
        got = {(r[1], r[2], r[4], r[6], r[11]) for r in table(msi, "Shortcut")}
        t.eq(got, {(folder, name, "[INSTALLDIR]" + program, desc, "INSTALLDIR")
                   for folder, name, program, desc in SHORTCUTS})
    with t.case("%s: an entry in the installed programs, upgrades and the box actions" % arch):
        props = {row[0]: row[1] for row in table(msi, "Property")}
        t.eq((props["ProductName"], props["ProductVersion"], props["Manufacturer"]),
             ("FTP Sendora", version, "FTP Sendora"))
        icons = {row[0] for row in table(msi, "Icon")}
        t.eq(icons, {props["ARPPRODUCTICON"]})
        with open(os.path.join(suite.SOURCE_DIR, "res", "art", "sendora.ico"), "rb") as f:
            t.check(icon_data(msi, props["ARPPRODUCTICON"]) == f.read(), "the suite's icon")
        t.eq(props["UpgradeCode"], "{CFE4828F-E061-464F-9371-D62DA406E49E}", "the same for every version")
        sequence = {row[0]: (row[1], int(row[2])) for row in table(msi, "InstallExecuteSequence")}
        t.check(sequence["RefreshBoxes"][1] > sequence["InstallFinalize"][1], "refresh after the new files")
        t.check(sequence["CostFinalize"][1] < sequence["RemoveBoxes"][1] < sequence["RemoveFiles"][1],
                "boxes removed once the folders are known, before the programs")
        t.check(sequence["RemoveExistingProducts"][1] > sequence["RefreshBoxes"][1],
                "the older version goes after the newer is in")
        actions = {row[0]: (int(row[1]), row[2], row[3]) for row in table(msi, "CustomAction")}
        for action in ("RefreshBoxes", "RemoveBoxes"):
            # 1: a function of a DLL in the Binary table; 64: its result does not fail the install.
            t.eq(actions[action], (65, "SuiteSetup", action))


def help_topics(project):
    """The [FILES] of a help project, and the topics its contents name."""
    with open(project) as f:
        text = f.read()
    files = [line.strip() for line in text.split("[FILES]", 1)[1].splitlines() if line.strip()]
    contents = os.path.join(os.path.dirname(project), os.path.splitext(os.path.basename(project))[0] + ".hhc")
    with open(contents) as f:
        named = re.findall(r'name="Local" value="([^"]+)"', f.read())
    return files, named


def check_help(tree, arch):
    for chm, project in (("sendora.chm", "sendora/sendora.hhp"), ("Fetchora.chm", "fetchora/Fetchora.hhp")):
        with t.case("%s: %s holds its contents and every topic" % (arch, chm)):
            out = subprocess.run(["chmls", "-n", "list", os.path.join(tree, "bin", chm)], check=True,
                                 capture_output=True, text=True).stdout
            listed = {line[1:] for line in out.splitlines() if line.startswith("/") and len(line) > 1}
            files, named = help_topics(os.path.join(suite.SOURCE_DIR, "docs", "help", project))
            t.eq(sorted(set(files + named) - listed), [], "missing from the help file")
            t.check(set(named) <= set(files), "every topic of the contents is in the project")
            t.check(os.path.splitext(chm)[0].lower() + ".hhc" in {n.lower() for n in listed}, "contents")


def main():
    version, win32, win64 = sys.argv[1:4]
    for tree, arch in ((win32, "win32"), (win64, "win64")):
        check(tree, arch, version)
        check_help(tree, arch)
    sys.exit(t.finish())


if __name__ == "__main__":
    main()
