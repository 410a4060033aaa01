#!/usr/bin/env bash
# Builds the player's unit tests with a sanitizer in a build directory of its own and runs
# them there. No recovery: the first report fails the run.
#   scripts/sanitizer-tests.sh BUILD_DIRECTORY SANITIZERS [GTEST_FILTER]
# e.g.  scripts/sanitizer-tests.sh build-tsan thread 'DeviceTest.*'
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build=${1:?usage: scripts/sanitizer-tests.sh BUILD_DIRECTORY SANITIZERS [GTEST_FILTER]}
sanitizers=${2:?usage: scripts/sanitizer-tests.sh BUILD_DIRECTORY SANITIZERS [GTEST_FILTER]}
filter=${3:-*}

mkdir -p "$build"
if ! cmake -S "$source_dir" -B "$build" -DQUARBTRO_SANITIZE="$sanitizers" \
      -DQUARBTRO_WERROR="${QUARBTRO_WERROR:-OFF}" >"$build/configure.log" 2>&1; then
  cat "$build/configure.log" >&2
  exit 1
fi
cmake --build "$build" -j "${JOBS:-2}" --target player_tests
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
export ASAN_OPTIONS="halt_on_error=1 detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1"
"$build/tests/player_tests" --gtest_filter="$filter" --gtest_brief=1
