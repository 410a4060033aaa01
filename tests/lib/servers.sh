# Servers for the end-to-end tests, started privately and stopped when the test's shell exits.
#   source tests/lib/servers.sh
#   start_xorg_dummy   # or start_xvfb; exports DISPLAY
#   start_pulseaudio   # a null sink in a private runtime directory; exports PULSE_SERVER
# Every server gets a free display number or socket of its own, so tests never meet the
# user's servers or each other's.

_servers_dir=$(mktemp -d "${TMPDIR:-/tmp}/quarbtro-test.XXXXXX")
_server_pids=()

stop_servers() {
  local pid
  for pid in "${_server_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${_server_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
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

# Xvfb: no video-mode extension.
start_xvfb() {
  local fdfile="$_servers_dir/xvfb.display" log="$_servers_dir/xvfb.log"
  : > "$fdfile"
  Xvfb -nolisten tcp -screen 0 1024x768x24 -displayfd 3 3>"$fdfile" >"$log" 2>&1 &
  _server_pids+=($!)
  _await_display "$fdfile" "$log" $! || return 1
}

# PulseAudio with one null sink, "capture", in a private runtime directory: no user
# configuration, no autospawn, its socket exported as PULSE_SERVER. What the sink plays can be
# recorded from "capture.monitor". Programs reach it through /dev/dsp with $PULSEDSP preloaded.
start_pulseaudio() {
  local home="$_servers_dir/pulse"
  mkdir -p "$home"
  XDG_RUNTIME_DIR="$home" HOME="$home" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --use-pid-file=no --disallow-exit -L "module-null-sink sink_name=capture rate=44100" \
    -L "module-native-protocol-unix socket=$home/socket auth-anonymous=1" \
    --log-target=file:"$home/log" >"$home/out" 2>&1 &
  _server_pids+=($!)
  export PULSE_SERVER="unix:$home/socket"
  local tries=0
  until pactl info >/dev/null 2>&1; do
    if [ $tries -ge 200 ]; then echo "PulseAudio did not start:" >&2; cat "$home/out" >&2; return 1; fi
    sleep 0.05
    tries=$((tries + 1))
  done
  source "${QUARBTRO_SOURCE:?}/scripts/oss-emulation.sh"
  PULSEDSP=$(pulsedsp_library) || { echo "libpulsedsp.so not found" >&2; return 1; }
  export PULSEDSP
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
