#!/usr/bin/env bash
# The committed images are exactly what the generator writes: regenerate them and compare.
#   images_regenerate.sh MAKE_IMAGES COMMITTED_DIR
set -u
generator=$1 committed=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$generator" "$out" || { echo "the generator failed"; exit 1; }
status=0
for n in 1 2 3 4; do
  if cmp -s "$out/image$n.jpg" "$committed/image$n.jpg"; then
    echo "ok   image$n.jpg regenerates byte for byte ($(stat -c %s "$out/image$n.jpg") bytes)"
  else
    echo "FAIL image$n.jpg differs from the committed file (run make assets, look, commit)"
    status=1
  fi
done
exit $status
