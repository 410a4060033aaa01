#!/usr/bin/env bash
# No include runs upward. Each probe compiles include_probe.cpp with the include folders that a
# user of one layer's target sees (tests/CMakeLists.txt lists the probes and writes the folders
# out): a header of a layer above must not be found, and the controls, headers of the layer
# itself or below, must compile, so that a failure is the layers' doing and not the probe's.
# An include that climbs out of its folder ("../") would pass by the include folders: there is
# none in the layers.
#   upward_includes.sh COMPILER SOURCE (upward|below):TARGET:HEADER:FOLDERS_FILE...
set -u
compiler=$1 source=$2
shift 2
probe="$(dirname "$0")/include_probe.cpp"
failures=0
for entry in "$@"; do
  IFS=: read -r expected target header folders <<<"$entry"
  if [ ! -f "$source/$header" ]; then
    echo "FAIL: $header is not in the tree: the probe of $target proves nothing"
    failures=$((failures + 1))
    continue
  fi
  includes=()
  while read -r folder; do [ -n "$folder" ] && includes+=("-I$folder"); done <"$folders"
  output=$("$compiler" -std=c++20 -fsyntax-only "${includes[@]}" -DPROBE_HEADER="\"$header\"" \
    "$probe" 2>&1)
  status=$?
  case $expected in
    upward)
      if [ $status -ne 0 ] && grep -q -E "$header(: No such file|' file not found)" <<<"$output"; then
        echo "ok   $target: $header is out of sight"
      else
        echo "FAIL: a user of $target can include $header"
        failures=$((failures + 1))
      fi ;;
    below)
      if [ $status -eq 0 ]; then
        echo "ok   $target: $header compiles"
      else
        echo "FAIL: a user of $target cannot include $header"
        head -n 20 <<<"$output"
        failures=$((failures + 1))
      fi ;;
  esac
done
climbing=$(cd "$source" && grep -rn --include='*.h' --include='*.cpp' '^#include "\.\./' \
  cli player sound window scenes intro tools assets)
if [ -n "$climbing" ]; then
  echo "FAIL: includes that climb out of their folder:"
  echo "$climbing"
  failures=$((failures + 1))
else
  echo "ok   no include climbs out of its folder"
fi
[ $failures -eq 0 ] && echo "all checks passed"
exit $((failures > 0))
