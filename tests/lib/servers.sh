# Servers for the end-to-end tests, started privately and stopped when the test's shell exits.
#   source tests/lib/servers.sh
#   start_xorg_dummy   # or start_xvfb; exports DISPLAY
#   start_openbox      # a window manager on $DISPLAY
#   start_weston W H   # a Wayland desktop with Xwayland; exports DISPLAY (Xwayland's)
#   start_pulseaudio   # or start_pipewire: a sound server with a null sink, "capture", in a
#                      # private runtime directory; exports PULSE_SERVER and ALSA_CONFIG_PATH
#   record_sink FILE MS # what the null sink plays, into FILE
# Every server gets a free display number or socket of its own, so tests never meet the
# user's servers or each other's.

_servers_dir=$(mktemp -d "${TMPDIR:-/tmp}/quarbtro-test.XXXXXX")
_server_pids=()

# Newest first, so that clients leave before their server; a server a test has stopped
# (SIGSTOP) is continued so that it can end, and one that does not end in 5 s is killed.
stop_servers() {
  local i pid tries
  for ((i = ${#_server_pids[@]} - 1; i >= 0; i--)); do
    pid=${_server_pids[i]}
    # A server may be gone by the CONT already: no failure under `set -e` (make bench).
    { kill -TERM "$pid" && kill -CONT "$pid"; } 2>/dev/null || true
    tries=0
    while kill -0 "$pid" 2>/dev/null && [ "$(awk '{ print $3 }' "/proc/$pid/stat" 2>/dev/null)" != Z ]; do
      [ $tries -ge 100 ] && { kill -KILL "$pid" 2>/dev/null; break; }
      sleep 0.05
      tries=$((tries + 1))
    done
    wait "$pid" 2>/dev/null || true
  done
  _server_pids=()
}
trap 'stop_servers; rm -rf "$_servers_dir"' EXIT

# Waits for a server that writes its display number to a file (-displayfd).
_await_display() {
  local file=$1 log=$2 pid=$3 tries=0
  while [ ! -s "$file" ]; do
    if ! kill -0 "$pid" 2>/dev/null || [ $tries -ge 200 ]; then
      echo "X server did not start; its log:" >&2
      tail -n 30 "$log" >&2
      return 1
    fi
    sleep 0.05
    tries=$((tries + 1))
  done
  export DISPLAY=":$(head -n 1 "$file")"
}

# Xorg with the dummy video driver: it has the video-mode extension, with the modes
# 1024x768 (current), 800x600 and 640x480, or those of the configuration file given.
start_xorg_dummy() {
  local conf="${1:-${QUARBTRO_SOURCE:?}/tests/lib/xorg-dummy.conf}"
  local fdfile="$_servers_dir/xorg.display" log="$_servers_dir/xorg.log"
  : > "$fdfile"
  Xorg -noreset -nolisten tcp -novtswitch -sharevts -config "$conf" \
       -configdir "$_servers_dir/no-config.d" -logfile "$log" -displayfd 3 \
       3>"$fdfile" >"$_servers_dir/xorg.out" 2>&1 &
  _server_pids+=($!)
  _await_display "$fdfile" "$log" $! || return 1
  export XORG_LOG="$log"
}

# Xvfb: no video-mode extension; 1024x768 unless a size "WxH" is given. -noreset: a server
# whose last client leaves would reset and refuse the next connection for a moment (the
# launcher's guard looks at the display and goes just before the intro connects).
start_xvfb() {
  local fdfile="$_servers_dir/xvfb.display" log="$_servers_dir/xvfb.log"
  : > "$fdfile"
  Xvfb -noreset -nolisten tcp -screen 0 "${1:-1024x768}x24" -displayfd 3 3>"$fdfile" >"$log" 2>&1 &
  _server_pids+=($!)
  _await_display "$fdfile" "$log" $! || return 1
}

# openbox, a window manager that places and decorates windows, on $DISPLAY, with the system's
# configuration (none of the user's); ready once it has announced itself to clients (EWMH).
start_openbox() {
  XDG_CONFIG_HOME="$_servers_dir/openbox" openbox >"$_servers_dir/openbox.log" 2>&1 &
  _server_pids+=($!)
  local tries=0
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    [ $tries -ge 200 ] && { echo "openbox did not start:" >&2; cat "$_servers_dir/openbox.log" >&2; return 1; }
    sleep 0.05
    tries=$((tries + 1))
  done
}

# Weston, the Wayland desktop, as a desktop runs it with X clients: its desktop shell and
# Xwayland, its output W x H. It runs on its X11 backend inside a private Xvfb of that size,
# which gives it a seat (a pointer and a keyboard). Exports DISPLAY as Xwayland's display and
# weston_host_display as the Xvfb's: what the viewer sees is on the Xvfb's root window, and the
# keys and the pointer a viewer uses go in there. With a third argument "headless" it runs
# with no seat at all instead, as a kiosk or a remote session may (Xwayland 22 crashes when a
# client warps the pointer there).
start_weston() {
  local width=$1 height=$2 home backend=x11-backend.so
  home=$(mktemp -d "$_servers_dir/weston.XXXXXX")  # each its own log, to read its display from
  mkdir -p "$home/run"
  chmod 700 "$home/run"
  if [ "${3:-}" = headless ]; then
    backend=headless-backend.so
  else
    start_xvfb "${width}x${height}" || return 1
    weston_host_display=$DISPLAY
  fi
  # No fade-in at start (the screen would be black a while on a busy machine), no panel.
  printf '[core]\nidle-time=0\n[shell]\nstartup-animation=none\npanel-position=none\n' \
    >"$home/weston.ini"
  XDG_RUNTIME_DIR="$home/run" weston --config="$home/weston.ini" --backend="$backend" \
    --width="$width" --height="$height" --xwayland --socket=wayland-test --idle-time=0 \
    --log="$home/weston.log" >"$home/out" 2>&1 &
  local weston=$!
  _server_pids+=($weston)
  local tries=0 display=""
  until display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$home/weston.log" 2>/dev/null) &&
        [ -n "$display" ]; do
    [ $tries -ge 300 ] && { echo "weston did not start:" >&2; tail -n 20 "$home/weston.log" "$home/out" >&2; return 1; }
    sleep 0.05
    tries=$((tries + 1))
  done
  export DISPLAY=$display
  # Xwayland starts on the first connection; wait until it answers.
  tries=0
  until timeout 5 xprop -root >/dev/null 2>&1; do
    [ $tries -ge 300 ] && { echo "Xwayland did not start:" >&2; tail -n 20 "$home/weston.log" >&2; return 1; }
    sleep 0.1
    tries=$((tries + 1))
  done
  # Xwayland waited for too, once Weston has gone (it leaves with its compositor and ignores
  # SIGTERM before): a next Weston may otherwise be given its display while it is still going.
  local xwayland
  xwayland=$(pgrep -P "$weston" -x Xwayland) &&
    _server_pids=("${_server_pids[@]:0:${#_server_pids[@]}-1}" "$xwayland" "$weston")
  return 0
}

# PulseAudio with one null sink, "capture" (44,100 Hz, norewinds=1: with rewinds a new stream
# starts late and the monitor misses its first frames), in a private runtime directory: no user
# configuration, no autospawn. Exports PULSE_SERVER, and ALSA_CONFIG_PATH: a whole private ALSA
# configuration whose default device is this server (through the pulse plugin; a system's
# /etc/alsa/conf.d would otherwise route ALSA to whatever server it finds). What the sink plays
# can be recorded from "capture.monitor". $PULSEDSP is the OSS emulation, for programs that
# reach it through /dev/dsp. $sound_server_pid is the server, for tests that stop or kill it.
start_pulseaudio() {
  local home="$_servers_dir/pulse"
  mkdir -p "$home"
  cat >"$home/alsa.conf" <<'CONF'
pcm.!default { type pulse }
ctl.!default { type pulse }
CONF
  (
    cd "$home" || exit 1
    unset DISPLAY
    export XDG_RUNTIME_DIR="$home" HOME="$home" XDG_CONFIG_HOME="$home/config"
    exec pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disallow-exit \
      -L "module-null-sink sink_name=capture rate=44100 norewinds=1" \
      -L "module-native-protocol-unix socket=$home/socket auth-anonymous=1" \
      --log-target=file:"$home/log" </dev/null >"$home/out" 2>&1
  ) &
  sound_server_pid=$!
  _server_pids+=($!)
  export PULSE_SERVER="unix:$home/socket" ALSA_CONFIG_PATH="$home/alsa.conf"
  local tries=0
  until timeout 2 pactl info >/dev/null 2>&1; do
    if [ $tries -ge 200 ]; then echo "PulseAudio did not start:" >&2; cat "$home/out" >&2; return 1; fi
    sleep 0.05
    tries=$((tries + 1))
  done
  # By its full path: Debian 12's padsp script builds a broken one.
  PULSEDSP=$(echo /usr/lib/*/pulseaudio/libpulsedsp.so)
  [ -f "$PULSEDSP" ] || { echo "libpulsedsp.so not found (package libpulsedsp)" >&2; return 1; }
  export PULSEDSP
}

# PipeWire as a desktop runs it: pipewire with one null sink "capture" at 44,100 Hz (also the
# graph's only rate, so nothing is resampled), WirePlumber as its session manager on a private
# D-Bus session bus, and pipewire-pulse for PulseAudio clients, all in a private runtime
# directory. Exports PULSE_SERVER, PIPEWIRE_RUNTIME_DIR and ALSA_CONFIG_PATH: a whole private ALSA
# configuration whose default device is PipeWire, through pipewire-alsa's plugin (unpacked by
# scripts/deps.sh under .deps/: Debian 12's package cannot be installed beside PulseAudio).
# What the sink plays can be recorded from "capture.monitor". $sound_server_pid is pipewire.
start_pipewire() {
  local home="$_servers_dir/pipewire" plugins
  plugins=$(echo "${QUARBTRO_SOURCE:?}"/.deps/pipewire-alsa/usr/lib/*/alsa-lib)
  [ -f "$plugins/libasound_module_pcm_pipewire.so" ] ||
    { echo "PipeWire's ALSA plugin is missing: run scripts/deps.sh test" >&2; return 1; }
  mkdir -p "$home/run" "$home/config/pipewire/pipewire.conf.d"
  chmod 700 "$home/run"
  cat >"$home/config/pipewire/pipewire.conf.d/10-capture-sink.conf" <<'CONF'
context.properties = {
    default.clock.rate          = 44100
    default.clock.allowed-rates = [ 44100 ]
}
context.objects = [
    { factory = adapter
      args = {
          factory.name     = support.null-audio-sink
          node.name        = capture
          node.description = "Capture sink"
          media.class      = Audio/Sink
          audio.position   = [ FL FR ]
          audio.rate       = 44100
          object.linger    = true
      }
    }
]
CONF
  cat >"$home/alsa.conf" <<CONF
pcm_type.pipewire { lib "$plugins/libasound_module_pcm_pipewire.so" }
ctl_type.pipewire { lib "$plugins/libasound_module_ctl_pipewire.so" }
pcm.!default { type pipewire playback_node "-1" capture_node "-1" }
ctl.!default { type pipewire }
CONF
  local run="$home/run"
  _pipewire_env() {
    unset PULSE_SERVER PIPEWIRE_REMOTE PIPEWIRE_RUNTIME_DIR DISPLAY WAYLAND_DISPLAY
    export XDG_RUNTIME_DIR="$run" HOME="$home" XDG_CONFIG_HOME="$home/config" \
      XDG_STATE_HOME="$home/state" XDG_DATA_HOME="$home/data" \
      DBUS_SESSION_BUS_ADDRESS="unix:path=$run/bus"
    cd "$home" || exit 1
  }
  (_pipewire_env; exec dbus-daemon --session --address="unix:path=$run/bus" --nofork --nopidfile \
     </dev/null >"$home/dbus.log" 2>&1) &
  _server_pids+=($!)
  _await_socket "$run/bus" dbus-daemon || return 1
  (_pipewire_env; exec pipewire </dev/null >"$home/pipewire.log" 2>&1) &
  sound_server_pid=$!
  _server_pids+=($!)
  # Its clients give up when its socket is not there yet.
  _await_socket "$run/pipewire-0" pipewire || return 1
  (_pipewire_env; exec wireplumber </dev/null >"$home/wireplumber.log" 2>&1) &
  _server_pids+=($!)
  (_pipewire_env; exec pipewire-pulse </dev/null >"$home/pipewire-pulse.log" 2>&1) &
  _server_pids+=($!)
  export PULSE_SERVER="unix:$run/pulse/native" PIPEWIRE_RUNTIME_DIR="$run" \
    ALSA_CONFIG_PATH="$home/alsa.conf"
  # Ready when the sink is the default one (WirePlumber has chosen it).
  local tries=0
  until timeout 2 pactl info 2>/dev/null | grep -qx 'Default Sink: capture'; do
    if [ $tries -ge 200 ]; then
      echo "PipeWire did not start; its logs:" >&2
      tail -n 5 "$home"/*.log >&2
      return 1
    fi
    sleep 0.05
    tries=$((tries + 1))
  done
}

_await_socket() {
  local socket=$1 name=$2 tries=0
  until [ -S "$socket" ]; do
    [ $tries -ge 200 ] && { echo "$name did not start" >&2; return 1; }
    sleep 0.02
    tries=$((tries + 1))
  done
}

# Records the sound server's null sink into FILE (raw 16-bit stereo at 44,100 Hz) in the
# background; $! is the recorder. The recorder is the test's instrument, not what is tested:
# where it may (as root) it runs at a real-time priority, so that a loaded machine does not make
# it miss what the sink played.
record_sink() {  # FILE LATENCY_MS
  local priority=()
  [ "$(id -u)" -eq 0 ] && priority=(chrt -f 10)
  "${priority[@]}" parec --latency-msec="$2" -d capture.monitor --format=s16le --rate=44100 \
    --channels=2 --raw >"$1" &
}

# Waits until a window with this exact title exists (up to $2 seconds, default 20).
await_window() {
  local title=$1 limit=${2:-20} tries=0
  until xdotool search --name "^${title}\$" >/dev/null 2>&1; do
    [ $tries -ge $((limit * 20)) ] && { echo "no window \"$title\" after ${limit}s" >&2; return 1; }
    sleep 0.05
    tries=$((tries + 1))
  done
}

# Waits for a child process to end (up to $2 seconds, default 20; then kills it) and leaves
# its exit status in $exit_status (128 + n when signal n ended it). Not for use in $(...):
# a subshell cannot wait for its parent's children.
await_exit() {
  local pid=$1 limit=${2:-20} tries=0
  while kill -0 "$pid" 2>/dev/null; do
    if [ $tries -ge $((limit * 20)) ]; then
      echo "process $pid still running after ${limit}s; killing it" >&2
      kill -KILL "$pid" 2>/dev/null
      break
    fi
    sleep 0.05
    tries=$((tries + 1))
  done
  exit_status=0
  wait "$pid" 2>/dev/null || exit_status=$?
}
