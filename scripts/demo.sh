#!/usr/bin/env bash
# The demo, from a fresh Debian machine: installs the packages, builds what the demo runs (the
# kuvo_demo target of the linux-release preset: the demo host, the component libraries, the
# stand-ins and KuvoAssist, none of the test programs) and runs it. Arguments go to kuvo_demo
# (scripts/demo.sh --help says what they are).
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
# The libraries the components load by file name at run time (Kuvotrace, Kuvocore) and the
# KuvoAssist program are dependencies of kuvo_demo, so this target builds all the demo runs.
cmake --build --preset linux-release -j "${KUVO_JOBS:-$(nproc)}" --target kuvo_demo
exec "$REPO/build/linux-release/bin/kuvo_demo" "$@"
