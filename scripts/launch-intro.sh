#!/usr/bin/env bash
# Starts the intro, with the arguments given, under its mode guard, whose watcher puts the video
# mode back should the intro, or the whole process group, be killed (SIGKILL) or crash; the
# intro restores it itself on every other way out. The intro chooses its sound output itself
# (/dev/dsp where there is one, else ALSA's default device, which on today's desktops is the
# PipeWire or PulseAudio server; QUARBTRO_AUDIO=oss|alsa|null chooses): nothing is preloaded
# and no sound server is asked anything here, so a stalled server cannot hold the launcher up.
#
# Installed as PREFIX/libexec/quarbtro/launch-intro.sh beside the intro and its guard, and
# started as PREFIX/bin/quarbtro (a link to it). make run starts it from the source tree with
# QUARBTRO_PROGRAMS naming the build directory.
set -u
here=$(dirname "$(readlink -f "$0")")
programs=${QUARBTRO_PROGRAMS:-$here}
intro="$programs/quarbtro"
guard="$programs/quarbtro-mode-guard"

# Help and version need neither a display nor sound.
for argument in "$@"; do
  case $argument in -h|--help|-V|--version) exec "$intro" "$@" ;; esac
done

exec "$guard" "$intro" "$@"
