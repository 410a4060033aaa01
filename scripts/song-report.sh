#!/usr/bin/env bash
# Measures the song as the player renders it over the intro's 42.5 seconds, next to 23 game
# modules rendered the same way (the 13 of Debian's heroes-sound-tracks and the 8-channel modules
# of ballz-data, bomberclone-data, dodgindiamond2, rafkill-data, solarwolf and vor), and rewrites
# docs/song.md (the figures and the song's goals), docs/song.png (a spectrogram) and
# docs/song-parts.png (each part's level over time), both marked with the scene times. The
# figures are computed by scripts/song-figures.py (numpy).
#   scripts/song-report.sh [BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Every module in the design profile: the player as the intro plays the song, which is also how
# the references' octave bands written into song-figures.py were rendered.
render() { "$build/xmrender" "$1" --profile design --seconds 42.5 --raw -o "$2"; }

# The song, whole and each channel alone.
"$build/xmrender" assets/song.xm --profile design -o "$out/song.wav" --seconds 42.5 > /dev/null
render assets/song.xm "$out/song.raw"
part_names=(kick snare hi-hats bass lead pluck pad "pad double")  # the channels, in order
lead_channel=4
parts=()
for channel in "${!part_names[@]}"; do
  scripts/song-figures.py solo assets/song.xm "$channel" "$out/part$channel.xm"
  render "$out/part$channel.xm" "$out/part$channel.raw"
  parts+=("${part_names[$channel]}=$out/part$channel.raw")
done

# The references, fetched (never committed) as the end-to-end tests fetch theirs.
QUARBTRO_BUILD=$build
source tests/lib/real_modules.sh
fetch_real_modules
reference_modules=("${real_modules[@]}")
for package in ballz-data bomberclone-data dodgindiamond2 rafkill-data solarwolf vor; do
  fetch_package "$package"
  while IFS= read -r -d '' module; do
    if "$build/xminfo" "$module" | grep -q '^8 channels'; then reference_modules+=("$module"); fi
  done < <(find "$package_root" -name '*.xm' -print0 | sort -z)
done
references=()
for module in "${reference_modules[@]}"; do
  name=$(basename "$module")
  render "$module" "$out/$name.raw"
  references+=("$name=$out/$name.raw")
done

scripts/song-figures.py report --song "$out/song.raw" --lead "$lead_channel" \
  --parts "${parts[@]}" --references "${references[@]}" --picture "$out/parts.ppm" \
  --module assets/song.xm > "$out/tables.md"

levels() { "$build/tests/wav-levels" "$out/song.wav" "$@"; }
figure() { awk -v name="$1" '$1 == name { print $2 }'; }
levels > "$out/whole"
levels --from 2.2 > "$out/pictures"
levels --from 42.4 > "$out/exit"

# The pictures: 40 pixels a second, framed with the scene times, seconds below, and labels on
# the left (given as "label|pixel row" pairs).
pixels_per_second=40 width=1700 left=86 top=46 bottom=34 right=14
scene_starts=("black|0" "intro (scroller)|2.2" "tunnel|17" "credits|35" "blue|40")
x_of() { awk -v t="$1" -v l=$left -v p=$pixels_per_second 'BEGIN { printf "%d", l + t * p }'; }
frame() {  # picture height output label|row ...
  local picture=$1 height=$2 output=$3
  shift 3
  local draw=() labels=() ticks=() scene name start x
  for scene in "${scene_starts[@]}" "|42.5"; do
    IFS='|' read -r name start <<< "$scene"
    x=$(x_of "$start")
    draw+=(-draw "line $x,$((top - 6)) $x,$((top + height))")
    [ -n "$name" ] && labels+=(-annotate "+$((x + 4))+$((top - 12))" "$name")
  done
  for second in 0 5 10 15 20 25 30 35 40; do
    ticks+=(-annotate "+$(( $(x_of $second) - 4 ))+$((top + height + 20))" "$second s")
  done
  local label row
  for label in "$@"; do
    IFS='|' read -r name row <<< "$label"
    ticks+=(-annotate "+6+$((top + row + 4))" "$name")
  done
  convert -size $((left + width + right))x$((top + height + bottom)) xc:'#101010' \
    "$picture" -geometry +$left+$top -composite \
    -stroke '#ffffff' -strokewidth 2 "${draw[@]}" -stroke none \
    -font DejaVu-Sans -pointsize 14 -fill '#e0e0e0' "${labels[@]}" \
    -pointsize 12 -fill '#a0a0a0' "${ticks[@]}" \
    +dither -colors 64 -strip -define png:exclude-chunks=date,time "PNG8:$output"
}

# The spectrogram, 0 to 11 kHz.
height=360
sox "$out/song.wav" -n remix - rate 22050 spectrogram -r -x $width -y $height -z 90 \
  -o "$out/spectrogram.png"
khz_labels=()
for khz in 0 2 4 6 8 10; do
  khz_labels+=("$khz kHz|$(awk -v f=$khz -v h=$height 'BEGIN { printf "%d", h * (1 - f / 11.025) }')")
done
frame "$out/spectrogram.png" $height docs/song.png "${khz_labels[@]}"

# The parts' levels: one lane of 48 pixels each, -60 to 0 dBFS.
lane=48
part_labels=()
for channel in "${!part_names[@]}"; do
  part_labels+=("${part_names[$channel]}|$((channel * lane + lane / 2))")
done
frame "$out/parts.ppm" $((lane * ${#part_names[@]})) docs/song-parts.png "${part_labels[@]}"

{
  echo "# The song, measured"
  echo
  echo "The first 42.5 seconds of \`assets/song.xm\` as the intro's player renders them"
  echo "(\`build/xmrender assets/song.xm --profile design -o song.wav --seconds 42.5\`: 44,100 Hz,"
  echo "16-bit stereo), that is everything the intro plays before it quits. \`make song-report\` measures again"
  echo "and rewrites this page and its pictures; \`tests/assets/song_render.sh\` checks the"
  echo "bounds."
  echo
  echo "| figure | measured | bound |"
  echo "|---|---|---|"
  echo "| samples at full scale (-32768 or 32767) | $(figure fullScale < "$out/whole") | 0 |"
  echo "| peak | $(figure peakDbfs < "$out/whole") dBFS | at most -1 dBFS |"
  echo "| RMS level | $(figure rmsDbfs < "$out/whole") dBFS | -20 to -12 dBFS |"
  echo "| longest silence after 2.2 s (every sample within -60 dBFS) |" \
       "$(figure longestSilence < "$out/pictures") s | at most 1 s |"
  echo "| silence from 42.4 s, where the song has faded out (and loops) |" \
       "$(figure longestSilence < "$out/exit") s | 0.1 s |"
  echo
  echo "## Next to game music"
  echo
  echo "The same figures for ${#references[@]} game modules, each rendered the same way (its first"
  echo "42.5 s by \`xmrender --profile design\`): the 13 of Debian's heroes-sound-tracks and the 8-channel modules of"
  echo "ballz-data, bomberclone-data, dodgindiamond2, rafkill-data, solarwolf and vor, fetched by"
  echo "\`apt-get download\` into the build directory as the end-to-end tests fetch theirs."
  echo "\`scripts/song-figures.py\` computes every figure (its docstrings give the exact definitions):"
  echo
  echo "- *level movement*: the standard deviation of the RMS levels of consecutive 100 ms"
  echo "  windows, in dB; a window of digital silence counts as -200 dB, which is why"
  echo "  \`intro.xm\`, pausing under the tunnel's span, shows a huge figure there;"
  echo "- *the tunnel over the scroller*: the RMS level from 17 to 35 s less that from 2.2 to 17 s;"
  echo "- *near-copies*: the share of half-second windows that have another, at least 2 s away,"
  echo "  whose pitch classes and spectral shape match it (cosine similarity at least 0.9);"
  echo "- *octave bands*: each octave's share of the power, 31 Hz to 16 kHz; the *band distance*"
  echo "  adds up how far the song's bands lie beyond the middle half of the game modules'"
  echo "  (the script holds their figures);"
  echo "- *beat punch*: the movement of the 100 ms levels about their own running mean over a"
  echo "  second, from 2.2 to 40 s: the beat, not the sections; *percussive* is the power of the"
  echo "  spectrogram's clicks against that of its steady partials;"
  echo "- *energy* shares: of the whole render's power, in dB; the *centroid* is that of the"
  echo "  mono mix's power spectrum;"
  echo "- *loudness lost through a 150 Hz high-pass*: integrated loudness (K-weighted, gated)"
  echo "  before and after a second-order high-pass at 150 Hz, the roll-off of laptop speakers;"
  echo "  the *brick wall* is the cruder figure of RMS lost when everything under 150 Hz goes;"
  echo "- *semitone rubs*: notes of any other part within a semitone of the lead's, relative to"
  echo "  the lead; harmonics of a part's lower notes and the spread of a note's onset do not count;"
  echo "- *arrivals*: the level of each new pattern's first half second against the half second"
  echo "  before it; *the lead on top*: in each section, the loudness of every pitched part, its"
  echo "  channel rendered alone."
  echo
  cat "$out/tables.md"
  echo
  echo "The spectrogram, 0 to 11 kHz:"
  echo
  echo "![Spectrogram of the song, 0 to 42.5 s and 0 to 11 kHz, marked with the scene times](song.png)"
  echo
  echo "Each part's level over time (100 ms windows, -60 to 0 dBFS; lines at -40 and -20):"
  echo
  echo "![The level of each of the song's eight channels over 42.5 s, marked with the scene times](song-parts.png)"
} > docs/song.md
cat docs/song.md
