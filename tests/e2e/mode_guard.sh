#!/usr/bin/env bash
# The launcher (make run) puts the video mode back however the intro dies: killed with SIGKILL
# or crashed, which the intro cannot handle itself, as well as on the ways out it handles. Under
# Xorg with the dummy driver; the launcher also runs where there is no video-mode extension.
set -u
source "$QUARBTRO_SOURCE/tests/lib/servers.sh"
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
launcher="$QUARBTRO_SOURCE/scripts/run-intro.sh"
probe="$QUARBTRO_BUILD/tests/x11-probe"
title="Quarbtro by Tessk"
err="$_servers_dir/launcher.err"

# Starts the intro through the launcher and waits for its window; $launcher_pid is the
# launcher (the guard, once it has exec'd), $intro_pid the intro under it.
# In a session of its own, as make run in a terminal is: the test can kill its whole group.
launch() {
  setsid "$launcher" "$QUARBTRO_BUILD" >/dev/null 2>"$err" &
  launcher_pid=$!
  await_window "$title" 30 || { cat "$err"; return 1; }
  intro_pid=$(pgrep -P "$launcher_pid" -x quarbtro) || {
    check_true "the intro runs under the launcher's guard" false
    kill -KILL $(pgrep -P "$launcher_pid") "$launcher_pid" 2>/dev/null  # leave nothing behind
    return 1
  }
}

await_mode() {
  local tries=0
  until [ "$("$probe" mode)" = "$1" ] || [ $tries -ge 100 ]; do sleep 0.05; tries=$((tries + 1)); done
}

# kill_and_check DESCRIPTION SIGNAL WHOM: sends SIGNAL to the intro or the launcher.
kill_and_check() {
  local description=$1 signal=$2 whom=$3
  launch || return
  await_mode 640x480
  check_eq "$description: switched first" 640x480 "$("$probe" mode)"
  if [ "$whom" = intro ]; then kill -"$signal" "$intro_pid"; else kill -"$signal" "$launcher_pid"; fi
  await_exit "$launcher_pid"
  check_eq "$description: the launcher ends by the same signal" \
    $((128 + $(kill -l "$signal"))) "$exit_status"
  check_eq "$description: mode restored" 1024x768 "$("$probe" mode)"
  check_eq "$description: viewport restored" 0,0 "$("$probe" viewport)"
  check_eq "$description: nothing on standard error" "" "$(cat "$err")"
}

start_pulseaudio || exit 1
start_xorg_dummy || exit 1

kill_and_check "intro killed with SIGKILL" KILL intro
kill_and_check "intro crashed (SIGSEGV)" SEGV intro
# Sent to the launcher, SIGTERM goes on to the intro, which restores the mode itself.
kill_and_check "launcher sent SIGTERM" TERM launcher

# What the guard cannot see itself: the guard killed alone (the intro goes on without it),
# then the intro; and the launcher's whole process group at once. Its watcher, in a session of
# its own, puts the mode back when the last of them is gone.
launch || exit 1
await_mode 640x480
kill -KILL "$launcher_pid"
await_exit "$launcher_pid"
sleep 0.3
check_eq "guard killed with SIGKILL: the intro goes on" 640x480 "$("$probe" mode)"
check_true "guard killed with SIGKILL: the intro still runs" kill -0 "$intro_pid"
kill -KILL "$intro_pid"
await_mode 1024x768
check_eq "guard, then intro killed with SIGKILL: mode restored" 1024x768 "$("$probe" mode)"
check_eq "guard, then intro killed with SIGKILL: viewport restored" 0,0 "$("$probe" viewport)"

launch || exit 1
await_mode 640x480
kill -KILL -- -"$launcher_pid"
await_exit "$launcher_pid"
await_mode 1024x768
tries=0
while pgrep -g "$launcher_pid" >/dev/null && [ $tries -lt 100 ]; do sleep 0.05; tries=$((tries + 1)); done
check_true "whole process group killed with SIGKILL: all of it ended" \
  test -z "$(pgrep -g "$launcher_pid")"
check_eq "whole process group killed with SIGKILL: mode restored" 1024x768 "$("$probe" mode)"
check_eq "whole process group killed with SIGKILL: viewport restored" 0,0 "$("$probe" viewport)"

launch || exit 1
xdotool windowfocus --sync "$(xdotool search --name "^$title\$")"
xdotool key Escape
await_exit "$launcher_pid"
check_eq "Escape: the launcher exits with status 0" 0 "$exit_status"
check_eq "Escape: mode restored" 1024x768 "$("$probe" mode)"
stop_servers

# No video-mode extension: the guard has nothing to remember and the intro still runs.
start_pulseaudio || exit 1
start_xvfb || exit 1
launch || exit 1
sleep 0.5
check_true "runs under Xvfb through the launcher" kill -0 "$intro_pid"
kill -KILL "$intro_pid"
await_exit "$launcher_pid"
check_eq "Xvfb: the launcher ends by SIGKILL" 137 "$exit_status"
check_eq "Xvfb: nothing on standard error" "" "$(cat "$err")"

finish
