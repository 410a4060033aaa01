#!/usr/bin/env bash
# scripts/deps.sh while another package manager holds the lock, with apt-get, dpkg-query and id
# replaced (PATH) so that one package is missing, the user is root and apt-get fails as it does
# when the lock is held: deps.sh waits and says so once, gives up at its limit, and does not
# wait on a failure that is not the lock's.
#   deps_lock.sh SOURCE
set -u
deps="$1/scripts/deps.sh"
fakes=$(mktemp -d)
trap 'rm -rf "$fakes"' EXIT
failures=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok   $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}

cat >"$fakes/dpkg-query" <<'FAKE'
#!/bin/sh
for package; do :; done
[ "$package" = help2man ] && echo not-installed || echo installed
FAKE
cat >"$fakes/id" <<'FAKE'
#!/bin/sh
echo 0
FAKE
# Fails as when the lock is held for the first $LOCKED calls, then with $AFTER ("ok": succeeds).
cat >"$fakes/apt-get" <<'FAKE'
#!/bin/sh
calls=$(($(cat "$FAKES/calls" 2>/dev/null || echo 0) + 1))
echo "$calls" >"$FAKES/calls"
if [ "$calls" -le "$LOCKED" ]; then
  echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (apt-get)" >&2
  echo "E: Unable to acquire the dpkg frontend lock (/var/lib/dpkg/lock-frontend), is another process using it?" >&2
  exit 100
fi
[ "$AFTER" = ok ] && { echo "Setting up help2man"; exit 0; }
echo "E: $AFTER" >&2
exit 100
FAKE
chmod +x "$fakes"/*

# run_deps LOCKED AFTER [LIMIT]: deps.sh build, its standard error in $fakes/err, the status in
# $status and apt-get's calls in $calls.
run_deps() {
  rm -f "$fakes/calls"
  status=0
  env PATH="$fakes:$PATH" FAKES="$fakes" LOCKED="$1" AFTER="$2" QUARBTRO_APT_LOCK_WAIT="${3:-600}" \
    bash "$deps" build >/dev/null 2>"$fakes/err" || status=$?
  calls=$(cat "$fakes/calls")
}
said() { grep -c -F "$1" "$fakes/err"; }

run_deps 1 ok
check "the lock held once: deps.sh waits, tries again and succeeds" \
  test "$status/$calls" = 0/2
check "it says once whose lock it waits for, apt-get's own lock lines left out" \
  test "$(said 'lock is held by process 4242 (apt-get): waiting for it (up to 600 s)')/$(said 'E: ')" = 1/0

run_deps 99 ok 0
check "the lock held past the limit: deps.sh gives up and fails" test "$status" -ne 0
check "it says that it gives up" \
  test "$(said "lock is still held by process 4242 (apt-get) after 0 s: giving up")" -ge 1

run_deps 0 "Unable to locate package help2man"
check "another failure: no wait, apt-get's error shown, deps.sh fails" \
  test "$status/$(said 'waiting')/$(said 'E: Unable to locate package help2man')" = 100/0/2
[ $failures -eq 0 ] && echo "all checks passed"
exit $((failures > 0))
