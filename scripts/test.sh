#!/usr/bin/env bash
# Every test, from a fresh Debian machine: installs the packages, cross-builds the Windows
# dependencies when they are not cached yet, then
#   linux-debug, asan, tsan   configure, build, ctest
#   mingw-i686                configure, build, ctest under wine32 (natively or through qemu)
#   mingw-x64                 configure, build, ctest under wine64
#   package                   scripts/package.sh twice: both archives packed, unpacked and
#                             checked (hashes, exports at their ordinals, objdump, the debug
#                             links to the symbols archives); the second run's bytes the same
#   fuzz                      configure, build, each fuzz_* target for a short time
# Every stage runs even after a failure; the exit status is non-zero if any stage failed, and the
# run ends with each ctest summary.
#
#   scripts/test.sh [STAGE...]     (default: all, in the order above)
#
# Environment: KUVO_JOBS (default: nproc), KUVO_FUZZ_SECONDS (default 20),
# CCACHE_DIR (default /var/cache/kuvo-ccache).
set -uo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$REPO"

JOBS=${KUVO_JOBS:-$(nproc)}
FUZZ_SECONDS=${KUVO_FUZZ_SECONDS:-20}
LOGS=$REPO/build/logs
ALL_STAGES=(linux-debug asan tsan mingw-i686 mingw-x64 package fuzz)
STAGES=("$@")
[ ${#STAGES[@]} -eq 0 ] && STAGES=("${ALL_STAGES[@]}")

# ccache outside the repository; paths below the checkout are hashed relative to it, so a fresh
# clone in another folder (as CI makes) still hits the cache.
export CCACHE_DIR=${CCACHE_DIR:-/var/cache/kuvo-ccache}
export CCACHE_BASEDIR=$REPO
export CCACHE_NOHASHDIR=true
export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-8G}
# Sanitizer reports must fail the tests, whatever a developer's shell has set.
unset ASAN_OPTIONS UBSAN_OPTIONS TSAN_OPTIONS
# Windows tests get a display of their own (see scripts/wine-run.sh).
unset DISPLAY

failures=()
summaries=()
t_start=$SECONDS

note() { printf '\n=== %s ===\n' "$*"; }
fail() { failures+=("$1"); printf '*** FAILED: %s\n' "$1"; }
elapsed() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }

for s in "${STAGES[@]}"; do
  case " ${ALL_STAGES[*]} " in *" $s "*) ;; *) echo "unknown stage '$s' (${ALL_STAGES[*]})"; exit 2 ;; esac
done

note "set-up"
"$REPO/scripts/setup.sh" || { echo "package set-up failed"; exit 1; }
mkdir -p "$LOGS" "$CCACHE_DIR"
case " ${STAGES[*]} " in
  *" mingw-"* | *" package "*)
    "$REPO/scripts/build-windeps.sh" || fail "windows dependencies"
    ;;
esac

configure_and_build() { # preset -> 0 when built
  local preset=$1
  if ! cmake --preset "$preset" >"$LOGS/$preset-configure.log" 2>&1; then
    tail -n 60 "$LOGS/$preset-configure.log"
    fail "$preset: configure"
    return 1
  fi
  if ! cmake --build --preset "$preset" -j "$JOBS" >"$LOGS/$preset-build.log" 2>&1; then
    grep -E -B2 -A12 'error:|FAILED:' "$LOGS/$preset-build.log" | head -n 150
    fail "$preset: build"
    return 1
  fi
  echo "built $preset ($(grep -c '^\[' "$LOGS/$preset-build.log") steps)"
}

run_ctest() { # preset
  local preset=$1 log=$LOGS/$1-ctest.log
  ctest --preset "$preset" -j "$JOBS" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n1)
  summaries+=("$preset: ${line:-no ctest summary}")
  [ "$status" -eq 0 ] || fail "$preset: tests"
}

run_fuzzers() {
  local bin=$REPO/build/fuzz/bin found=0 f name corpus
  mkdir -p "$REPO/build/fuzz/artifacts"
  for f in "$bin"/fuzz_*; do
    [ -f "$f" ] && [ -x "$f" ] || continue
    found=1
    name=$(basename "$f")
    corpus=$(mktemp -d)
    # Seeds, if the target has any, are read but not written.
    local seeds=()
    [ -d "$REPO/fuzz/corpus/$name" ] && seeds=("$REPO/fuzz/corpus/$name")
    # Shipped files seed the targets that read their kind.
    [ "$name" = fuzz_machine_scenario ] && seeds+=("$REPO/assist/scenarios")
    [ "$name" = fuzz_registry_script ] && cp "$REPO/assist/res/KuvoAssist.rgs" "$corpus/"
    echo "fuzzing $name for ${FUZZ_SECONDS}s"
    if "$f" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$REPO/build/fuzz/artifacts/$name-" "$corpus" "${seeds[@]}" \
      >"$LOGS/$name.log" 2>&1; then
      summaries+=("fuzz: $name ran ${FUZZ_SECONDS}s, $(grep -m1 -o 'stat::number_of_executed_units: [0-9]*' "$LOGS/$name.log" | awk '{print $2}') runs, no crash")
    else
      tail -n 60 "$LOGS/$name.log"
      summaries+=("fuzz: $name FAILED (artifact in build/fuzz/artifacts)")
      fail "fuzz: $name"
    fi
    rm -rf "$corpus"
  done
  [ "$found" -eq 1 ] || summaries+=("fuzz: no fuzz_* targets")
}

# The Windows archives as a host receives them: scripts/package.sh packs each one, unpacks it into
# a folder of its own and checks it there (manifest, exports, debug links). A second run on the
# same commit, under another umask, must give the same bytes.
run_package() {
  if ! JOBS=$JOBS "$REPO/scripts/package.sh" >"$LOGS/package.log" 2>&1; then
    tail -n 60 "$LOGS/package.log"
    fail "package"
    return 1
  fi
  local line
  while IFS= read -r line; do
    summaries+=("package: ${line##*/}")
  done < <(grep -E '\.tar\.gz: unpacked and checked' "$LOGS/package.log")
  cp "$REPO/build/package/SHA256SUMS" "$LOGS/package-first.sha256"
  if ! (umask 077 && JOBS=$JOBS "$REPO/scripts/package.sh") >"$LOGS/package-again.log" 2>&1; then
    tail -n 60 "$LOGS/package-again.log"
    fail "package: second run"
    return 1
  fi
  if cmp -s "$LOGS/package-first.sha256" "$REPO/build/package/SHA256SUMS"; then
    summaries+=("package: a second run gave the same bytes ($(wc -l <"$LOGS/package-first.sha256") archives)")
  else
    diff "$LOGS/package-first.sha256" "$REPO/build/package/SHA256SUMS"
    fail "package: a second run gave other archives"
  fi
}

for stage in "${STAGES[@]}"; do
  t0=$SECONDS
  note "$stage"
  case "$stage" in
    linux-debug | asan | tsan | mingw-i686 | mingw-x64)
      configure_and_build "$stage" && run_ctest "$stage"
      ;;
    package)
      run_package
      ;;
    fuzz)
      configure_and_build "$stage" && run_fuzzers
      ;;
  esac
  echo "$stage took $(elapsed $((SECONDS - t0)))"
done

note "summary ($(elapsed $((SECONDS - t_start))))"
ccache --show-stats 2>/dev/null | grep -E '^ *(Hits|Misses):' || true
passed=0 failed=0
for s in "${summaries[@]}"; do
  echo "$s"
  if [[ $s =~ tests\ passed,\ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  fi
done
if [ ${#failures[@]} -ne 0 ]; then
  echo "FAILED stages:"
  for f in "${failures[@]}"; do echo "  $f"; done
fi
# Over all ctest runs; a failed stage that ran no tests (configure, build, fuzz) counts as one.
for f in "${failures[@]}"; do [[ $f == *": tests" ]] || failed=$((failed + 1)); done
echo "total: $passed passed, $failed failed"
[ ${#failures[@]} -eq 0 ]
