#!/usr/bin/env bash
# Builds the Windows deliverables for i686 and x86_64 and packs each into an archive:
#   build/package/kuvo-<version>-<arch>.tar.gz, holding the installed kit (bin/, lib/, include/,
#   lib/cmake/Kuvo) with MANIFEST.txt (file, size, SHA-256; each DLL's exports with ordinals).
# Each archive is then unpacked into a temporary folder, as a host receives it, and its manifest
# checked there (and its export tables against objdump -p's). Reuses the build folders of the
# mingw presets (build/mingw-i686, build/mingw-x64).
#   scripts/package.sh [--no-standins]    leave the stand-ins out of the archives
# KUVO_PACKAGE_ARCHES (default "i686 x86_64") picks the archives, KUVO_PACKAGE_OUT (default
# build/package) their folder; host_kit_test packs its own architecture so.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR=${CCACHE_DIR:-/var/cache/kuvo-ccache} CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
JOBS=${JOBS:-2}
components=(--component Kuvo --component Standins)
[ "${1:-}" = --no-standins ] && components=(--component Kuvo)
version=$(sed -n 's/^project(Kuvo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out=${KUVO_PACKAGE_OUT:-build/package}
mkdir -p "$out"
for arch in ${KUVO_PACKAGE_ARCHES:-i686 x86_64}; do
  preset=mingw-${arch/x86_64/x64}
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$JOBS"
  name=kuvo-$version-$arch
  rm -rf "${out:?}/$name"
  for c in "${components[@]}"; do
    [ "$c" = --component ] && continue
    cmake --install "build/$preset" --prefix "$out/$name" --component "$c" >/dev/null
  done
  python3 scripts/kit_manifest.py write "$out/$name"
  tar -C "$out" -czf "$out/$name.tar.gz" "$name"
  unpacked=$(mktemp -d)
  tar -C "$unpacked" -xzf "$out/$name.tar.gz"
  python3 scripts/kit_manifest.py check "$unpacked/$name"
  if command -v "$arch-w64-mingw32-objdump" >/dev/null; then
    python3 scripts/kit_manifest.py compare "$unpacked/$name" "$arch-w64-mingw32-objdump"
  fi
  rm -rf "$unpacked"
  echo "$out/$name.tar.gz: unpacked and checked, $(grep -c '^file ' "$out/$name/MANIFEST.txt")" \
    "files, $(grep -c '^export ' "$out/$name/MANIFEST.txt") exports"
done
