#!/bin/sh
# Unattended runs of the real program: "-Build" and "-Make" on copies of the
# fixture projects with the real Pilvex and the stand-in compiler Tarv.
# Arguments: the program, the stand-in compiler folder, the fixtures folder.
set -u
BIN=$1
TARVANE=$2
FIX=$3

work=$(mktemp -d)
pids=""
cleanup() {
    for p in $pids; do kill -KILL "$p" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

export QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME="$work/config"
export XDG_STATE_HOME="$work/state"
export XDG_DATA_HOME="$work/data"
unset LC_ALL LC_MESSAGES LANG
mkdir -p "$XDG_CONFIG_HOME/ORNA"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\ORNA\\Strandwork\\Options]\r\n"PathTarvane"="%s/"\r\n' \
    "$TARVANE" >"$XDG_CONFIG_HOME/ORNA/Strandwork.reg"

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
show() {
    echo "--- stdout:"; cat "$1.out"; echo "--- stderr:"; cat "$1.err"
}
# Waits until a file exists (at most 60 s); 0 when it does.
wait_for_file() {
    i=0
    while [ $i -lt 600 ]; do
        [ -e "$1" ] && return 0
        sleep 0.1
        i=$((i + 1))
    done
    return 1
}
# Waits until file holds text (at most 60 s); 0 when it does.
wait_for() {
    i=0
    while [ $i -lt 600 ]; do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
        i=$((i + 1))
    done
    return 1
}

# 1. A build that succeeds ends the program with status 0.
cp -r "$FIX/build/ok" "$work/ok"
timeout 120 "$BIN" -Build "$work/ok/Lis.kxp" >"$work/b1.out" 2>"$work/b1.err" </dev/null
rc=$?
[ $rc -eq 0 ] || { fail "build of ok: status $rc"; show "$work/b1"; }
grep -q "Tvorba PLC skončila bez chyb." "$work/b1.out" || { fail "build of ok: no success line"; show "$work/b1"; }
grep -q "Tarv: překládám" "$work/b1.out" || fail "build of ok: no compiler output"
for f in Output/PLC.BIN Output/LOD_KAP.exe Output/PLCBIN.txt Temp/LOD_KAP.MAP; do
    [ -f "$work/ok/$f" ] || fail "build of ok: $f missing"
done
if grep -q "$(printf '\r')" "$work/b1.out"; then fail "build of ok: CR in standard output"; fi

# 2. "Make" right after: up to date, "OK", the compiler does not run.
timeout 120 "$BIN" -Make "$work/ok/Lis.kxp" >"$work/m1.out" 2>"$work/m1.err" </dev/null
rc=$?
[ $rc -eq 0 ] || { fail "make of ok: status $rc"; show "$work/m1"; }
grep -qx "OK" "$work/m1.out" || { fail "make of ok: no OK"; show "$work/m1"; }
if grep -q "Tarv:" "$work/m1.out"; then fail "make of ok: the compiler ran"; fi

# 3. Without a display a failed build cannot be seen or closed: the program
#    writes the messages to standard output and ends at once with status 1,
#    with "-Build" and "-Make", on the offscreen platform or with none given.
cp -r "$FIX/build/fail" "$work/fail"
nodisplay="there is no display to show it"
timeout 120 "$BIN" -Build "$work/fail/Lis.kxp" >"$work/b2.out" 2>"$work/b2.err" </dev/null
rc=$?
[ $rc -eq 1 ] || { fail "failed build: status $rc"; show "$work/b2"; }
grep -q "Při tvorbě PLC došlo k chybám." "$work/b2.out" || { fail "failed build: no failure line"; show "$work/b2"; }
grep -q "error T1001" "$work/b2.out" || { fail "failed build: no compiler message"; show "$work/b2"; }
grep -q "$nodisplay" "$work/b2.err" || { fail "failed build: no line on standard error"; show "$work/b2"; }
timeout 120 "$BIN" -Make "$work/fail/Lis.kxp" >"$work/m2.out" 2>"$work/m2.err" </dev/null
rc=$?
[ $rc -eq 1 ] || { fail "failed make: status $rc"; show "$work/m2"; }
grep -q "Při tvorbě PLC došlo k chybám." "$work/m2.out" || { fail "failed make: no failure line"; show "$work/m2"; }
(unset QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY
 timeout 120 "$BIN" -Build "$work/fail/Lis.kxp" >"$work/b3.out" 2>"$work/b3.err" </dev/null)
rc=$?
[ $rc -eq 1 ] || { fail "failed build without DISPLAY: status $rc"; show "$work/b3"; }
grep -q "$nodisplay" "$work/b3.err" || { fail "failed build without DISPLAY: no line on standard error"; show "$work/b3"; }

echo "notes" >"$work/notes.txt"
cp "$work/ok/Main.plc" "$work/Main.plc"

# 3a. With a display (a virtual X server) the failed build keeps its window
#     open with the output; closing it (SIGTERM) ends the program with 1.
if command -v Xvfb >/dev/null 2>&1; then
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/xdisplay" >/dev/null 2>&1 &
    xpid=$!
    pids="$pids $xpid"
    if wait_for "$work/xdisplay" "[0-9]"; then
        (unset QT_QPA_PLATFORM WAYLAND_DISPLAY
         export DISPLAY=":$(head -n 1 "$work/xdisplay")"
         exec "$BIN" -Build "$work/fail/Lis.kxp" >"$work/b4.out" 2>"$work/b4.err" </dev/null) &
        pid=$!
        pids="$pids $pid"
        if wait_for "$work/b4.out" "Při tvorbě PLC došlo k chybám."; then
            kill -TERM $pid 2>/dev/null || fail "failed build with a display: the program ended by itself"
            wait $pid
            rc=$?
            [ $rc -eq 1 ] || { fail "failed build with a display: status $rc after SIGTERM"; show "$work/b4"; }
            if grep -q "$nodisplay" "$work/b4.err"; then fail "failed build with a display: ended as without one"; fi
        else
            fail "failed build with a display: no failure line"
            show "$work/b4"
        fi
    else
        fail "the virtual X server did not start"
    fi
        # A bad argument with a display shows its message box; the run
        # then ends with status 3 (here the box goes with SIGTERM).
        (unset QT_QPA_PLATFORM WAYLAND_DISPLAY
         export DISPLAY=":$(head -n 1 "$work/xdisplay")"
         exec "$BIN" -Build "$work/notes.txt" >"$work/bx.out" 2>"$work/bx.err" </dev/null) &
        pid=$!
        pids="$pids $pid"
        if wait_for "$work/bx.err" "not a project"; then
            kill -TERM $pid 2>/dev/null || fail "bad argument with a display: no box shown"
        fi
        wait $pid
        rc=$?
        [ $rc -eq 3 ] || { fail "bad argument with a display: status $rc"; show "$work/bx"; }

        # SIGTERM with a floating bar (the output bar, from the store) and
        # a modal box open (the tip of the day at start-up) ends the
        # program within 2 s, with its settings written.
        cfg="$work/sigcfg"
        mkdir -p "$cfg/ORNA"
        cp "$FIX/app/float-output.reg" "$cfg/ORNA/Strandwork.reg"
        touch -d "2000-01-01" "$cfg/ORNA/Strandwork.reg"
        (unset QT_QPA_PLATFORM WAYLAND_DISPLAY
         export DISPLAY=":$(head -n 1 "$work/xdisplay")" XDG_CONFIG_HOME="$cfg" XDG_DATA_HOME="$work/sigdata"
         exec "$BIN" >"$work/sg.out" 2>"$work/sg.err" </dev/null) &
        pid=$!
        pids="$pids $pid"
        # The desktop registration comes right before the window and the tip.
        if wait_for_file "$work/sigdata/applications/strandwork.desktop"; then
            start=$(date +%s%N)
            kill -TERM $pid
            wait $pid
            rc=$?
            ms=$((($(date +%s%N) - start) / 1000000))
            [ $rc -eq 0 ] || { fail "SIGTERM with a floating bar: status $rc"; show "$work/sg"; }
            [ $ms -le 2000 ] || fail "SIGTERM with a floating bar: ended after $ms ms"
            [ "$cfg/ORNA/Strandwork.reg" -nt "$FIX/app/float-output.reg" ] ||
                fail "SIGTERM with a floating bar: the settings were not written"
            iconv -f UTF-16LE -t UTF-8 "$cfg/ORNA/Strandwork.reg" 2>/dev/null | tr -d '\r' |
                grep -A9 'EdtLib\\IDE\\OutputBar]' | grep -q '"floatLeft"=dword:0000008c' ||
                fail "SIGTERM with a floating bar: the store lost the floating place"
        else
            fail "SIGTERM with a floating bar: the program did not start"
            show "$work/sg"
        fi
    kill -TERM $xpid 2>/dev/null
fi

# 4. Without a project to build the run ends by itself, at once, with
#    status 3 and a line on standard error that says why: no argument, a
#    file that is not a project (also with a project after it), with
#    "-Build" and "-Make", on the offscreen platform or with no display.
n=0
while read -r why args; do
    n=$((n + 1))
    # shellcheck disable=SC2086  # args holds several arguments
    (unset QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY
     cd "$work" && timeout 5 "$BIN" $args >"$work/np$n.out" 2>"$work/np$n.err" </dev/null)
    rc=$?
    [ $rc -eq 3 ] || { fail "$args: status $rc (124: still running after 5 s)"; show "$work/np$n"; }
    grep -q "$why" "$work/np$n.err" || { fail "$args: no reason on standard error"; show "$work/np$n"; }
done <<EOF2
not.a.project -Build notes.txt
not.a.project -Build Main.plc
no.project.*given -Build
not.a.project -Make Main.plc
not.a.project -Build notes.txt ok/Lis.kxp
could.not.be.opened -Make none.kxp
EOF2
timeout 5 "$BIN" -Make "$work/notes.txt" >"$work/np.out" 2>"$work/np.err" </dev/null
rc=$?
[ $rc -eq 3 ] || { fail "-Make notes.txt offscreen: status $rc"; show "$work/np"; }

# 5. A project that does not exist, or a folder: status 3, message on stderr.
timeout 60 "$BIN" -Build "$work/none/Lis.kxp" >"$work/x.out" 2>"$work/x.err" </dev/null
rc=$?
[ $rc -eq 3 ] || { fail "missing project: status $rc"; show "$work/x"; }
[ -s "$work/x.err" ] || fail "missing project: nothing on standard error"
timeout 60 "$BIN" -Build "$work/ok" >"$work/y.out" 2>"$work/y.err" </dev/null
rc=$?
[ $rc -eq 3 ] || { fail "folder as project: status $rc"; show "$work/y"; }

# 6. An unknown flag is reported and ignored.
timeout 60 "$BIN" -Nonsense -Build "$work/none.kxp" >"$work/u.out" 2>"$work/u.err" </dev/null
grep -q "Nonsense" "$work/u.err" || fail "unknown flag: no line on standard error"

# 7. A project whose temporary folder holds Make.knf and Make.bat as links
#    to files outside it, and its workspace file as a link too: "-Build"
#    and "-Make" build with files of their own at those names, and the
#    files outside keep their bytes.
cp -r "$FIX/build/ok" "$work/linked"
mkdir -p "$work/linked/Temp" "$work/outside"
printf 'the notes\n' >"$work/outside/notes.txt"
printf 'echo ran >"%s/ran"\n' "$work/outside" >"$work/outside/script.sh"
mv "$work/linked/Lis.kxw" "$work/outside/workspace.kxw"
ln -s ../../outside/notes.txt "$work/linked/Temp/Make.knf"
ln -s ../../outside/script.sh "$work/linked/Temp/Make.bat"
ln -s ../outside/workspace.kxw "$work/linked/Lis.kxw"
sums=$(cd "$work/outside" && md5sum notes.txt script.sh workspace.kxw)
for flag in -Build -Make; do
    rm -f "$work/linked/Output/PLC.BIN"
    timeout 120 "$BIN" $flag "$work/linked/Lis.kxp" >"$work/l.out" 2>"$work/l.err" </dev/null
    rc=$?
    [ $rc -eq 0 ] || { fail "$flag with links: status $rc"; show "$work/l"; }
    grep -q "Tvorba PLC skončila bez chyb." "$work/l.out" || { fail "$flag with links: no success line"; show "$work/l"; }
    [ "$(cd "$work/outside" && md5sum notes.txt script.sh workspace.kxw)" = "$sums" ] ||
        fail "$flag with links: a file outside the project changed"
    [ -e "$work/outside/ran" ] && fail "$flag with links: the file outside was run"
    for f in Temp/Make.knf Temp/Make.bat; do
        { [ -f "$work/linked/$f" ] && [ ! -L "$work/linked/$f" ]; } || fail "$flag with links: $f is no file of its own"
    done
    rm -f "$work/linked/Temp/Make.knf" "$work/linked/Temp/Make.bat"
    ln -s ../../outside/notes.txt "$work/linked/Temp/Make.knf"
    ln -s ../../outside/script.sh "$work/linked/Temp/Make.bat"
done

[ $failures -eq 0 ] && echo "all unattended runs passed"
exit $failures
