#!/usr/bin/env bash
# One Wine environment per test run: a throwaway prefix, a private HOME and
# one Xvfb display, shared by every Windows test of the run.
#
#   winerun.sh up                       create the run (prefix, HOME, Xvfb)
#   winerun.sh down                     stop wineserver and Xvfb, remove the run
#   winerun.sh exec SECS PROG.exe ARGS  run a Windows program, killed after SECS
#   winerun.sh script SECS CMD ARGS     run a host command with the run's Wine
#                                       environment exported, killed after SECS
#   winerun.sh env                      print the environment as shell exports
#
# The run lives in $SUITE_WINE_RUN_DIR.
set -uo pipefail

RUN=${SUITE_WINE_RUN_DIR:?SUITE_WINE_RUN_DIR must name the run folder}
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64

wine_env() {
  export WINEPREFIX="$RUN/prefix"
  export WINEARCH=win64
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
  export HOME="$RUN/home"
  export XDG_CONFIG_HOME="$RUN/home/.config" XDG_DATA_HOME="$RUN/home/.local/share" XDG_CACHE_HOME="$RUN/home/.cache"
  export SUITE_WINE="$WINE" SUITE_WINESERVER="$WINESERVER" SUITE_WINE_RUN_DIR="$RUN"
  if [ -s "$RUN/display" ]; then
    export DISPLAY=":$(cat "$RUN/display")"
  else
    unset DISPLAY
  fi
}

stop_all() {
  wine_env
  if [ -d "$WINEPREFIX" ]; then
    timeout 20 "$WINESERVER" -k 2>/dev/null || true
  fi
  if [ -s "$RUN/xvfb.pid" ]; then
    kill "$(cat "$RUN/xvfb.pid")" 2>/dev/null || true
    rm -f "$RUN/xvfb.pid" "$RUN/display"
  fi
}

up() {
  stop_all
  rm -rf "$RUN"
  mkdir -p "$RUN/home" "$RUN/tmp"
  if [ -n "${SUITE_WINE_DISPLAY:-}" ]; then
    # A real display was asked for (the demo on a desktop): use it, start nothing.
    echo "${SUITE_WINE_DISPLAY#:}" >"$RUN/display"
  else
    # -displayfd lets Xvfb pick a free display number and tell us which.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$RUN/display" >"$RUN/xvfb.log" 2>&1 &
    echo $! >"$RUN/xvfb.pid"
    for _ in $(seq 100); do
      [ -s "$RUN/display" ] && break
      sleep 0.1
    done
    if [ ! -s "$RUN/display" ]; then
      echo "winerun: Xvfb did not start" >&2
      cat "$RUN/xvfb.log" >&2
      stop_all
      return 1
    fi
  fi
  # displayfd writes the number with a newline
  tr -dc '0-9.' <"$RUN/display" >"$RUN/display.tmp" && mv "$RUN/display.tmp" "$RUN/display"
  wine_env
  timeout 180 "$WINE" wineboot --init >"$RUN/wineboot.log" 2>&1 || {
    echo "winerun: wineboot failed" >&2; cat "$RUN/wineboot.log" >&2; stop_all; return 1; }
  # Without a window manager Wine stalls whenever a managed window hides.
  timeout 60 "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  timeout 60 "$WINESERVER" -w
  # Keep one wineserver for the whole run, started with the run's DISPLAY.
  "$WINESERVER" -p >/dev/null 2>&1 &
  echo "winerun: prefix ready on display $DISPLAY"
}

run_limited() {
  local secs=$1; shift
  # Wine starts its own services on demand, and they inherit our output: were
  # that a pipe (ctest's), its reader would wait for them for ever. So the
  # run writes to a file, which is shown afterwards.
  local log
  log=$(mktemp "$RUN/tmp/out.XXXXXX")
  timeout --kill-after=5 "$secs" "$@" >"$log" 2>&1 </dev/null
  local rc=$?
  cat "$log"
  rm -f "$log"
  if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
    echo "winerun: timed out after ${secs}s: $*" >&2
    # Whatever the test left behind in the prefix goes with it.
    timeout 20 "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -p >/dev/null 2>&1 &
  fi
  return $rc
}

cmd=${1:-}
shift || true
case "$cmd" in
  up) up ;;
  down) stop_all; rm -rf "$RUN" ;;
  exec)
    secs=$1; shift
    [ -d "$RUN/prefix" ] || { echo "winerun: no run in $RUN (run 'up' first)" >&2; exit 1; }
    wine_env
    run_limited "$secs" "$WINE" "$@"
    ;;
  script)
    secs=$1; shift
    [ -d "$RUN/prefix" ] || { echo "winerun: no run in $RUN (run 'up' first)" >&2; exit 1; }
    wine_env
    run_limited "$secs" "$@"
    ;;
  env) wine_env; export -p | grep -E ' (WINE|HOME|DISPLAY|XDG_|SUITE_)' ;;
  *) sed -n '2,15p' "$0"; exit 2 ;;
esac
