#!/usr/bin/env bash
# xmrender under valgrind's memcheck, each song rendered once: the embedded song and three
# heroes-sound-tracks modules (the most channels, the most loop and ramp segments, the
# shortest). No invalid access, no use of an undefined value, and nothing left allocated.
set -u
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
source "$QUARBTRO_SOURCE/tests/lib/real_modules.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/quarbtro-memcheck.XXXXXX")
trap 'rm -rf "$work"' EXIT

fetch_real_modules || exit 1
mods=${real_modules[0]%/*}

for module in "$QUARBTRO_SOURCE/assets/song.xm" "$mods/endscroll.xm" "$mods/heroes04.xm" "$mods/intro.xm"; do
  name=$(basename "$module")
  status=0
  valgrind --error-exitcode=3 --leak-check=full --show-leak-kinds=all --errors-for-leak-kinds=all \
    --log-file="$work/$name.log" "$QUARBTRO_BUILD/xmrender" "$module" --raw --force -o "$work/out.raw" || status=$?
  check_eq "$name: memcheck finds nothing" 0 "$status"
  check_true "$name: every block freed" grep -q "All heap blocks were freed" "$work/$name.log"
  [ "$status" -eq 0 ] || tail -n 30 "$work/$name.log"
done
finish
