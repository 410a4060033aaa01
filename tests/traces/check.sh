#!/usr/bin/env bash
# Writes the effect modules, traces each with xmrender and compares the trace with the one
# checked in beside this script. With QUARBTRO_UPDATE_TRACES=1 it rewrites the checked-in
# traces instead: read the changes against what the effects should do before committing them.
# The modules named ft2_* are traced in the ft2 profile (as FastTracker 2 plays them), the others
# in the design's.
#   check.sh EFFECT-MODULES XMRENDER TRACE-DIRECTORY
set -u
make_modules=$1 xmrender=$2 traces=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$make_modules" "$work" || exit 1
failures=0
for module in "$work"/*.xm; do
  name=$(basename "$module" .xm)
  profile=design; case $name in ft2_*) profile=ft2 ;; esac
  "$xmrender" "$module" --profile $profile --trace -o "$work/$name.trace" || { failures=$((failures + 1)); continue; }
  if [ "${QUARBTRO_UPDATE_TRACES:-0}" = 1 ]; then
    cp "$work/$name.trace" "$traces/$name.trace"
    echo "updated $name.trace"
  elif diff -u "$traces/$name.trace" "$work/$name.trace" >"$work/$name.diff"; then
    echo "ok   $name"
  else
    echo "FAIL $name: the trace differs from $traces/$name.trace"
    head -n 40 "$work/$name.diff"
    failures=$((failures + 1))
  fi
done
[ $failures -eq 0 ] && echo "all traces match" || echo "$failures trace(s) differ"
[ $failures -eq 0 ]
