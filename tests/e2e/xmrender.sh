#!/usr/bin/env bash
# xmrender over real XM files (Debian's heroes-sound-tracks) and a purpose-made tone: every
# file renders, each song once for as long as another player (openmpt123, a black box) says
# it lasts, notes at the right pitch and time, the same bytes every time; the output forms,
# refusals and the progress line.
set -u
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
source "$QUARBTRO_SOURCE/tests/lib/real_modules.sh"
xmrender="$QUARBTRO_BUILD/xmrender"
work=$(mktemp -d "${TMPDIR:-/tmp}/quarbtro-xmrender.XXXXXX")
trap 'rm -rf "$work"' EXIT

fetch_real_modules || exit 1

# Seconds as a whole number of milliseconds, for comparisons in the shell.
milliseconds() { awk -v s="$1" 'BEGIN { printf "%d", s * 1000 + 0.5 }'; }
within() {  # a b tolerance-ms
  local d=$(( $1 - $2 )); [ ${d#-} -le "$3" ]
}
rough_frequency() {  # file start length
  sox "$1" -n trim "$2" "$3" remix 1 stat 2>&1 | awk '/Rough/ { print $3 }'
}

for module in "${real_modules[@]}"; do
  name=$(basename "$module" .xm)
  status=0
  "$xmrender" "$module" -o "$work/$name.wav" 2>"$work/err" || status=$?
  check_eq "$name renders" 0 "$status"
  check_eq "$name: nothing on standard error but a count of samples clipped" "" \
    "$(grep -v "^xmrender: $work/$name.wav: [0-9,]* samples clipped" "$work/err")"
  check_eq "$name: 44,100 Hz 16-bit stereo" "44100 2 16" \
    "$(soxi -r "$work/$name.wav") $(soxi -c "$work/$name.wav") $(soxi -b "$work/$name.wav")"
  ours=$(milliseconds "$(soxi -D "$work/$name.wav")")
  theirs=$(openmpt123 --info "$module" 2>/dev/null | awk '/^Duration/ { split($2, t, ":"); print t[1] * 60 + t[2] }')
  # Tick lengths are whole frames here, and each player ends a song on its own rule: allow
  # 0.2 % and 10 ms.
  check_true "$name: lasts as long as openmpt123 says (${ours} ms, ${theirs}s)" \
    within "$ours" "$(milliseconds "$theirs")" $(( ours / 500 + 10 ))
  check_true "$name: not silent" test "$(sox "$work/$name.wav" -n stat 2>&1 | awk '/Maximum amplitude/ { print ($3 > 0.05) }')" = 1
done

intro="${real_modules[0]%/*}/intro.xm"
"$xmrender" "$intro" -o "$work/again.wav"
check_true "the same song renders to the same bytes" cmp -s "$work/intro.wav" "$work/again.wav"
"$xmrender" "$intro" -o - >"$work/stdout.wav"
check_true "-o - writes the same file to standard output" cmp -s "$work/intro.wav" "$work/stdout.wav"
"$xmrender" "$intro" --raw -o "$work/intro.raw"
check_true "--raw writes the WAV file's frames without the header" \
  cmp -s "$work/intro.raw" <(tail -c +45 "$work/intro.wav")
"$xmrender" "$intro" --seconds 1.5 --raw -o "$work/short.raw"
check_eq "--seconds 1.5 renders 66,150 frames" $((66150 * 4)) "$(stat -c %s "$work/short.raw")"
check_true "--seconds starts where the song starts" cmp -s "$work/short.raw" <(head -c $((66150 * 4)) "$work/intro.raw")

# Pitch and time: C-4 then C-5 (at 0.96 s) on a sine of 100 frames a cycle, here and in
# openmpt123.
"$QUARBTRO_BUILD/tests/effect-modules" "$work"
"$xmrender" "$work/tone.xm" -o "$work/tone.wav"
(cd "$work" && openmpt123 --render --no-float -q tone.xm >/dev/null 2>&1)
for player in tone.wav tone.xm.wav; do
  check_eq "$player: C-4 sounds at 83 Hz" 83 "$(rough_frequency "$work/$player" 0.1 0.85)"
  check_eq "$player: C-5 sounds at 167 Hz" 167 "$(rough_frequency "$work/$player" 0.97 0.85)"
  check_eq "$player: still C-4 just before 0.96 s" 83 "$(rough_frequency "$work/$player" 0.86 0.09)"
done

# Refusals and usage.
head -c 1000 "$intro" >"$work/cut.xm"
printf 'Extended module: ' | dd of="$work/cut.xm" bs=1 conv=notrunc status=none
status=0; message=$("$xmrender" "$work/cut.xm" -o "$work/none.wav" 2>&1) || status=$?
check_eq "a refused file: status 1" 1 "$status"
check_true "a refused file: the loader's reason" grep -q 'not an XM module' <<<"$message"
check_true "a refused file: no output written" test ! -e "$work/none.wav"
status=0; message=$("$xmrender" "$work/missing.xm" -o "$work/none.wav" 2>&1) || status=$?
check_eq "a missing file: status 1" 1 "$status"
check_true "a missing file: says so" grep -q 'No such file' <<<"$message"
mkdir "$work/here"
(cd "$work/here" && "$xmrender" "$intro")
check_true "no output given: NAME.wav in the current folder" cmp -s "$work/intro.wav" "$work/here/intro.wav"
status=0; (cd "$work/here" && "$xmrender" "$intro" 2>/dev/null) || status=$?
check_eq "no output given: not over an existing file" 1 "$status"

# --start plays from an order position to the song's end, as xmp does (not round to it again).
"$xmrender" "${real_modules[0]%/*}/heroes03.xm" --start 13 -o "$work/from13.wav"
(cd "$work" && xmp -q -s 13 -o xmp13.wav "${real_modules[0]%/*}/heroes03.xm")
check_eq "--start 13 of 30 order positions: as long as xmp -s 13" "$(soxi -s "$work/xmp13.wav")" "$(soxi -s "$work/from13.wav")"

# On a terminal, a render longer than a second shows its progress: 4,000 s of this song take
# about three seconds to render here, well past the first progress line.
script -qec "'$xmrender' '$intro' --seconds 4000 -o /dev/null" /dev/null </dev/null >"$work/tty" 2>&1
check_true "progress line on a terminal" grep -q 'rendered' "$work/tty"
"$xmrender" "$intro" --seconds 4000 -o /dev/null 2>"$work/err"
check_eq "no progress line off a terminal" "" "$(cat "$work/err")"

finish
