#!/usr/bin/env bash
# Sets up, builds the test build (AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-test/ and runs every test.
# Extra arguments go to ctest, e.g.  ./test.sh -R '^platform_'
set -euo pipefail
cd "$(dirname "$0")"
# The compiler cache reads the paths below the checkout as relative ones
# (and leaves the build folder's own path out of the key), so a clone in
# any folder, CI's clean checkout too, reuses what another one compiled.
CCACHE_BASEDIR=$(pwd -P)
export CCACHE_BASEDIR CCACHE_NOHASHDIR=1
bash cmake/install-deps.sh
if [ ! -f build-test/build.ninja ]; then
  cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DSW_SANITIZE=ON -DSW_WERROR=ON
fi
cmake --build build-test
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0:${LSAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
jobs=$(nproc 2>/dev/null || echo 2)
cd build-test
ctest --output-on-failure -j "$jobs" "$@"
