#!/usr/bin/env bash
# make install into a staging directory (DESTDIR), with the default PREFIX and another: every
# program, the launcher and the man pages land under it and nowhere else, and they run from
# there.
set -u
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/quarbtro-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The build's own settings, so that make's configure step changes nothing in it.
werror=$(sed -n 's/^QUARBTRO_WERROR:BOOL=//p' "$QUARBTRO_BUILD/CMakeCache.txt")

install_into() {  # DESTDIR [PREFIX=...]
  make -C "$QUARBTRO_SOURCE" --no-print-directory install BUILD="$QUARBTRO_BUILD" JOBS=2 \
    QUARBTRO_WERROR="${werror:-OFF}" DESTDIR="$@" >"$work/install.log" 2>&1
}

install_into "$work/default"
check_eq "make install succeeds" 0 $?
root="$work/default/usr/local"
check_eq "the default PREFIX is /usr/local" "bin libexec share" "$(ls "$root" | tr '\n' ' ' | sed 's/ $//')"
check_eq "the tools and the intro's launcher in bin/" "quarbtro quarbtro-capture xminfo xmplay xmrender" \
  "$(ls "$root/bin" | tr '\n' ' ' | sed 's/ $//')"
check_eq "the intro, its guard and the launcher in libexec/quarbtro/" \
  "launch-intro.sh quarbtro quarbtro-mode-guard" \
  "$(ls "$root/libexec/quarbtro" | tr '\n' ' ' | sed 's/ $//')"
# What CMake says it installed is exactly what is under DESTDIR.
check_eq "everything installed went under DESTDIR" \
  "$(sed "s|^|$work/default|" "$QUARBTRO_BUILD/install_manifest.txt" | sort)" \
  "$(find "$work/default" ! -type d | sort)"

# Installed programs run from where they are, the intro through its launcher.
for program in quarbtro quarbtro-capture xminfo xmrender xmplay; do
  check_eq "$program --version runs installed" "$program (Quarbtro) $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$QUARBTRO_BUILD/CMakeCache.txt")" \
    "$("$root/bin/$program" --version 2>&1)"
  page="$root/share/man/man1/$program.1"
  check_true "$program: a man page with its name and options" \
    grep -q "^$program \\\\- " "$page"
  check_true "$program: the man page lists --help" grep -q -- '\\-\\-help' "$page"
done
# Bash completion for each XM tool: options from its --help, fixed values, modules.
completions="$root/share/bash-completion/completions"
check_eq "bash completion for each XM tool" "xminfo xmplay xmrender" "$(ls "$completions" | tr '\n' ' ' | sed 's/ $//')"
complete_words() {  # completion-file word... : what the last word completes to, sorted
  # shellcheck disable=SC2016
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
           _quarbtro_xm_tools; printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' _ "$@"
}
mkdir -p "$work/modules/songs"
touch "$work/modules/one.xm" "$work/modules/TWO.XM" "$work/modules/notes.txt"
check_eq "completion: options from --help" "--interpolation " \
  "$(complete_words "$completions/xmrender" "$root/bin/xmrender" --interp)"
check_eq "completion: the interpolations" "cubic " "$(complete_words "$completions/xmrender" "$root/bin/xmrender" --interpolation c)"
check_eq "completion: the profiles" "design ft2 " "$(complete_words "$completions/xminfo" "$root/bin/xminfo" --profile "")"
check_true "completion: devices" grep -q '^alsa alsa:default ' <<<"$(complete_words "$completions/xmplay" "$root/bin/xmplay" -d al)"
check_eq "completion: modules and folders, not other files" \
  "$work/modules/TWO.XM $work/modules/one.xm $work/modules/songs " \
  "$(complete_words "$completions/xmplay" "$root/bin/xmplay" "$work/modules/")"

check_eq "the installed xminfo reads a module" "$("$QUARBTRO_BUILD/xminfo" --json "$QUARBTRO_SOURCE/assets/song.xm" | jq .songLength)" \
  "$("$root/bin/xminfo" --json "$QUARBTRO_SOURCE/assets/song.xm" | jq .songLength)"

install_into "$work/staged" PREFIX=/usr
check_eq "make install PREFIX=/usr succeeds" 0 $?
check_true "PREFIX=/usr: the programs in usr/bin" test -x "$work/staged/usr/bin/xminfo"
check_true "PREFIX=/usr: the man pages in usr/share/man/man1" test -f "$work/staged/usr/share/man/man1/quarbtro.1"
check_eq "PREFIX=/usr: the launcher still finds the intro" 0 \
  "$("$work/staged/usr/bin/quarbtro" --help >/dev/null 2>&1; echo $?)"

finish
