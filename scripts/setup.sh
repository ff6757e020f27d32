#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need, by Debian package name. Quick when
# all is already there: apt is only asked when dpkg reports a package missing. Recommended
# packages come along on purpose: wine's Schannel needs libgnutls30, its windows need fonts.
#
# The 32-bit Windows tests run under wine32. A kernel with IA32 emulation runs it itself (a tiny
# i386 program tells); one without needs qemu's user-mode emulator behind binfmt_misc:
#   - qemu-user-static from the backports suite (bookworm's own 7.2 ignores MAP_FIXED_NOREPLACE,
#     and wine then cannot map its shared user data), from a sources file of its own that uses
#     the same archive and signing key as the system's own Debian sources;
#   - an i386 binfmt registration with the fix-binary flag, made before wine32 is installed (its
#     i386 install scripts run through it) and made again when the qemu binary has changed;
#   - the i386 architecture and wine32:i386.
# Everything comes from Debian's archive. Each step says what it did or that it had nothing to do.
#
# Environment: KUVO_WINE32=0 skips the 32-bit wine set-up (the demo does not need it);
# KUVO_I386=qemu sets qemu up even where the kernel runs i386 programs.
set -euo pipefail

PACKAGES=(
  cmake ninja-build ccache g++ clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  protobuf-compiler libprotobuf-dev libcurl4-openssl-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine64 libgnutls30 fonts-wine xvfb xauth
  dpkg-dev ca-certificates openssl python3 tinyproxy
)
WINE32_PACKAGES=(wine32:i386)

log() { printf '[setup] %s\n' "$*"; }
die() { printf '[setup] error: %s\n' "$*" >&2; exit 1; }

SUDO=()
[ "$(id -u)" -eq 0 ] || SUDO=(sudo)
export DEBIAN_FRONTEND=noninteractive

# Installed for the machine's own architecture (or for all), or for the one a name gives
# ("wine32:i386"): once i386 is enabled, dpkg answers for both copies of a multi-arch library.
NATIVE_ARCH=$(dpkg --print-architecture)
installed() {
  local arch=${1#*:}
  [ "$arch" != "$1" ] || arch="$NATIVE_ARCH|all"
  local status
  status=$(dpkg-query -W -f='${db:Status-Status} ${Architecture}\n' "$1" 2>/dev/null || true)
  grep -Eq "^installed ($arch)\$" <<<"$status"
}
missing_of() { local p; for p in "$@"; do installed "$p" || echo "$p"; done; }

apt_updated=0
apt_update() { "${SUDO[@]}" apt-get update -qq; apt_updated=1; }
apt_install() { # [apt-get options...] -- packages...
  local opts=()
  while [ "$1" != -- ]; do opts+=("$1"); shift; done
  shift
  [ "$apt_updated" -eq 1 ] || apt_update
  "${SUDO[@]}" apt-get install -y -qq "${opts[@]}" "$@" </dev/null
}

# --- the packages of the native build ---------------------------------------------------------
mapfile -t missing < <(missing_of "${PACKAGES[@]}")
if [ ${#missing[@]} -eq 0 ]; then
  log "all packages present"
else
  log "installing: ${missing[*]}"
  apt_install -- "${missing[@]}"
fi

[ "${KUVO_WINE32:-1}" != 0 ] || { log "32-bit wine skipped (KUVO_WINE32=0)"; exit 0; }

# --- i386 programs: run by the kernel itself, or through qemu --------------------------------
BINFMT=/proc/sys/fs/binfmt_misc
ENTRY=$BINFMT/qemu-i386
# The binary's identity when it was registered by this script (see setup_qemu_i386).
STAMP=/run/kuvo-binfmt-qemu-i386

# A 93-byte static i386 program that only exits with 0, run with the qemu-i386 entry (if any)
# switched off for the moment: kernels with IA32 emulation run it, others refuse it.
native_i386() {
  local probe was_enabled=0 ok=1
  probe=$(mktemp "${TMPDIR:-/tmp}/kuvo-i386-probe.XXXXXX") || return 1
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod 755 "$probe"
  if [ -e "$ENTRY" ] && grep -qx enabled "$ENTRY"; then
    was_enabled=1
    echo 0 | "${SUDO[@]}" tee "$ENTRY" >/dev/null
  fi
  if "$probe" >/dev/null 2>&1; then ok=0; fi
  if [ "$was_enabled" -eq 1 ]; then echo 1 | "${SUDO[@]}" tee "$ENTRY" >/dev/null; fi
  rm -f "$probe"
  return "$ok"
}

CODENAME=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
BACKPORTS=$CODENAME-backports
BACKPORTS_LIST=/etc/apt/sources.list.d/kuvo-backports.sources

# URIs and Signed-By of the deb822 stanza that carries the release suite itself.
system_archive() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && [ "$f" != "$BACKPORTS_LIST" ] || continue
    awk -v suite="$CODENAME" '
      function flush() {
        if (deb && has && uris != "") { print uris "\t" key; found = 1; exit }
        deb = 0; has = 0; uris = ""; key = ""
      }
      /^[[:space:]]*$/ { flush(); next }
      /^Types:/ { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1 }
      /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite) has = 1 }
      /^URIs:/ { uris = $2 }
      /^Signed-By:/ { key = $2 }
      END { if (!found) flush() }
    ' "$f"
  done | head -n1
  # One-line sources: "deb [signed-by=KEY] URI SUITE COMPONENTS".
  if [ -f /etc/apt/sources.list ]; then
    awk -v suite="$CODENAME" '$1 == "deb" {
        key = ""; i = 2
        if ($2 ~ /^\[/) { for (; i <= NF; i++) { if ($i ~ /signed-by=/) { key = $i; sub(/.*signed-by=/, "", key); sub(/\].*/, "", key) } if ($i ~ /\]$/) break } i++ }
        if ($(i + 1) == suite) { print $i "\t" key; exit }
      }' /etc/apt/sources.list
  fi
}

# Backports suite, qemu-user-static from it, and the i386 binfmt registration, each only when
# missing.
setup_qemu_i386() {
  local uris key tmp qemu_version q QEMU qemu_id reason entry=$ENTRY
  # The backports suite.
  [ -n "$CODENAME" ] || die "no VERSION_CODENAME in /etc/os-release"
  if [ -f "$BACKPORTS_LIST" ]; then
    log "$BACKPORTS: already listed in $BACKPORTS_LIST"
  else
    IFS=$'\t' read -r uris key < <(system_archive | head -n1) || true
    [ -n "${uris:-}" ] || die "found no apt source for the '$CODENAME' suite to take the archive from"
    key=${key:-/usr/share/keyrings/debian-archive-keyring.gpg}
    tmp=$(mktemp)
    printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
      "$uris" "$BACKPORTS" "$key" >"$tmp"
    "${SUDO[@]}" install -m 644 "$tmp" "$BACKPORTS_LIST"
    rm -f "$tmp"
    log "$BACKPORTS: added $BACKPORTS_LIST ($uris, key $key)"
    apt_update
  fi

  # qemu-user-static from backports: bookworm's own (7.x) does not run wine, so anything older
  # than 8 counts as missing.
  qemu_version=$(dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null || true)
  if installed qemu-user-static && dpkg --compare-versions "${qemu_version#*:}" ge 8; then
    log "qemu-user-static $qemu_version already installed"
  else
    log "installing qemu-user-static from $BACKPORTS${qemu_version:+ (replacing $qemu_version)}"
    apt_install -t "$BACKPORTS" -- qemu-user-static
    qemu_version=$(dpkg-query -W -f='${Version}' qemu-user-static)
    log "qemu-user-static $qemu_version installed"
  fi

  QEMU=""
  for q in /usr/bin/qemu-i386 /usr/bin/qemu-i386-static; do
    [ -x "$q" ] && { QEMU=$q; break; }
  done
  [ -n "$QEMU" ] || die "qemu-user-static installed no qemu-i386 binary"

  # The i386 binfmt registration.
  if [ ! -e "$BINFMT/register" ]; then
    "${SUDO[@]}" mount -t binfmt_misc binfmt_misc "$BINFMT" || die "cannot mount binfmt_misc on $BINFMT"
    log "mounted binfmt_misc on $BINFMT"
  fi
  # With the F flag the kernel keeps the binary it opened at registration; after an upgrade that
  # is the old, deleted file. The stamp names the binary's identity at registration time; it lives
  # below /run, which, like the registration, does not survive a reboot.
  qemu_id=$(stat -L -c '%d:%i:%s:%Y' "$QEMU")
  reason=""
  if [ ! -e "$entry" ]; then
    reason="not registered"
  elif ! grep -qx 'enabled' "$entry"; then
    reason="registered but disabled"
  elif ! grep -qx "interpreter $QEMU" "$entry"; then
    reason="registered with another interpreter"
  elif ! grep -q '^flags:.*F' "$entry"; then
    reason="registered without the fix-binary flag"
  elif [ "$(cat "$STAMP" 2>/dev/null || true)" != "$qemu_id" ]; then
    reason="$QEMU changed since it was registered"
  fi
  if [ -z "$reason" ]; then
    log "i386 binfmt: registered with $QEMU"
  else
    [ -e "$entry" ] && echo -1 | "${SUDO[@]}" tee "$entry" >/dev/null
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$QEMU"':F' |
      "${SUDO[@]}" tee "$BINFMT/register" >/dev/null || die "i386 binfmt registration refused"
    echo "$qemu_id" | "${SUDO[@]}" tee "$STAMP" >/dev/null
    log "i386 binfmt: registered $QEMU with the fix-binary flag ($reason)"
  fi
}

if [ "${KUVO_I386:-auto}" != qemu ] && native_i386; then
  log "i386 programs: the kernel runs them itself, no qemu needed"
  # A registration this script made earlier would still send them through qemu.
  if [ -f "$STAMP" ] && [ -e "$ENTRY" ]; then
    echo -1 | "${SUDO[@]}" tee "$ENTRY" >/dev/null
    "${SUDO[@]}" rm -f "$STAMP"
    log "i386 binfmt: removed the qemu-i386 registration made earlier"
  fi
else
  if [ "${KUVO_I386:-auto}" = qemu ]; then
    log "i386 programs: through qemu (KUVO_I386=qemu)"
  else
    log "i386 programs: the kernel does not run them, setting up qemu"
  fi
  setup_qemu_i386
fi

# --- the i386 architecture and wine32 ---------------------------------------------------------
if dpkg --print-foreign-architectures | grep -qx i386; then
  log "i386 architecture already enabled"
else
  "${SUDO[@]}" dpkg --add-architecture i386
  log "enabled the i386 architecture"
  apt_update
fi

mapfile -t missing < <(missing_of "${WINE32_PACKAGES[@]}")
if [ ${#missing[@]} -eq 0 ]; then
  log "wine32 already installed"
else
  log "installing: ${missing[*]} (amd64 libraries it shares are upgraded to the same versions)"
  apt_install -- "${missing[@]}"
fi
[ -x /usr/lib/wine/wine ] || die "wine32 installed no /usr/lib/wine/wine"
