#!/usr/bin/env bash
# The whole intro with its sound, against a real audio server: PulseAudio with a null sink,
# reached through /dev/dsp by PulseAudio's OSS emulation, the picture under Xvfb. The intro
# must run to its end on the audio clock, and what the sink played must be the embedded song
# as xmrender renders it.
set -u
source "$QUARBTRO_SOURCE/tests/lib/servers.sh"
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
intro="$QUARBTRO_BUILD/quarbtro"
title="Quarbtro by Tessk"
work="$_servers_dir"

start_pulseaudio || exit 1
start_xvfb || exit 1

parec -d capture.monitor --format=s16le --rate=44100 --channels=2 --raw >"$work/heard.raw" &
recorder=$!
sleep 0.3

now() { date +%s.%N; }
started=$(now)
LD_PRELOAD="$PULSEDSP" "$intro" >"$work/out" 2>"$work/err" &
intro_pid=$!
await_window "$title" 30 || { cat "$work/err"; exit 1; }
window=$(xdotool search --name "^$title\$")

# Two time reports 25 seconds apart: the clock must advance 100 centiseconds a second.
press_t() {
  xdotool windowfocus --sync "$window" key t
  now
}
sleep 5
first_press=$(press_t)
sleep 25
second_press=$(press_t)

await_exit "$intro_pid" 60
ended=$(now)
kill "$recorder" 2>/dev/null
wait "$recorder" 2>/dev/null

check_eq "the intro ends by itself with status 0" 0 "$exit_status"
check_eq "farewell first on standard output" "You have been watching quarbtro by a subset of plenko" \
  "$(head -n 1 "$work/out")"
check_eq "nothing on standard error" "" "$(cat "$work/err")"
mapfile -t clocks < <(sed -n 's/^tid: //p' "$work/out")
check_eq "two time reports after the farewell" 2 "${#clocks[@]}"
if [ "${#clocks[@]}" -eq 2 ]; then
  rate=$(awk -v c1="${clocks[0]}" -v c2="${clocks[1]}" -v t1="$first_press" -v t2="$second_press" \
    'BEGIN { printf "%.1f", (c2 - c1) / (t2 - t1) }')
  echo "     clock rate: $rate centiseconds per second (${clocks[0]} to ${clocks[1]})"
  check_true "clock advances 100 cs/s within 2 %" awk -v r="$rate" 'BEGIN { exit !(r >= 98 && r <= 102) }'
fi
elapsed=$(awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.1f", b - a }')
echo "     ran for $elapsed s"
check_true "ran for about 42.5 s of audio" awk -v e="$elapsed" 'BEGIN { exit !(e >= 42.5 && e < 55) }'

"$QUARBTRO_BUILD/xmrender" "$QUARBTRO_SOURCE/assets/song.xm" --seconds 42.5 --raw -o "$work/song.raw"
match=$("$QUARBTRO_BUILD/tests/audio-match" "$work/song.raw" "$work/heard.raw" 2.2 42)
echo "     $match"
read -r _ lag _ global _ windows _ median _ minimum <<<"$match"
check_true "what the sink played is the song (median window correlation >= 0.9)" \
  awk -v r="$median" 'BEGIN { exit !(r >= 0.9) }'

# xmplay plays through the same device and thread; Ctrl+C stops it and closes the device.
status=0
timeout --preserve-status -s INT 2 env LD_PRELOAD="$PULSEDSP" "$QUARBTRO_BUILD/xmplay" \
  "$QUARBTRO_SOURCE/assets/song.xm" >"$work/xmplay.out" 2>"$work/xmplay.err" || status=$?
check_eq "xmplay: Ctrl+C ends it with status 130" 130 "$status"
check_true "xmplay: shows where the song stands" grep -q '^order 0/' "$work/xmplay.out"
check_eq "xmplay: nothing on standard error" "" "$(cat "$work/xmplay.err")"

# No audio server and no /dev/dsp: the player cannot be created.
stop_servers
start_xvfb || exit 1
status=0
PULSE_SERVER="unix:$work/none" LD_PRELOAD="$PULSEDSP" "$intro" >"$work/out" 2>"$work/err" || status=$?
check_eq "no sound device: status 1" 1 "$status"
check_eq "no sound device: nothing on standard output" "" "$(cat "$work/out")"
check_eq "no sound device: nothing on standard error" "" "$(cat "$work/err")"
status=0
"$QUARBTRO_BUILD/xmplay" "$QUARBTRO_SOURCE/assets/song.xm" >/dev/null 2>"$work/err" || status=$?
check_eq "xmplay without a sound device: status 1" 1 "$status"
check_true "xmplay without a sound device: says so" grep -q 'cannot use the sound device /dev/dsp' "$work/err"

finish
