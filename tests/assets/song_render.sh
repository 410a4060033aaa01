#!/usr/bin/env bash
# The song as the player renders it over the intro's 42.5 seconds: nothing clipped, the peak at
# most -1 dBFS, the RMS level between -20 and -12 dBFS, no silence longer than a second once the
# pictures start at 2.2 s, and an ending that has faded out before the intro quits at 42.5 s:
# the last 300 ms at most -36 dBFS, the last 100 ms silent (within -60 dBFS), loop included.
#   song_render.sh XMRENDER WAV_LEVELS SONG.xm
set -u
xmrender=$1 levels=$2 song=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$xmrender" "$song" --profile design -o "$out/song.wav" --seconds 42.5 > /dev/null || { echo "FAIL xmrender"; exit 1; }
figure() { awk -v name="$1" '$1 == name { print $2 }' "$2"; }
"$levels" "$out/song.wav" > "$out/whole" || exit 1
"$levels" "$out/song.wav" --from 2.2 > "$out/pictures" || exit 1
"$levels" "$out/song.wav" --from 42.2 > "$out/ending" || exit 1
"$levels" "$out/song.wav" --from 42.4 > "$out/exit" || exit 1

status=0
check() {  # description, awk condition on x, value
  if awk -v x="$3" "BEGIN { exit !($2) }"; then
    echo "ok   $1: $3"
  else
    echo "FAIL $1: $3"
    status=1
  fi
}
check "full-scale samples" "x == 0" "$(figure fullScale "$out/whole")"
check "peak (dBFS), at most -1" "x <= -1" "$(figure peakDbfs "$out/whole")"
check "RMS (dBFS), -20 to -12" "x >= -20 && x <= -12" "$(figure rmsDbfs "$out/whole")"
check "longest silence after 2.2 s (s), at most 1" "x <= 1" "$(figure longestSilence "$out/pictures")"
# x + 0: a silent span measures -inf, which awk compares as a number only when made one.
check "RMS of the last 300 ms (dBFS), at most -36" "x + 0 <= -36" "$(figure rmsDbfs "$out/ending")"
check "silence over the last 100 ms (s)" "x >= 0.099" "$(figure longestSilence "$out/exit")"
exit $status
