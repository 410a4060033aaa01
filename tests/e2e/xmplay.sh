#!/usr/bin/env bash
# xmplay on the null sound output (silence at the pace of the clock; the sound servers are
# covered by intro_sound.sh and sound_faults.sh): its keys and status line on a terminal (a
# pseudo-terminal from script), several files, loops, the start order, standard input, and its
# exit statuses.
set -u
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
xmplay="$QUARBTRO_BUILD/xmplay"
song="$QUARBTRO_SOURCE/assets/song.xm"
work=$(mktemp -d "${TMPDIR:-/tmp}/quarbtro-xmplay.XXXXXX")
player_pid=
trap '[ -n "$player_pid" ] && kill "$player_pid" 2>/dev/null; rm -rf "$work"' EXIT
"$QUARBTRO_BUILD/tests/effect-modules" "$work"
jumps="$work/jumps.xm"  # 4 order positions, 1.02 s (0.70 s as FT2 plays it: its break past the last order restarts)
tone="$work/tone.xm"    # 1 order position, 1.92 s

# The last status line on the terminal so far.
last_status() { tr '\r' '\n' <"$work/tty" | grep '^order' | tail -n 1; }
# Waits up to 20 s for the last status line to match a pattern.
await_status() {
  for _ in $(seq 200); do last_status | grep -q -- "$1" && return 0; sleep 0.1; done
  echo "     (still '$(last_status)')"
  return 1
}
time_of() { grep -o '[0-9]*:[0-9][0-9]\.[0-9]' <<<"$1" | head -n 1; }

# --- On a terminal: keys and the status line ---------------------------------------------------
mkfifo "$work/keys"
script -qfec "stty cols 120; '$xmplay' -d null --mute 2 '$song' '$tone'" /dev/null <"$work/keys" >"$work/tty" 2>&1 &
player_pid=$!
exec 3>"$work/keys"
check_true "the status line: order, row, time of duration, speed, BPM, channels, --mute's, file, title" \
  await_status '^order 0/[0-9]*  row [0-9]*  [0-9:.]* / [0-9:.]*  speed [0-9]*, [0-9]* BPM  [0-9]*/8 channels  muted 2  \[1/2\] Quar'
total_of() { grep -o ' / [0-9]*:[0-9][0-9]\.[0-9]' <<<"$1"; }
song_total=$(total_of "$(last_status)")
printf '\033[C' >&3
check_true "right arrow: the next order position" await_status '^order 1/'
check_eq "right arrow: the song's whole time stays" "$song_total" "$(total_of "$(last_status)")"
printf '1' >&3
check_true "1 mutes channel 1" await_status '/8 channels  muted 1 2  \['
printf '1' >&3
check_true "1 again brings it back" await_status '/8 channels  muted 2  \['
printf '\033[D' >&3
check_true "left arrow: the one before" await_status '^order 0/'
printf ' ' >&3
check_true "space pauses" await_status ' paused '
# What was written before the pause is still heard: the time stands once that has played.
time_stands() {
  for _ in $(seq 40); do
    local before; before=$(time_of "$(last_status)"); sleep 0.5
    [ "$before" = "$(time_of "$(last_status)")" ] && return 0
  done
  return 1
}
check_true "paused, the time stands" time_stands
printf ' ' >&3
check_true "space again resumes" await_status ' channels  muted 2  \[1/2\]'
printf 'n' >&3
check_true "n: the next file" await_status '\[2/2\]'
printf 'p' >&3
check_true "p: the previous file" await_status '\[1/2\] Quar'
printf 'q' >&3
exec 3>&-
wait "$player_pid"
check_eq "q quits with status 0" 0 $?
player_pid=
check_eq "the status line is cleared at the end" "$(printf '\r\033[K')" "$(tail -c 4 "$work/tty")"

# A module on standard input: the keys come from the terminal.
script -qfec "cat '$tone' | '$xmplay' -d null --loops 0 -" /dev/null <"$work/keys" >"$work/tty" 2>&1 &
player_pid=$!
exec 3>"$work/keys"
check_true "a module on standard input: the status line" await_status '^order 0/1'
printf 'q' >&3
exec 3>&-
status=0; wait "$player_pid" || status=$?
player_pid=
check_eq "a module on standard input: q still quits" 0 "$status"

# A job in the background of its terminal (an interactive shell's &) plays without keys: had
# it set the terminal for them, it would be stopped until brought to the front.
background=$(timeout 60 script -qfec "bash --norc -i -c '\"\$0\" -d null -q --time 0.3 \"\$1\" </dev/null & wait \$!; echo \"status \$?\"; kill -KILL %1' '$xmplay' '$tone'" /dev/null 2>&1 | tr -d '\r')
check_eq "in the background of the terminal: plays, not stopped" "status 0" "$(grep '^status' <<<"$background")"

# --- Off a terminal: a line per order position ------------------------------------------------
# Waits up to 30 s for a file to hold COUNT lines (1 unless given) that match a pattern.
await_lines() {  # FILE PATTERN [COUNT]
  local count
  for _ in $(seq 300); do
    count=$(grep -c -- "$2" "$1" 2>/dev/null)
    [ "${count:-0}" -ge "${3:-1}" ] && return 0
    sleep 0.1
  done
  return 1
}
# The seconds of an "order N/M  M:SS.T" line.
seconds_of() { awk '{ split($3, t, ":"); print t[1] * 60 + t[2] }' <<<"$1"; }
song_seconds=$("$QUARBTRO_BUILD/xminfo" --json "$jumps" | grep -o '"duration":[0-9.]*' | cut -d: -f2)
"$xmplay" -d null "$jumps" >"$work/once" 2>&1
check_eq "the song once: status 0" 0 $?
"$xmplay" -d null --loops 2 "$jumps" >"$work/twice" 2>&1
once=$(seconds_of "$(tail -n 1 "$work/once")") twice=$(seconds_of "$(tail -n 1 "$work/twice")")
check_true "--loops 2 plays on past the first pass ($song_seconds s: $once, then $twice)" \
  awk -v a="$once" -v b="$twice" -v s="$song_seconds" 'BEGIN { exit !(a < s && b >= s) }'

# --loops 0 plays on past the song's end until Ctrl+C, which ends it by the signal itself.
"$xmplay" -d null --loops 0 "$jumps" >"$work/forever" 2>&1 &
player_pid=$!
check_true "--loops 0 goes past the song's end" await_lines "$work/forever" '^order [0-9]/4  0:0[1-9]'
kill -INT "$player_pid"
status=0; wait "$player_pid" || status=$?
player_pid=
check_eq "--loops 0, then Ctrl+C: ended by SIGINT (130)" 130 "$status"
from12=$("$xmplay" -d null --rate 48000 --start 12 "$song")
check_eq "--start 12: from there to the song's end" "order 12/13" "$(cut -c 1-11 <<<"$from12" | uniq)"
check_true "--start 12: at the song's own time, also at --rate 48000 ($from12)" \
  awk -v t="$(seconds_of "$from12")" 'BEGIN { exit !(t >= 39.9 && t < 42.4) }'
check_true "--start-time 0:30 --time 1: from half a minute in" \
  grep -q '^order 9/13  0:3[01]\.' <<<"$("$xmplay" -d null --start-time 0:30 --time 1 "$song" | head -n 1)"
status=0; timeout 30 "$xmplay" -d null --time 1 --loops 0 "$tone" >/dev/null || status=$?
check_eq "--time 1 ends a song that would play until stopped" 0 "$status"
check_eq "-q: nothing on standard output" "" "$("$xmplay" -d null -q --time 0.3 "$tone")"
"$xmplay" -d null --shuffle --time 0.3 "$jumps" "$tone" >"$work/shuffled"
check_eq "--shuffle: every file plays once" "1 4" \
  "$(grep -o '^order [0-9]*/[0-9]*' "$work/shuffled" | cut -d/ -f2 | uniq | sort | tr '\n' ' ' | sed 's/ $//')"
"$xmplay" -d null --repeat --time 0.3 "$tone" >"$work/repeated" 2>&1 &
player_pid=$!
check_true "--repeat: the list plays again" await_lines "$work/repeated" '^order 0/1' 2
kill -TERM "$player_pid"
status=0; wait "$player_pid" || status=$?
player_pid=
check_eq "SIGTERM: ended by the signal (143)" 143 "$status"

# Ctrl+C ends xmplay by the signal, so that a shell loop stops too (an exit status of 130 would
# go on to the next file, and that one would play until timeout gives up on it). timeout starts
# the loop with Ctrl+C's default action (a job started with & ignores it) and sends it to the
# loop and xmplay together, as a terminal does.
timeout -k 20 60 bash -c 'for f in "$@"; do "$0" -d null --loops 0 "$f" >"$f.out"; echo next; done' \
  "$xmplay" "$tone" "$tone" >"$work/loop" 2>&1 &
player_pid=$!
await_lines "$tone.out" '^order 0/1'
kill -INT "$player_pid"
status=0; wait "$player_pid" || status=$?
player_pid=
check_eq "Ctrl+C stops a shell loop of xmplay" "130 " "$status $(cat "$work/loop")"
check_eq "standard input" "order 0/1" "$("$xmplay" -d null - <"$tone" | head -n 1 | cut -c 1-9)"

status=0; "$xmplay" -d null "$work/missing.xm" "$jumps" >"$work/out" 2>"$work/err" || status=$?
check_eq "a missing file among others: status 1" 1 "$status"
check_eq "a missing file: says so" "xmplay: cannot open $work/missing.xm: No such file or directory" "$(cat "$work/err")"
check_true "a missing file: the others still play" grep -q '^order [0-9]/4' "$work/out"
cp "$tone" "$work/empty-song.xm"
printf '\0\0' | dd of="$work/empty-song.xm" bs=1 seek=64 conv=notrunc status=none
status=0; "$xmplay" -d null "$work/empty-song.xm" 2>"$work/err" || status=$?
check_eq "a song of length 0: status 1, said plainly" \
  "1 xmplay: $work/empty-song.xm: the song has no order positions (its song length is 0): nothing to play" "$status $(cat "$work/err")"
status=0; "$xmplay" -d alsa:nosuchdevice "$jumps" 2>"$work/err" || status=$?
check_eq "-d alsa:NAME: that device, named in the message" \
  "1 xmplay: no sound (-d alsa:nosuchdevice): ALSA device nosuchdevice: cannot open it" "$status $(cut -d: -f1-5 "$work/err")"
status=0; "$xmplay" -d speakers "$jumps" 2>"$work/err" || status=$?
check_eq "-d with no such device: status 2" 2 "$status"
check_eq "-d with no such device: says which there are" 'xmplay: -d takes oss, alsa or null, or alsa:DEVICE or oss:PATH, not "speakers"' \
  "$(head -n 1 "$work/err")"

finish
