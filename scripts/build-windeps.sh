#!/usr/bin/env bash
# Cross-builds the Windows dependencies that Debian does not package for mingw (a static libcurl
# with Schannel, and a static libprotobuf) from Debian's own source packages, once per machine.
#
#   scripts/build-windeps.sh [i686|x86_64]...      (default: both)
#
# Result per architecture, outside the repository and keyed by the source versions:
#   $KUVO_WINDEPS_ROOT/<arch>/curl-<ver>-protobuf-<ver>/   include/, lib/, kuvo-windeps.cmake
#   $KUVO_WINDEPS_ROOT/<arch>/current -> the prefix above (what cmake/KuvoWinDeps.cmake reads)
# A prefix counts only once its kuvo-windeps.cmake exists; that file is written last.
set -euo pipefail

ROOT=${KUVO_WINDEPS_ROOT:-/var/cache/kuvo-windeps}
JOBS=${KUVO_JOBS:-2}
ARCHES=("$@")
[ ${#ARCHES[@]} -eq 0 ] && ARCHES=(i686 x86_64)

log() { printf '[windeps] %s\n' "$*"; }
die() { printf '[windeps] error: %s\n' "$*" >&2; exit 1; }

for a in "${ARCHES[@]}"; do
  case "$a" in i686 | x86_64) ;; *) die "unknown architecture '$a' (i686 or x86_64)" ;; esac
done

# The versions Debian's Linux packages were built from: the Windows side uses the same sources,
# and Debian's Linux protoc generates code for both, so its version must match libprotobuf.
source_version() { dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null || true; }
upstream() { local v=${1#*:}; echo "${v%-*}"; }

want_curl=$(source_version libcurl4-openssl-dev)
want_protobuf=$(source_version libprotobuf-dev)
[ -n "$want_curl" ] && [ -n "$want_protobuf" ] ||
  die "libcurl4-openssl-dev and libprotobuf-dev must be installed (scripts/setup.sh)"

prefix_done() { [ -f "$1/kuvo-windeps.cmake" ]; }

link_current() {
  local archdir=$1 name=$2
  ln -sfn "$name" "$archdir/current.tmp"
  mv -Tf "$archdir/current.tmp" "$archdir/current"
}

todo=()
for a in "${ARCHES[@]}"; do
  key="curl-${want_curl}-protobuf-${want_protobuf}"
  if prefix_done "$ROOT/$a/$key"; then
    link_current "$ROOT/$a" "$key"
    log "$a: cached at $ROOT/$a/$key"
  else
    todo+=("$a")
  fi
done
[ ${#todo[@]} -eq 0 ] && exit 0

mkdir -p "$ROOT"
# One builder at a time per machine; a second caller waits and then finds the cache filled.
exec 9>"$ROOT/.lock"
flock 9

# --- Debian sources --------------------------------------------------------------------------
add_deb_src() {
  local list=/etc/apt/sources.list.d/kuvo-deb-src.sources
  [ -f "$list" ] && return 0
  local tmp
  tmp=$(mktemp)
  # Mirror every deb822 "Types: deb" stanza (same URIs, suites, components, keys) as deb-src.
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    [ "$f" = "$list" ] && continue
    grep -q 'debian' "$f" || continue
    sed -e 's/^Types:.*$/Types: deb-src/' "$f" >>"$tmp"
    printf '\n' >>"$tmp"
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb[[:space:]]' /etc/apt/sources.list | grep debian |
      sed -e 's/^deb[[:space:]]/deb-src /' >"${tmp}.list" || true
    if [ -s "${tmp}.list" ]; then
      install -m 644 "${tmp}.list" /etc/apt/sources.list.d/kuvo-deb-src.list
    fi
    rm -f "${tmp}.list"
  fi
  [ -s "$tmp" ] && install -m 644 "$tmp" "$list"
  rm -f "$tmp"
  [ -f "$list" ] || [ -f /etc/apt/sources.list.d/kuvo-deb-src.list ] ||
    die "found no Debian apt source to mirror as deb-src"
  log "added deb-src entries; updating package lists"
  apt-get update -qq
}

fetch_source() { # package version destdir -> prints the unpacked tree
  local pkg=$1 ver=$2 dest=$3
  mkdir -p "$dest"
  (
    cd "$dest"
    if ! ls "${pkg}"_*.dsc >/dev/null 2>&1; then
      if ! apt-get source --download-only -qq "${pkg}=${ver}" >/dev/null 2>&1; then
        # The mirror may already carry a newer revision; take it and key the cache by it.
        apt-get update -qq
        apt-get source --download-only -qq "${pkg}=${ver}" >/dev/null 2>&1 ||
          apt-get source --download-only -qq "$pkg" >/dev/null
      fi
    fi
  )
  local dsc
  dsc=$(ls "$dest/${pkg}"_*.dsc | sort -V | tail -n1)
  local tree=$dest/tree
  if [ ! -f "$tree/.unpacked" ]; then
    rm -rf "$tree"
    # Unpack with Debian's patches applied (the security fixes of the revision live there).
    dpkg-source --no-check -x "$dsc" "$tree" >/dev/null
    touch "$tree/.unpacked"
  fi
  echo "$dsc"
}

add_deb_src
src=$ROOT/src
curl_dsc=$(fetch_source curl "$want_curl" "$src/curl-$want_curl")
protobuf_dsc=$(fetch_source protobuf "$want_protobuf" "$src/protobuf-$want_protobuf")
dsc_version() { sed -n 's/^Version: //p' "$1"; }
curl_ver=$(dsc_version "$curl_dsc")
protobuf_ver=$(dsc_version "$protobuf_dsc")
curl_tree=$src/curl-$want_curl/tree
protobuf_tree=$src/protobuf-$want_protobuf/tree

protoc_ver=$(protoc --version | awk '{print $2}')
[ "$(upstream "$protobuf_ver")" = "$protoc_ver" ] ||
  die "protobuf source $protobuf_ver does not match the host protoc $protoc_ver"

# --- Cross builds -------------------------------------------------------------------------------
# Same flags for both architectures; only the compiler triple differs.
common_flags() {
  local arch=$1 prefix=$2 triple=$1-w64-mingw32
  echo -G Ninja \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR="$arch" \
    -DCMAKE_C_COMPILER="$triple-gcc-posix" -DCMAKE_CXX_COMPILER="$triple-g++-posix" \
    -DCMAKE_RC_COMPILER="$triple-windres" \
    -DCMAKE_FIND_ROOT_PATH="/usr/$triple" \
    -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib
}

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

for a in "${todo[@]}"; do
  key="curl-${curl_ver}-protobuf-${protobuf_ver}"
  archdir=$ROOT/$a
  prefix=$archdir/$key
  if prefix_done "$prefix"; then
    link_current "$archdir" "$key"
    log "$a: cached at $prefix"
    continue
  fi
  log "$a: building $key"
  rm -rf "$prefix"
  mkdir -p "$archdir"
  work=$(mktemp -d "$archdir/.build.XXXXXX")

  # shellcheck disable=SC2046
  cmake -S "$curl_tree" -B "$work/curl" $(common_flags "$a" "$prefix") "${launcher[@]}" \
    -DCURL_USE_SCHANNEL=ON -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF \
    -DCURL_USE_LIBSSH2=OFF -DUSE_LIBIDN2=OFF -DCURL_ZLIB=OFF >"$work/curl.log" 2>&1 ||
    { tail -n 40 "$work/curl.log"; die "$a: curl configure failed"; }
  cmake --build "$work/curl" -j "$JOBS" >>"$work/curl.log" 2>&1 &&
    cmake --install "$work/curl" >>"$work/curl.log" 2>&1 ||
    { tail -n 40 "$work/curl.log"; die "$a: curl build failed"; }

  # shellcheck disable=SC2046
  cmake -S "$protobuf_tree" -B "$work/protobuf" $(common_flags "$a" "$prefix") "${launcher[@]}" \
    -Dprotobuf_BUILD_TESTS=OFF -Dprotobuf_BUILD_PROTOC_BINARIES=OFF -Dprotobuf_WITH_ZLIB=OFF \
    -Dprotobuf_BUILD_SHARED_LIBS=OFF >"$work/protobuf.log" 2>&1 ||
    { tail -n 40 "$work/protobuf.log"; die "$a: protobuf configure failed"; }
  cmake --build "$work/protobuf" -j "$JOBS" >>"$work/protobuf.log" 2>&1 &&
    cmake --install "$work/protobuf" >>"$work/protobuf.log" 2>&1 ||
    { tail -n 40 "$work/protobuf.log"; die "$a: protobuf build failed"; }

  [ -f "$prefix/lib/libcurl.a" ] || die "$a: libcurl.a missing from $prefix/lib"
  [ -f "$prefix/lib/libprotobuf.a" ] || die "$a: libprotobuf.a missing from $prefix/lib"
  cat >"$prefix/kuvo-windeps.cmake" <<EOF
# Written by scripts/build-windeps.sh: what this prefix holds.
set(KUVO_WINDEPS_ARCH "$a")
set(KUVO_WINDEPS_CURL_VERSION "$(upstream "$curl_ver")")
set(KUVO_WINDEPS_CURL_DEBIAN_VERSION "$curl_ver")
set(KUVO_WINDEPS_PROTOBUF_VERSION "$(upstream "$protobuf_ver")")
set(KUVO_WINDEPS_PROTOBUF_DEBIAN_VERSION "$protobuf_ver")
EOF
  rm -rf "$work"
  link_current "$archdir" "$key"
  log "$a: installed to $prefix"
done
