#!/usr/bin/env bash
# Runs a Windows test program under wine64 in a throw-away WINEPREFIX, one per build folder.
#
#   wine-run.sh PROGRAM.exe [ARGS...]     run it; exit status is the program's
#   wine-run.sh --session-start BUILDDIR  make the prefix, start a shared wineserver and, when no
#                                         DISPLAY is set, an Xvfb server for the whole test run
#   wine-run.sh --session-stop BUILDDIR   end the wine processes and the Xvfb server again
#
# The build folder of a program is the nearest parent holding CMakeCache.txt; the prefix is
# BUILDDIR/wineprefix (KUVO_WINEPREFIX overrides it). The user's own WINEPREFIX is never used:
# the tests write to the registry.
set -euo pipefail

die() { printf 'wine-run: %s\n' "$*" >&2; exit 125; }

pick() { # first executable among the arguments (paths or names on PATH)
  local c
  for c in "$@"; do
    if [ -x "$c" ]; then echo "$c"; return 0; fi
    if [[ $c != */* ]] && command -v "$c" >/dev/null 2>&1; then command -v "$c"; return 0; fi
  done
  return 1
}

WINE=$(pick /usr/lib/wine/wine64 wine64) || die "wine64 not found (apt-get install wine64)"
WINESERVER=$(pick /usr/lib/wine/wineserver64 wineserver64 /usr/lib/wine/wineserver wineserver) ||
  die "wineserver not found"
export WINESERVER
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko: nothing may be downloaded, and their install prompts would wait forever.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

build_dir_of() {
  local d
  d=$(cd "$(dirname "$1")" && pwd)
  local start=$d
  while [ "$d" != / ]; do
    [ -f "$d/CMakeCache.txt" ] && { echo "$d"; return; }
    d=$(dirname "$d")
  done
  echo "$start"
}

use_build_dir() {
  BUILD_DIR=$1
  export WINEPREFIX=${KUVO_WINEPREFIX:-$BUILD_DIR/wineprefix}
  SESSION_FILE=$BUILD_DIR/wine-session
}

# Creates the prefix once; concurrent callers wait on the lock and then reuse it.
ensure_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 8>"$WINEPREFIX.lock"
  flock 8
  if [ ! -f "$WINEPREFIX/.kuvo-ready" ]; then
    rm -rf "$WINEPREFIX"
    if ! "$WINE" wineboot --init </dev/null >"$WINEPREFIX.log" 2>&1; then
      cat "$WINEPREFIX.log" >&2
      die "could not create $WINEPREFIX"
    fi
    "$WINESERVER" -w
    touch "$WINEPREFIX/.kuvo-ready"
  fi
  flock -u 8
  exec 8>&-
}

# A display started by --session-start, if it is still alive.
adopt_session_display() {
  [ -z "${DISPLAY:-}" ] || return 0
  [ -f "$SESSION_FILE" ] || return 0
  local display pid
  read -r display pid <"$SESSION_FILE" || return 0
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    export DISPLAY=$display
  fi
}

session_start() {
  use_build_dir "$(cd "$1" && pwd)"
  ensure_prefix
  if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
    adopt_session_display
    if [ -z "${DISPLAY:-}" ]; then
      local fifo
      fifo=$(mktemp -u "$BUILD_DIR/.xvfb.XXXXXX")
      mkfifo "$fifo"
      # Detached and with no inherited output, so ctest does not wait for it to exit.
      setsid Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 \
        3>"$fifo" </dev/null >"$BUILD_DIR/xvfb.log" 2>&1 &
      local pid=$! number=""
      read -r -t 30 number <"$fifo" || true
      rm -f "$fifo"
      [ -n "$number" ] || { kill "$pid" 2>/dev/null; die "Xvfb did not start (see $BUILD_DIR/xvfb.log)"; }
      echo ":$number $pid" >"$SESSION_FILE"
      export DISPLAY=:$number
    fi
  fi
  # One server for all test programs of the run, so each start is fast; -p keeps it up until
  # --session-stop. Its output must not hold ctest's pipe open.
  "$WINESERVER" -p </dev/null >/dev/null 2>&1
  # Start wine's own services now, detached from any test's output.
  "$WINE" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
  echo "wine prefix $WINEPREFIX${DISPLAY:+, display $DISPLAY}"
}

session_stop() {
  use_build_dir "$(cd "$1" && pwd)"
  if [ -d "$WINEPREFIX" ]; then
    "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
  fi
  if [ -f "$SESSION_FILE" ]; then
    local display pid
    read -r display pid <"$SESSION_FILE" || true
    # Only the Xvfb this script started: the pid must still be an Xvfb process.
    if [ -n "${pid:-}" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then
      kill "$pid" 2>/dev/null || true
    fi
    rm -f "$SESSION_FILE"
  fi
}

case "${1:-}" in
  --session-start) [ $# -eq 2 ] || die "usage: $0 --session-start BUILDDIR"; session_start "$2" ;;
  --session-stop) [ $# -eq 2 ] || die "usage: $0 --session-stop BUILDDIR"; session_stop "$2" ;;
  "" | -*) die "usage: $0 PROGRAM.exe [ARGS...]" ;;
  *)
    program=$1
    shift
    [ -f "$program" ] || die "no such program: $program"
    use_build_dir "$(build_dir_of "$program")"
    ensure_prefix
    adopt_session_display
    # Wine may start helper processes (services, devices, the desktop) that outlive the
    # program and would inherit its output: ctest then waits for them. They get a file instead,
    # and it is copied to our output once the program is gone.
    out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
    trap 'cat "$out"; rm -f "$out"' EXIT
    trap 'exit 143' TERM INT
    status=0
    "$WINE" "$program" "$@" </dev/null >"$out" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
      # WINEDEBUG=-all hides wine's own errors; the status is then the only clue.
      echo "wine-run: $(basename "$program") exited with status $status" >>"$out"
    fi
    exit "$status"
    ;;
esac
