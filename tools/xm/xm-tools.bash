# Bash completion for xmplay, xmrender and xminfo (make install puts it where bash-completion
# finds each of them). The options come from the program's own --help, so they are always the
# ones it has; values are completed for the options that take a fixed set of them, and files
# are XM modules and directories.

_quarbtro_xm_tools() {
  local current previous
  current=${COMP_WORDS[COMP_CWORD]}
  previous=${COMP_WORDS[COMP_CWORD - 1]}
  # --name=value: bash makes the = a word of its own.
  if [[ $previous == = && COMP_CWORD -ge 2 ]]; then previous=${COMP_WORDS[COMP_CWORD - 2]}; fi
  if [[ $current == = ]]; then current=""; fi
  local values=""
  case $previous in
    --profile) values="ft2 design" ;;
    --interpolation | -i) values="none linear cubic sinc" ;;
    --format) values="wav float flac raw" ;;
    --device | -d)
      values="oss alsa null alsa:default"
      if command -v aplay >/dev/null 2>&1; then
        values+=" $(aplay -L 2>/dev/null | grep -v '^[[:space:]]' | sed 's/^/alsa:/' | tr '\n' ' ')"
      fi
      values+=" $(compgen -G '/dev/dsp*' | sed 's/^/oss:/' | tr '\n' ' ')"
      # ALSA's device names hold colons, which bash splits words at: complete what follows.
      if [[ $current == *:* && $COMP_WORDBREAKS == *:* ]]; then
        local before=${current%"${current##*:}"}
        mapfile -t COMPREPLY < <(compgen -W "$values" -- "$current" | sed "s|^$before||")
      else
        mapfile -t COMPREPLY < <(compgen -W "$values" -- "$current")
      fi
      return
      ;;
    --output-dir | -O)
      mapfile -t COMPREPLY < <(compgen -d -- "$current")
      return
      ;;
    --output | -o)
      mapfile -t COMPREPLY < <(compgen -f -- "$current")
      return
      ;;
  esac
  if [[ -n $values ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$values" -- "$current")
    return
  fi
  # An option that takes a value of its own (a number, a list): nothing to offer.
  if [[ $previous == -* && $previous != -*=* ]] &&
    "${COMP_WORDS[0]}" --help 2>/dev/null | grep -Eq -- "(^|[ ,])$previous=[A-Z]"; then
    return
  fi
  if [[ $current == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$("${COMP_WORDS[0]}" --help 2>/dev/null |
      grep -Eo -- '(^|[ ,])--?[a-zA-Z][a-z-]*' | tr -d ' ,' | sort -u)" -- "$current")
    return
  fi
  # Modules (any case of .xm) and the directories that may hold them.
  local IFS=$'\n'
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -d -- "$current"; compgen -f -X '!*.[xX][mM]' -- "$current")
}

complete -F _quarbtro_xm_tools xmplay xmrender xminfo
