#!/usr/bin/env bash
# Builds the XM loader's fuzz target with clang, ASan and UBSan in a build directory of its
# own, writes the seed corpus and runs the fuzzer for the given time.
#   scripts/fuzz.sh BUILD_DIRECTORY SECONDS
# FUZZ_JOBS=N (1 by default) runs N fuzzing processes in one run (libFuzzer's fork mode),
# for a machine that has the cores to spare; the counts it prints are the run's totals.
# The corpus grows in BUILD_DIRECTORY/corpus from run to run; the regression files in
# tests/player/data, where there are any, are run too. A finding is written to
# BUILD_DIRECTORY/findings and makes the script fail: make it a small file in
# tests/player/data with a unit test that loads it.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build=${1:?usage: scripts/fuzz.sh BUILD_DIRECTORY SECONDS}
seconds=${2:?usage: scripts/fuzz.sh BUILD_DIRECTORY SECONDS}

mkdir -p "$build"
if ! CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build" -DQUARBTRO_FUZZ=ON \
      -DQUARBTRO_SANITIZE=fuzzer-no-link,address,undefined \
      -DQUARBTRO_WERROR="${QUARBTRO_WERROR:-OFF}" >"$build/configure.log" 2>&1; then
  cat "$build/configure.log" >&2
  exit 1
fi
cmake --build "$build" -j "${JOBS:-2}" --target xm_loader_fuzz xm-seeds
mkdir -p "$build/seeds" "$build/corpus" "$build/findings"
"$build/xm-seeds" "$build/seeds"
corpora=("$build/corpus" "$build/seeds")
[ -d "$source_dir/tests/player/data" ] && corpora+=("$source_dir/tests/player/data")
# A single allocation above 64 MiB counts as a finding: no input of at most 64 KiB justifies one.
jobs=${FUZZ_JOBS:-1}
parallel=()
[ "$jobs" -gt 1 ] && parallel=(-fork="$jobs")
"$build/xm_loader_fuzz" "${parallel[@]}" -max_total_time="$seconds" -max_len=65536 -timeout=5 \
  -malloc_limit_mb=64 -rss_limit_mb=1024 -print_final_stats=1 \
  -artifact_prefix="$build/findings/" "${corpora[@]}"
