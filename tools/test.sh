#!/usr/bin/env bash
# Installs what is needed, builds all three presets and runs every test:
# native (under the sanitizers), Windows-side and end-to-end (under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
for preset in win64 win32 native; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
done

# The Wine run of the test fixtures; stopped here too, whatever happens.
export SUITE_WINE_RUN_DIR="$PWD/build/native/wine-run"
trap 'tools/wine/winerun.sh down >/dev/null 2>&1 || true' EXIT

# The native tests side by side; then the Windows ones, one at a time as
# they share one Wine prefix, with the machine to themselves: their windows
# are driven in real time, so a script that fails is run once more (its
# first failure stays in the log).
status=0
ctest --test-dir build/native -L native -j2 --output-on-failure --timeout 900 || status=1
ctest --test-dir build/native -LE native --output-on-failure --timeout 900 --repeat until-pass:2 || status=1
exit $status
