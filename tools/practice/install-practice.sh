#!/usr/bin/env bash
# Installs the simulated practice of a variant into the private Wine prefix of
# a Windows build tree (<build-dir>/wineprefix, as tools/wine-env.sh sets it).
# Each run first removes what an earlier run installed.
# Usage: tools/practice/install-practice.sh <build-dir> <variant>
# Variants: standard medical no-ini empty-images wise none
set -euo pipefail
if [ $# -ne 2 ]; then
    sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 64
fi
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../wine-env.sh" "$1"
exe="$_ostrel_build/tools/practice/practice_install.exe"
if [ ! -f "$exe" ]; then
    echo "install-practice: $exe is missing; build the windows preset first" >&2
    exit 1
fi
mkdir -p "$WINEPREFIX"
wine "$exe" "$2" || exit $?
# Wine links the user's desktop to the Unix home folder; the simulated
# workstation keeps its desktop (where the archive lands) inside the prefix.
desktop="$WINEPREFIX/drive_c/users/$(id -un)/Desktop"
if [ -L "$desktop" ]; then
    rm "$desktop"
fi
mkdir -p "$desktop"
