#!/usr/bin/env bash
# The main job: builds the Windows deliverables and runs Ostrel.exe under Wine
# in the build tree's private prefix. On the user's display it runs until the
# user closes it; without one it runs on Xvfb, saves a screenshot of its
# window and ends by itself.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tools/install-deps.sh main || exit 1
cmake --preset windows >/dev/null && cmake --build --preset windows -j"$(nproc)" || exit 1

build=build/windows
if [ -x tools/practice/install-practice.sh ]; then
    tools/wine-session.sh "$build" tools/practice/install-practice.sh "$build" standard || exit 1
fi

# Devices: the sensor server, whenever the reporter starts it, talks to a
# simulated interface box and a simulated wireless sensor on COM7.
export TORVEX_SIM="box=123A;wireless=7"

interactive=0
[ -n "${DISPLAY:-}" ] && interactive=1
export OSTREL_MAIN_INTERACTIVE=$interactive
exec tools/wine-session.sh "$build" bash -c '
    set -u
    bin='"$root/$build"'/bin
    shot='"$root/$build"'/ostrel-main.png
    wine "$bin/Ostrel.exe" &
    pid=$!
    if [ "$OSTREL_MAIN_INTERACTIVE" = 1 ]; then
        wait $pid
        echo "main-job: Ostrel.exe ended"
        exit 0
    fi
    # Wait for the form, let it settle, photograph it and close it.
    for _ in $(seq 1 120); do
        xwininfo -root -tree 2>/dev/null | grep -q "\"Ostrel.exe - " && break
        kill -0 $pid 2>/dev/null || break
        sleep 0.5
    done
    sleep 3
    if import -window root -trim "$shot" 2>/dev/null; then
        echo "main-job: screenshot in $shot"
    fi
    wine "$bin/wmclose.exe" "Ostrel.exe - " 15000
    closed=$?
    for _ in $(seq 1 60); do kill -0 $pid 2>/dev/null || break; sleep 0.5; done
    if kill -0 $pid 2>/dev/null; then
        echo "main-job: Ostrel.exe did not end" >&2
        exit 1
    fi
    wait $pid
    rc=$?
    echo "main-job: Ostrel.exe ended with exit code $rc (window close: $closed)"
    [ $closed -eq 0 ] && [ $rc -eq 0 ]
'
