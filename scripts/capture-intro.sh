#!/usr/bin/env bash
# make run on a machine without a display: the intro captured as a video with its sound
# (build/quarbtro-capture starts a private headless X server for it), a contact sheet beside
# it, and where both are.
set -euo pipefail
build=${1:-build}
video="$build/quarbtro.mp4"
sheet="$build/quarbtro-sheet.png"
"$build/quarbtro-capture" -o "$video"
"$(dirname "$0")/contact-sheet.sh" "$video" "$sheet"
echo "The intro with its sound: $video"
echo "Its contact sheet:        $sheet"
