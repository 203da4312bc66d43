#!/usr/bin/env bash
# The part of the main job that runs inside the Wine session (tools/main-job.sh
# starts it): simulators and update server up, Ostrel.exe run, and without a
# user the form driven to the archive.
# Usage: tools/main-job-session.sh <source-root> <build-dir>
set -uo pipefail
root=$1
build=$root/$2
bin=$build/bin
work=$build/main-job
rm -rf "$work"
mkdir -p "$work/ftp"
say() { echo "main-job: $*"; }
winpath() { winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# The product as a user gets it: the signed installer, silent, per user.
wine "$build/installer/Ostrel Install.exe" /S || { say "the installer failed" >&2; exit 1; }
app=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Programs/Ostrel
for _ in $(seq 1 50); do [ -f "$app/Ostrel.exe" ] && break; sleep 0.2; done
[ -f "$app/Ostrel.exe" ] || { say "nothing installed in $app" >&2; exit 1; }
say "installed in $(winpath "$app")"

# What the practice's devices leave in the registry and the driver folder.
wine "$build/tools/practice/practice_install.exe" devices primary >/dev/null || exit 1

# The wireless sensor's Bluetooth side: Wine's own module has no radio, so the
# stand-in module (scripted: one sensor in range, paired at the first search)
# sits beside the installed Bluefind.dll, with the serial port COM7 that
# pairing gives it.
cp "$bin/bthprops_stand_in/bthprops.cpl" "$app/" || exit 1
printf 'device 0012345678AB services=1105 name=TESSEL W 0042\n' >"$work/bluetooth.txt"
export BTHPROPS_SCRIPT=$(winpath "$work/bluetooth.txt")
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;bthprops.cpl=n,b"
modem='HKLM\SYSTEM\CurrentControlSet\Services\BTHMODEM\Enum'
instance='BTHENUM\{00001101-0000-1000-8000-00805f9b34fb}_LOCALMFG&000f\7&1a2b3c4d&0&0012345678AB_C00000000'
wine reg add "$modem" /v 0 /d "$instance" /f >/dev/null &&
    wine reg add "$modem" /v Count /t REG_DWORD /d 1 /f >/dev/null &&
    wine reg add 'HKLM\SYSTEM\CurrentControlSet\Enum\'"$instance"'\Device Parameters' \
        /v PortName /d COM7 /f >/dev/null || exit 1
# COM7 must open for the port to count: a pseudo-terminal held by socat (the
# simulated sensor answers inside the server).
socat pty,raw,echo=0,link="$work/com7.sensor" pty,raw,echo=0,link="$work/com7.wine" \
    2>"$work/socat.log" &
socat_pid=$!
for _ in $(seq 50); do [ -e "$work/com7.wine" ] && break; sleep 0.1; done
ln -sf "$(readlink -f "$work/com7.wine")" "$WINEPREFIX/dosdevices/com7" || exit 1

# Update server: the installed version is the current one.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
user=$(sed -n 's/^OSTREL_UPDATE_USER:STRING=//p' "$build/CMakeCache.txt")
password=$(sed -n 's/^OSTREL_UPDATE_PASSWORD:STRING=//p' "$build/CMakeCache.txt")
printf '[UPDATE]\r\nVersion=%s\r\n' "$version" >"$work/ftp/Ostrel Install.txt"
/usr/bin/python3 "$root/reporter/update/tests/ftp_server.py" --port "$OSTREL_MAIN_FTP_PORT" \
    --port-file "$work/ftp.port" --stop-file "$work/ftp.stop" --lifetime 3600 --verbose \
    --user "$user:$password:$work/ftp" >"$work/ftp.log" 2>&1 &
ftp_pid=$!
announcer_pid=
# The prefix is the tests' too: what the job registers goes again at its end,
# or the tests would find capture devices whose filter is gone.
undo_machine() {
    wine reg delete 'HKLM\Software\Classes\CLSID\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\Instance\cam1' /f
    wine reg delete 'HKLM\Software\Classes\CLSID\{FD0A5AF4-B41D-11D2-9C95-00C04F7971E0}\Instance\cam2' /f
    wine regsvr32 /s /u "$(winpath "$bin/bridge_sim.dll")"
    wine regsvr32 /s /u "$(winpath "$bin/LumenoSim.dll")"
    wine reg delete 'HKLM\SYSTEM\CurrentControlSet\Services\BTHMODEM' /f
    wine reg delete 'HKLM\SYSTEM\CurrentControlSet\Enum\BTHENUM' /f
    wine "$build/tools/practice/practice_install.exe" devices none
    rm -f "$WINEPREFIX/dosdevices/com7"
    [ -n "$socat_pid" ] && kill "$socat_pid"
}
stop_all() {
    touch "$work/ftp.stop" "$work/announcer.stop"
    [ -n "$announcer_pid" ] && wait "$announcer_pid" 2>/dev/null
    wait "$ftp_pid" 2>/dev/null
    undo_machine >/dev/null 2>&1
}
trap stop_all EXIT
for _ in $(seq 1 100); do [ -s "$work/ftp.port" ] && break; sleep 0.1; done
if [ ! -s "$work/ftp.port" ]; then
    say "the update server did not start on port $OSTREL_MAIN_FTP_PORT (see $work/ftp.log)" >&2
    exit 1
fi
say "update server on 127.0.0.1:$OSTREL_MAIN_FTP_PORT serves version $version"

# The camera behind its video bridge: the simulated filter as capture devices.
wine regsvr32 /s "$(winpath "$bin/bridge_sim.dll")" || { say "bridge_sim.dll not registered" >&2; exit 1; }
add_device() { # <category> <instance> <friendly name> <setup>
    local key="HKLM\\Software\\Classes\\CLSID\\$1\\Instance\\$2"
    wine reg add "$key" /v CLSID /d '{6A8E9F71-F393-42D3-BBF9-48DEAD8889C8}' /f >/dev/null &&
        wine reg add "$key" /v FriendlyName /d "$3" /f >/dev/null &&
        wine reg add "$key" /v SimConfig /d "$4" /f >/dev/null
}
add_device '{860BB310-5D01-11D0-BD3B-00A0C911CE86}' cam1 'USB 2820 Video Capture' 'gen=1' || exit 1
add_device '{FD0A5AF4-B41D-11D2-9C95-00C04F7971E0}' cam2 'Varnik cameras driver' 'gen=2' || exit 1
# The first-generation plate scanner's control, registered under its class id.
wine regsvr32 /s "$(winpath "$bin/LumenoSim.dll")" || { say "LumenoSim.dll not registered" >&2; exit 1; }
export LUMENO_SIM="open=1"
say "camera bridge and plate-scanner control registered"

# Sensors: TORVEX.exe, whenever the reporter starts it, talks to a simulated
# interface box, a wireless sensor on COM7 and two direct sensors.
export TORVEX_SIM="box=123A;wireless=7;direct=85,12"
# Under Wine the system-information program never ends: each attempt is cut
# after 5 s instead of the product's ten minutes.
export OSTREL_COMMAND_LIMIT_MS=${OSTREL_COMMAND_LIMIT_MS:-5000}

# Second-generation plate scanners announce themselves every half second.
announcer=$build/sim/plate_scanner/plate_scanner_announcer
(
    while [ ! -e "$work/announcer.stop" ]; do
        "$announcer" 127.0.0.1 48322 - "LG2-0001/192.168.0.10/12LG" "LG2-0002/192.168.0.11/3401" \
            >/dev/null 2>&1
        sleep 0.5
    done
) &
announcer_pid=$!

wine "$app/Ostrel.exe" &
pid=$!
if [ "$OSTREL_MAIN_INTERACTIVE" = 1 ]; then
    wait $pid
    say "Ostrel.exe ended"
    exit 0
fi

driver() { wine "$bin/scan_driver.exe" "$@" | tr -d '\r'; }
shoot() { # <window title prefix> <file> <what>
    local window
    window=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$1" 'index($0, t) { print $1; exit }')
    if [ -n "$window" ] && import -window "$window" "$2" 2>/dev/null; then
        say "screenshot of $3 in $2"
    elif import -window root -trim "$2" 2>/dev/null; then
        say "screenshot of the screen in $2"
    fi
}

# No imaging application runs here: the user confirms the reminder.
question=$(wine "$bin/form_watch.exe" answer 120 2>"$work/form_watch.err" | tr -d '\r')
if [ -n "$question" ]; then
    say "start-up question answered with OK: $question"
else
    say "no start-up question: $(tr -d '\r' <"$work/form_watch.err")"
fi
tree=$build/ostrel-main-tree.txt
if wine "$bin/form_watch.exe" wait 300 2>"$work/form_watch.err" | tr -d '\r' >"$tree"; then
    say "detection done, the device tree:"
    sed 's/^/main-job:   /' "$tree"
else
    say "no device tree read: $(tr -d '\r' <"$work/form_watch.err")"
fi
touch "$work/announcer.stop"
# The form shows only after the update check, so its fetch is logged by now.
if grep -q 'RETR .*/Ostrel Install.txt completed=1' "$work/ftp.log"; then
    say "the reporter fetched the version file from the update server"
else
    say "the update server saw no version file fetched (see $work/ftp.log)" >&2
fi
# Open the device lines for the picture, as the technician would.
wine "$bin/form_watch.exe" expand 2>/dev/null || say "the tree lines could not be opened"
sleep 1
shoot "Ostrel.exe - " "$build/ostrel-main-form.png" "the form"

desktop=$(winepath -u "$(driver desktop)")
rm -f "$desktop"/*.zip
say "form $(driver fill "Dr Martin" "Cabinet Dupont" "Sensor T2-04411: acquisition timeout\nsince the last update")"
driver scan || { say "Scan could not be pressed" >&2; kill $pid; exit 1; }
say "scanning..."
rows=$build/ostrel-main-rows.txt
if ! driver wait 300 >"$rows"; then
    say "the scan did not end" >&2
    driver close
    kill $pid 2>/dev/null
    exit 1
fi
sed -n 's/^MESSAGE\t/main-job: end message: /p' "$rows" | sed 's/\\n/ /g'
say "$(awk -F'\t' '$1 ~ /^[0-9]+$/' "$rows" | wc -l) rows, the last: $(awk -F'\t' '$1 ~ /^[0-9]+$/ { last = $2 " | " $3 " | " $4 } END { print last }' "$rows")"
driver ok
sleep 1
shoot "Diagnostic..." "$build/ostrel-main.png" "the scan dialog"
driver close
closed=$?
for _ in $(seq 1 60); do kill -0 $pid 2>/dev/null || break; sleep 0.5; done
if kill -0 $pid 2>/dev/null; then
    say "Ostrel.exe did not end" >&2
    exit 1
fi
wait $pid
rc=$?
say "Ostrel.exe ended with exit code $rc (windows closed: $closed)"
zip=$(ls "$desktop"/*.zip 2>/dev/null | head -1)
if [ -z "$zip" ]; then
    say "no archive on the desktop $desktop" >&2
    exit 1
fi
say "archive $(winpath "$zip")"
say "  ($zip)"
python3 -c '
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    infos = z.infolist()
    for i in infos:
        print("%10d  %s" % (i.file_size, i.filename))
    print("main-job: %d entries, archive test: %s" % (len(infos), z.testzip() or "ok"))
' "$zip"
[ $closed -eq 0 ] && [ $rc -eq 0 ]
