#!/usr/bin/env bash
# Writes a chip list of LINES lines with every kind of line in turn: known
# and unknown lots (bench/make-list.awk's, every known lot first), cut too
# short, too long, a NUL in place of a serial digit, a CR LF line end;
# the last line has no newline.
#   bash bench/every-kind.sh LINES
set -euo pipefail
bench=$(dirname "$0")
facts=$(mktemp)
trap 'rm -f "$facts"' EXIT
cmake -P "$bench/../cmake/ChipidFacts.cmake" >"$facts"
mawk -v facts="$facts" -v lines="$1" -f "$bench/facts.awk" -f "$bench/make-list.awk" |
    mawk '{ kind = NR % 5 }
        kind == 1 && NR > 20 { $0 = substr($0, 1, 10) }
        kind == 2 && NR > 20 { $0 = $0 "0123456789" }
        kind == 3 { $0 = substr($0, 1, 22) "@" substr($0, 24) }
        kind == 4 { $0 = $0 "\r" }
        { print }' | tr '@' '\0' | head -c -1
