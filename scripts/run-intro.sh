#!/usr/bin/env bash
# Starts the intro on this machine's display (make run), through the launcher the installed
# quarbtro is; without a display, captures it as a video instead.
set -u
build=${1:-build}
here=$(dirname "$0")

if [ -z "${DISPLAY:-}" ] || ! timeout 5 xdpyinfo >/dev/null 2>&1; then
  echo "make run: no X display here (DISPLAY is '${DISPLAY:-}'): capturing the intro as a video instead." >&2
  exec "$here/capture-intro.sh" "$build"
fi

QUARBTRO_PROGRAMS=$build exec "$here/launch-intro.sh"
