#!/usr/bin/env bash
# A full scan from the form, under Wine, against each kind of simulated
# practice: Ostrel.exe is started, the three fields are typed, Scan is
# pressed, and the rows of the real list view, the end message and the
# archive on the desktop are checked from outside (scan_check.py).
# Usage: scan_e2e_test.sh <bin-dir> <build-dir> <source-dir>; inside tools/wine-session.sh.
set -uo pipefail
[ -n "${OSTREL_WINE_SESSION:-}" ] || { echo "scan_e2e_test: run inside tools/wine-session.sh" >&2; exit 97; }
bin=$1
build=$2
src=$3
check="$src/reporter/app/tests/scan_check.py"
install="$src/tools/practice/install-practice.sh"
out="$build/reporter/app/scan_e2e"
rm -rf "$out"
mkdir -p "$out"
# msinfo32 never ends under Wine: three attempts of 6 s instead of minutes;
# dxdiag needs more than 3 s when the machine is loaded.
export OSTREL_COMMAND_LIMIT_MS=6000
failed=0
driver() { wine "$bin/scan_driver.exe" "$@" | tr -d '\r'; }

run() { # variant tech client remark [cancel]
    local variant=$1 tech=$2 client=$3 remark=$4 cancel=${5:-}
    local name="$variant${cancel:+-cancel}"
    "$install" "$build" "$variant" >"$out/$name.install" 2>&1 || { echo "install $variant failed"; return 1; }
    local desktop
    desktop=$(winepath -u "$(driver desktop)")
    rm -f "$desktop"/*.zip
    # Unattended: no question about the imaging applications.
    wine "$bin/Ostrel.exe" -auto &
    local pid=$!
    # The rule: nothing happens until all three are filled.
    [ "$(driver fill "$tech" "$client" "")" = "scan disabled" ] || { echo "$name: Scan enabled without a remark"; failed=1; }
    [ "$(driver fill "$tech" "$client" "$remark")" = "scan enabled" ] || { echo "$name: Scan not enabled"; failed=1; }
    driver scan
    driver wait 180 $cancel >"$out/$name.rows"
    local waited=$?
    driver ok
    driver close
    wait $pid
    if [ $waited -ne 0 ]; then
        echo "$name: the scan did not end (rows in $out/$name.rows)"
        failed=1
        return
    fi
    local safe_tech=${tech//\//_} safe_client=${client//:/_}
    local zip="$desktop/$(date +%F) - ${safe_tech}_${safe_client}.zip"
    if [ ! -f "$zip" ]; then
        echo "$name: no archive $zip; desktop holds:"; ls -la "$desktop"
        failed=1
        return
    fi
    cp "$zip" "$out/$name.zip"
    python3 "$check" "$out/$name.rows" "$zip" "$variant" "$tech" "$client" "$remark" $cancel || failed=1
}

run standard T1 C1 'A=B = C\nsecond line'
run medical 'Dupont/Martin' 'Cabinet: Dr X' 'Hélène = test'
run no-ini T2 C2 ' '
run none T3 C3 'nothing installed'
run standard T4 C4 'pressed Cancel' cancel
"$install" "$build" none >/dev/null 2>&1
exit $failed
