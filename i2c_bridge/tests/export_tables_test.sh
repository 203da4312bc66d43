#!/usr/bin/env bash
# The export tables of both bridge libraries and the reporter's imports of
# them, as objdump -p shows them, against the tables written out by hand.
# Usage: export_tables_test.sh <objdump> <bin dir> <expected file>
set -euo pipefail
objdump=$1
bin=$2
expected=$3

exports() {
    echo "$(basename "$1") exports"
    "$objdump" -p "$1" | awk '
        /^Export Address Table -- Ordinal Base/ { base = $NF }
        /\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
        table && NF == 0 { table = 0 }
        table { gsub(/[][]/, ""); print $1 + base, $2 }' | sort -n
}

imports() { # <exe> <dll>
    echo "$(basename "$1") imports from $2"
    "$objdump" -p "$1" | awk -v dll="$2" '
        function hex(s,   n, i) {
            n = 0
            for (i = 1; i <= length(s); i++)
                n = n * 16 + index("0123456789abcdef", tolower(substr(s, i, 1))) - 1
            return n
        }
        $0 ~ "DLL Name: " dll "$" { section = 1; getline; next }
        section && NF == 0 { section = 0 }
        section && $3 == "<none>" { printf "ordinal %d\n", hex($2); next }
        section { print $3 }' | sort
}

actual=$(exports "$bin/Vidlink.dll"; exports "$bin/Vidlink_285.dll"
         imports "$bin/Ostrel.exe" Vidlink.dll; imports "$bin/Ostrel.exe" Vidlink_285.dll)
if ! diff -u "$expected" <(echo "$actual"); then
    echo "export_tables_test: tables differ (- expected, + actual)" >&2
    exit 1
fi
echo "export_tables_test: ok"
