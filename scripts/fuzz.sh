#!/usr/bin/env bash
# Builds the XM loader's fuzz target with clang, ASan and UBSan in a build directory of its
# own, writes the seed corpus and runs the fuzzer for the given time.
#   scripts/fuzz.sh BUILD_DIRECTORY SECONDS
# FUZZ_JOBS=N (1 by default) runs N fuzzing processes side by side over the same corpus, for
# a machine that has the cores to spare; each logs to BUILD_DIRECTORY/fuzz-K.log, and the
# run's total executions are printed at the end.
# The corpus grows in BUILD_DIRECTORY/corpus from run to run; the regression files in
# tests/player/data, where there are any, are run too. A finding is written to
# BUILD_DIRECTORY/findings and makes the script fail: make it a small file in
# tests/player/data with a unit test that loads it.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build=${1:?usage: scripts/fuzz.sh BUILD_DIRECTORY SECONDS}
seconds=${2:?usage: scripts/fuzz.sh BUILD_DIRECTORY SECONDS}

mkdir -p "$build"
build=$(cd "$build" && pwd)
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
options=(-max_total_time="$seconds" -max_len=65536 -timeout=5 -malloc_limit_mb=64
         -rss_limit_mb=1024 -print_final_stats=1 -artifact_prefix="$build/findings/")
jobs=${FUZZ_JOBS:-1}
if [ "$jobs" -le 1 ]; then
  exec "$build/xm_loader_fuzz" "${options[@]}" "${corpora[@]}"
fi
rm -f "$build"/fuzz-*.log
touch "$build/findings/.started"
status=0
(cd "$build" && ./xm_loader_fuzz -jobs="$jobs" -workers="$jobs" "${options[@]}" "${corpora[@]}") || status=$?
for log in "$build"/fuzz-*.log; do
  echo "== $log"
  grep -E '^#[0-9]+.*(DONE|pulse)|^stat::|ERROR|SUMMARY' "$log" | tail -n 8
done
awk '/^stat::number_of_executed_units:/ { total += $2 } END { print "executions in all:", total }' \
  "$build"/fuzz-*.log
# A finding ends only the job that made it.
if [ -n "$(find "$build/findings" -type f -newer "$build/findings/.started")" ]; then status=1; fi
exit "$status"
