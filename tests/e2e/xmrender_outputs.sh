#!/usr/bin/env bash
# xmrender's options and outputs: the formats (FLAC decodes to the 16-bit render, float holds
# the same mix), the rate, the gain, loops and the start order, several modules into a
# directory, standard input; the refusals (an existing file, its own input, an input given
# twice) and what a failure leaves: nothing, on a full disk or after Ctrl+C.
set -u
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
source "$QUARBTRO_SOURCE/tests/lib/real_modules.sh"
xmrender="$QUARBTRO_BUILD/xmrender"
song="$QUARBTRO_SOURCE/assets/song.xm"
work=$(mktemp -d "${TMPDIR:-/tmp}/quarbtro-xmrender-outputs.XXXXXX")
trap 'rm -rf "$work"' EXIT
fetch_real_modules || exit 1
intro="${real_modules[0]%/*}/intro.xm"  # 22 s, 2 order positions

frames() { soxi -s "$1"; }
rms_db() {  # the RMS level of a sound file in dB
  sox "$1" -n stat 2>&1 | awk '/RMS +amplitude/ { printf "%.3f", 20 * log($3) / log(10) }'
}
status_of() { local s=0; "$@" >/dev/null 2>"$work/err" || s=$?; echo $s; }

"$xmrender" "$song" -o "$work/song.wav"
"$xmrender" "$song" --raw -o "$work/song.raw"

# --- Formats ---------------------------------------------------------------------------------
"$xmrender" "$song" -o "$work/song.flac"
check_true "FLAC by the extension" test "$(head -c 4 "$work/song.flac")" = fLaC
check_true "FLAC decodes to the 16-bit render, sample for sample" \
  cmp -s "$work/song.raw" <(ffmpeg -v error -i "$work/song.flac" -f s16le -)
"$xmrender" "$song" --format flac -o - >"$work/stdout.flac"
check_true "FLAC to standard output decodes the same" \
  cmp -s "$work/song.raw" <(ffmpeg -v error -i "$work/stdout.flac" -f s16le -)
"$xmrender" "$song" --float -o "$work/float.wav"
check_eq "--float: 32-bit float WAV" "Floating Point PCM 32" \
  "$(soxi -e "$work/float.wav") $(soxi -b "$work/float.wav")"
check_eq "--float: as many frames" "$(frames "$work/song.wav")" "$(frames "$work/float.wav")"
check_eq "--float: the same level as the 16-bit render" "$(rms_db "$work/song.wav")" "$(rms_db "$work/float.wav")"
"$xmrender" "$song" --format raw -o "$work/by-format.wav"
check_true "--format wins over the extension" cmp -s "$work/song.raw" "$work/by-format.wav"

# --- Rate, gain, loops, start ----------------------------------------------------------------
"$xmrender" "$song" --rate 48000 -o "$work/48k.wav"
check_eq "--rate 48000: a 48,000 Hz file" 48000 "$(soxi -r "$work/48k.wav")"
# Ticks are whole frames at either rate: allow 0.2 %.
check_true "--rate 48000: as long as at 44,100 Hz" awk -v a="$(soxi -D "$work/48k.wav")" \
  -v b="$(soxi -D "$work/song.wav")" 'BEGIN { exit !(a - b < b / 500 && b - a < b / 500) }'
"$QUARBTRO_BUILD/tests/effect-modules" "$work"
"$xmrender" "$work/tone.xm" --rate 48000 -o "$work/tone48k.wav"
check_eq "--rate 48000: C-4 still sounds at 83 Hz" 83 \
  "$(sox "$work/tone48k.wav" -n trim 0.1 0.85 remix 1 stat 2>&1 | awk '/Rough/ { print $3 }')"
"$xmrender" "$song" --gain -6 -o "$work/quiet.wav"
check_true "--gain -6 lowers the RMS by 6 dB ($(rms_db "$work/song.wav") → $(rms_db "$work/quiet.wav"))" \
  awk -v a="$(rms_db "$work/song.wav")" -v b="$(rms_db "$work/quiet.wav")" 'BEGIN { d = a - b - 6; exit !(d < 0.02 && d > -0.02) }'
"$xmrender" "$song" --loops 2 -o "$work/twice.wav"
check_eq "--loops 2 is twice as long" $(( 2 * $(frames "$work/song.wav") )) "$(frames "$work/twice.wav")"
check_true "--loops 2 begins with the song once" \
  cmp -s "$work/song.raw" <(tail -c +45 "$work/twice.wav" | head -c "$(stat -c %s "$work/song.raw")")
"$xmrender" "$intro" --raw -o "$work/intro.raw"
"$xmrender" "$intro" --start 1 --raw -o "$work/second.raw"
check_eq "--start 1: the song's first row is order 1's" "1 0" \
  "$("$xmrender" "$intro" --start 1 --trace -o - | awk 'NR == 2 { print $1, $2 }')"
# From order 1 the song goes on to its restart position, 0, and ends before order 1 again.
check_eq "--start 1: the song once is as long from there" "$(stat -c %s "$work/intro.raw")" "$(stat -c %s "$work/second.raw")"
check_true "--start 1: another sound" bash -c "! cmp -s '$work/intro.raw' '$work/second.raw'"
check_eq "--start past the song: status 1" 1 "$(status_of "$xmrender" "$intro" --start 2 -o "$work/none.wav")"
check_eq "--start past the song: says so" "xmrender: $intro: --start 2 is past the song's 2 order positions" "$(cat "$work/err")"

# --- Several modules, standard input ---------------------------------------------------------
mkdir "$work/out"
"$xmrender" "$song" "$intro" -O "$work/out" --format flac
check_eq "-O: one output per module, named after it" "intro.flac song.flac" "$(ls "$work/out" | tr '\n' ' ' | sed 's/ $//')"
check_true "-O: the same sound as one at a time" cmp -s "$work/out/song.flac" "$work/song.flac"
"$xmrender" - -o "$work/stdin.wav" <"$song"
check_true "standard input renders the same" cmp -s "$work/song.wav" "$work/stdin.wav"
cat "$song" | "$xmrender" /dev/stdin -o "$work/pipe.wav"
check_true "a pipe as /dev/stdin renders the same" cmp -s "$work/song.wav" "$work/pipe.wav"

# --- Refusals --------------------------------------------------------------------------------
check_eq "an input given twice: status 2" 2 "$(status_of "$xmrender" "$song" "$song" -O "$work/out")"
check_true "an input given twice: says where" grep -q "would be written to $work/out/song.wav a second time" "$work/err"
cp "$work/song.wav" "$work/kept.wav"
check_eq "an existing file: status 1" 1 "$(status_of "$xmrender" "$intro" -o "$work/kept.wav")"
check_eq "an existing file: says so" "xmrender: $work/kept.wav exists: --force writes over it" "$(cat "$work/err")"
check_true "an existing file: left as it was" cmp -s "$work/song.wav" "$work/kept.wav"
"$xmrender" "$intro" --force -o "$work/kept.wav"
check_true "--force writes over it" cmp -s <(tail -c +45 "$work/kept.wav") "$work/intro.raw"
cp "$song" "$work/own.xm"
check_eq "its own input, even with --force: status 1" 1 "$(status_of "$xmrender" "$work/own.xm" --force -o "$work/own.xm")"
check_true "its own input: left as it was" cmp -s "$song" "$work/own.xm"
ln -s own.xm "$work/link.wav"
check_eq "its own input through a link: refused" 1 "$(status_of "$xmrender" "$work/own.xm" --force -o "$work/link.wav")"
check_eq "its own input: says so" "xmrender: refusing to write over the module $work/own.xm" "$(cat "$work/err")"
check_eq "a usage error: status 2" 2 "$(status_of "$xmrender" "$song" --seconds 0x10 -o "$work/x.wav")"
check_eq "a usage error names the option" "xmrender: --seconds takes a number of seconds from 0 to 24000, not \"0x10\"" \
  "$(head -n 1 "$work/err")"
check_eq "-o without a value: status 2" 2 "$(status_of "$xmrender" "$song" -o)"
check_eq "--rate below 8000: status 2" 2 "$(status_of "$xmrender" "$song" --rate=7999 -o "$work/x.wav")"
check_eq "--help: status 0" 0 "$(status_of "$xmrender" --help)"

# --- Failures leave nothing ------------------------------------------------------------------
# A tmpfs of 1 MiB in a mount namespace of its own (gone with it): the song's 7 MB do not fit.
mkdir "$work/small"
status=0
unshare -m bash -c "mount -t tmpfs -o size=1m tmpfs '$work/small' && '$xmrender' '$song' -o '$work/small/song.wav' 2>'$work/full.err'; s=\$?; ls -A '$work/small' >'$work/left'; exit \$s" || status=$?
check_eq "a full disk: status 1" 1 "$status"
check_eq "a full disk: says so" "xmrender: cannot write $work/small/song.wav: No space left on device" "$(cat "$work/full.err")"
check_eq "a full disk: nothing left behind" "" "$(cat "$work/left")"

"$xmrender" "$song" --seconds 24000 -o "$work/long.wav" 2>/dev/null &
pid=$!
for _ in $(seq 100); do compgen -G "$work/long.wav.*.partial" >/dev/null && break; sleep 0.05; done
kill -INT $pid
wait $pid
check_eq "Ctrl+C ends the render by the signal" 130 $?
check_eq "Ctrl+C leaves nothing" "" "$(ls "$work" | grep long)"

# --- The progress line, cleared at the end ----------------------------------------------------
script -qec "'$xmrender' '$intro' --seconds 4000 -o '$work/progress.wav'" /dev/null </dev/null >"$work/tty" 2>&1
check_true "a progress line on a terminal" grep -q 'rendered' "$work/tty"
check_eq "and cleared at the end" "$(printf '\r\033[K')" "$(sed 's/.*rendered//' "$work/tty" | tail -c 4 | tr -d '\n')"

finish
