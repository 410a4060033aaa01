#!/usr/bin/env bash
# make bench: measures the intro and the player on this machine, prints the tables and writes
# them into docs/benchmarks.md.
#   scripts/bench.sh [BUILD]
#   BENCH_RUNS=N           runs of each short measurement (default 5); the tables give medians
#   BENCH_LONG_RUNS=N      runs of each whole capture (default 3)
#   BENCH_SOUND_RUNS=N     whole runs of the intro, 43 s each, on each sound server, quiet and
#                          beside two busy loops (default 2)
#   BENCH_SCENE_SECONDS=S  seconds of frames per scene and run (default 2)
#   BENCH_QUIET_LOAD=L     first wait (up to 10 minutes) for the 1-minute load average to fall
#                          below L; the machine is shared and the figures follow its load
#   BENCH_LOAD_RUNS=N      whole runs of the intro on PipeWire beside four busy loops, for the
#                          clock under load (default 10)
#   BENCH_GROUP_NICE=N     run in a scheduling group of that niceness (root only, -10 say), so
#                          that other sessions' builds take little processor time from the
#                          bench; the caller's group gets its niceness back at the end
#   BENCH_ONLY="NAME..."   only these blocks (frame-rate frame-pacing glow startup sound
#                          clock-under-load capture player-speed resampler; size comes with sound); the
#                          others stand
# docs/benchmarks.md is written by hand around generated blocks: each block runs from a line
# "<!-- bench:NAME -->" to a line "<!-- /bench:NAME -->", and only the blocks are rewritten.
# A block this script does not make (or whose program is missing) is left as it stands.
set -euo pipefail
cd "$(dirname "$0")/.."
export QUARBTRO_SOURCE=$PWD
build=${1:-build}
runs=${BENCH_RUNS:-5}
long_runs=${BENCH_LONG_RUNS:-3}
scene_seconds=${BENCH_SCENE_SECONDS:-2}
doc=docs/benchmarks.md
source tests/lib/servers.sh
work="$_servers_dir/bench"
mkdir -p "$work"
bench="$build/bench"

load() { cut -d' ' -f1 /proc/loadavg; }
# measuring NAME: whether this run makes the block NAME.
measuring() { [ -z "${BENCH_ONLY:-}" ] || [[ " $BENCH_ONLY " == *" $1 "* ]]; }

# median: the middle of the numbers on standard input (the mean of the two middle ones).
median() {
  sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "n/a";
    else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
# range: "lowest–highest" of the numbers on standard input.
range() { sort -g | awk 'NR == 1 { low = $1 } { high = $1 } END { print low "–" high }'; }
fixed() { awk -v d="$1" '{ printf "%.*f\n", d, $1 }'; }

# block NAME: standard input becomes the block's content, printed and kept for the document.
block() {
  cat >"$work/block.$1"
  echo
  cat "$work/block.$1"
}

# Replaces every block made in this run in the document.
write_document() {
  local name file
  for file in "$work"/block.*; do
    [ -e "$file" ] || continue
    name=${file##*/block.}
    awk -v name="$name" -v file="$file" '
      $0 == "<!-- bench:" name " -->" { print; while ((getline line < file) > 0) print line; skip = 1; next }
      $0 == "<!-- /bench:" name " -->" { skip = 0 }
      !skip { print }' "$doc" >"$work/doc" && cat "$work/doc" >"$doc"
  done
  echo
  echo "bench: wrote $doc"
}

# The kernel schedules each session as one group, whose niceness weighs it against the other
# sessions; a process's own niceness counts only within its group.
group_nice=""
if [ -n "${BENCH_GROUP_NICE:-}" ]; then
  group_nice=$(sed -n 's/.* nice //p' /proc/self/autogroup)
  echo "$BENCH_GROUP_NICE" >/proc/self/autogroup
  trap 'echo "$group_nice" >/proc/self/autogroup; stop_servers; rm -rf "$_servers_dir"' EXIT
fi

if [ -n "${BENCH_QUIET_LOAD:-}" ]; then
  waited=0
  while awk -v l="$(load)" -v q="$BENCH_QUIET_LOAD" 'BEGIN { exit !(l >= q) }' && [ $waited -lt 600 ]; do
    [ $waited -eq 0 ] && echo "bench: waiting for the load average ($(load)) to fall below $BENCH_QUIET_LOAD"
    sleep 10
    waited=$((waited + 10))
  done
fi

start_servers() {
  start_pulseaudio
  start_xvfb
}

# attempt COMMAND...: runs it, and once more on fresh servers should it fail (a server that
# went away under a shared machine's load, say); a second failure ends the bench.
attempt() {
  "$@" && return
  echo "bench: failed, trying once more on fresh servers: $*" >&2
  stop_servers
  start_servers
  "$@"
}

start_load=$(load)
start_servers
renderer=""

# ---- frame rate
if measuring frame-rate; then
  echo "bench: frame rate, $runs runs of ${scene_seconds} s per scene (load $(load))"
  frame_load=$(load)
  for run in $(seq "$runs"); do
    attempt "$bench/frame-rate" "$scene_seconds" >"$work/frames.$run"
  done
  frame_load_after=$(load)
  renderer=$(sed -n 's/^renderer //p' "$work/frames.1" | sed 's/ | /, OpenGL /')
  scenes=$(awk 'NF == 3 { print $1 }' "$work/frames.1")
  {
    echo "| Scene | Clock (cs) | Frames per second | Range of the runs | At least 60 |"
    echo "|---|---:|---:|---:|:-:|"
    for scene in $scenes; do
      clock=$(awk -v s="$scene" '$1 == s { print $2; exit }' "$work/frames.1")
      values=$(awk -v s="$scene" '$1 == s { print $3 }' "$work"/frames.*)
      fps=$(median <<<"$values" | fixed 0)
      met=$(awk -v f="$fps" 'BEGIN { print (f >= 60 ? "yes" : "**no**") }')
      echo "| $scene | $clock | $fps | $(range <<<"$values" | tr -d '\n') | $met |"
    done
    echo
    echo "Median of $runs runs, ${scene_seconds} s of frames per scene and run; 1-minute load average $frame_load before, $frame_load_after after."
  } | block frame-rate
fi

# ---- frame pacing: the intro itself (no sound device: the null output keeps time), the first
# 12 s of a run, on Xvfb (no refresh known: 60 Hz) and on Xorg with the dummy driver in its
# switched 640 x 480 mode (59.94 Hz). Mesa's software renderer has no swap interval, so the
# intro keeps to the refresh itself.
if measuring frame-pacing; then
  pacing_seconds=${BENCH_PACING_SECONDS:-12}
  echo "bench: frame pacing, $runs runs of ${pacing_seconds} s on each display (load $(load))"
  pacing_load=$(load)
  # pacing_run DISPLAY-KIND: one run; "fps repeated% cpu%" to standard output.
  pacing_run() {
    local log="$work/pacing.log" pid ticks status=0
    stop_servers
    if [ "$1" = xorg ]; then start_xorg_dummy; else start_xvfb; fi
    rm -f "$log"
    QUARBTRO_AUDIO=null QUARBTRO_CLOCK_LOG="$log" "$build/quarbtro" >/dev/null &
    pid=$!
    sleep "$pacing_seconds"
    # Processor time (user + system, all threads) in clock ticks, read before it ends.
    ticks=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
    kill -TERM "$pid"
    wait "$pid" || status=$?
    [ "$status" -eq 143 ] || return 1
    # From the first frame past 10 cs (the scenes drawing) to the last.
    awk -v ticks="$ticks" -v hz="$(getconf CLK_TCK)" -v seconds="$pacing_seconds" '
      NR == 1 { first = $1 }
      $2 >= 10 && !from { from = $1; n0 = NR }
      from && NR > n0 && $2 == clock { repeated++ }
      { clock = $2; last = $1; n = NR }
      END { frames = n - n0; printf "%.1f %.1f %.0f\n", frames / (last - from),
            100 * repeated / frames, 100 * ticks / hz / seconds }' "$log"
  }
  for kind in xvfb xorg; do
    for run in $(seq "$runs"); do attempt pacing_run "$kind" >>"$work/pacing.$kind"; done
  done
  stop_servers
  start_servers
  {
    echo "| Display | Refresh (Hz) | Frames a second | Range of the runs | At most refresh + 5 % | Frames repeating the previous centisecond | Processor time of the intro |"
    echo "|---|---:|---:|---:|:-:|---:|---:|"
    for kind in xvfb xorg; do
      case $kind in
        xvfb) label="Xvfb, no refresh known" refresh=60 ;;
        xorg) label="Xorg (dummy), switched 640 × 480" refresh=59.94 ;;
      esac
      fps=$(cut -d' ' -f1 "$work/pacing.$kind" | median | fixed 1)
      met=$(awk -v f="$fps" -v r="$refresh" 'BEGIN { print (f <= r * 1.05 ? "yes" : "**no**") }')
      echo "| $label | $refresh | $fps | $(cut -d' ' -f1 "$work/pacing.$kind" | range | tr -d '\n') | $met |" \
           "$(cut -d' ' -f2 "$work/pacing.$kind" | median | fixed 1) % | $(cut -d' ' -f3 "$work/pacing.$kind" | median | fixed 0) % of one processor |"
    done
    echo
    echo "Median of $runs runs of the intro's first $pacing_seconds s (the frames from the first past 10 cs); 1-minute load average $pacing_load before, $(load) after."
  } | block frame-pacing
fi

# ---- the glow: the intro's summed copies against five full-frame copies, over every frame of
# a 60 fps run (on a private X server of the tool's own; the figures do not depend on the load)
if measuring glow && [ -x "$bench/glow-difference" ]; then
  echo "bench: the glow against full-frame copies, every frame of a 60 fps run (load $(load))"
  glow_from=$(date +%s)
  "$bench/glow-difference" >"$work/glow"
  glow_seconds=$(($(date +%s) - glow_from))
  glow() { awk -v k="$1" -v f="${2:-2}" '$1 == k { print $f }' "$work/glow"; }
  # share COUNT WHOLE [DIGITS]: COUNT as a percentage of WHOLE, DIGITS decimals (default 1).
  share() { awk -v n="$1" -v w="$2" -v d="${3:-1}" 'BEGIN { printf "%.*f %%", d, 100 * n / w }'; }
  glow_frames=$(glow glow-frames)
  glow_pixels=$(($(glow glow-frames) * $(glow pixels-per-frame)))
  largest=$(glow largest)
  {
    echo "| The intro's glow against five full-frame copies | |"
    echo "|---|---:|"
    echo "| Frames of the run (0 to 42.5 s at 60 fps) / glow frames among them | $(glow frames) / $glow_frames |"
    echo "| **Largest difference of a pixel**, levels of 255 | **$largest** ($(share "$largest" 255) of full scale; at $(glow largest 3) cs, pixel ($(glow largest 4), $(glow largest 5))) |"
    echo "| Glow frames with a pixel more than 1 level off | $(glow frames-beyond-1) ($(share "$(glow frames-beyond-1)" "$glow_frames")) |"
    echo "| Glow frames with a pixel more than 2 levels off | $(glow frames-beyond-2) ($(share "$(glow frames-beyond-2)" "$glow_frames")) |"
    echo "| Glow frames with more than 0.3 % of their pixels more than 2 levels off | $(glow frames-over-0.3%-beyond-2) ($(share "$(glow frames-over-0.3%-beyond-2)" "$glow_frames")) |"
    echo "| Pixels more than 1 level off, of all the glow frames' pixels | $(share "$(glow pixels-beyond-1)" "$glow_pixels" 2) |"
    echo "| Pixels more than 2 levels off, of all the glow frames' pixels | $(share "$(glow pixels-beyond-2)" "$glow_pixels" 2) |"
    echo "| Most pixels more than 2 levels off in one frame | $(share "$(glow most-beyond-2-in-a-frame)" "$(glow pixels-per-frame)" 2) of the frame, at $(glow most-beyond-2-in-a-frame 3) cs |"
    echo
    echo "\`build/bench/glow-difference\`, every frame of a 60 fps run of the intro up to the end scene ($glow_seconds s; 1-minute load average $(load) after). A pixel's difference is the largest of its three channels'; a glow frame runs the blur pass and its small image holds something other than black. Drawn by $(sed -n '/^renderer /{s/^renderer //; s/ | /, OpenGL /; p}' "$work/glow")."
  } | block glow
fi

# ---- start-up
if measuring startup; then
  echo "bench: start-up, $runs runs (load $(load))"
  startup_load=$(load)
  # A desktop always has clients (a window manager, a panel); an X server left without any
  # resets itself, which would cost the next connection some 40 ms. One idle client stays.
  xprop -root -spy >/dev/null &
  idle_client=$!
  sleep 0.2
  for run in $(seq "$runs"); do
    attempt env LD_PRELOAD="$PWD/$bench/first-swap.so" "$bench/startup-time" \
      "$build/quarbtro" >"$work/startup.$run"
    attempt "$bench/startup-time" "$bench/startup-steps" >"$work/steps.$run"
  done
  kill "$idle_client"
  total=$(awk '$1 == "first-swap" { print $2 }' "$work"/startup.* | median | fixed 0)
  total_range=$(awk '$1 == "first-swap" { print $2 }' "$work"/startup.* | range)
  phase() { awk -v s="$1" '$1 == s { print $3 }' "$work"/startup.* | median | fixed 0; }
  wall() { awk -v s="$1" '$1 == s { print $3 }' "$work"/steps.* | median | fixed "${2:-1}"; }
  cpu() { awk -v s="cpu-$1" '$1 == s { print $3 }' "$work"/steps.* | median | fixed "${2:-1}"; }
  row() { echo "| · $2 | $(wall "$1" "${3:-1}") | $(cpu "$1" "${3:-1}") |"; }
  steps_total=$(awk '$1 == "first-swap" { print $2 }' "$work"/steps.* | median | fixed 0)
  steps_cpu=$(awk '$1 ~ /^cpu-/ { sum[FILENAME] += $3 } END { for (f in sum) print sum[f] }' "$work"/steps.* |
    median | fixed 0)
  decoding=$(awk '$1 == "jpeg-decoding" { print $3 }' "$work"/steps.* | median | fixed 1)
  textures=$(awk '$1 ~ /^cpu-(sphere-map-texture|scene-tunnel|scene-scroller)$/ { sum[FILENAME] += $3 }
    END { for (f in sum) print sum[f] }' "$work"/steps.* | median | fixed 1)
  {
    echo "| The intro, \`build/quarbtro\` | ms |"
    echo "|---|---:|"
    echo "| **From the exec to the first swapped frame** (goal ≤ 150; range $total_range) | **$total** |"
    echo "| · up to the window: loading, \`glutInit\`, the window and its GL context | $(phase window) |"
    echo "| · the video mode, the scenes and their textures, the player | $(phase resources) |"
    echo "| · the first frame: main loop, drawing, swap | $(phase first-swap) |"
    echo
    echo "| The same start-up step by step, \`startup-steps\` | ms | main thread's CPU, ms |"
    echo "|---|---:|---:|"
    echo "| From the exec to the first swapped frame | $steps_total | $steps_cpu |"
    row loading "loading the program and its libraries, up to \`main\`"
    row signals-and-display-check "the signal thread; can the display be opened?"
    row window "\`glutInit\`, the window and its GL context (the driver loaded)"
    row font "the font: 127 glyph textures"
    row sphere-map-texture "the sphere-map texture"
    row scene-tunnel "the tunnel scene (one texture)"
    row scene-scroller "the scroller scene (three textures, the scroller)"
    row scene-farewell "the farewell scene (nothing)" 2
    row scene-credits "the credits scene (two text lines)" 2
    row blur-and-light "the radial blur and the light"
    row music "the music: the sound device opened (ALSA into PulseAudio), the song loaded, the playback thread started"
    row first-swap "the first frame: main loop, drawing, swap"
    echo "| Of the five textures' $textures ms of CPU: JPEG decoding | | $decoding |"
    echo "| · and mipmaps and upload | | $(awk -v t="$textures" -v d="$decoding" 'BEGIN { printf "%.1f", t - d }') |"
    echo
    echo "Median of $runs runs under Xvfb with one idle client connected, PulseAudio running; 1-minute load average $startup_load before. The CPU time is the main thread's alone (the GL driver's rasterising threads and the X server work beside it); waiting for the X server or for a processor shows as the difference between the columns."
  } | block startup
fi

# ---- the intro's sound and clock: whole runs, each with its clock log and a recording of the sink
if measuring sound || measuring clock-under-load; then
  "$build/xmrender" assets/song.xm --profile design --seconds 42.5 --raw --force -o "$work/song.raw"
  QUARBTRO_BUILD=$(cd "$build" && pwd)
  export QUARBTRO_BUILD
fi
# sound_run NAME SERVER BUSY_LOOPS RECORDER_LATENCY_MS [oss]: one whole run of the intro, its
# clock log and a recording of the sink, beside that many busy loops; its figures go to
# $work/sound.NAME.
sound_run() {
  local name=$1 server=$2 busy=$3 latency=$4 path=${5:-alsa} log="$work/clock.$1" loops=()
  stop_servers
  start_"$server"
  start_xvfb
  rm -f "$log"
  # At a real-time priority where it may, so that the busy loops cannot make it miss what the
  # sink played.
  record_sink "$work/heard.raw" "$latency"
  local recorder=$!
  sleep 0.3
  for _ in $(seq "$busy"); do (while :; do :; done) & loops+=($!); done
  local status=0
  if [ "$path" = oss ]; then
    QUARBTRO_AUDIO=oss LD_PRELOAD="$PULSEDSP" QUARBTRO_CLOCK_LOG="$log" \
      /usr/bin/time -v -o "$work/time.$name" "$build/quarbtro" >/dev/null || status=$?
  else
    # As make run starts it: the launcher, nothing preloaded.
    QUARBTRO_CLOCK_LOG="$log" /usr/bin/time -v -o "$work/time.$name" \
      scripts/run-intro.sh "$build" >/dev/null || status=$?
  fi
  if [ ${#loops[@]} -gt 0 ]; then kill "${loops[@]}"; fi
  kill "$recorder" 2>/dev/null || true
  wait "$recorder" 2>/dev/null || true
  [ "$status" -eq 0 ] || return 1
  # From the clock log: the first frame to 10 cs, backward steps of the clock and of the
  # position the device reported (which the clock held), the longest standstill, the frames a
  # second, and the RMS deviation from a straight line fitted from 10 cs to the end, of the
  # clock (whole centiseconds) and of the position heard it came from.
  awk '
    NR == 1 { first = $1 }
    !moving && $2 >= 10 { moving = 1; motion = $1 - first; since = $1; last = $2 }
    NR > 1 && $2 < clock { backward++ }
    NR > 1 && $4 < reported { reportedBackward++ }
    { clock = $2; reported = $4; frames++ }
    moving {
      if ($2 != last) { if ($1 - since > still) still = $1 - since; since = $1; last = $2 }
      n++; t[n] = $1 - first; c[n] = $2 * 10; p[n] = $3 / 44.1
    }
    function fit(y,   i, st, sy, stt, sty, b, a, e, ss) {
      for (i = 1; i <= n; i++) { st += t[i]; sy += y[i]; stt += t[i] * t[i]; sty += t[i] * y[i] }
      b = (n * sty - st * sy) / (n * stt - st * st); a = (sy - b * st) / n
      for (i = 1; i <= n; i++) { e = y[i] - a - b * t[i]; ss += e * e }
      return sqrt(ss / n)
    }
    END {
      printf "motion %.3f\nbackward %d\nreported %d\nstill %.0f\nfps %.0f\nrms %.2f\nraw %.3f\n",
        motion, backward, reportedBackward, still * 1000, frames / ($1 - first), fit(c), fit(p)
    }' "$log" >"$work/sound.$name"
  local match
  match=$("$QUARBTRO_BUILD/tests/recording-match" "$work/song.raw" "$work/heard.raw" 0 42) || true
  echo "gaps $(sed -n 's/.* gaps \([0-9]*\) .*/\1/p' <<<"$match")" >>"$work/sound.$name"
  echo "missing $(sed -n 's/.* missing \([0-9.]*\).*/\1/p' <<<"$match")" >>"$work/sound.$name"
  awk '/Maximum resident set size/ { print "rss " $NF }
    /Elapsed \(wall clock\)/ { n = split($NF, part, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + part[i]; print "lasted " s }' \
    "$work/time.$name" >>"$work/sound.$name"
  echo "bench:   $name: $(tr '\n' ' ' <"$work/sound.$name")"
}
figure() { awk -v k="$1" '$1 == k { print $2 }' "$work"/sound."$2".*; }

if measuring sound; then
  sound_runs=${BENCH_SOUND_RUNS:-2}
  echo "bench: the sound, $sound_runs whole runs of the intro per server and load, 43 s each (load $(load))"
  sound_load=$(load)
  configurations=()
  for server in pulseaudio pipewire; do
    # A recorder asking for 20 ms would make PipeWire run its whole graph in cycles of 512 frames.
    latency=20
    [ "$server" = pipewire ] && latency=100
    for busy in quiet busy; do
      configurations+=("$server-$busy")
      loops=0
      [ "$busy" = busy ] && loops=2
      for run in $(seq "$sound_runs"); do
        sound_run "$server-$busy.$run" "$server" "$loops" "$latency" || sound_run "$server-$busy.$run" "$server" "$loops" "$latency"
      done
    done
  done
  configurations+=(oss-quiet)
  sound_run oss-quiet.1 pulseaudio 0 20 oss || sound_run oss-quiet.1 pulseaudio 0 20 oss
  stop_servers
  sound_load_after=$(load)
  {
    echo "| The intro's sound and clock | Clock: RMS deviation, ms (goal ≤ 3.5) | Before rounding, ms | Backward steps (goal 0) | 10 cs reached, s after the first frame (goal ≤ 0.25) | Gaps in the sink's recording (goal 0) | Longest standstill of the clock, ms | Frames a second |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|"
    for configuration in "${configurations[@]}"; do
      case $configuration in
        pulseaudio-quiet) label="PulseAudio through ALSA, quiet" ;;
        pulseaudio-busy) label="PulseAudio through ALSA, two busy loops" ;;
        pipewire-quiet) label="PipeWire through ALSA, quiet" ;;
        pipewire-busy) label="PipeWire through ALSA, two busy loops" ;;
        oss-quiet) label="/dev/dsp by PulseAudio's OSS emulation, quiet" ;;
      esac
      cell() { echo "$(figure "$1" "$configuration" | median | fixed "$2") ($(figure "$1" "$configuration" | range))"; }
      echo "| $label | $(cell rms 2) | $(cell raw 3) | $(cell backward 0) | $(cell motion 3) | $(cell gaps 0) | $(cell still 0) | $(cell fps 0) |"
    done
    echo
    echo "Median (and range) of $sound_runs whole runs per server and load (the OSS emulation: one), each the whole intro under Xvfb with its frames paced as it paces them, through \`make run\`'s launcher with nothing preloaded, from its clock log (\`QUARBTRO_CLOCK_LOG\`) and a recording of the sink (\`parec\` on the null sink's monitor) compared with \`xmrender\`'s render sample for sample; the busy loops are two shell loops in the bench's own session. 1-minute load average $sound_load before, $sound_load_after after."
  } | block sound
fi

# ---- the clock under load: whole runs on PipeWire beside four busy loops, one line each
if measuring clock-under-load; then
  load_runs=${BENCH_LOAD_RUNS:-10}
  echo "bench: the clock under load, $load_runs whole runs on PipeWire beside four busy loops (load $(load))"
  under_load=$(load)
  for run in $(seq "$load_runs"); do
    sound_run "pipewire-four.$run" pipewire 4 100 || sound_run "pipewire-four.$run" pipewire 4 100
  done
  stop_servers
  runs_with() { awk -v k="$1" '$1 == k && $2 == 0 { n++ } END { print n + 0 }' "$work"/sound.pipewire-four.*; }
  steady=$(runs_with backward) whole=$(runs_with gaps)
  {
    echo "| Run | Backward steps of the clock (goal 0) | Device's reports below the one before (held) | Gaps in the sink's recording | Audio missing from the recording, ms | Longest standstill of the clock, ms | Frames a second | The whole run, s |"
    echo "|---:|---:|---:|---:|---:|---:|---:|---:|"
    for run in $(seq "$load_runs"); do
      value() { awk -v k="$1" '$1 == k { print $2 }' "$work/sound.pipewire-four.$run"; }
      echo "| $run | $(value backward) | $(value reported) | $(value gaps) | $(value missing | awk '{ printf "%.0f", $1 * 1000 }') | $(value still) | $(value fps) | $(value lasted | fixed 1) |"
    done
    echo
    echo "**Runs without a backward step of the clock: $steady of $load_runs** (goal: all 10); **runs without a gap: $whole of $load_runs** (goal: at least 8 of 10)."
    echo
    echo "$load_runs whole runs of the intro on PipeWire through ALSA, as \`make run\` starts it, beside four shell loops in the bench's own session, its frames paced as it paces them under Xvfb, from its clock log and a recording of the sink (the recorder at a real-time priority where it may); the bench ran as $(id -un) (the playback thread $( [ "$(id -u)" -eq 0 ] && echo "had its real-time priority" || echo "had real-time priority only with an rtprio limit")), on $(date -u '+%Y-%m-%d'). 1-minute load average $under_load before, $(load) after$( [ -n "$group_nice" ] && echo "; the bench's scheduling group at nice $BENCH_GROUP_NICE")."
  } | block clock-under-load
fi

# ---- size and memory (the intro's peak memory from the sound's runs)
if measuring sound; then
  echo "bench: size and memory (load $(load))"
  strip -o "$work/quarbtro.stripped" "$build/quarbtro"
  for run in $(seq "$runs"); do
    /usr/bin/time -v -o "$work/xmrender-time.$run" "$build/xmrender" assets/song.xm --force -o "$work/song.wav"
  done
  xmrender_rss=$(awk '/Maximum resident set size/ { print $NF }' "$work"/xmrender-time.* | median | fixed 0)
  {
    echo "| | |"
    echo "|---|---:|"
    echo "| The intro, stripped | $(stat -c %s "$work/quarbtro.stripped") bytes |"
    echo "| The intro as built (with debugging information) | $(stat -c %s "$build/quarbtro") bytes |"
    echo "| Peak memory (RSS) of the intro, a whole run | $(figure rss pulseaudio-quiet | median | fixed 0) KB |"
    echo "| Peak memory (RSS) of \`xmrender\`, the song to WAV | $xmrender_rss KB |"
    echo
    build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")
    echo "Build type ${build_type:-RelWithDebInfo (the default)}; the intro's peak memory is that of the quiet PulseAudio runs above, \`xmrender\`'s the median of $runs runs."
  } | block size
fi
# What follows needs no server (the capture starts its own).
stop_servers

# ---- capture speed
if measuring capture && [ -x "$build/quarbtro-capture" ]; then
  echo "bench: capture speed, $long_runs runs (load $(load))"
  capture_load=$(load)
  for run in $(seq "$long_runs"); do
    from=$(date +%s.%N)
    attempt env -u DISPLAY "$build/quarbtro-capture" --headless -o "$work/intro.mp4" \
      2>"$work/capture.$run"
    echo "wall $(awk -v a="$from" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')" >>"$work/capture.$run"
  done
  speed=$(sed -n 's/.*, \([0-9.]*\) x real time$/\1/p' "$work"/capture.* | median | fixed 2)
  wall=$(awk '$1 == "wall" { print $2 }' "$work"/capture.* | median | fixed 1)
  {
    echo "| Capturing the whole intro at 60 fps (MP4) | Median |"
    echo "|---|---:|"
    echo "| **× real time**, as the capture reports it (goal ≥ 1) | **$speed** |"
    echo "| Wall time of the whole process, s (42.5 s of intro) | $wall |"
    echo
    echo "Median of $long_runs runs of \`quarbtro-capture --headless\`; 1-minute load average $capture_load before."
  } | block capture
elif measuring capture; then
  echo "Not measured: this build has no \`quarbtro-capture\`." | block capture
fi

# module_bench NAME PROGRAM TITLE: a bench program of the player's that prints its own table for
# the embedded song and every heroes-sound-tracks module, and the load after it.
module_bench() {
  local name=$1 program=$2 title=$3
  measuring "$name" && [ -x "$bench/$program" ] || return 0
  source tests/lib/real_modules.sh
  QUARBTRO_BUILD=$(cd "$build" && pwd) fetch_real_modules || real_modules=()
  echo "bench: $title (load $(load))"
  {
    "$bench/$program" "${real_modules[@]}"
    echo
    echo "1-minute load average $(load) after."
  } | block "$name"
}
# ---- player speed, against libxmp
module_bench player-speed player-speed "player speed"
# ---- the interpolations: the spur-free range of a looped sine at steps from 0.25 to 4, and
# what each costs against linear on the same modules
module_bench resampler resampler "the interpolations"

# The machine and its load, for a whole run; a run of some blocks says its load in each.
if [ -z "${BENCH_ONLY:-}" ]; then
  {
    echo "| | |"
    echo "|---|---|"
    echo "| Processor | $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores |"
    echo "| Memory | $(free -g | awk '/^Mem:/ { print $2 }') GB |"
    echo "| System | $(. /etc/os-release && echo "$PRETTY_NAME"), Linux $(uname -r) |"
    echo "| Renderer | ${renderer:-unknown} |"
    echo "| Date | $(date -u '+%Y-%m-%d %H:%M UTC') |"
    priority=""
    [ -n "$group_nice" ] && priority="; the bench's scheduling group ran at nice $BENCH_GROUP_NICE over the other sessions"
    echo "| Load | 1-minute load average $start_load at the start, $(load) at the end (the machine is shared)$priority |"
  } | block machine
fi

write_document
