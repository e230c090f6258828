#!/usr/bin/env bash
# Installs the Debian packages that configuring, building, testing and running
# Strandwork need on a minimal Debian 12. Quiet and quick when everything is
# there already; runs `apt-get update` only when an install fails.
# The test setup_packages (tests/setup/) checks that this list is complete.
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
echo "Installing: ${missing[*]}" >&2
if ! $SUDO apt-get install -y --no-install-recommends "${missing[@]}" </dev/null; then
  if ! { $SUDO apt-get update </dev/null &&
         $SUDO apt-get install -y --no-install-recommends "${missing[@]}" </dev/null; }; then
    echo "install-deps: could not install ${missing[*]}; run by hand: ${SUDO:+sudo }apt-get update && ${SUDO:+sudo }apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
fi
