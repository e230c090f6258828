#!/bin/sh
# cmake --install of the build folder $1 into a temporary prefix with a
# blank in its name: the program, its tools, the desktop entry naming the
# installed program, the MIME description, the icon and the template folder.
set -u
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/my prefix"
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
cmake --install "$build" --prefix "$prefix" >"$work/log" 2>&1 || { cat "$work/log"; fail "cmake --install"; }
for f in bin/strandwork bin/Pilvex bin/libwispell.so bin/strandwork.tip share/mime/packages/strandwork.xml \
    share/icons/hicolor/scalable/apps/strandwork.svg share/applications/strandwork.desktop; do
    [ -f "$prefix/$f" ] || fail "$f not installed"
done
[ -x "$prefix/bin/strandwork" ] || fail "the program is not executable"
[ -d "$prefix/share/strandwork/Templates" ] || fail "no template folder"
grep -qx "Exec=\"$prefix/bin/strandwork\" %f" "$prefix/share/applications/strandwork.desktop" ||
    fail "Exec: $(grep Exec "$prefix/share/applications/strandwork.desktop")"
grep -q '<glob pattern="\*.kxp"/>' "$prefix/share/mime/packages/strandwork.xml" || fail "no .kxp type"
if command -v update-mime-database >/dev/null 2>&1; then
    [ -f "$prefix/share/mime/mime.cache" ] || fail "the MIME database was not updated"
fi
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$prefix/share/applications/strandwork.desktop" || fail "the desktop entry is not valid"
fi
[ "$failures" -eq 0 ] && echo "install: all checks passed"
exit "$failures"
