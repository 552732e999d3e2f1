#!/usr/bin/env bash
# The fact files, src/lot_codes.txt and src/report_texts.txt, as their one
# reader (cmake/ChipidFacts.cmake) takes them: any UTF-8 text in a label or
# a message reaches every statement the build makes, byte for byte; a CR, a
# byte that is not UTF-8, a control character, a lot id or a code given
# twice stops it, naming file, line and fault. Each case edits a copy.
#   fact_files_test.sh SOURCE_DIR
set -euo pipefail
source=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "fact files: $*" >&2
    failed=1
}

# A copy of the facts and the sample report, edited by a command run in it.
edited() {
    rm -rf "$work/tree"
    mkdir -p "$work/tree/src" "$work/tree/examples"
    cp "$source/src/lot_codes.txt" "$source/src/report_texts.txt" "$work/tree/src/"
    cp "$source/examples/report.txt" "$work/tree/examples/"
    (cd "$work/tree/src" && eval "$1")
}
read_facts() {
    cmake -DCHIPID_FACTS_DIR="$work/tree/src" -P "$source/cmake/ChipidFacts.cmake" >"$work/out" 2>"$work/err"
}

# Refused, one case a line: what; the edit, a shell command in src/; what
# the error says.
while IFS='|' read -r what edit expected; do
    [[ -n $what && $what != \#* ]] || continue
    edited "$edit"
    if read_facts; then
        fail "$what: taken"
    elif ! grep -qF -- "$expected" <(tr -s ' \n' '  ' <"$work/err"); then
        fail "$what: said '$(cat "$work/err")', not '$expected'"
    fi
done <<'EOF'
CR LF line ends|sed -i 's/$/\r/' lot_codes.txt|src/lot_codes.txt:1: a CR: the file's lines must end in LF alone
a CR in a text|sed -i 's/^TOO_LONG " chip/TOO_LONG " \rchip/' report_texts.txt|src/report_texts.txt:15: a CR
Latin-1, not UTF-8|printf 'UNKNOWN_LOT " caf\351 "\n' >>report_texts.txt|src/report_texts.txt:19: a byte that is not UTF-8 text
a UTF-8 sequence cut short|printf 'UNKNOWN_LOT " \342\202 "\n' >>report_texts.txt|src/report_texts.txt:19: a byte that is not UTF-8 text
a tab for the space|printf 'G35F99.1\t98\n' >>lot_codes.txt|src/lot_codes.txt:22: a byte that is not UTF-8 text, or a control character such as a tab or a NUL
a NUL byte|printf 'G35F99.1 98\0\n' >>lot_codes.txt|src/lot_codes.txt:22: a byte that is not UTF-8 text, or a control character such as a tab or a NUL
two lots with one code|echo 'G35F99.1 72' >>lot_codes.txt|src/lot_codes.txt:22: code 72 is another lot's too
a lot listed twice|echo 'G35F72.1 98' >>lot_codes.txt|src/lot_codes.txt:22: G35F72.1 is listed twice
a three-digit code|echo 'G35F99.1 100' >>lot_codes.txt|src/lot_codes.txt:22: not a lot id of 8 letters
a text given twice|echo 'TOO_LONG " again "' >>report_texts.txt|src/report_texts.txt:19: TOO_LONG is given twice
a text missing|sed -i '/^CANT_WRITE /d' report_texts.txt|src/report_texts.txt has no CANT_WRITE
EOF

# Taken, one case a line: what; the edit; a line the reader must print.
while IFS='|' read -r what edit expected; do
    [[ -n $what && $what != \#* ]] || continue
    edited "$edit"
    if ! read_facts; then
        fail "$what: refused: $(cat "$work/err")"
    elif ! grep -qxF -- "$(printf '%b' "$expected")" "$work/out"; then
        fail "$what: no line '$expected' in: $(cat "$work/out")"
    fi
done <<'EOF'
a semicolon, an accent and an apostrophe|sed -i "s/^TOO_LONG .*/TOO_LONG \" chip string too long; café won't do! \"/" report_texts.txt|text\tTOO_LONG\t chip string too long; café won't do! 
quotes, a backslash and a percent sign|sed -i 's/^UNKNOWN_LOT .*/UNKNOWN_LOT " "unknown" \\ 100% "/' report_texts.txt|text\tUNKNOWN_LOT\t "unknown" \\ 100% 
four bytes of UTF-8|sed -i 's/^UNKNOWN_LOT .*/UNKNOWN_LOT " unknown lot 🔍 "/' report_texts.txt|text\tUNKNOWN_LOT\t unknown lot 🔍 
the last line without its newline|printf 'G35F99.1 98' >>lot_codes.txt|lot\tG35F99.1\t98
EOF

# What the build makes of such a text: the C header, roff for the manual
# (characters beyond ASCII as \[uXXXX]) and the manual's example arguments,
# quoted for the shell.
edited "sed -i \"s/^TOO_LONG .*/TOO_LONG \\\" chip string too long; café won't do? \\\"/; s/^UNKNOWN_LOT .*/UNKNOWN_LOT \\\" won't do! \\\"/\" report_texts.txt"
mkdir -p "$work/project"
cat >"$work/project/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.25)
project(facts NONE)
set(CHIPID_FACTS_DIR "$work/tree/src")
include("$source/cmake/ChipidFacts.cmake")
file(WRITE "\${PROJECT_BINARY_DIR}/roff" "\${CHIPID_MAN_TOO_LONG}|\${CHIPID_MAN_UNKNOWN_LOT_GREP}|\${CHIPID_MAN_IDENTIFIERS_SED}")
EOF
if ! cmake -S "$work/project" -B "$work/project/build" >"$work/err" 2>&1; then
    fail "configure refused a text of UTF-8: $(cat "$work/err")"
else
    header=$(<"$work/project/build/generated/chipid_facts.h")
    [[ $header == *'#define CHIPID_TOO_LONG " chip string too long; café won'"'"'t do\? \n"'* ]] ||
        fail "chipid_facts.h: $header"
    expected=' chip string too long; caf\[u00E9] won\(aqt do? |\(aq won\(aq\e\(aq\(aqt do! \(aq|\(aqs/.* 6\-digit\-id: //p\(aq'
    [[ $(<"$work/project/build/roff") == "$expected" ]] ||
        fail "the manual's roff: '$(<"$work/project/build/roff")', not '$expected'"
fi

((failed == 0)) || exit 1
echo "fact files: ok"
