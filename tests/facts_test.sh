#!/usr/bin/env bash
# chipid's facts, the lot table (src/lot_codes.txt) and its labels and
# messages (src/report_texts.txt), are stated once; the build makes every
# other statement of them. What is left to check, exactly:
# - examples/report.txt, the sample list's report kept by hand, is what
#   chipid writes on examples/examples.txt, both streams in one;
# - the records README.md shows are lines of examples/report.txt;
# - README.md, debian/control and the RPM recipe describe chipid in the
#   words of doc/about.txt;
# - the manual page, as built, quotes every message;
# - no prose restates a lot id, a message, a quoted label or the number of lots:
#   it points to the manual page. Released history (NEWS.md, the
#   changelogs) is left as it was written.
# Each stale file is named by its path in the source tree.
#   facts_test.sh SOURCE_DIR BUILD_DIR CHIPID
# CHIPID is the built, native chipid.
set -euo pipefail
source=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
chipid=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
command -v man >/dev/null || { echo "facts: man is missing: apt-get install man-db" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stale=0
# stale FILE WHAT...: FILE, a path in the source tree, is stale.
stale() {
    local file=$1
    shift
    echo "facts: $file: $*" >&2
    stale=1
}
cd "$source"

# The sample list's report, both streams in one (a file, as the README's
# recipe writes it).
mkdir "$work/sample"
cp examples/examples.txt "$work/sample/"
(cd "$work/sample" && "$chipid" >report.txt 2>&1) || true
cmp -s "$work/sample/report.txt" examples/report.txt ||
    stale examples/report.txt "not what chipid writes on examples/examples.txt, both streams in" \
        "one: make it anew with 'cmake --build $build --target sample-report' and read the diff"

# The records of README.md's console example, but its elision.
awk '/^```console$/ { on = 1; next } /^```$/ { on = 0 } on && !/^\$ / && $0 != " ..."' README.md |
    while IFS= read -r line; do
        grep -qxF -- "$line" examples/report.txt ||
            echo "shows '$line', which is no line of examples/report.txt"
    done >"$work/readme-records"
[[ ! -s $work/readme-records ]] || stale README.md "$(cat "$work/readme-records")"

words() { tr -d '`' <"$1" | tr -s ' \n' '  '; }
for copy in README.md debian/control rpm/chipid.spec; do
    [[ $(words "$copy") == *"$(words doc/about.txt)"* ]] ||
        stale "$copy" "does not describe chipid in the words of doc/about.txt"
done

# The facts as the build read them (cmake/ChipidFacts.cmake): lot ids,
# labels with their spaces, messages without them.
facts=$build/generated/facts.tsv
mapfile -t lot_ids < <(awk -F '\t' '$1 == "lot" { print $2 }' "$facts")
mapfile -t labels < <(awk -F '\t' '$1 == "text" && $2 ~ /_LABEL$/ { print $3 }' "$facts")
mapfile -t messages < <(awk -F '\t' '$1 == "text" && $2 !~ /_LABEL$/ { sub(/^ +/, "", $3); sub(/ +$/, "", $3); print $3 }' "$facts")
((${#lot_ids[@]} > 0 && ${#labels[@]} > 0 && ${#messages[@]} > 0)) ||
    { echo "facts: cannot read $facts" >&2; exit 1; }

# The manual page, as man renders it, one space for any number.
MANWIDTH=1000 man -l "$build/man/chipid.1" 2>/dev/null | tr -s ' ' >"$work/manual"
for message in "${messages[@]}"; do
    grep -qF -- "$message \"" "$work/manual" || grep -qF -- "$message\"" "$work/manual" ||
        stale man/chipid.1.in "does not quote the message \"$message\" (src/report_texts.txt)"
done

# Prose, and the templates that the build fills with the facts. A README's
# records are checked above; the RPM recipe's %changelog is history.
prose=(README.md CONTRIBUTING.md doc/*.md doc/*.in doc/about.txt bench/README.md debian/control
    man/chipid.1.in web/page.html)
{
    for file in "${prose[@]}"; do
        awk -v file="$file" '/^```console$/ { on = 1 } /^```$/ { on = 0 } !on { print file ":" FNR ":" $0 }' "$file"
    done
    awk '/^%changelog/ { exit } { print "rpm/chipid.spec:" FNR ":" $0 }' rpm/chipid.spec
} >"$work/prose"
restates() {
    { grep -F -- "$1" "$work/prose" || true; } | cut -d: -f1,2 | while read -r place; do
        echo "$place restates $2 '$1': say it with the manual page's words or a pointer to it"
    done
}
{
    for id in "${lot_ids[@]}"; do restates "$id" "the lot id"; done
    # A label is quoted where it is restated: its words alone are prose.
    for label in "${labels[@]}"; do
        for quote in '`' '"' "'"; do restates "$quote$label" "the label"; done
    done
    for message in "${messages[@]}"; do restates "$message" "the message"; done
    { grep -E "[^0-9]${#lot_ids[@]} (known )?(lots|entries|ids)\b" "$work/prose" || true; } | cut -d: -f1,2 |
        sed "s/\$/ restates the number of lots, ${#lot_ids[@]}/"
} >"$work/restated"
while IFS= read -r line; do
    stale "${line%% *}" "${line#* }"
done <"$work/restated"

((stale == 0)) || exit 1
echo "facts: the sample report, README.md's records and the descriptions agree; no prose" \
    "restates a fact (${#lot_ids[@]} lots, ${#labels[@]} labels, ${#messages[@]} messages)"
