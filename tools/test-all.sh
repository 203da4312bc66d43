#!/usr/bin/env bash
# Builds both presets and runs every test: the host tests (ASan, UBSan) and
# the Windows tests under Wine. Ends with ctest's summaries and a total line.
set -uo pipefail
cd "$(dirname "$0")/.."
# The same results whatever the caller's language: peers print names in UTF-8
# and Wine stores non-ASCII file names.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
tools/install-deps.sh test || exit 1
jobs=$(nproc)

rc=0
log_host=build/host-ctest.log
log_win=build/windows-ctest.log
mkdir -p build

cmake --preset host >/dev/null && cmake --build --preset host -j"$jobs" || exit 1
cmake --preset windows >/dev/null && cmake --build --preset windows -j"$jobs" || exit 1

echo "=== host tests"
ctest --preset host -j"$jobs" 2>&1 | tee "$log_host"
[ "${PIPESTATUS[0]}" -eq 0 ] || rc=1

echo "=== Windows tests under Wine"
tools/wine-session.sh build/windows ctest --preset windows 2>&1 | tee "$log_win"
[ "${PIPESTATUS[0]}" -eq 0 ] || rc=1

count() { sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1 \2/p' "$1" | tail -n 1; }
read -r f1 t1 <<<"$(count "$log_host")"
read -r f2 t2 <<<"$(count "$log_win")"
failed=$(( ${f1:-0} + ${f2:-0} ))
total=$(( ${t1:-0} + ${t2:-0} ))
[ -n "${t1:-}" ] && [ -n "${t2:-}" ] || rc=1
[ "$failed" -eq 0 ] || rc=1
echo
echo "total: $(( total - failed )) passed, $failed failed"
exit $rc
