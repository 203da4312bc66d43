#!/usr/bin/env bash
# The server's real serial path under Wine: socat joins two pseudo-terminals;
# Wine's COM7 is one of them, the wireless-sensor simulator answers on the
# other. Runs inside tools/wine-session.sh (WINEPREFIX set).
# Usage: serial_pty_test.sh <folder of TORVEX.exe> <host simulator program> [client program]
set -uo pipefail
bin=$1
simulator=$2
client=${3:-torvex_serial_client.exe}
: "${WINEPREFIX:?run through tools/wine-session.sh}"
command -v socat >/dev/null || { echo "socat is not installed"; exit 1; }
work=$(mktemp -d)
socat_pid=
sim_pid=
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    # The hang-up of Wine's terminal reaches the wineserver, which holds it as
    # its controlling terminal; a debug build prints its object table then.
    [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null
    wait 2>/dev/null
    rm -f "$WINEPREFIX/dosdevices/com7"
    rm -rf "$work"
}
trap cleanup EXIT

socat pty,raw,echo=0,link="$work/sensor" pty,raw,echo=0,link="$work/wine" 2>"$work/socat.log" &
socat_pid=$!
for _ in $(seq 50); do [ -e "$work/sensor" ] && [ -e "$work/wine" ] && break; sleep 0.1; done
[ -e "$work/wine" ] || { echo "socat did not make its terminals"; cat "$work/socat.log"; exit 1; }

# The first battery answer comes in a bad envelope; images are 400 x 342;
# the first mode-1 image has a bad checksum, the second a short first
# packet, and a mode-0 image stops after 30000 bytes.
"$simulator" "$work/sensor" "fault=badenv:C00A:0:1;image=400x342;fault=badsum:D00101:0:1;fault=short:D00101:40:1;fault=cut:D00100:30000:1" 2>"$work/sim.log" &
sim_pid=$!
ln -sf "$(readlink -f "$work/wine")" "$WINEPREFIX/dosdevices/com7"

rm -f "$bin/disappear.request" "$bin/disappear.done"
wine "$bin/$client" 7 &
client_pid=$!
# When the client asks, the port disappears: socat and the simulator end.
for _ in $(seq 600); do
    if [ -e "$bin/disappear.request" ]; then
        kill "$sim_pid" "$socat_pid" 2>/dev/null
        wait "$sim_pid" "$socat_pid" 2>/dev/null
        sim_pid= socat_pid=
        touch "$bin/disappear.done"
        break
    fi
    kill -0 "$client_pid" 2>/dev/null || break
    sleep 0.1
done
wait "$client_pid"
rc=$?
echo "--- simulator log (last lines)"
tail -n 3 "$work/sim.log"
exit $rc
