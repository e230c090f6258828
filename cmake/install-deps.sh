#!/usr/bin/env bash
# Installs the Debian packages that building and testing Strandwork needs.
# Quiet and quick when everything is there already; runs `apt-get update`
# only when an install fails.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-tools-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
echo "Installing: ${missing[*]}" >&2
if ! $SUDO apt-get install -y --no-install-recommends "${missing[@]}" </dev/null; then
  $SUDO apt-get update </dev/null
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
fi
