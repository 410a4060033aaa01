# Small assertion helpers for the end-to-end scripts. A failed check prints what was expected
# and what was found, and counts; finish prints the summary and sets the exit status. The
# summary repeats the failures, so that the last lines of a long log (all a CI report may keep)
# say which checks failed.
_failures=0
_failed=()
_fail() {
  echo "FAIL $1"
  _failures=$((_failures + 1))
  _failed+=("$1")
}
check_eq() {  # description expected actual
  if [ "$2" = "$3" ]; then echo "ok   $1"; else _fail "$1: expected '$2', got '$3'"; fi
}
check_true() {  # description command...
  local description=$1; shift
  if "$@"; then echo "ok   $description"; else _fail "$description"; fi
}
finish() {
  if [ $_failures -eq 0 ]; then echo "all checks passed"; exit 0; fi
  echo "$_failures check(s) failed:"
  printf 'FAIL %s\n' "${_failed[@]}"
  exit 1
}
