#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need, by Debian package name. Quick when
# all is already there: apt is only asked when dpkg reports a package missing. Recommended
# packages come along on purpose: wine's Schannel needs libgnutls30, its windows need fonts.
set -euo pipefail

PACKAGES=(
  cmake ninja-build ccache g++ clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  protobuf-compiler libprotobuf-dev libcurl4-openssl-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine64 libgnutls30 fonts-wine xvfb xauth
  dpkg-dev ca-certificates openssl python3 tinyproxy
)

missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "[setup] all packages present"
  exit 0
fi

SUDO=()
[ "$(id -u)" -eq 0 ] || SUDO=(sudo)
echo "[setup] installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq "${missing[@]}" </dev/null
