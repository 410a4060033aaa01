#!/usr/bin/env bash
# xmrender's output, byte for byte, for every heroes-sound-tracks module and the embedded song,
# each rendered once: the hashes in render_bytes.txt were taken before the mixer's loops were
# tuned for speed, and tuning must not move a single sample.
#
# A change that is meant to change the sound (a sequencer fix, say) rewrites the list with
#   QUARBTRO_UPDATE_RENDER_BYTES=1 ctest -R e2e/render_bytes
# and says why in its commit. Each entry is keyed by the module's own hash, so a regenerated
# song is reported as new instead of failing.
set -u
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
source "$QUARBTRO_SOURCE/tests/lib/real_modules.sh"
xmrender="$QUARBTRO_BUILD/xmrender"
list="$QUARBTRO_SOURCE/tests/e2e/render_bytes.txt"

fetch_real_modules || exit 1

hash_of() { sha256sum | cut -d' ' -f1; }

lines=()
for module in "${real_modules[@]}" "$QUARBTRO_SOURCE/assets/song.xm"; do
  name=$(basename "$module")
  input=$(hash_of <"$module")
  rendered=$("$xmrender" "$module" --profile design --raw -o - | hash_of)
  lines+=("$input $rendered $name")
  expected=$(awk -v input="$input" '$1 == input { print $2 }' "$list")
  if [ -z "$expected" ]; then
    echo "note $name: not in render_bytes.txt (a new or regenerated module); its render: $rendered"
  else
    check_eq "$name renders to the bytes it rendered to before" "$expected" "$rendered"
  fi
done

if [ "${QUARBTRO_UPDATE_RENDER_BYTES:-0}" = 1 ]; then
  printf '%s\n' "${lines[@]}" >"$list"
  echo "rewrote $list"
fi
finish
