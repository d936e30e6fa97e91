#!/usr/bin/env bash
# Uploads one file of SIZE MB (default 100) to pyftpdlib on loopback, first
# with the FTP core (ftp_upload_bench) and then with curl in active mode, and
# prints both times and their ratio. A measurement, not a test: nothing here
# passes or fails on time.
#   tools/bench/ftp_core_bench.sh [SIZE-MB]
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BENCH=${FTP_UPLOAD_BENCH:-$ROOT/build/native/bin/ftp_upload_bench}
MB=${1:-100}
if [ ! -x "$BENCH" ]; then
  echo "no $BENCH: cmake --build --preset native --target ftp_upload_bench" >&2
  exit 1
fi

WORK=$(mktemp -d /tmp/ftp_core_bench.XXXXXX)
SERVER_PID=
cleanup() {
  exec 3>&- || true  # the server ends when its standard input closes
  [ -n "$SERVER_PID" ] && wait "$SERVER_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

mkdir "$WORK/root"
head -c $((MB * 1024 * 1024)) /dev/urandom >"$WORK/up.bin"

exec 3> >(exec /usr/bin/python3 "$ROOT/tests/ftp/pyftpd_server.py" --root "$WORK/root" \
  --user bench --password bench --port-file "$WORK/port")
SERVER_PID=$!
for _ in $(seq 100); do
  [ -s "$WORK/port" ] && break
  sleep 0.1
done
PORT=$(cat "$WORK/port")

now() { date +%s.%N; }
verdict() { cmp -s "$WORK/up.bin" "$WORK/root/$1" && echo "arrived whole" || echo "ARRIVED DIFFERENT"; }

t0=$(now)
"$BENCH" 127.0.0.1 "$PORT" bench bench "$WORK/up.bin" core.bin >"$WORK/core.out"
t1=$(now)
curl -sS -P - -T "$WORK/up.bin" --user bench:bench "ftp://127.0.0.1:$PORT/curl.bin"
t2=$(now)

awk -v mb="$MB" -v a="$t0" -v b="$t1" -v c="$t2" -v core="$(verdict core.bin)" -v curl="$(verdict curl.bin)" \
  -v blocks="$(cat "$WORK/core.out")" 'BEGIN {
    tc = b - a; tu = c - b
    printf "%d MB upload to pyftpdlib on 127.0.0.1\n", mb
    printf "  FTP core (1 KB progress blocks): %7.2f s  %7.1f MB/s  %s (%s)\n", tc, mb / tc, core, blocks
    printf "  curl -P - -T:                    %7.2f s  %7.1f MB/s  %s\n", tu, mb / tu, curl
    printf "  core time / curl time:           %7.2f   (core rate = %.2f of curl rate)\n", tc / tu, tu / tc
  }'
