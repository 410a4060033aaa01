#!/usr/bin/env bash
# Starts the intro, with the arguments given, under its mode guard, which puts the video mode
# back should the intro be killed (SIGKILL) or crash; the intro restores it itself on every
# other way out. The intro writes its sound to the OSS device /dev/dsp; where that is missing,
# as on most of today's desktops, it plays through the PulseAudio or PipeWire server with
# PulseAudio's OSS emulation preloaded.
#
# Installed as PREFIX/libexec/quarbtro/launch-intro.sh beside the intro and its guard, and
# started as PREFIX/bin/quarbtro (a link to it). make run starts it from the source tree with
# QUARBTRO_PROGRAMS naming the build directory.
set -u
here=$(dirname "$(readlink -f "$0")")
programs=${QUARBTRO_PROGRAMS:-$here}
intro="$programs/quarbtro"
guard="$programs/quarbtro-mode-guard"
source "$here/oss-emulation.sh"

# Help and version need neither a display nor sound.
for argument in "$@"; do
  case $argument in -h|--help|-V|--version) exec "$intro" "$@" ;; esac
done

if [ -e /dev/dsp ]; then
  exec "$guard" "$intro" "$@"
fi
if sound_server_running && library=$(pulsedsp_library); then
  exec "$guard" env LD_PRELOAD="$library${LD_PRELOAD:+:$LD_PRELOAD}" "$intro" "$@"
fi

cat >&2 <<TEXT
quarbtro: the intro needs a sound device, and there is none here: /dev/dsp is missing and no
          PulseAudio or PipeWire server answers. On a desktop, log in to a session that runs one
          (or start it: 'pulseaudio --start', or 'systemctl --user start pipewire-pulse'); the
          intro then plays through it by PulseAudio's OSS emulation (package libpulsedsp).
          Without sound the intro ends at once with status 1.
TEXT
exec "$intro" "$@"
