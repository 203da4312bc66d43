#!/usr/bin/env bash
# The start-up finds a program path longer than 256 characters whole: the
# probe is copied into a deep folder and started there under Wine.
# Usage: deep_path_test.sh <startup_probe.exe> <scratch folder>
set -euo pipefail
[ -n "${OSTREL_WINE_SESSION:-}" ] || { echo "deep_path_test: run under tools/wine-session.sh" >&2; exit 97; }
probe=$1
scratch=$2
deep=$scratch/deep
for i in 1 2 3 4 5 6; do
    deep=$deep/folder_${i}_with_a_rather_long_name_for_depth
done
rm -rf "$scratch/deep"
mkdir -p "$deep"
cp "$probe" "$deep/startup_probe.exe"
out=$(cd "$deep" && wine ./startup_probe.exe 2>/dev/null | tr -d '\r')
expected="Z:$(printf '%s' "$deep" | tr '/' '\\')\\"
got=$(printf '%s\n' "$out" | sed -n 1p)
echo "module folder (${#got} characters): $got"
if [ "${#expected}" -le 256 ]; then
    echo "FAIL: test folder too short (${#expected})"
    exit 1
fi
if [ "$got" != "$expected" ]; then
    echo "FAIL: expected $expected"
    exit 1
fi
local=$(printf '%s\n' "$out" | sed -n 2p)
[ -n "$local" ] || { echo "FAIL: no local application data folder"; exit 1; }
[ "$(printf '%s\n' "$out" | sed -n 5p)" = "$local\\TMP\\Report.log" ] || { echo "FAIL: log path"; exit 1; }
rm -rf "$scratch/deep"
echo "deep path: ok"
