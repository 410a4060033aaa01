#!/usr/bin/env bash
# The picture on the desktops people use, as a viewer sees it: screenshots of the root window
# while the intro's pink scene shows (every pixel of it has red at 230 or more, the scroller's
# white included; a title bar, a cursor, the desktop or a black bar inside it would not).
#   - Xorg with the mode lists of a 1920 x 1080 monitor (openbox), a 2560 x 1440 monitor (no
#     window manager) and a laptop panel (openbox): a 640 x 480 mode panned onto the picture
#     wherever the window manager put the window, and after it when moved; the keys reach the
#     intro without anyone focusing it; mode, viewport and pointer back afterwards.
#   - Weston with Xwayland at 1920 x 1080 and 2560 x 1440: fullscreen, the picture the screen's
#     height and 4:3, black beside it (no decoration), the cursor hidden over it; the keys
#     typed into the desktop; a compositor with no seat, where a pointer warp ends Xwayland.
#   - --window under openbox: resized and maximised, the picture fills the window, shape kept.
# The sound plays nowhere (QUARBTRO_AUDIO=null keeps time without a device): the sound on
# these desktops has tests of its own.
set -u
source "$QUARBTRO_SOURCE/tests/lib/servers.sh"
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
intro="$QUARBTRO_BUILD/quarbtro"
probe="$QUARBTRO_BUILD/tests/x11-probe"
title="Quarbtro by Tessk"
out="$_servers_dir/intro.out"
export QUARBTRO_AUDIO=null

# shot NAME: the root window of $DISPLAY as NAME.png.
shot() {
  xwd -root -silent | convert xwd:- "$_servers_dir/$1.png"
  [ -n "${QUARBTRO_KEEP_SHOTS:-}" ] && cp "$_servers_dir/$1.png" "$QUARBTRO_KEEP_SHOTS/"
  return 0
}
# least_red NAME WxH+X+Y: the smallest red (0-255) in that part of a shot.
least_red() { convert "$_servers_dir/$1.png" -crop "$2" +repage -format '%[fx:round(255*minima.r)]' info:; }
# lit NAME [WxH+X+Y]: the bounds of what is not black in a shot (or in that part of it), "WxH+X+Y".
lit() {
  convert "$_servers_dir/$1.png" ${2:+-crop "$2" +repage} -fuzz 1% -format '%@' info: 2>/dev/null
}
# fit W H: the largest 4:3 rectangle centred in W x H, as the intro places its picture.
fit() {
  local w=$1 h=$2 pw ph
  if [ $((w * 3)) -gt $((h * 4)) ]; then ph=$h pw=$(((8 * h + 3) / 6)); else pw=$w ph=$(((6 * w + 4) / 8)); fi
  echo "${pw}x${ph}+$(((w - pw) / 2))+$(((h - ph) / 2))"
}
# The pink scene runs from 220 to 950 centiseconds: a shot is taken once a frame past 300 has
# been drawn (the clock log has a line a frame), and means something if the frames drawn by
# the time it is taken are still before 950.
clock_log="$_servers_dir/clock.log"
frame_clock() { tail -n 1 "$clock_log" 2>/dev/null | cut -d' ' -f2; }
await_pink() {
  local tries=0
  until [ "$(frame_clock)" -ge 300 ] 2>/dev/null || [ $tries -ge 400 ]; do sleep 0.05; tries=$((tries + 1)); done
}
check_pink_moment() {  # what
  local clock
  clock=$(frame_clock)
  check_true "$1 (clock ${clock:-none}) is in the pink scene" test "${clock:-0}" -ge 300 -a "${clock:-0}" -le 950
}
# The keys: a "tid:" line for the t typed (redirected, it is written at exit).
check_t_reached() { check_true "$1: t reached the intro" grep -q '^tid: [0-9][0-9]*$' "$out"; }
start_intro() {
  rm -f "$clock_log"
  QUARBTRO_CLOCK_LOG=$clock_log "$intro" "$@" >"$out" 2>"$_servers_dir/intro.err" &
  intro_pid=$!
  await_window "$title" 30
}
await_mode() {
  local tries=0
  until [ "$("$probe" mode)" = "$1" ] || [ $tries -ge 100 ]; do sleep 0.05; tries=$((tries + 1)); done
}
quit_intro() {  # what; Escape typed, as on $DISPLAY's keyboard
  xdotool key Escape
  await_exit "$intro_pid"
  check_eq "$1: Escape ends the intro with status 0" 0 "$exit_status"
}

# ---- Xorg with a real mode switch: NAME CONFIGURATION WINDOW-MANAGER(openbox|none)
switched() {
  local name=$1 wm=$3 mode geometry x y
  start_xorg_dummy "$QUARBTRO_SOURCE/tests/lib/$2" || return 1
  [ "$wm" = openbox ] && { start_openbox || return 1; }
  mode=$("$probe" mode)
  xdotool mousemove 300 200
  start_intro
  await_mode 640x480
  check_eq "$name: switched to 640x480" 640x480 "$("$probe" mode)"
  geometry=$("$probe" geometry "$title")
  x=${geometry#*+} && y=${x#*+} && x=${x%+*}
  check_eq "$name: viewport on the picture in the window at $geometry" "$((x + 20)),$((y + 20))" \
    "$("$probe" viewport)"
  check_eq "$name: the window has the focus" "$title" "$("$probe" focus)"
  check_eq "$name: cursor hidden" hidden "$("$probe" cursor)"
  await_pink
  shot "$name"
  check_pink_moment "$name: the shot"
  check_true "$name: the screen shows the picture and nothing else" \
    test "$(least_red "$name" "640x480+$((x + 20))+$((y + 20))")" -ge 230
  if [ "$wm" = openbox ]; then
    xdotool windowmove "$(xdotool search --name "^$title\$")" 200 100
    sleep 1
    geometry=$("$probe" geometry "$title")
    x=${geometry#*+} && y=${x#*+} && x=${x%+*}
    check_eq "$name: the pan follows the window moved to $geometry" "$((x + 20)),$((y + 20))" \
      "$("$probe" viewport)"
  fi
  xdotool key t
  quit_intro "$name"
  check_t_reached "$name"
  check_eq "$name: mode back" "$mode" "$("$probe" mode)"
  check_eq "$name: viewport back" 0,0 "$("$probe" viewport)"
  check_eq "$name: pointer back" 300,200 "$("$probe" pointer)"
  stop_servers
}

switched monitor-1920x1080 xorg-monitor-1920x1080.conf openbox
switched monitor-2560x1440 xorg-monitor-2560x1440.conf none
switched laptop xorg-laptop-1366x768.conf openbox

# ---- Weston with Xwayland: W H. What the viewer sees follows the intro only as fast as the
# compositor (in software here) can show it: the screen is looked at until it shows the picture.
wayland() {
  local name="weston-$1x$2" picture tries=0
  start_weston "$1" "$2" || return 1
  picture=$(fit "$1" "$2")
  start_intro
  # The viewer's pointer rests over the middle of the picture.
  DISPLAY=$weston_host_display xdotool mousemove $(($1 / 2)) $(($2 / 2))
  await_pink
  until DISPLAY=$weston_host_display shot "$name" && [ "$(lit "$name")" = "$picture" ] || [ $tries -ge 30 ]; do
    sleep 0.5
    tries=$((tries + 1))
  done
  check_eq "$name: fullscreen, the picture the screen's height, 4:3, black beside it" "$picture" \
    "$(lit "$name")"
  check_eq "$name: cursor hidden" hidden "$("$probe" cursor)"
  DISPLAY=$weston_host_display xdotool key t
  DISPLAY=$weston_host_display quit_intro "$name"
  check_t_reached "$name"
  stop_servers
}

wayland 1920 1080
wayland 2560 1440

# A compositor with no seat (a kiosk, a remote session): nothing warps the pointer, which would
# end Xwayland and the intro with it.
start_weston 1920 1080 headless || exit 1
start_intro
sleep 3
check_true "weston without a seat: the intro runs" kill -0 "$intro_pid"
check_eq "weston without a seat: fullscreen" 1920x1080+0+0 "$("$probe" geometry "$title")"
kill -TERM "$intro_pid"
await_exit "$intro_pid"
check_eq "weston without a seat: the intro ends by SIGTERM" 143 "$exit_status"
stop_servers

# ---- --window under openbox: resized, then maximised
start_xorg_dummy "$QUARBTRO_SOURCE/tests/lib/xorg-monitor-1920x1080.conf" || exit 1
start_openbox || exit 1
start_intro --window
sleep 1
check_eq "--window: no mode change" 1920x1080 "$("$probe" mode)"
xdotool windowsize "$(xdotool search --name "^$title\$")" 1000 700
sleep 1.5
geometry=$("$probe" geometry "$title")
check_eq "--window: resized" 1000x700 "${geometry%%+*}"
shot window-resized
check_eq "--window: at 1000 x 700 the picture fills the height" "$(fit 1000 700)" \
  "$(lit window-resized "$geometry")"
"$probe" maximize "$title"
sleep 1.5
geometry=$("$probe" geometry "$title")
size=${geometry%%+*}
shot window-maximized
check_true "--window: maximised ($geometry)" test "${size%x*}" -ge 1800
check_eq "--window: maximised, the picture fills it, shape kept" "$(fit "${size%x*}" "${size#*x}")" \
  "$(lit window-maximized "$geometry")"
quit_intro "--window"
finish
