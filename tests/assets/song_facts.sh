#!/usr/bin/env bash
# The song's facts as the player's loader reads them (xminfo --json): the shape of module the
# intro is made for.
#   song_facts.sh XMINFO SONG.xm
set -u
xminfo=$1 song=$2
json=$("$xminfo" --json "$song") || { echo "FAIL xminfo refused $song"; exit 1; }
status=0
check() {  # description, jq condition
  if jq -e "$2" > /dev/null <<< "$json"; then
    echo "ok   $1"
  else
    echo "FAIL $1"
    status=1
  fi
}
check "8 channels" '.channels == 8'
check "linear frequency table" '.linear == true'
check "default tempo 3 ticks a row, 224 BPM" '.defaultSpeed == 3 and .defaultBpm == 224'
check "restart position 0" '.restartPosition == 0'
check "patterns of 128 and 64 rows" '(.patternRows | unique) == [64, 128]'
check "every pattern in the order list" '(.orders | unique | length) == .patternCount'
check "at most 16 samples an instrument" '[.samples[].slot] | max < 16'
check "one-shot and forward-looping samples, no ping-pong" '([.samples[].loopType] | unique) == [1, 2]'
size=$(stat -c %s "$song")
if [ "$size" -lt 65536 ]; then echo "ok   under 64 KiB: $size bytes"; else echo "FAIL $size bytes"; status=1; fi
exit $status
