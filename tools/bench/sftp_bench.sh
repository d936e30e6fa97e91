#!/usr/bin/env bash
# Times SFTP uploads of one SIZE MB file (default 100) to the tests' own sshd:
# natively the SFTP core against OpenSSH's sftp, then the engine under Wine
# beside the limit its progress messages set. A measurement, not a test.
#   tools/bench/sftp_bench.sh [SIZE-MB]
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target sftp_upload_bench >/dev/null
python3 tools/bench/sftp_bench.py "${1:-100}"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 --target Sendora message_probe sftp_upload_bench >/dev/null
mkdir -p out/bench
export SUITE_WINE_RUN_DIR="$PWD/out/bench/wine"
export SUITE_WIN64_DIR="$PWD/build/win64" SUITE_SOURCE_DIR="$PWD"
trap 'tools/wine/winerun.sh down >/dev/null 2>&1 || true' EXIT
tools/wine/winerun.sh up >/dev/null
tools/wine/winerun.sh script 1800 /usr/bin/python3 tools/bench/sftp_bench.py --engine "$PWD/out/bench" "${1:-100}"
