#!/usr/bin/env bash
# Runs a Windows test program under wine in a throw-away WINEPREFIX, one per build folder: x86_64
# programs with the 64-bit loader in a win64 prefix, i686 programs with the 32-bit loader (wine32,
# which runs under qemu's user-mode emulator on kernels without i386 support) in a win32 prefix.
#
#   wine-run.sh PROGRAM.exe [ARGS...]     run it; exit status is the program's
#   wine-run.sh --session-start BUILDDIR [win32|win64]
#                                         make the prefix, start a shared wineserver and, when no
#                                         DISPLAY is set, an Xvfb server for the whole test run
#   wine-run.sh --session-stop BUILDDIR [win32|win64]
#                                         end the wine processes and the Xvfb server again
#
# The build folder of a program is the nearest parent holding CMakeCache.txt; the prefix is
# BUILDDIR/wineprefix (KUVO_WINEPREFIX overrides it); the session's display is noted beside it.
# The user's own WINEPREFIX is never used: the tests write to the registry. A program's
# architecture is read from its PE header; a build folder's is given to the session commands or
# read from its cache.
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

# PE machine field: 0x14c i386, 0x8664 x86-64.
pe_arch() {
  local off machine
  off=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$off" ] || return 1
  machine=$(od -An -t x2 -j $((off + 4)) -N 2 "$1" 2>/dev/null | tr -d ' ')
  case "$machine" in 14c | 014c) echo win32 ;; 8664) echo win64 ;; *) return 1 ;; esac
}

# A build folder's architecture: as its test set-up names it, else the toolchain or compiler its
# cache names.
cache_arch() {
  local names
  names=$(sed -n 's/^CMAKE_\(SYSTEM_PROCESSOR\|TOOLCHAIN_FILE\|CXX_COMPILER\):[A-Z]*=//p' \
    "$1/CMakeCache.txt" 2>/dev/null || true)
  if grep -Eq '(^|[/_-])(i[3-6]86)([._-]|$)' <<<"$names"; then echo win32; else echo win64; fi
}

# The loader for the architecture; one native wineserver serves both (it is not emulated).
use_arch() {
  export WINEARCH=$1
  if [ "$WINEARCH" = win32 ]; then
    WINE=$(pick /usr/lib/wine/wine) ||
      die "wine32 not found (scripts/setup.sh installs it: qemu-user-static, binfmt, wine32:i386)"
  else
    WINE=$(pick /usr/lib/wine/wine64 wine64) || die "wine64 not found (apt-get install wine64)"
  fi
  WINESERVER=$(pick /usr/lib/wine/wineserver64 wineserver64 /usr/lib/wine/wineserver wineserver) ||
    die "wineserver not found"
  export WINESERVER
}

export WINEDEBUG=-all
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
  # Kept with the prefix: a program built elsewhere but run in this prefix (KUVO_WINEPREFIX, as
  # the kit test does) shares the session's display, so no wine process of the run starts
  # without one.
  SESSION_FILE=$WINEPREFIX.session
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
    echo "$WINEARCH" >"$WINEPREFIX/.kuvo-ready"
  fi
  # The marker names the prefix's architecture (empty: an older win64 prefix).
  local made
  made=$(cat "$WINEPREFIX/.kuvo-ready")
  [ "${made:-win64}" = "$WINEARCH" ] || die "$WINEPREFIX is a ${made:-win64} prefix, not $WINEARCH"
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
  use_arch "${2:-$(cache_arch "$BUILD_DIR")}"
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
  # --session-stop. Its output must not hold ctest's pipe open. A server already up for this
  # prefix (a repeated start) makes it fail, and is used as it is.
  "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
  # Start wine's own services now, detached from any test's output. There is no window manager
  # on the test display: wine's X11 driver would wait 2 s for one on each hide of a managed
  # window, so top-level windows are left unmanaged.
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    </dev/null >/dev/null 2>&1 || true
  # A program that crashes gets wine's debugger, which would show its crash dialog on the test
  # display and wait there for a click until the test times out; it prints the backtrace instead.
  "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    </dev/null >/dev/null 2>&1 || true
  echo "wine prefix $WINEPREFIX${DISPLAY:+, display $DISPLAY}"
}

session_stop() {
  use_build_dir "$(cd "$1" && pwd)"
  use_arch "${2:-$(cache_arch "$BUILD_DIR")}"
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
  --session-start | --session-stop)
    [ $# -ge 2 ] && [ $# -le 3 ] || die "usage: $0 $1 BUILDDIR [win32|win64]"
    case "${3:-win64}" in win32 | win64) ;; *) die "unknown architecture '$3'" ;; esac
    if [ "$1" = --session-start ]; then session_start "$2" ${3:+"$3"}; else session_stop "$2" ${3:+"$3"}; fi
    ;;
  "" | -*) die "usage: $0 PROGRAM.exe [ARGS...]" ;;
  *)
    program=$1
    shift
    [ -f "$program" ] || die "no such program: $program"
    use_build_dir "$(build_dir_of "$program")"
    use_arch "$(pe_arch "$program" || cache_arch "$BUILD_DIR")"
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
