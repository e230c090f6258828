#!/usr/bin/env bash
# Installs the Debian packages that configuring, building, testing and running
# Strandwork need on a minimal Debian 12. Quiet and quick when everything is
# there already; runs `apt-get update` only when an install fails.
# The test setup_packages (tests/setup/) checks that this list is complete.
#
# Another package manager (the automatic updates of a fresh machine, say)
# may hold the package lock: apt-get then fails at once with "Could not get
# lock ...". The script says once that it waits and for what, tries again
# every SW_DEPS_LOCK_POLL seconds (5) and gives up after SW_DEPS_LOCK_WAIT
# seconds (600) of waiting in all. The test setup_lock_wait runs it with a
# stand-in apt-get that reports the lock as held.
set -euo pipefail

PACKAGES=(
  build-essential clang cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-tools-dev libqt6opengl6-dev qt6-svg-dev libgl-dev
  qt6-translations-l10n shared-mime-info
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth poppler-utils fonts-dejavu-core fonts-liberation tzdata
  libhunspell-dev hunspell-cs hunspell-en-us libx11-dev
  libpcre2-dev python3-minimal
  xdg-utils libglib2.0-bin desktop-file-utils
)
# Hyperscan, a peer of the regular-expression benchmark, exists for amd64
# only; elsewhere the benchmark goes without it.
if [ "$(dpkg --print-architecture 2>/dev/null || true)" = "amd64" ]; then
  PACKAGES+=(libhyperscan-dev)
fi

# --list prints the list, one package a line, and installs nothing.
if [ "${1:-}" = "--list" ]; then
  printf '%s\n' "${PACKAGES[@]}"
  exit 0
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "install-deps: missing packages ${missing[*]}; run as root: apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive

lock_wait=${SW_DEPS_LOCK_WAIT:-600}
lock_poll=${SW_DEPS_LOCK_POLL:-5}
if ! [[ $lock_wait =~ ^[0-9]+$ ]] || ! [[ $lock_poll =~ ^[0-9]+(\.[0-9]+)?$ ]]; then
  echo "install-deps: SW_DEPS_LOCK_WAIT must be whole seconds and SW_DEPS_LOCK_POLL seconds (given: '$lock_wait', '$lock_poll')" >&2
  exit 2
fi
lock_deadline=""   # set when the first held lock is seen: the wait is shared by every apt-get run
apt_errors=$(mktemp)
trap 'rm -f "$apt_errors"' EXIT

span() { if [ $(($1 % 60)) -eq 0 ]; then echo "$(($1 / 60)) min"; else echo "$1 s"; fi; }

# apt-get "$@" as root; while another package manager holds the lock, waits
# and tries again. The status is apt-get's; its errors reach standard error
# unless they only said that the lock was held.
apt_get() {
  local status
  while :; do
    status=0
    # In the C locale, so that its messages can be read below.
    $SUDO env LC_ALL=C.UTF-8 apt-get "$@" </dev/null 2>"$apt_errors" || status=$?
    # apt-get's own words for a lock that another process holds (an open that
    # fails for want of rights says "Could not open lock file" instead).
    if [ $status -eq 0 ] || ! grep -Eq 'Could not get lock|(is|was) locked by another process' "$apt_errors"; then
      cat "$apt_errors" >&2
      return $status
    fi
    if [ -z "$lock_deadline" ]; then
      lock_deadline=$((SECONDS + lock_wait))
      local what
      what=$(sed -n 's/^.*Could not get lock \(.*[^.]\)\.\{0,1\} It is held by \(.*\)$/the lock \1 (held by \2)/p; T; q' "$apt_errors")
      [ -n "$what" ] || what="the package lock ($(grep -Em1 'Could not get lock|locked by another process' "$apt_errors" | sed 's/^E: //'))"
      echo "install-deps: another package manager is at work; waiting up to $(span "$lock_wait") for $what to be released..." >&2
    fi
    if [ $SECONDS -ge "$lock_deadline" ]; then
      cat "$apt_errors" >&2
      echo "install-deps: the package lock was still held after $(span "$lock_wait"); when the other package manager has finished, run again, or by hand: ${SUDO:+sudo }apt-get install --no-install-recommends ${missing[*]}" >&2
      exit 1
    fi
    sleep "$lock_poll" # the poll period of the wait: time is the subject here
  done
}

echo "Installing: ${missing[*]}" >&2
if ! apt_get install -y --no-install-recommends "${missing[@]}"; then
  if ! { apt_get update && apt_get install -y --no-install-recommends "${missing[@]}"; }; then
    echo "install-deps: could not install ${missing[*]}; run by hand: ${SUDO:+sudo }apt-get update && ${SUDO:+sudo }apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
fi
