#!/usr/bin/env bash
# cmake/install-deps.sh while another package manager holds the package
# lock: the script says once that it waits, tries again, and installs when
# the lock is free; a lock that stays held ends the wait with a clear line.
#
#   setup_lock_wait.sh <source folder>
#
# A stand-in apt-get (with dpkg-query, which reports every package missing,
# and sudo, which runs its arguments) lies first on PATH. apt-get answers as
# apt-get does while the file "held" exists in its folder (in the user's
# language: the script runs with a Czech LANG), and logs each call.
# The test waits for conditions (with deadlines), never for a fixed time.
set -euo pipefail

source=${1:?source folder}
work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "setup_lock_wait: $*"; echo "--- script's output:"; cat "$work/out" 2>/dev/null || true; exit 1; }

stubs=$work/bin
mkdir -p "$stubs"
cat >"$stubs/apt-get" <<'EOF'
#!/usr/bin/env bash
here=$(dirname "$0")
if [ -e "$here/held" ]; then
  echo "held $*" >>"$here/log"
  # In the language of the locale, as apt-get speaks.
  case "${LC_ALL:-${LC_MESSAGES:-${LANG:-}}}" in
    "" | C | C.* | POSIX)
      echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (unattended-upgr)" >&2
      echo "E: Unable to acquire the dpkg frontend lock (/var/lib/dpkg/lock-frontend), is another process using it?" >&2 ;;
    *)
      echo "E: Nelze získat zámek /var/lib/dpkg/lock-frontend. Drží jej proces 4242 (unattended-upgr)" >&2 ;;
  esac
  exit 100
fi
if [ "${1:-}" = install ] && [ -e "$here/stale" ]; then
  # Stale lists; and another package manager starts meanwhile.
  rm "$here/stale"
  touch "$here/held"
  echo "failed $*" >>"$here/log"
  echo "E: Unable to locate package xauth" >&2
  exit 100
fi
echo "done $*" >>"$here/log"
EOF
printf '#!/bin/sh\nexit 1\n' >"$stubs/dpkg-query"
printf '#!/bin/sh\nexec "$@"\n' >"$stubs/sudo"
chmod +x "$stubs/apt-get" "$stubs/dpkg-query" "$stubs/sudo"

# Waits up to 60 s for a condition (a command), or until the script ended
# without it; the sleep is the poll period of the wait.
wait_for() {
  local what=$1
  shift
  local end=$((SECONDS + 60))
  until "$@"; do
    [ $SECONDS -lt $end ] || fail "no $what within 60 s"
    if [ "$1" != ended ] && ended && ! "$@"; then fail "the script ended before the $what"; fi
    sleep 0.02
  done
}
calls() { grep -c "^$1 " "$stubs/log" 2>/dev/null || true; }
at_least() { [ "$(calls "$1")" -ge "$2" ]; }
ended() { ! kill -0 "$pid" 2>/dev/null; }

# Starts the script in the background with a wait limit of $1 seconds.
start() {
  : >"$stubs/log"
  : >"$work/out"
  PATH="$stubs:$PATH" LANG=cs_CZ.UTF-8 SW_DEPS_LOCK_WAIT=$1 SW_DEPS_LOCK_POLL=0.05 \
    bash "$source/cmake/install-deps.sh" >"$work/out" 2>&1 &
  pid=$!
}
finish() {
  status=0
  wait "$pid" || status=$?
  pid=""
}
waiting_lines() { grep -c "waiting up to" "$work/out" || true; }

# 1. The lock is held at the start; released after the script has tried
#    three times, the install runs once and the script succeeds.
touch "$stubs/held"
start 600
wait_for "third try of the install" at_least held 3
[ "$(waiting_lines)" -eq 1 ] || fail "the wait was not announced once"
grep -q "waiting up to 10 min for the lock /var/lib/dpkg/lock-frontend (held by process 4242 (unattended-upgr))" \
  "$work/out" || fail "the announcement does not say what it waits for"
rm "$stubs/held"
wait_for "end of the script" ended
finish
[ "$status" -eq 0 ] || fail "the script ended with $status after the lock was released"
[ "$(calls done)" -eq 1 ] && grep -q "^done install -y --no-install-recommends .*xauth" "$stubs/log" ||
  fail "the install did not run once after the wait: $(cat "$stubs/log")"
[ "$(waiting_lines)" -eq 1 ] || fail "the wait was announced more than once"
if grep -q "Could not get lock" "$work/out"; then fail "apt-get's lock errors were shown while waiting"; fi

# 2. Stale package lists: the install fails, and the update that follows
#    meets the lock; after the wait the update and the install run.
touch "$stubs/stale"
start 600
wait_for "second try of the update" at_least held 2
rm "$stubs/held"
wait_for "end of the script" ended
finish
[ "$status" -eq 0 ] || fail "the script ended with $status after the update waited"
[ "$(sed 's/ .*//' "$stubs/log" | uniq | tr '\n' ' ')" = "failed held done " ] &&
  [ "$(calls done)" -eq 2 ] || fail "not the update then the install after the wait: $(cat "$stubs/log")"
grep -q "Unable to locate package" "$work/out" || fail "apt-get's own error was not shown"

# 3. A lock that stays held: the script gives up after its limit (1 s here)
#    with a line that says so, having announced its wait once.
touch "$stubs/held"
start 1
wait_for "end of the script" ended
finish
[ "$status" -eq 1 ] || fail "the script ended with $status on a lock that stayed held"
[ "$(waiting_lines)" -eq 1 ] || fail "the wait was not announced once"
grep -q "install-deps: the package lock was still held after 1 s" "$work/out" || fail "no line for the given-up wait"
[ "$(calls done)" -eq 0 ] || fail "something was installed under a held lock"

echo "setup_lock_wait: waited for the held lock and installed; gave up on one that stayed held"
