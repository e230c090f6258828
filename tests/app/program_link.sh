#!/bin/sh
# The program as linked keeps every class of the UI library's stored
# records: each class that the library's registration function names has
# its code in the program (nm), so that a stored bar state naming it can be
# read back.  The program must be linked from static archives, as the
# release build links it: a shared UI library would hold every class
# whether the registration reaches it or not, and prove nothing.
# Arguments: the program, the registration source (uilib/KVTArchiveClasses.cpp).
set -u
BIN=$1
SRC=$2

classes=$(sed -n 's/.*Register<\([A-Za-z_0-9]*\)>.*/\1/p' "$SRC")
if [ -z "$classes" ]; then
    echo "FAIL: no registered class found in $SRC"
    exit 1
fi
if ldd "$BIN" | grep -q 'libuilib'; then
    echo "FAIL: $BIN links the UI library as a shared library"
    exit 1
fi
syms=$(mktemp)
trap 'rm -f "$syms"' EXIT
nm -C "$BIN" >"$syms" || { echo "FAIL: nm $BIN"; exit 1; }

passed=0
failed=0
for c in $classes; do
    n=$(grep -c "[^A-Za-z_0-9]$c::" "$syms")
    echo "$c: $n symbols"
    if [ "$n" -gt 0 ]; then
        passed=$((passed + 1))
    else
        echo "FAIL: $c is not in the program"
        failed=$((failed + 1))
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
