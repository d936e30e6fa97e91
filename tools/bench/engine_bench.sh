#!/usr/bin/env bash
# Times the engine under Wine against pyftpdlib: one 100 MB file, and a tree
# of 1,000 files of 4 KB in 20 folders; beside it, in the same run, curl for
# the file and lftp "mirror -R" for the tree (both in active mode), and the
# limit that one synchronous message per block sets here (the peer's time plus one
# cross-thread message per block and per display call, timed by a probe);
# then the engine again over both in passive mode and over TLS (a certificate
# for "localhost" made for the run and trusted in its prefix).
# With BENCH_BEFORE naming an earlier Sendora.exe, that one is timed on the
# same workloads in the same run. A measurement, not a test.
#   [BENCH_BEFORE=old/Sendora.exe] tools/bench/engine_bench.sh [SIZE-MB]
set -euo pipefail
cd "$(dirname "$0")/../.."
bash tools/setup.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 --target Sendora message_probe ftp_upload_bench tls_trust_root >/dev/null
export SUITE_WINE_RUN_DIR="$PWD/out/bench/wine"
export SUITE_WIN64_DIR="$PWD/build/win64" SUITE_SOURCE_DIR="$PWD"
trap 'tools/wine/winerun.sh down >/dev/null 2>&1 || true' EXIT
tools/wine/winerun.sh up >/dev/null
tools/wine/winerun.sh script 1800 /usr/bin/python3 tools/bench/engine_bench.py "$PWD/out/bench" "${1:-100}"
