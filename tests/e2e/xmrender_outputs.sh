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
# From order 1 the song plays to its end: all but order 0, whose frames the trace adds up.
first_order=$("$xmrender" "$intro" --trace -o - | awk '$1 == 0 && $6 == 0 { frames += $4 } END { print frames * 4 }')
check_eq "--start 1: from there to the song's end" $(( $(stat -c %s "$work/intro.raw") - first_order )) \
  "$(stat -c %s "$work/second.raw")"
check_true "--start 1: another sound" bash -c "! cmp -s '$work/intro.raw' '$work/second.raw'"
"$xmrender" "$intro" --start 1 --loops 2 --raw -o "$work/second-twice.raw"
check_eq "--start 1 --loops 2: to the end, then the whole song" \
  $(( $(stat -c %s "$work/second.raw") + $(stat -c %s "$work/intro.raw") )) "$(stat -c %s "$work/second-twice.raw")"
check_eq "--start past the song: status 1" 1 "$(status_of "$xmrender" "$intro" --start 2 -o "$work/none.wav")"
check_eq "--start past the song: says so" "xmrender: $intro: --start 2 is past the song's 2 order positions" "$(cat "$work/err")"
# A start by time is the whole song's sound from there, frame for frame; a time limit fades out.
"$xmrender" "$intro" --start-time 0:12.5 --raw -o "$work/later.raw"
check_true "--start-time 0:12.5: the song from 12.5 s on" cmp -s "$work/later.raw" <(tail -c +$(( 551250 * 4 + 1 )) "$work/intro.raw")
"$xmrender" "$intro" --time 3 -o "$work/three.wav"
check_eq "--time 3: three seconds" 132300 "$(frames "$work/three.wav")"
check_true "--time 3: faded to silence at the end" awk -v peak="$(sox "$work/three.wav" -n trim 2.99 stat 2>&1 | awk '/Maximum amplitude/ { print $3 }')" 'BEGIN { exit !(peak < 0.01) }'
check_eq "--start-time past the end: status 1" 1 "$(status_of "$xmrender" "$intro" --start-time 1:00 -o "$work/none.wav")"
# The sound settings: mono is the same on both sides; sinc sounds, and differs from linear.
"$xmrender" "$intro" --stereo 0 --time 2 -o "$work/mono.wav"
check_eq "--stereo 0: both sides the same" "0.000000" "$(sox "$work/mono.wav" -n remix 1,2i stat 2>&1 | awk '/Maximum amplitude/ { print $3 }')"
"$xmrender" "$intro" --interpolation sinc --time 2 --raw -o "$work/sinc.raw"
check_true "--interpolation sinc: another sound, as long" bash -c "! cmp -s '$work/sinc.raw' <(head -c $(( 88200 * 4 )) '$work/intro.raw') && test \$(stat -c %s '$work/sinc.raw') = $(( 88200 * 4 ))"
"$xmrender" "$intro" --solo 1 --mute 1 --time 2 -o "$work/nothing.wav"
check_eq "--solo 1 --mute 1: nothing heard" "0.000000" "$(sox "$work/nothing.wav" -n stat 2>&1 | awk '/Maximum amplitude/ { print $3 }')"
"$xmrender" "$song" --gain 24 -o "$work/loud.wav" 2>"$work/err"
check_true "--gain 24: the samples clipped are counted and said" \
  grep -q "^xmrender: $work/loud.wav: [0-9,]* samples clipped ([0-9.]* %); a gain [0-9.]* dB lower keeps them all$" "$work/err"

# --- Several modules, standard input ---------------------------------------------------------
"$xmrender" "$song" "$intro" -O "$work/out" --format flac
check_eq "-O: one output per module, named after it" "intro.flac song.flac" "$(ls "$work/out" | tr '\n' ' ' | sed 's/ $//')"
check_true "-O: the same sound as one at a time" cmp -s "$work/out/song.flac" "$work/song.flac"
check_eq "-O: made where missing, not its parents" 1 "$(status_of "$xmrender" "$song" -O "$work/no/such")"
check_eq "-O: says why" "xmrender: cannot make $work/no/such: No such file or directory" "$(cat "$work/err")"
"$xmrender" -j 2 "$song" "$intro" -O "$work/two-at-once" --format flac
check_true "-j 2: the same files as one at a time" \
  bash -c "cmp -s '$work/out/song.flac' '$work/two-at-once/song.flac' && cmp -s '$work/out/intro.flac' '$work/two-at-once/intro.flac'"
long_name=$(printf 'x%.0s' $(seq 247)).wav  # 251 bytes: the temporary name would be 266
"$xmrender" "$intro" --time 1 -o "$work/$long_name"
check_true "an output name of 251 bytes is written" test -s "$work/$long_name"
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
check_eq "its own input, even with --force: status 1" 1 "$(status_of "$xmrender" "$work/own.xm" --force --format wav -o "$work/own.xm")"
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
check_eq "an extension that names no format: status 2" 2 "$(status_of "$xmrender" "$song" -o "$work/x.mp3")"
check_true "an extension that names no format: the ones there are" grep -q 'writes .wav, .flac and .raw files, not .mp3' "$work/err"
check_eq "xmp's -f 48000: status 2" 2 "$(status_of "$xmrender" -f 48000 "$song")"
check_eq "xmp's -f 48000: the option meant" "xmrender: -f is --force and takes no value; for 48000, did you mean --rate 48000?" \
  "$(head -n 1 "$work/err")"
check_eq "another player's option: the one meant" "xmrender: unknown option --samplerate; did you mean --rate (-r)?" \
  "$("$xmrender" --samplerate=48000 "$song" 2>&1 | head -n 1)"

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
