#!/usr/bin/env bash
# The capture tool (build/quarbtro-capture): its frames are the intro's frames at the clocks of
# their times, its sound is the embedded song as xmrender renders it (in the design profile), video and sound have the
# same length, it starts and stops a private X server where there is no display, and Ctrl+C
# leaves neither an unfinished file nor a server behind.
#
# The full capture runs at 10 frames a second: at 60 it takes about a minute on a small machine
# (bench figures are in README.md), and every timing property holds at any rate.
set -u
source "$QUARBTRO_SOURCE/tests/lib/servers.sh"
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
capture="$QUARBTRO_BUILD/quarbtro-capture"
song="$QUARBTRO_SOURCE/assets/song.xm"
golden="$QUARBTRO_SOURCE/tests/pictures/golden"
out="$_servers_dir/capture"
mkdir -p "$out"

# Pixels of two pictures that differ by more than the fuzz (a percentage of full scale).
differing() { compare -metric AE -fuzz "$3" "$1" "$2" null: 2>&1 | cut -d' ' -f1; }
at_most_one_percent() { test "$(differing "$1" "$2" 10%)" -le $((660 * 500 / 100)) 2>/dev/null; }
# Runs a command with its messages in $out/NAME.log, shown when it fails; its status in $status.
run_logged() {
  local name=$1; shift
  "$@" 2>"$out/$name.log"
  status=$?
  [ $status -eq 0 ] || { echo "--- $name failed:"; cat "$out/$name.log"; }
}
# The display a capture said it drew on.
private_display() { sed -n 's/.*private headless X server (\(:[0-9]*\)).*/\1/p' "$1"; }

# --- No display: the short capture, lossless, on a private X server it starts itself --------
run_logged short env -u DISPLAY "$capture" --fps 10 --from 0 --to 500 --lossless -o "$out/short"
check_eq "the short capture succeeds" 0 $status
display=$(private_display "$out/short.log")
check_true "it drew on a private X server ($display)" test -n "$display"
check_true "and stopped that server" bash -c "! xdpyinfo -display '$display' >/dev/null 2>&1"
check_eq "clock 0 to 500 at 10 fps is 50 frames" 50 "$(ls "$out/short" | grep -c '^frame-.*\.png$')"

# Its sound is the embedded song's first five seconds, sample for sample.
"$QUARBTRO_BUILD/xmrender" "$song" --profile design --seconds 5 -o "$out/xmrender.wav"
check_true "its sound equals xmrender --seconds 5 of the song" cmp "$out/short/sound.wav" "$out/xmrender.wav"

# Its frames are the intro's frames at the clocks 0, 10, ..., 490, drawn through the same frame
# function on another X server.
start_xvfb || exit 1
mkdir -p "$out/grabbed"
"$QUARBTRO_BUILD/tests/frame-grabber" "$out/grabbed" $(seq 0 10 490)
mismatched=0
for frame in $(seq 0 49); do
  name=$(printf 'frame-%06d.png' "$frame")
  [ "$(differing "$out/short/$name" "$out/grabbed/frame-$((frame * 10)).ppm" 0)" = 0 ] || mismatched=$((mismatched + 1))
done
check_eq "every frame is the intro's frame at its clock, pixel for pixel" 0 "$mismatched"
check_true "the frame at 3.0 s matches the golden frame at clock 300" \
  at_most_one_percent "$out/short/frame-000030.png" "$golden/frame-300.png"

# --- A later start finds the state a whole run would have at that point -------------------
for clock in 2000 3700; do
  run_logged from-$clock "$capture" --fps 10 --from $clock --to $((clock + 10)) --lossless -o "$out/from-$clock"
  check_true "a capture from $clock starts with the golden frame at $clock" \
    at_most_one_percent "$out/from-$clock/frame-000000.png" "$golden/frame-$clock.png"
done

# --- The whole intro as an MP4, on the display it is given -------------------------------
run_logged full "$capture" --fps 10 -o "$out/full.mp4"
check_eq "the full capture succeeds" 0 $status
check_true "it used the display it was given" bash -c "! grep -q 'private headless' '$out/full.log'"
probe() { ffprobe -v error -select_streams "$1" -show_entries "$2" -of default=noprint_wrappers=1:nokey=1 "$out/full.mp4"; }
check_eq "H.264 video and AAC sound" "h264 aac" "$(probe v stream=codec_name) $(probe a stream=codec_name)"
check_eq "the video is 660 x 500" "660x500" "$(probe v stream=width)x$(probe v stream=height)"
check_eq "425 frames: the end scene's frame at 42.5 s is not among them" 425 "$(probe v stream=nb_frames)"
video_length=$(probe v stream=duration)
sound_length=$(probe a stream=duration)
check_eq "the video lasts 42.5 s" 42.500000 "$video_length"
check_true "the sound lasts as long, within one frame ($sound_length s)" \
  awk -v a="$sound_length" -v v="$video_length" 'BEGIN { exit !(a - v < 0.1 && v - a < 0.1) }'
check_eq "both start at 0" "0.000000 0.000000" "$(probe v stream=start_time) $(probe a stream=start_time)"
# Frame k sits at k / 10 s, so the frame that shows clock c sits at c / 100 s.
check_true "frame k sits at k / 10 s" bash -c "ffprobe -v error -select_streams v -show_entries frame=pts_time \
  -of default=noprint_wrappers=1:nokey=1 '$out/full.mp4' | awk '\$1 + 0 != (NR - 1) / 10 { bad = 1 } END { exit bad || NR != 425 }'"
# Mean brightness per frame: black until the intro's scene starts at clock 220, blue at the end.
ffprobe -v error -f lavfi -i "movie=$out/full.mp4,signalstats" \
  -show_entries frame_tags=lavfi.signalstats.YAVG -of csv=p=0 >"$out/brightness"
check_true "the frame at 2.1 s is black" awk 'NR == 22 { exit !($1 < 20) }' "$out/brightness"
check_true "the frame at 2.2 s (clock 220) shows the intro's pink" awk 'NR == 23 { exit !($1 > 120) }' "$out/brightness"

# The contact sheet make run writes beside the capture: 43 frames, seven to a row.
"$QUARBTRO_SOURCE/scripts/contact-sheet.sh" "$out/full.mp4" "$out/sheet.png"
check_eq "the contact sheet is seven by seven cells" "940x716" "$(identify -format '%wx%h' "$out/sheet.png" 2>&1)"

# --- Fractional rates ----------------------------------------------------------------------
run_logged ntsc "$capture" --fps 60000/1001 --to 100 -o "$out/ntsc.mp4"
check_eq "60000/1001 fps: the first second is 60 frames at that rate" "60000/1001 60" \
  "$(ffprobe -v error -select_streams v -show_entries stream=r_frame_rate,nb_frames -of csv=p=0 "$out/ntsc.mp4" | tr , ' ')"

# --- Without ffmpeg: PNG frames and a WAV file ------------------------------------------------
run_logged plain env PATH=/nonexistent "$capture" --fps 10 --to 20 -o "$out/plain.mp4"
check_eq "without ffmpeg the capture still succeeds" 0 $status
check_true "and says why it writes frames" grep -q "ffmpeg .* is not installed" "$out/plain.log"
check_eq "two frames and the sound in plain/" "frame-000000.png frame-000001.png sound.wav" "$(ls "$out/plain" | tr '\n' ' ' | sed 's/ $//')"

# --- Ctrl+C: no unfinished output, no server left --------------------------------------------
env -u DISPLAY "$capture" --fps 30 -o "$out/interrupted.mp4" 2>"$out/interrupted.log" &
pid=$!
for _ in $(seq 200); do grep -q '10%' "$out/interrupted.log" 2>/dev/null && break; sleep 0.1; done
kill -INT $pid
await_exit $pid 20
check_eq "Ctrl+C ends the capture by the signal" 130 "$exit_status"
check_eq "and leaves no output" "" "$(ls "$out" | grep interrupted.mp4)"
display=$(private_display "$out/interrupted.log")
check_true "nor its private X server ($display)" bash -c "! xdpyinfo -display '$display' >/dev/null 2>&1"

# --- A failure on the private X server: its own message, no X error after it -----------------
touch "$out/a-file"  # a file where a directory should be: even root cannot write below it
env -u DISPLAY "$capture" --fps 10 --to 20 -o "$out/a-file/x.mp4" 2>"$out/unwritable.log"
check_eq "an output that cannot be written: status 1" 1 $?
check_true "it says why" grep -q '^quarbtro-capture: ' "$out/unwritable.log"
check_eq "and nothing from X after it" "" "$(grep -i 'XIO\|X server.*error' "$out/unwritable.log")"

"$capture" --fps 0 2>/dev/null
check_eq "a rate of 0 is refused" 2 $?
finish
