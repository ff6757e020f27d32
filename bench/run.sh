#!/bin/sh
# Builds the benchmarks of the linux-release preset and runs each with its defaults, noting the
# machine and its load before each, as the README's Performance section reports them.
#   bench/run.sh [benchmark ...]     (default: all four)
set -eu
cd "$(dirname "$0")/.."
: "${CCACHE_DIR:=/var/cache/kuvo-ccache}"
export CCACHE_DIR CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
benches="${*:-fetch_bench chat_pipeline_bench chat_latency_bench chat_base64_bench}"
cmake --preset linux-release >/dev/null
# shellcheck disable=SC2086
cmake --build --preset linux-release -j2 --target $benches
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
for b in $benches; do
  echo "== $b ($(date -u +%H:%M:%SZ), load:$(cut -d' ' -f1-3 /proc/loadavg))"
  (cd build/linux-release/bin && "./$b")
done
echo "== done ($(date -u +%H:%M:%SZ), load:$(cut -d' ' -f1-3 /proc/loadavg))"
