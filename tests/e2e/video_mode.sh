#!/usr/bin/env bash
# The window and the video mode against real X servers: the switch, the pan and the pointer
# under Xorg with the dummy driver and no window manager, the mode and the pointer put back on
# every way out, and the intro running where no mode switch fills the screen (a server whose
# only mode is the picture's, Xvfb without the extension) or where there is no display at all.
# tests/e2e/desktops.sh has the window managers, Wayland and the monitors' mode lists.
set -u
source "$QUARBTRO_SOURCE/tests/lib/servers.sh"
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
intro="$QUARBTRO_BUILD/quarbtro"
probe="$QUARBTRO_BUILD/tests/x11-probe"
title="Quarbtro by Tessk"
out="$_servers_dir/intro.out"
err="$_servers_dir/intro.err"

start_intro() {
  "$intro" >"$out" 2>"$err" &
  intro_pid=$!
  await_window "$title" 30
}

# The window exists a moment before the mode is switched; wait for the switch.
await_mode() {
  local tries=0
  until [ "$("$probe" mode)" = "$1" ] || [ $tries -ge 100 ]; do sleep 0.05; tries=$((tries + 1)); done
}

check_restored() {  # how the intro ended
  check_eq "$1: mode restored" 1024x768 "$("$probe" mode)"
  check_eq "$1: viewport restored" 0,0 "$("$probe" viewport)"
  check_eq "$1: pointer put back" 100,200 "$("$probe" pointer)"
}

start_pulseaudio || exit 1
start_xorg_dummy || exit 1
check_eq "server starts in 1024x768" 1024x768 "$("$probe" mode)"
xdotool mousemove 100 200

start_intro
await_mode 640x480
check_eq "switched to the mode of the picture's size" 640x480 "$("$probe" mode)"
check_eq "window size and place" 660x500+0+0 "$("$probe" geometry "$title")"
check_eq "viewport panned onto the picture in the window" 20,20 "$("$probe" viewport)"
check_eq "pointer over the middle of the picture" 340,260 "$("$probe" pointer)"
check_eq "cursor hidden there" hidden "$("$probe" cursor)"
# No window manager: the window takes the focus itself.
check_eq "the window has the focus" "$title" "$("$probe" focus)"
xdotool key t
sleep 0.3
xdotool key Escape
await_exit "$intro_pid"
check_eq "Escape exits with status 0" 0 "$exit_status"
check_true "t printed the time" grep -q '^tid: [0-9][0-9]*$' "$out"
check_restored Escape

start_intro
"$probe" close "$title"
await_exit "$intro_pid"
check_eq "closing the window exits with status 0" 0 "$exit_status"
check_restored "window closed"

for signal in TERM INT HUP; do
  start_intro
  await_mode 640x480
  check_eq "SIG$signal: switched" 640x480 "$("$probe" mode)"
  kill -"$signal" "$intro_pid"
  await_exit "$intro_pid"
  check_eq "SIG$signal ends the process by the signal" $((128 + $(kill -l "$signal"))) "$exit_status"
  check_restored "SIG$signal"
done

# Without a sound device the player cannot be created: status 1, and the mode comes back.
PULSE_SERVER="unix:$_servers_dir/no-server" "$intro" >"$out" 2>"$err" &
intro_pid=$!
await_exit "$intro_pid"
check_eq "no sound device: status 1" 1 "$exit_status"
check_restored "no sound device"

stop_servers
start_pulseaudio || exit 1

# A server whose only mode is 640x480 on a 640x480 screen: no switch is needed, and no pan can
# move the window's picture onto the screen; the window is made the screen's size and the
# picture fills it.
small="$_servers_dir/xorg-small.conf"
sed -e 's/Modes "1024x768" "800x600" "640x480"/Modes "640x480"/' -e 's/Virtual 1024 768/Virtual 640 480/' \
  "$QUARBTRO_SOURCE/tests/lib/xorg-dummy.conf" >"$small"
start_xorg_dummy "$small" || exit 1
start_intro
sleep 1
check_true "the intro runs" kill -0 "$intro_pid"
check_eq "the window covers the screen" 640x480+0+0 "$("$probe" geometry "$title")"
check_eq "viewport left where it was" 0,0 "$("$probe" viewport)"
kill -TERM "$intro_pid"
await_exit "$intro_pid"
check_eq "nothing on standard error" "" "$(cat "$err")"
stop_servers
start_pulseaudio || exit 1

# No video-mode extension and no window manager: the window covers the screen by itself.
start_xvfb || exit 1
start_intro
sleep 1
check_true "runs under Xvfb" kill -0 "$intro_pid"
check_eq "the window covers the screen under Xvfb" 1024x768+0+0 "$("$probe" geometry "$title")"
xdotool key Escape
await_exit "$intro_pid"
check_eq "Escape exits 0 under Xvfb" 0 "$exit_status"
check_eq "nothing on standard error under Xvfb" "" "$(cat "$err")"
stop_servers

# No display at all.
status=0
message=$(DISPLAY= "$intro" 2>&1 >/dev/null) || status=$?
check_eq "no display: status 1" 1 "$status"
check_eq "no display: says so" "quarbtro: no X display to open: DISPLAY is not set" "$message"
status=0
message=$(DISPLAY=:97 "$intro" 2>&1 >/dev/null) || status=$?
check_eq "unreachable display: status 1" 1 "$status"
check_eq "unreachable display: says so" 'quarbtro: cannot open the X display ":97"' "$message"

finish
