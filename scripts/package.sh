#!/usr/bin/env bash
# Builds the Windows deliverables for i686 and x86_64 and packs each into build/package/:
#   kuvo-<version>-<arch>.tar.gz          the installed kit (bin/, lib/, include/, lib/cmake/Kuvo)
#                                         with README.txt, NOTICE.txt (third-party code and its
#                                         licences), doc/host-guide.md, tools/kit_manifest.py and
#                                         MANIFEST.txt (file, size, SHA-256; each DLL's exports
#                                         with ordinals); its binaries stripped
#   kuvo-<version>-<arch>-symbols.tar.gz  their debug information, one <binary>.debug each, named
#                                         with its CRC by the binary's .gnu_debuglink
#   SHA256SUMS                            the archives' hashes
# The same commit gives the same bytes: entries sorted, owners and modes fixed, times from the
# commit (SOURCE_DATE_EPOCH overrides), gzip without name or time. Each archive is then unpacked
# into a temporary folder, as a host receives it, and checked there: the manifest, the export
# tables against objdump -p's, the debug links against the symbols. Reuses the build folders of
# the mingw presets (build/mingw-i686, build/mingw-x64), and builds there only what the kit
# installs, none of the test programs.
#   scripts/package.sh [--no-standins] [ARCH...]
#     --no-standins   leave the stand-ins out of the archives
#     ARCH            i686 or x86_64 (default: both)
# KUVO_PACKAGE_ARCHES (default "i686 x86_64", when no ARCH is given) picks the archives and
# KUVO_PACKAGE_OUT (default build/package) their folder; host_kit_test packs its own architecture so.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR=${CCACHE_DIR:-/var/cache/kuvo-ccache} CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
JOBS=${JOBS:-2}
components=(Kuvo Standins)
arches=()
for a in "$@"; do
  case "$a" in
    --no-standins) components=(Kuvo) ;;
    i686 | x86_64) arches+=("$a") ;;
    *) echo "package.sh: unknown argument '$a' (--no-standins, i686, x86_64)" >&2; exit 2 ;;
  esac
done
[ ${#arches[@]} -gt 0 ] || read -r -a arches <<<"${KUVO_PACKAGE_ARCHES:-i686 x86_64}"
version=$(sed -n 's/^project(Kuvo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
    { echo "package.sh: not a git checkout; set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
# objcopy stamps the stripped binaries with it.
export SOURCE_DATE_EPOCH
out=${KUVO_PACKAGE_OUT:-build/package}
mkdir -p "$out"
rm -f "$out/SHA256SUMS"

# folder -> folder.tar.gz, the same bytes for the same files.
pack() {
  tar -C "$(dirname "$1")" --sort=name --format=gnu --owner=0 --group=0 --numeric-owner \
    --mtime="@$SOURCE_DATE_EPOCH" --mode='u+rwX,go+rX,go-w' -cf - "$(basename "$1")" |
    gzip -9 -n >"$1.tar.gz"
}

# The third-party notice must name the curl and protobuf builds this preset linked.
check_notice() { # configure output
  local deps
  deps=$(sed -n 's|^-- Windows dependencies: .* from .*/curl-\(.*\)-protobuf-\(.*\)$|curl \1 protobuf \2|p' <<<"$1")
  set -- $deps
  if [ $# -ne 4 ] || ! grep -qF "curl $2" docs/package/NOTICE.txt ||
    ! grep -qF "protobuf $4" docs/package/NOTICE.txt; then
    echo "package.sh: docs/package/NOTICE.txt does not name the linked ${deps:-dependencies}" >&2
    return 1
  fi
}

# The build outputs the install scripts of build/<preset> name: what the kit ships.
kit_outputs() {
  local dir=build/$1
  comm -12 \
    <(grep -rhoE "\"$PWD/$dir/[^\"]+\"" --include=cmake_install.cmake "$dir" | tr -d '"' |
      sed "s|^$PWD/$dir/||" | sort -u) \
    <(ninja -C "$dir" -t targets all | sed 's/: .*//' | sort -u)
}

archives=()
for arch in "${arches[@]}"; do
  preset=mingw-${arch/x86_64/x64}
  configured=$(cmake --preset "$preset")
  check_notice "$configured"
  mapfile -t shipped < <(kit_outputs "$preset")
  [ ${#shipped[@]} -gt 0 ] || { echo "package.sh: build/$preset installs no build output" >&2; exit 1; }
  cmake --build --preset "$preset" -j "$JOBS" --target "${shipped[@]}"
  name=kuvo-$version-$arch
  kit=$out/$name
  symbols=$out/$name-symbols
  rm -rf "$kit" "$symbols"
  for c in "${components[@]}"; do
    cmake --install "build/$preset" --prefix "$kit" --component "$c" >/dev/null
  done
  sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" docs/package/README.txt >"$kit/README.txt"
  install -m 644 docs/package/NOTICE.txt "$kit/NOTICE.txt"
  install -D -m 644 docs/host-guide.md "$kit/doc/host-guide.md"
  install -D -m 755 scripts/kit_manifest.py "$kit/tools/kit_manifest.py"
  python3 scripts/kit_symbols.py split "$kit" "$symbols" "$arch-w64-mingw32-objcopy"
  python3 scripts/kit_manifest.py write "$kit"
  pack "$kit"
  pack "$symbols"
  archives+=("$name.tar.gz" "$name-symbols.tar.gz")

  unpacked=$(mktemp -d)
  tar -C "$unpacked" -xzf "$kit.tar.gz"
  tar -C "$unpacked" -xzf "$symbols.tar.gz"
  checked=$(python3 "$unpacked/$name/tools/kit_manifest.py" check "$unpacked/$name") ||
    { echo "$checked"; rm -rf "$unpacked"; exit 1; }
  python3 scripts/kit_manifest.py compare "$unpacked/$name" "$arch-w64-mingw32-objdump"
  linked=$(python3 scripts/kit_symbols.py check "$unpacked/$name" "$unpacked/$name-symbols") ||
    { echo "$linked"; rm -rf "$unpacked"; exit 1; }
  rm -rf "$unpacked"
  echo "$kit.tar.gz: unpacked and checked, ${checked#ok: }; ${linked#ok: }"
done
(cd "$out" && sha256sum "${archives[@]}" >SHA256SUMS && sha256sum --quiet -c SHA256SUMS)
echo "$out/SHA256SUMS: $(wc -l <"$out/SHA256SUMS") archives"
