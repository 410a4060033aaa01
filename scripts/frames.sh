#!/usr/bin/env bash
# Frames of the intro drawn at chosen clocks under a private Xvfb, through the intro's own
# frame function (build/tests/frame-grabber):
#   scripts/frames.sh goldens [BUILD]   redraws the golden frames, tests/pictures/golden/*.png
#   scripts/frames.sh sheet [BUILD]     redraws the contact sheet docs/frames.png, one frame a
#                                       second of the intro
# The golden clocks are listed once, here; tests/e2e/pictures.sh compares against them.
set -euo pipefail
cd "$(dirname "$0")/.."
export QUARBTRO_SOURCE=$PWD
build=${2:-build}
golden_clocks="300 1000 1100 1310 2000 3600 3700"

grab() {  # directory clocks...
  source tests/lib/servers.sh
  start_xvfb
  "$build/tests/frame-grabber" "$@"
}

case "${1:-}" in
  clocks) echo "$golden_clocks" ;;
  goldens)
    out=$(mktemp -d)
    grab "$out" $golden_clocks
    mkdir -p tests/pictures/golden
    for clock in $golden_clocks; do
      convert "$out/frame-$clock.ppm" "tests/pictures/golden/frame-$clock.png"
    done
    rm -rf "$out"
    ls -l tests/pictures/golden
    ;;
  sheet)
    out=$(mktemp -d)
    clocks=$(seq 0 100 4200)
    grab "$out" $clocks
    frames=()
    for clock in $clocks; do frames+=(-label "$((clock / 100)) s" "$out/frame-$clock.ppm"); done
    mkdir -p docs
    montage "${frames[@]}" -tile 7x -geometry 132x100+2+2 -font DejaVu-Sans -pointsize 10 \
      -background '#202020' -fill '#d0d0d0' +dither -colors 256 PNG8:docs/frames.png
    rm -rf "$out"
    ls -l docs/frames.png
    ;;
  *) echo "usage: $0 goldens|sheet|clocks [BUILD]" >&2; exit 2 ;;
esac
