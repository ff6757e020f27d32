#!/usr/bin/env bash
# The demo, from a fresh Debian machine: installs the packages, builds the linux-release preset
# and runs the demo host. Arguments go to kuvo_demo.
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$REPO"

export CCACHE_DIR=${CCACHE_DIR:-/var/cache/kuvo-ccache}
export CCACHE_BASEDIR=$REPO
export CCACHE_NOHASHDIR=true
mkdir -p "$CCACHE_DIR"

# The Linux demo needs no 32-bit wine.
KUVO_WINE32=0 "$REPO/scripts/setup.sh"
cmake --preset linux-release >/dev/null
# Everything, not just kuvo_demo: the demo loads the stand-in libraries by file name at run time.
cmake --build --preset linux-release -j "${KUVO_JOBS:-$(nproc)}"
exec "$REPO/build/linux-release/bin/kuvo_demo" "$@"
