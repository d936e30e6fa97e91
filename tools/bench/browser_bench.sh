#!/usr/bin/env bash
# Times the remote browser under Wine on a folder of 2,000 entries served by
# pyftpdlib: from SndMgr's start until every row shows, first from the
# listing and then, reopened, from the cache; in the server's default order
# and sorted; beside the server's own time to send the listing. With
# BENCH_BEFORE naming an earlier SndMgr.exe, that one is timed too, in the
# same run. A measurement, not a test.
#   [BENCH_BEFORE=old/SndMgr.exe] tools/bench/browser_bench.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
bash tools/setup.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 --target SndMgr suite_driver >/dev/null
export SUITE_WINE_RUN_DIR="$PWD/out/bench/wine-browser"
export SUITE_WIN64_DIR="$PWD/build/win64" SUITE_SOURCE_DIR="$PWD"
trap 'tools/wine/winerun.sh down >/dev/null 2>&1 || true' EXIT
tools/wine/winerun.sh up >/dev/null
programs=()
[ -n "${BENCH_BEFORE:-}" ] && programs+=(before "$(realpath "$BENCH_BEFORE")")
programs+=(now "$PWD/build/win64/bin/SndMgr.exe")
tools/wine/winerun.sh script 1800 /usr/bin/python3 tools/bench/browser_bench.py "${programs[@]}"
