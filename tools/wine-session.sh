#!/usr/bin/env bash
# Runs a command inside a Wine session for a build tree: private prefix in the
# build tree, an Xvfb display when none is given, and a persistent wineserver.
# Everything it started ends with it.
# Usage: tools/wine-session.sh <build-dir> <command> [args...]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
shift
mkdir -p "$build"
. "$here/wine-env.sh" "$build"
export OSTREL_WINE_SESSION=1

xvfb_pid=
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" >/dev/null 2>&1 || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${DISPLAY:-}" ]; then
    # A free lock file is not enough: a server of another mount namespace
    # holds its display through an abstract socket that no file shows. Such a
    # display makes Xvfb end at once, so the next one is tried.
    for n in $(seq 91 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$build/xvfb.log" 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$n"
        # A loaded machine can take many seconds to bring the server up.
        for _ in $(seq 1 600); do
            xdpyinfo >/dev/null 2>&1 && break
            kill -0 "$xvfb_pid" 2>/dev/null || break
            sleep 0.1
        done
        # Ours must be the server that answers.
        kill -0 "$xvfb_pid" 2>/dev/null && xdpyinfo >/dev/null 2>&1 && break
        kill "$xvfb_pid" >/dev/null 2>&1
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=
        unset DISPLAY
    done
    if [ -z "${DISPLAY:-}" ]; then
        echo "wine-session: Xvfb did not start on any free display (see $build/xvfb.log)" >&2
        exit 1
    fi
fi

# A persistent server keeps every test program from paying for a cold start.
# Exit code 2 means one already serves this prefix, which is fine.
# Its own output goes to a log: it dumps its object table there when a
# pseudo-terminal it holds hangs up (serial-port tests), which is noise.
mkdir -p "$WINEPREFIX"
wineserver -p >"$build/wineserver.log" 2>&1
rc=$?
if [ "$rc" -ne 0 ] && [ "$rc" -ne 2 ]; then
    echo "wine-session: wineserver did not start ($rc)" >&2
    exit 1
fi
fresh=0
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-session: creating prefix $WINEPREFIX"
    fresh=1
fi
if ! wineboot -i >"$build/wineboot.log" 2>&1; then
    echo "wine-session: wineboot failed (see $build/wineboot.log)" >&2
    exit 1
fi
if [ "$fresh" = 1 ]; then
    # Windows draw their own frames and captions: Xvfb has no window manager.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    # No crash debugger: a program that calls an unimplemented Wine function
    # (the Bluetooth API aborts) ends at once instead of hanging in winedbg.
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f \
        >/dev/null 2>&1 || true
fi

"$@"
