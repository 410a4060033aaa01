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
script -qfec "'$xmplay' -d null '$song' '$tone'" /dev/null <"$work/keys" >"$work/tty" 2>&1 &
player_pid=$!
exec 3>"$work/keys"
check_true "the status line: order, row, time of duration, speed, BPM, channels, file, title" \
  await_status '^order 0/[0-9]*  row [0-9]*  [0-9:.]* / [0-9:.]*  speed [0-9]*, [0-9]* BPM  [0-9]*/8 channels  \[1/2\] Quar'
printf '\033[C' >&3
check_true "right arrow: the next order position" await_status '^order 1/'
printf '\033[D' >&3
check_true "left arrow: the one before" await_status '^order 0/'
printf ' ' >&3
check_true "space pauses" await_status ' paused '
sleep 0.5; paused_at=$(time_of "$(last_status)"); sleep 0.5
check_eq "paused, the time stands" "$paused_at" "$(time_of "$(last_status)")"
printf ' ' >&3
check_true "space again resumes" await_status ' channels  \[1/2\]'
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

# --- Off a terminal: a line per order position ------------------------------------------------
"$xmplay" -d null "$jumps" >"$work/once" 2>&1
check_eq "the song once: status 0" 0 $?
"$xmplay" -d null --loops 2 "$jumps" >"$work/twice" 2>&1
once=$(time_of "$(tail -n 1 "$work/once")") twice=$(time_of "$(tail -n 1 "$work/twice")")
check_true "--loops 2 plays on past the first pass ($once, then $twice)" \
  awk -v a="${once#0:}" -v b="${twice#0:}" 'BEGIN { exit !(a < 1.02 && b > 1.02) }'
status=0; timeout --preserve-status -s INT 3 "$xmplay" -d null --loops 0 "$jumps" >"$work/forever" 2>&1 || status=$?
check_eq "--loops 0 plays until Ctrl+C: status 130" 130 "$status"
check_true "--loops 0 went past the song's end" \
  awk -v t="$(time_of "$(tail -n 1 "$work/forever")")" 'BEGIN { sub(/^0:/, "", t); exit !(t + 0 > 1.02) }'
check_eq "--start 3: the song starts at order position 3" "order 3/4" \
  "$("$xmplay" -d null --start 3 "$jumps" | head -n 1 | cut -c 1-9)"
check_eq "standard input" "order 0/1" "$("$xmplay" -d null - <"$tone" | head -n 1 | cut -c 1-9)"

status=0; "$xmplay" -d null "$work/missing.xm" "$jumps" >"$work/out" 2>"$work/err" || status=$?
check_eq "a missing file among others: status 1" 1 "$status"
check_eq "a missing file: says so" "xmplay: cannot open $work/missing.xm: No such file or directory" "$(cat "$work/err")"
check_true "a missing file: the others still play" grep -q '^order [0-9]/4' "$work/out"
status=0; "$xmplay" -d speakers "$jumps" 2>"$work/err" || status=$?
check_eq "-d with no such device: status 2" 2 "$status"
check_eq "-d with no such device: says which there are" 'xmplay: -d takes oss, alsa or null, or alsa:DEVICE or oss:PATH, not "speakers"' \
  "$(head -n 1 "$work/err")"

finish
