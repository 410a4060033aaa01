#!/usr/bin/env bash
# Starts the intro on this machine's display (make run). The intro writes its sound to the
# OSS device /dev/dsp; where that is missing, as on most of today's desktops, it plays through
# the PulseAudio or PipeWire server with PulseAudio's OSS emulation preloaded.
set -u
build=${1:-build}
intro="$build/quarbtro"
here=$(dirname "$0")
source "$here/oss-emulation.sh"

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  echo "make run: no X display here (DISPLAY is '${DISPLAY:-}'): capturing the intro as a video instead." >&2
  exec "$here/capture-intro.sh" "$build"
fi

# The guard puts the video mode back should the intro be killed (SIGKILL) or crash; the intro
# restores it itself on every other way out.
guard="$build/quarbtro-mode-guard"
if [ -e /dev/dsp ]; then
  exec "$guard" "$intro"
fi
if sound_server_running && library=$(pulsedsp_library); then
  exec "$guard" env LD_PRELOAD="$library${LD_PRELOAD:+:$LD_PRELOAD}" "$intro"
fi

cat >&2 <<TEXT
make run: the intro needs a sound device, and there is none here: /dev/dsp is missing and no
          PulseAudio or PipeWire server answers. On a desktop, log in to a session that runs one
          (or start it: 'pulseaudio --start', or 'systemctl --user start pipewire-pulse'); the
          intro then plays through it by PulseAudio's OSS emulation (package libpulsedsp).
          Without sound the intro ends at once with status 1.
TEXT
"$intro"
