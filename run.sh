#!/usr/bin/env bash
# Sets up, builds a release build in build/ (the program and what lies
# beside it: no tests, no benchmarks) and starts Strandwork.
# Arguments after -- are passed on to the program:  ./run.sh -- Project.kxp
# Without a display the program says so in one line (xvfb-run ./run.sh).
set -euo pipefail
cd "$(dirname "$0")"
# The compiler cache reads the paths below the checkout as relative ones
# (and leaves the build folder's own path out of the key), so a clone in
# any folder, CI's clean checkout too, reuses what another one compiled.
CCACHE_BASEDIR=$(pwd -P)
export CCACHE_BASEDIR CCACHE_NOHASHDIR=1
bash cmake/install-deps.sh
if [ ! -f build/build.ninja ] || ! grep -q '^SW_BUILD_TESTS:' build/CMakeCache.txt; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DSW_BUILD_TESTS=OFF
fi
cmake --build build
args=()
if [ "${1:-}" = "--" ]; then shift; args=("$@"); fi
exec build/bin/strandwork "${args[@]}"
