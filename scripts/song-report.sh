#!/usr/bin/env bash
# Measures the song as the player renders it over the intro's 42.5 seconds and rewrites
# docs/song.md (the figures) and docs/song.png (a spectrogram marked with the scene times).
#   scripts/song-report.sh [BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

"$build/xmrender" assets/song.xm -o "$out/song.wav" --seconds 42.5 > /dev/null
levels() { "$build/wav-levels" "$out/song.wav" "$@"; }
figure() { awk -v name="$1" '$1 == name { print $2 }'; }
levels > "$out/whole"
levels --from 2.2 > "$out/pictures"

# The scenes of the time line: name, start, end (seconds).
scenes=("black|0|2.2" "intro (scroller)|2.2|17" "tunnel|17|35" "credits|35|40"
        "blue|40|42.5")

# The spectrogram, 40 pixels a second and 0 to 11 kHz, framed with the scene times.
pixels_per_second=40 width=1700 height=360 left=56 top=46 bottom=34 right=14
sox "$out/song.wav" -n remix - rate 22050 spectrogram -r -x $width -y $height -z 90 \
  -o "$out/spectrogram.png"
x_of() { awk -v t="$1" -v l=$left -v p=$pixels_per_second 'BEGIN { printf "%d", l + t * p }'; }
draw=() labels=()
for scene in "${scenes[@]}"; do
  IFS='|' read -r name start end <<< "$scene"
  x=$(x_of "$start")
  draw+=(-draw "line $x,$((top - 6)) $x,$((top + height))")
  labels+=(-annotate "+$((x + 4))+$((top - 12))" "$name")
done
x=$(x_of 42.5)
draw+=(-draw "line $x,$((top - 6)) $x,$((top + height))")
ticks=()
for second in 0 5 10 15 20 25 30 35 40; do
  ticks+=(-annotate "+$(( $(x_of $second) - 4 ))+$((top + height + 20))" "$second s")
done
for khz in 0 2 4 6 8 10; do
  y=$(awk -v f=$khz -v t=$top -v h=$height 'BEGIN { printf "%d", t + h * (1 - f / 11.025) }')
  ticks+=(-annotate "+6+$((y + 4))" "$khz kHz")
done
convert -size $((left + width + right))x$((top + height + bottom)) xc:'#101010' \
  "$out/spectrogram.png" -geometry +$left+$top -composite \
  -stroke '#ffffff' -strokewidth 2 "${draw[@]}" -stroke none \
  -font DejaVu-Sans -pointsize 14 -fill '#e0e0e0' "${labels[@]}" \
  -pointsize 12 -fill '#a0a0a0' "${ticks[@]}" \
  +dither -colors 64 -strip -define png:exclude-chunks=date,time PNG8:docs/song.png

{
  echo "# The song, measured"
  echo
  echo "The first 42.5 seconds of \`assets/song.xm\` as the player renders them"
  echo "(\`build/xmrender assets/song.xm -o song.wav --seconds 42.5\`: 44,100 Hz, 16-bit stereo),"
  echo "that is everything the intro plays before it quits. \`make song-report\` measures again"
  echo "and rewrites this page and the picture; \`tests/assets/song_render.sh\` checks the bounds."
  echo
  echo "| figure | measured | bound |"
  echo "|---|---|---|"
  echo "| samples at full scale (-32768 or 32767) | $(figure fullScale < "$out/whole") | 0 |"
  echo "| peak | $(figure peakDbfs < "$out/whole") dBFS | at most -1 dBFS |"
  echo "| RMS level | $(figure rmsDbfs < "$out/whole") dBFS | -20 to -12 dBFS |"
  echo "| longest silence after 2.2 s (every sample within -60 dBFS) |" \
       "$(figure longestSilence < "$out/pictures") s | at most 1 s |"
  echo
  echo "Under each scene:"
  echo
  echo "| scene | seconds | RMS level | peak |"
  echo "|---|---|---|---|"
  for scene in "${scenes[@]}"; do
    IFS='|' read -r name start end <<< "$scene"
    levels --from "$start" --to "$end" > "$out/scene"
    echo "| $name | $start to $end | $(figure rmsDbfs < "$out/scene") dBFS |" \
         "$(figure peakDbfs < "$out/scene") dBFS |"
  done
  echo
  echo "![Spectrogram of the song, 0 to 42.5 s and 0 to 11 kHz, marked with the scene times](song.png)"
} > docs/song.md
cat docs/song.md
