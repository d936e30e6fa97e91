#!/usr/bin/env bash
# check_programs.sh WIN32_BIN WIN64_BIN
# Every program is a Windows GUI executable of its target's machine type and
# imports no MinGW runtime DLL nor one of the libraries SFTP is built from
# (the suite is copied around as single files).
set -u
win32=$1 win64=$2
fail=0
for prog in Sendora SndMgr FtchMgr FTP_FN; do
  for pair in "$win32:PE32 executable (GUI) Intel 80386" "$win64:PE32+ executable (GUI) x86-64"; do
    dir=${pair%%:*} want=${pair#*:}
    exe=$dir/$prog.exe
    if [ ! -f "$exe" ]; then echo "missing: $exe"; fail=1; continue; fi
    desc=$(file -b "$exe")
    case "$desc" in
      "$want"*) ;;
      *) echo "$exe: '$desc', expected '$want'"; fail=1 ;;
    esac
    dlls=$(objdump -p "$exe" | awk '/DLL Name:/ {print tolower($3)}')
    if echo "$dlls" | grep -Eq 'libstdc|libgcc|libwinpthread|mingw|libssh|libgcrypt|libgpg-error'; then
      echo "$exe imports a DLL it must carry inside:"; echo "$dlls"; fail=1
    fi
  done
done
[ $fail -eq 0 ] && echo "all programs are static Windows GUI executables"
exit $fail
