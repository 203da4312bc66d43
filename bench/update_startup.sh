#!/usr/bin/env bash
# How long the reporter's start-up waits for the update check when the server
# cannot be reached, against the normal case (an up-to-date server on
# loopback, whose dialog closes one second after it opened) in the same run.
#   bench/update_startup.sh [runs]     after: cmake --build --preset windows
# Cases: Ostrel.exe as built (the default deployment points at a closed local
# port) timed until its form is on screen; the update dialog test host timed
# until it ends, against a closed port, a server that accepts and never
# greets, a port whose connection requests are dropped, and the up-to-date
# server. Prints medians in ms and their ratio to
# the up-to-date case.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=build/windows
runs=${1:-5}
if [ -z "${OSTREL_WINE_SESSION:-}" ]; then
    exec tools/wine-session.sh "$build" bash "$root/bench/update_startup.sh" "$runs"
fi

bin=$root/$build/bin
work=$root/$build/bench-update
rm -rf "$work"
mkdir -p "$work/home" "$work/dl" "$work/srv-quiet" "$work/srv-drop" "$work/srv-ok"
printf '[UPDATE]\r\nVersion=2.30.1.0\r\n' >"$work/home/Ostrel Install.txt"
dl='Z:'$(echo "$work/dl" | tr / '\\')
script=$root/reporter/update/tests/ftp_server.py

start_server() { # <dir> <args...>: prints the port
    local dir=$1
    shift
    /usr/bin/python3 "$script" --port-file "$dir/port" --stop-file "$dir/stop" --lifetime 600 "$@" \
        >"$dir/log" 2>&1 &
    for _ in $(seq 1 100); do [ -s "$dir/port" ] && break; sleep 0.05; done
    cat "$dir/port"
}
quiet_port=$(start_server "$work/srv-quiet" --silent)
drop_port=$(start_server "$work/srv-drop" --blackhole)
ok_port=$(start_server "$work/srv-ok" --user "u:p:$work/home")
closed_port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
stop_servers() { touch "$work/srv-quiet/stop" "$work/srv-drop/stop" "$work/srv-ok/stop"; }
trap stop_servers EXIT

now_ms() { date +%s%3N; }

form_viewable() { # the form's X window exists early, unmapped: wait until it is mapped
    local id
    for id in $(xwininfo -root -tree 2>/dev/null | awk '/"Ostrel.exe - / {print $1}'); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && return 0
    done
    return 1
}

form_ms() { # Ostrel.exe until its form shows, then closed again
    local t0 t1 pid
    t0=$(now_ms)
    wine "$bin/Ostrel.exe" &
    pid=$!
    for _ in $(seq 1 1200); do
        form_viewable && break
        sleep 0.02
    done
    t1=$(now_ms)
    wine "$bin/wmclose.exe" "Ostrel.exe - " 15000 >/dev/null 2>&1
    wait "$pid"
    echo $((t1 - t0))
}

dialog_ms() { # the update dialog host until it ends
    local t0 t1
    t0=$(now_ms)
    wine "$bin/update_dialog_host.exe" "$dl" "$1" u p
    t1=$(now_ms)
    echo $((t1 - t0))
}

median() { tr ' ' '\n' | sed '/^$/d' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

dialog_ms "127.0.0.1:$ok_port" >/dev/null # warm Wine up
declare -A results
for _ in $(seq 1 "$runs"); do
    results[form]+=" $(form_ms)"
    results[closed]+=" $(dialog_ms "127.0.0.1:$closed_port")"
    results[quiet]+=" $(dialog_ms "127.0.0.1:$quiet_port")"
    results[drop]+=" $(dialog_ms "127.0.0.1:$drop_port")"
    results[ok]+=" $(dialog_ms "127.0.0.1:$ok_port")"
done
anchor=$(echo "${results[ok]}" | median)
printf '%-52s %8s %8s   runs: %s\n' "case" "median" "ratio" "$runs"
for key in ok closed quiet drop form; do
    case $key in
        ok) label="dialog, up-to-date server (anchor)" ;;
        closed) label="dialog, closed port" ;;
        quiet) label="dialog, server accepts and never greets" ;;
        drop) label="dialog, connection requests dropped" ;;
        form) label="Ostrel.exe until its form shows (closed port)" ;;
    esac
    m=$(echo "${results[$key]}" | median)
    printf '%-52s %6s ms %8s   (%s)\n' "$label" "$m" "$(awk -v a="$m" -v b="$anchor" 'BEGIN{printf "%.2f", a/b}')" "${results[$key]# }"
done
