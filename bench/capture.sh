#!/usr/bin/env bash
# How fast the capture runs: the whole intro at 60 frames a second, as an MP4 and (with
# --lossless) as PNG frames, on a private headless X server, with the machine's load beside it.
#   bench/capture.sh [BUILD]
# Each run prints the capture's own summary: frames, length, size, time taken, x real time.
set -euo pipefail
build=${1:-build}
out=$(mktemp -d "${TMPDIR:-/tmp}/quarbtro-capture-bench.XXXXXX")
trap 'rm -rf "$out"' EXIT
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
env -u DISPLAY "$build/quarbtro-capture" --headless -o "$out/intro.mp4" 2>&1 | tail -n 1
env -u DISPLAY "$build/quarbtro-capture" --headless --lossless -o "$out/intro" 2>&1 | tail -n 1
echo "lossless output: $(du -sh "$out/intro" | cut -f1)"
echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"
