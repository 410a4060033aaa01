#!/usr/bin/env bash
# A sound server that stalls (SIGSTOP) or dies, against the intro and xmplay, on PulseAudio and
# on PipeWire through ALSA. During a stall no wait lasts much longer than 100 ms, so Escape and
# SIGTERM end the intro, and Ctrl+C ends xmplay, within a second, the video mode put back
# (under Xorg with the dummy driver). A server that dies under xmplay ends it with status 1 and
# its reason; one stalled before the intro starts ends the start with its reason.
set -u
source "$QUARBTRO_SOURCE/tests/lib/servers.sh"
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
intro="$QUARBTRO_BUILD/quarbtro"
xmplay="$QUARBTRO_BUILD/xmplay"
song="$QUARBTRO_SOURCE/assets/song.xm"
probe="$QUARBTRO_BUILD/tests/x11-probe"
title="Quarbtro by Tessk"
work="$_servers_dir"

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }
# The time limit the checks allow: a second, and some slack for a loaded machine.
quick() { awk -v t="$1" 'BEGIN { exit !(t <= 2.5) }'; }

await_clock() {  # LOG CENTISECONDS
  local tries=0
  until [ "$(tail -n 1 "$1" 2>/dev/null | cut -d' ' -f2)" -ge "$2" ] 2>/dev/null || [ $tries -ge 400 ]; do
    sleep 0.05
    tries=$((tries + 1))
  done
}

await_mode() {
  local tries=0
  until [ "$("$probe" mode)" = "$1" ] || [ $tries -ge 100 ]; do sleep 0.05; tries=$((tries + 1)); done
}

# The intro through the launcher, its sound server stalled once the show has run a second;
# then HOW ends it: "escape" or "sigterm".
stalled_intro() {  # SERVER HOW
  local server=$1 how=$2 log="$work/$1.$2.clock" err="$work/$1.$2.err"
  QUARBTRO_CLOCK_LOG="$log" setsid "$QUARBTRO_SOURCE/scripts/run-intro.sh" "$QUARBTRO_BUILD" \
    >/dev/null 2>"$err" &
  local launcher=$!
  await_window "$title" 30 || { cat "$err"; kill -KILL -- -"$launcher"; return 1; }
  await_mode 640x480
  await_clock "$log" 100
  kill -STOP "$sound_server_pid"
  sleep 1
  local stalled_at ended expected
  stalled_at=$(tail -n 1 "$log" | cut -d' ' -f2)
  local from
  from=$(now)
  if [ "$how" = escape ]; then
    xdotool windowfocus --sync "$(xdotool search --name "^$title\$")" key Escape
    expected=0
  else
    kill -TERM "$launcher"
    expected=143
  fi
  await_exit "$launcher" 10
  ended=$(since "$from")
  kill -CONT "$sound_server_pid"
  echo "     $server, $how during a stall at $stalled_at cs: ended in $ended s"
  check_eq "$server: $how during a stall: the intro ends as it should" "$expected" "$exit_status"
  check_true "$server: $how during a stall: within a second" quick "$ended"
  check_eq "$server: $how during a stall: mode restored" 1024x768 "$("$probe" mode)"
  check_eq "$server: $how during a stall: nothing on standard error" "" "$(cat "$err")"
}

xmplay_faults() {  # SERVER
  local server=$1 status from ended
  # Ctrl+C while the server stalls.
  "$xmplay" "$song" >/dev/null 2>"$work/xmplay.err" &
  local player=$!
  sleep 1.5
  kill -STOP "$sound_server_pid"
  sleep 1
  from=$(now)
  kill -INT "$player"
  await_exit "$player" 10
  ended=$(since "$from")
  kill -CONT "$sound_server_pid"
  echo "     $server: xmplay, Ctrl+C during a stall: ended in $ended s"
  check_eq "$server: xmplay, Ctrl+C during a stall: status 130" 130 "$exit_status"
  check_true "$server: xmplay, Ctrl+C during a stall: within a second" quick "$ended"
  check_eq "$server: xmplay, Ctrl+C during a stall: nothing on standard error" "" "$(cat "$work/xmplay.err")"

  # The server killed under it.
  "$xmplay" "$song" >/dev/null 2>"$work/xmplay.err" &
  player=$!
  sleep 1.5
  from=$(now)
  kill -KILL "$sound_server_pid"
  await_exit "$player" 10
  ended=$(since "$from")
  echo "     $server: xmplay, server killed: ended in $ended s: $(cat "$work/xmplay.err")"
  check_eq "$server: xmplay, server killed: status 1" 1 "$exit_status"
  check_true "$server: xmplay, server killed: says the sound was lost" \
    grep -qxE "xmplay: the sound was lost \(alsa: [^)]+\)" "$work/xmplay.err"
}

start_xorg_dummy || exit 1
for server in pulseaudio pipewire; do
  start_"$server" || exit 1
  stalled_intro "$server" escape
  stalled_intro "$server" sigterm
  xmplay_faults "$server"
  stop_servers
  start_xorg_dummy || exit 1
done
stop_servers

# PulseAudio's ALSA plugin waits forever for a stalled server to let it open the device: the
# intro gives up after 3 s with its reason, and Ctrl+C ends xmplay during that wait.
start_pulseaudio || exit 1
start_xvfb || exit 1
kill -STOP "$sound_server_pid"
from=$(now)
status=0
timeout 20 "$intro" >/dev/null 2>"$work/err" || status=$?
ended=$(since "$from")
echo "     a stalled server at the start: the intro ended in $ended s: $(cat "$work/err")"
check_eq "a stalled server at the start: the intro ends with status 1" 1 "$status"
check_true "a stalled server at the start: says the device did not open" \
  grep -q "^quarbtro: no sound device: /dev/dsp is missing and ALSA's default device did not open within 3.0 s" "$work/err"
"$xmplay" "$song" >/dev/null 2>"$work/xmplay.err" &
player=$!
sleep 1
from=$(now)
kill -INT "$player"
await_exit "$player" 10
ended=$(since "$from")
echo "     a stalled server at the start: xmplay, Ctrl+C ended it in $ended s"
check_eq "a stalled server at the start: xmplay, Ctrl+C: status 130" 130 "$exit_status"
check_true "a stalled server at the start: xmplay, Ctrl+C: within a second" quick "$ended"
kill -CONT "$sound_server_pid"

finish
