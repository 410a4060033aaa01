#!/usr/bin/env bash
# The whole intro with its sound on today's two sound servers, each private with a null sink:
# PulseAudio, and PipeWire with WirePlumber, each reached through ALSA's default device as
# make run reaches it (nothing preloaded), the picture under Xvfb. On each, one whole run:
# what the sink plays is xmrender's render of the song sample for sample, with no gap; the
# clock, as the intro's clock log shows it, never steps back and follows the audio; then the
# server is killed mid-show, and the show keeps time on the monotonic clock to its end at
# 42.5 s, says once that the sound was lost, and exits 0. Then the OSS path through PulseAudio's
# OSS emulation, and no sound device at all.
set -u
source "$QUARBTRO_SOURCE/tests/lib/servers.sh"
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
intro="$QUARBTRO_BUILD/quarbtro"
title="Quarbtro by Tessk"
work="$_servers_dir"
song="$work/song.raw"
"$QUARBTRO_BUILD/xmrender" "$QUARBTRO_SOURCE/assets/song.xm" --profile design --seconds 42.5 --raw -o "$song"

# The clock log's figures: backward steps of the clock and of the position the device reported
# (the clock holds where it does), the last clock, and the clock's rate (centiseconds per second,
# fitted) from 3 s to KILL_CS and from KILL_CS + 100 to the end.
clock_figures() {  # LOG KILL_CS
  awk -v kill="$2" '
    NR > 1 && $2 < clock { backward++ }
    NR > 1 && $4 < reported { reportedBackward++ }
    { clock = $2; reported = $4 }
    function add(set, t, c) { n[set]++; st[set] += t; sc[set] += c; stt[set] += t * t; stc[set] += t * c }
    function rate(set) { return (n[set] * stc[set] - st[set] * sc[set]) / (n[set] * stt[set] - st[set] * st[set]) }
    $2 >= 300 && $2 < kill { add("heard", $1, $2) }
    $2 >= kill + 100 { add("lost", $1, $2) }
    END {
      printf "backward %d reported-backward %d last %d heard-rate %.1f lost-rate %.1f\n",
        backward, reportedBackward, clock, (n["heard"] > 10 ? rate("heard") : 0), (n["lost"] > 10 ? rate("lost") : 0)
    }' "$1"
}

within() { awk -v v="$1" -v low="$2" -v high="$3" 'BEGIN { exit !(v >= low && v <= high) }'; }

# whole_run SERVER RECORDER_LATENCY_MS
whole_run() {
  local server=$1 latency=$2 log="$work/$1.clock" out="$work/$1.out" err="$work/$1.err"
  start_"$server" || return 1
  start_xvfb || return 1
  record_sink "$work/$server.raw" "$latency"
  local recorder=$!
  sleep 0.3
  local started ended
  started=$(date +%s.%N)
  QUARBTRO_CLOCK_LOG="$log" setsid "$QUARBTRO_SOURCE/scripts/run-intro.sh" "$QUARBTRO_BUILD" \
    >"$out" 2>"$err" &
  local launcher=$!
  await_window "$title" 30 || { cat "$err"; kill -KILL -- -"$launcher"; return 1; }
  # The server goes at 30 s of the show.
  local tries=0
  until [ "$(tail -n 1 "$log" 2>/dev/null | cut -d' ' -f2)" -ge 3000 ] 2>/dev/null || [ $tries -ge 1200 ]; do
    sleep 0.05
    tries=$((tries + 1))
  done
  local kill_cs
  kill_cs=$(tail -n 1 "$log" | cut -d' ' -f2)
  kill -KILL "$sound_server_pid"
  await_exit "$launcher" 40
  ended=$(date +%s.%N)
  kill "$recorder" 2>/dev/null
  wait "$recorder" 2>/dev/null
  stop_servers

  local elapsed figures
  elapsed=$(awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.1f", b - a }')
  figures=$(clock_figures "$log" "$kill_cs")
  echo "     $server: ran $elapsed s, server killed at $kill_cs cs; $figures; longest standstill" \
    "$(awk -v kill="$kill_cs" '$2 >= 300 && $2 < kill && !n++ { since = $1; c = $2 }
      $2 >= 300 && $2 < kill { if ($2 != c) { if ($1 - since > s) s = $1 - since; since = $1; c = $2 } }
      END { printf "%.0f ms", s * 1000 }' "$log")"
  check_eq "$server: the intro ends by itself with status 0" 0 "$exit_status"
  check_eq "$server: the farewell on standard output" \
    "You have been watching quarbtro by a subset of plenko" "$(head -n 1 "$out")"
  check_true "$server: one line on standard error says the sound was lost" \
    grep -qxE "quarbtro: the sound was lost \(alsa: [^)]+\); the show goes on without it" "$err"
  check_eq "$server: nothing else on standard error" 1 "$(wc -l <"$err")"
  check_true "$server: the whole 42.5 s" within "$elapsed" 42.5 55
  read -r _ backward _ _ _ last _ heard_rate _ lost_rate <<<"$figures"
  check_eq "$server: the clock never steps back" 0 "$backward"
  check_true "$server: the clock reaches the end, 4,250 cs" test "$last" -ge 4250
  check_true "$server: the clock follows the audio, 100 cs/s within 2 %" within "$heard_rate" 98 102
  check_true "$server: without sound it keeps time, 100 cs/s within 2 %" within "$lost_rate" 98 102
  local match
  match=$("$QUARBTRO_BUILD/tests/recording-match" "$song" "$work/$server.raw" 0 \
    "$(awk -v k="$kill_cs" 'BEGIN { print k / 100 - 1 }')")
  echo "     $server: $match"
  check_true "$server: the sink played the song sample for sample, no gap, up to the kill" \
    grep -q ' gaps 0 ' <<<"$match"
}

whole_run pulseaudio 20
# A recorder asking for 20 ms would make PipeWire run its whole graph in cycles of 512 frames.
whole_run pipewire 100

# /dev/dsp through PulseAudio's OSS emulation, for setups that have only that: the same
# requests, and the clock counts what the device has taken.
start_pulseaudio || exit 1
start_xvfb || exit 1
QUARBTRO_AUDIO=oss LD_PRELOAD="$PULSEDSP" QUARBTRO_CLOCK_LOG="$work/oss.clock" "$intro" \
  >/dev/null 2>"$work/oss.err" &
intro_pid=$!
await_window "$title" 30 || cat "$work/oss.err"
sleep 4
kill -TERM "$intro_pid"
await_exit "$intro_pid"
read -r _ backward _ _ _ last _ <<<"$(clock_figures "$work/oss.clock" 100000)"
check_eq "OSS emulation: nothing on standard error" "" "$(cat "$work/oss.err")"
check_true "OSS emulation: the clock runs" test "$last" -ge 200
check_eq "OSS emulation: the clock never steps back" 0 "$backward"
stop_servers

# No sound device at all: one line says what is missing and how to get sound.
start_xvfb || exit 1
status=0
PULSE_SERVER="unix:$work/none" ALSA_CONFIG_PATH="$work/pulse/alsa.conf" "$intro" \
  >"$work/out" 2>"$work/err" || status=$?
check_eq "no sound device: status 1" 1 "$status"
check_eq "no sound device: nothing on standard output" "" "$(cat "$work/out")"
check_eq "no sound device: one line on standard error" 1 "$(wc -l <"$work/err")"
check_true "no sound device: says what is missing and how to get sound" grep -q \
  "^quarbtro: no sound device: /dev/dsp is missing and ALSA's default device: cannot open it: .*PipeWire or PulseAudio.*QUARBTRO_AUDIO=null" \
  "$work/err"
status=0
PULSE_SERVER="unix:$work/none" ALSA_CONFIG_PATH="$work/pulse/alsa.conf" \
  "$QUARBTRO_BUILD/xmplay" "$QUARBTRO_SOURCE/assets/song.xm" >/dev/null 2>"$work/err" || status=$?
check_eq "xmplay without a sound device: status 1" 1 "$status"
check_true "xmplay without a sound device: says so in one line" \
  grep -qx "xmplay: no sound device: /dev/dsp is missing and ALSA's default device: cannot open it: .*" "$work/err"

finish
