#!/usr/bin/env bash
# The pictures under a real X server (Xvfb, Mesa): the time line's frames checked pixel by
# pixel (build/tests/pictures_tests, five times in shuffled orders: each test draws a run of
# its own and must not depend on another), a handful of golden frames, and the real way out at
# 4,250 centiseconds.
#
# Golden frames: tests/pictures/golden/frame-CLOCK.png, drawn in one run at the clocks that
# scripts/frames.sh lists. A frame passes when at most 1% of its pixels differ from the golden
# one by more than 10% of full scale: room for another CPU or Mesa build, none for a moved
# object or a missing glow. After a deliberate change of the pictures, regenerate them with
# `make goldens`, look at them, and commit them.
set -u
source "$QUARBTRO_SOURCE/tests/lib/servers.sh"
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
grabber="$QUARBTRO_BUILD/tests/frame-grabber"
golden="$QUARBTRO_SOURCE/tests/pictures/golden"
out="$_servers_dir/frames"
mkdir -p "$out"

start_xvfb || exit 1

# gtest's seed goes up by one from each repeat to the next; the label names the first.
seed=$((RANDOM % 99999 + 1))
check_true "the time line's pictures, 5 shuffled orders (--gtest_random_seed=$seed)" \
  "$QUARBTRO_BUILD/tests/pictures_tests" --gtest_brief=1 --gtest_shuffle --gtest_repeat=5 \
  --gtest_random_seed=$seed

clocks=$("$QUARBTRO_SOURCE/scripts/frames.sh" clocks)
"$grabber" "$out" $clocks
pixels=$((660 * 500))
for clock in $clocks; do
  differing=$(compare -metric AE -fuzz 10% "$out/frame-$clock.ppm" "$golden/frame-$clock.png" null: 2>&1)
  check_true "frame at $clock matches its golden frame ($differing pixels differ)" \
    test "${differing%%.*}" -le $((pixels / 100)) 2>/dev/null
done

# The shell's own quit path: the farewell on standard output, status 0.
"$grabber" "$out" 4000 4250 >"$out/stdout" 2>"$out/stderr" &
await_exit $! 30
check_eq "the end scene exits with status 0" 0 "$exit_status"
check_eq "the farewell line" "You have been watching quarbtro by a subset of plenko" "$(cat "$out/stdout")"
check_true "no frame is written at 4250" test ! -e "$out/frame-4250.ppm"
finish
