#!/usr/bin/env bash
# The main job: builds the Windows deliverables, installs the simulated
# practice into the build tree's private Wine prefix and runs Ostrel.exe.
# On the user's display it runs until the user closes it. Without one it does
# the product's main job by itself on Xvfb: fills the form, presses Scan,
# waits for "Scan complete", saves a screenshot of the scan dialog with its
# rows (build/windows/ostrel-main.png), closes everything and prints the
# archive written on the prefix's desktop with its entries.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tools/install-deps.sh main || exit 1
cmake --preset windows >/dev/null && cmake --build --preset windows -j"$(nproc)" || exit 1

build=build/windows
tools/wine-session.sh "$build" tools/practice/install-practice.sh "$build" standard || exit 1

# Devices: the sensor server, whenever the reporter starts it, talks to a
# simulated interface box and a simulated wireless sensor on COM7.
export TORVEX_SIM="box=123A;wireless=7"
# Under Wine the system-information program never ends: each attempt is cut
# after 5 s instead of the product's ten minutes.
export OSTREL_COMMAND_LIMIT_MS=${OSTREL_COMMAND_LIMIT_MS:-5000}

interactive=0
[ -n "${DISPLAY:-}" ] && interactive=1
export OSTREL_MAIN_INTERACTIVE=$interactive
exec tools/wine-session.sh "$build" bash -c '
    set -u
    bin='"$root/$build"'/bin
    shot='"$root/$build"'/ostrel-main.png
    driver() { wine "$bin/scan_driver.exe" "$@" | tr -d "\r"; }
    wine "$bin/Ostrel.exe" &
    pid=$!
    if [ "$OSTREL_MAIN_INTERACTIVE" = 1 ]; then
        wait $pid
        echo "main-job: Ostrel.exe ended"
        exit 0
    fi
    desktop=$(winepath -u "$(driver desktop)")
    rm -f "$desktop"/*.zip
    echo "main-job: form $(driver fill "Dr Martin" "Cabinet Dupont" "Sensor T2-04411: acquisition timeout\nsince the last update")"
    driver scan || { echo "main-job: Scan could not be pressed" >&2; kill $pid; exit 1; }
    echo "main-job: scanning..."
    if ! driver wait 300 >"'"$root/$build"'/ostrel-main-rows.txt"; then
        echo "main-job: the scan did not end" >&2
        driver close; kill $pid 2>/dev/null; exit 1
    fi
    sed -n "s/^MESSAGE\t/main-job: end message: /p" "'"$root/$build"'/ostrel-main-rows.txt" | sed "s/\\\\n/ /g"
    rows='"$root/$build"'/ostrel-main-rows.txt
    echo "main-job: $(awk -F"\t" "\$1 ~ /^[0-9]+\$/" "$rows" | wc -l) rows, the last: $(awk -F"\t" "\$1 ~ /^[0-9]+\$/ { last = \$2 \" | \" \$3 \" | \" \$4 } END { print last }" "$rows")"
    driver ok
    sleep 1
    window=$(xwininfo -root -tree 2>/dev/null | sed -n "s/^ *\(0x[0-9a-f]*\) \"Diagnostic...\".*/\1/p" | head -1)
    if [ -n "$window" ] && import -window "$window" "$shot" 2>/dev/null; then
        echo "main-job: screenshot of the scan dialog in $shot"
    elif import -window root -trim "$shot" 2>/dev/null; then
        echo "main-job: screenshot of the screen in $shot"
    fi
    driver close
    closed=$?
    for _ in $(seq 1 60); do kill -0 $pid 2>/dev/null || break; sleep 0.5; done
    if kill -0 $pid 2>/dev/null; then
        echo "main-job: Ostrel.exe did not end" >&2
        exit 1
    fi
    wait $pid
    rc=$?
    echo "main-job: Ostrel.exe ended with exit code $rc (windows closed: $closed)"
    zip=$(ls "$desktop"/*.zip 2>/dev/null | head -1)
    if [ -z "$zip" ]; then
        echo "main-job: no archive on the desktop $desktop" >&2
        exit 1
    fi
    echo "main-job: archive $(winepath -w "$zip" 2>/dev/null | tr -d "\r")"
    echo "main-job:   ($zip)"
    python3 -c "
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    infos = z.infolist()
    for i in infos:
        print(\"%10d  %s\" % (i.file_size, i.filename))
    print(\"main-job: %d entries, archive test: %s\" % (len(infos), z.testzip() or \"ok\"))
" "$zip"
    [ $closed -eq 0 ] && [ $rc -eq 0 ]
'
