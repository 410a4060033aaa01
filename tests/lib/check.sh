# Small assertion helpers for the end-to-end scripts. A failed check prints what was expected
# and what was found, and counts; finish prints the summary and sets the exit status.
_failures=0
check_eq() {  # description expected actual
  if [ "$2" = "$3" ]; then echo "ok   $1"; else echo "FAIL $1: expected '$2', got '$3'"; _failures=$((_failures + 1)); fi
}
check_true() {  # description command...
  local description=$1; shift
  if "$@"; then echo "ok   $description"; else echo "FAIL $description"; _failures=$((_failures + 1)); fi
}
finish() {
  if [ $_failures -eq 0 ]; then echo "all checks passed"; exit 0; fi
  echo "$_failures check(s) failed"; exit 1
}
