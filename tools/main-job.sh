#!/usr/bin/env bash
# The main job: the whole product under Wine. Builds the Windows deliverables
# with the update server pointing at a local FTP server that the job starts
# (serving the installed version, so Ostrel.exe finds itself up to date),
# installs the simulated practice into the build tree's private prefix, brings
# up every simulator (box, wireless and two direct sensors in TORVEX, the
# camera bridge, the first-generation plate-scanner control, second-generation
# scanners announcing themselves) and runs Ostrel.exe.
# On the user's display it runs until the user closes the form. Without one
# it does the product's main job by itself on Xvfb: waits for the detection
# run, saves a screenshot of the form with its device tree
# (build/windows/ostrel-main-form.png), fills the form, presses Scan, waits
# for "Scan complete", saves a screenshot of the scan dialog
# (build/windows/ostrel-main.png), closes everything and prints the archive
# written on the prefix's desktop with its entries.
# OSTREL_MAIN_FTP_PORT chooses the update server's port (default: the one
# the build already uses when it is free, else a free one).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=build/windows
tools/install-deps.sh main || exit 1

port_free() {
    /usr/bin/python3 -c 'import socket,sys; s=socket.socket(); s.bind(("127.0.0.1",int(sys.argv[1])))' \
        "$1" 2>/dev/null
}
port=${OSTREL_MAIN_FTP_PORT:-}
if [ -z "$port" ]; then
    port=$(sed -n 's/^OSTREL_UPDATE_SERVER:STRING=127\.0\.0\.1:\([0-9]*\)$/\1/p' \
        "$build/CMakeCache.txt" 2>/dev/null)
    # 9 is the build's default: a port where nothing may listen.
    if [ -z "$port" ] || [ "$port" = 9 ] || ! port_free "$port"; then
        port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    fi
fi
cmake --preset windows -DOSTREL_UPDATE_SERVER="127.0.0.1:$port" >/dev/null &&
    cmake --build --preset windows -j"$(nproc)" || exit 1

tools/wine-session.sh "$build" tools/practice/install-practice.sh "$build" standard || exit 1

interactive=0
[ -n "${DISPLAY:-}" ] && interactive=1
export OSTREL_MAIN_INTERACTIVE=$interactive OSTREL_MAIN_FTP_PORT=$port
exec tools/wine-session.sh "$build" bash "$root/tools/main-job-session.sh" "$root" "$build"
