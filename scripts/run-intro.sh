#!/usr/bin/env bash
# Starts the intro on this machine's display (make run).
set -u
build=${1:-build}
intro="$build/quarbtro"

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  echo "make run: no X display here (DISPLAY is '${DISPLAY:-}'); the intro needs one to show itself." >&2
  echo "          Run it from an X or Wayland desktop session." >&2
  exit 1
fi
exec "$intro"
