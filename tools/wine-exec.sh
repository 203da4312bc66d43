#!/usr/bin/env bash
# ctest's emulator for the Windows build: runs one program under Wine in the
# session's private prefix. Refuses to run outside tools/wine-session.sh, so a
# missing prefix or display fails loudly instead of touching ~/.wine.
set -euo pipefail
if [ -z "${OSTREL_WINE_SESSION:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
    echo "wine-exec: no Wine session; run ctest through tools/wine-session.sh" >&2
    exit 97
fi
if [ -z "${DISPLAY:-}" ]; then
    echo "wine-exec: no DISPLAY" >&2
    exit 98
fi
exe=$1
shift
exec wine "$exe" "$@"
