#!/usr/bin/env bash
# The main job: install what is needed, build, and upload a sample folder
# through a box "Demo" to a local FTP server that this script starts.
# Output (server files, screenshot) goes to out/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j"$(nproc 2>/dev/null || echo 2)" --target Sendora

export SUITE_WINE_RUN_DIR="$PWD/out/demo/wine"
export SUITE_WIN64_DIR="$PWD/build/win64"
export SUITE_SOURCE_DIR="$PWD"
# On a desktop, show the window there; otherwise the runner starts Xvfb.
if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ] && xdpyinfo >/dev/null 2>&1; then
  export SUITE_WINE_DISPLAY="$DISPLAY"
fi
trap 'tools/wine/winerun.sh down >/dev/null 2>&1 || true' EXIT
tools/wine/winerun.sh up
tools/wine/winerun.sh script 300 /usr/bin/python3 tools/demo.py "$PWD/out/demo"
