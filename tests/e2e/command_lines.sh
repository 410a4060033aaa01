#!/usr/bin/env bash
# Every program's command line, as a user meets it: --help on standard output with status 0,
# --version with the project's version, an unknown option refused by name with status 2; the
# intro answers without a display and still takes GLUT's own options.
set -u
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
build=$QUARBTRO_BUILD
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
work=$(mktemp -d "${TMPDIR:-/tmp}/quarbtro-command-lines.XXXXXX")
trap 'rm -rf "$work"' EXIT

for program in quarbtro xmrender xmplay xminfo quarbtro-capture quarbtro-mode-guard; do
  status=0; env -u DISPLAY "$build/$program" --help >"$work/out" 2>"$work/err" || status=$?
  check_eq "$program --help: status 0" 0 "$status"
  check_true "$program --help: the usage on standard output" grep -q "^Usage: $program " "$work/out"
  check_eq "$program --help: nothing on standard error" "" "$(cat "$work/err")"
  check_eq "$program --version" "$program (Quarbtro) $version" "$(env -u DISPLAY "$build/$program" --version)"
  status=0; env -u DISPLAY "$build/$program" --bogus=1 >"$work/out" 2>"$work/err" || status=$?
  check_eq "$program --bogus: status 2" 2 "$status"
  check_eq "$program --bogus: named" "$program: unknown option --bogus" "$(head -n 1 "$work/err")"
done

# The intro: GLUT's options are taken (here -display, whose server is not there), the rest refused.
status=0; "$build/quarbtro" -display :97 -iconic -geometry 660x500+0+0 2>"$work/err" || status=$?
check_eq "the intro takes GLUT's options: a missing display, status 1" 1 "$status"
check_eq "and says which display" 'quarbtro: cannot open the X display ":97"' "$(cat "$work/err")"
status=0; "$build/quarbtro" -display 2>"$work/err" || status=$?
check_eq "-display without its value: status 2" 2 "$status"
status=0; "$build/quarbtro" song.xm 2>"$work/err" || status=$?
check_eq "the intro takes no file: status 2" 2 "$status"
check_eq "and says so" "quarbtro: unexpected argument song.xm" "$(head -n 1 "$work/err")"

finish
