#!/usr/bin/env bash
# Runs a command on a busy machine: one CPU-bound shell loop per core and a
# half beside it, started before the command and ended after it by process
# id.  The command's exit status is the script's.
#   tools/busy.sh ./test.sh
#   SW_BUSY_LOOPS=12 tools/busy.sh build-test/tests/e2e_main_road --gtest_filter=MainRoad.WithLostFrames
set -uo pipefail
cores=$(nproc 2>/dev/null || echo 2)
loops=${SW_BUSY_LOOPS:-$(( (cores * 3 + 1) / 2 ))}
pids=()
stop() { [ ${#pids[@]} -gt 0 ] && kill "${pids[@]}" 2>/dev/null; wait "${pids[@]}" 2>/dev/null; pids=(); }
trap stop EXIT
trap 'stop; exit 130' INT TERM
for _ in $(seq "$loops"); do
  ( while :; do :; done ) &
  pids+=($!)
done
echo "busy: $loops CPU-bound loops beside: $*" >&2
"$@"
status=$?
stop
exit $status
