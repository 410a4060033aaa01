# Finds PulseAudio's OSS emulation library, which lets a program that writes to /dev/dsp play
# through a PulseAudio or PipeWire server. Sourced by the launcher and the tests.
#   pulsedsp_library   prints the library's full path, or fails
#   sound_server_running   succeeds when a PulseAudio-compatible server answers
# The library is preloaded by its full path: Debian 12's padsp script builds a broken one.

pulsedsp_library() {
  local candidate
  for candidate in /usr/lib/*/pulseaudio/libpulsedsp.so /usr/lib/pulseaudio/libpulsedsp.so \
                   /usr/lib64/pulseaudio/libpulsedsp.so; do
    [ -f "$candidate" ] && { echo "$candidate"; return 0; }
  done
  return 1
}

sound_server_running() {
  command -v pactl >/dev/null 2>&1 && pactl info >/dev/null 2>&1
}
