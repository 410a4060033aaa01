#!/usr/bin/env bash
# A contact sheet of a video: one frame a second, from 0 s, seven to a row, left to right.
#   scripts/contact-sheet.sh VIDEO SHEET.png
set -euo pipefail
if [ $# -ne 2 ]; then echo "usage: $0 VIDEO SHEET.png" >&2; exit 2; fi
ffmpeg -nostdin -v error -y -i "$1" \
  -vf "fps=1,scale=132:100,tile=7x7:padding=2:margin=2:color=0x202020" -frames:v 1 "$2"
