#!/usr/bin/env bash
# Builds unit-test programs with sanitizers in a build directory of its own and runs them
# there. No recovery: the first report fails the run.
#   scripts/sanitizer-tests.sh BUILD_DIRECTORY SANITIZERS PROGRAM[:GTEST_FILTER]...
# e.g.  scripts/sanitizer-tests.sh build-tsan thread 'sound_tests:PlaybackTest.*:NullOutput.*'
#       scripts/sanitizer-tests.sh build-asan address,undefined intro_tests player_tests
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
usage="usage: scripts/sanitizer-tests.sh BUILD_DIRECTORY SANITIZERS PROGRAM[:GTEST_FILTER]..."
build=${1:?$usage}
sanitizers=${2:?$usage}
shift 2
[ $# -gt 0 ] || { echo "$usage" >&2; exit 2; }

programs=()
filters=()
for entry in "$@"; do
  programs+=("${entry%%:*}")
  if [[ $entry == *:* ]]; then filters+=("${entry#*:}"); else filters+=("*"); fi
done

mkdir -p "$build"
if ! cmake -S "$source_dir" -B "$build" -DQUARBTRO_SANITIZE="$sanitizers" \
      -DQUARBTRO_WERROR="${QUARBTRO_WERROR:-OFF}" >"$build/configure.log" 2>&1; then
  cat "$build/configure.log" >&2
  exit 1
fi
cmake --build "$build" -j "${JOBS:-2}" --target "${programs[@]}"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
export ASAN_OPTIONS="halt_on_error=1 detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1"
for i in "${!programs[@]}"; do
  echo "${programs[$i]} under $sanitizers"
  # The programs run from the build directory, as ctest runs them.
  (cd "$build/tests" && "./${programs[$i]}" --gtest_filter="${filters[$i]}" --gtest_brief=1)
done
