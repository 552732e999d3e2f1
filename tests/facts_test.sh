#!/usr/bin/env bash
# Every copy of a fact of chipid's outside src/ and the tests' own copy,
# checked against what the built chipid really writes: the lot table, the
# record's labels, every message and the counts of lots and sample chips,
# as the manual page, the READMEs (the repository's and the installed
# ones), debian/control, debian/tests, the RPM recipe, the benchmark's awk
# peer, C floor and list generator, and the fuzzer's seed of every lot
# state them; and the RPM recipe's version and %changelog. Each stale
# copy is named; a change to one of these facts is complete when this
# passes (CONTRIBUTING.md, "Changing a fact").
#   facts_test.sh SOURCE_DIR BUILD_DIR CHIPID
# CHIPID is the built, native chipid.
set -euo pipefail
source=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
chipid=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
for tool in mawk:mawk man:man-db groff:groff-base cc:gcc; do
    command -v "${tool%%:*}" >/dev/null ||
        { echo "facts: ${tool%%:*} is missing: apt-get install ${tool#*:}" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stale=0
# stale FILE WHAT: FILE no longer says what chipid does.
stale() {
    echo "facts: stale copy in $1: $2" >&2
    stale=1
}
# Runs chipid (or the command given) in a fresh folder holding LIST as
# examples.txt; leaves NAME.out, NAME.err, NAME.status and the 2>&1 run's
# NAME.both in $work.
run_on() {
    local name=$1 list=$2 status=0
    shift 2
    mkdir -p "$work/$name.dir"
    cp "$list" "$work/$name.dir/examples.txt"
    (cd "$work/$name.dir" && "$@" >"$work/$name.out" 2>"$work/$name.err") || status=$?
    echo "$status" >"$work/$name.status"
    (cd "$work/$name.dir" && "$@" >"$work/$name.both" 2>&1) || true
}

# What chipid says. The lots: every lot id that any copy or the tests' own
# table names, one chip string each; those chipid gives an identifier are
# its table.
copies=(man/chipid.1.in README.md bench/chipid.awk bench/floor.c bench/make-list.awk)
lot_id='[A-Z0-9]{6}\.[0-9]'
(cd "$source" && grep -ohE "$lot_id" tests/support/expected.h "${copies[@]}") | sort -u |
    while read -r id; do echo "W0000000${id}A1-030042"; done >"$work/lots.txt"
run_on lots "$work/lots.txt" "$chipid"
# Both streams in one, each chip string's record is one line, whatever its
# labels: a known lot's ends in its code and the serial number 0042.
paste -d ' ' <(grep -oE "$lot_id" "$work/lots.txt") <(grep -oE '[^ ]+ ?$' "$work/lots.both") |
    sed -n 's/^\([^ ]*\) \([0-9]*\)0042$/\1 \2/p' | sort >"$work/table"
lots=$(wc -l <"$work/table")
((lots > 0)) || { echo "facts: chipid knows none of the lots named anywhere" >&2; exit 1; }
# The messages: those of every kind of line, with the line's position as N,
# and those of a list that cannot be opened or read, and of a full disk.
bash "$source/bench/every-kind.sh" 200 >"$work/every-kind.txt"
run_on every-kind "$work/every-kind.txt" "$chipid"
mkdir "$work/none" "$work/directory" "$work/directory/examples.txt"
{
    sed 's/^ nchips [0-9]* / nchips N /' "$work/every-kind.err"
    (cd "$work/none" && "$chipid" 2>&1 || true)
    (cd "$work/directory" && "$chipid" 2>&1 || true)
    (cd "$work/every-kind.dir" && "$chipid" 2>&1 >/dev/full || true) | tail -n 1
} | sort -u >"$work/messages"
[[ $(wc -l <"$work/messages") == 6 ]] ||
    { echo "facts: chipid wrote other messages than the six kinds:" >&2; cat "$work/messages" >&2; exit 1; }
# The sample list's report, both streams in one, and its size.
run_on sample "$source/examples/examples.txt" "$chipid"
sample_chips=$(wc -l <"$source/examples/examples.txt")

# (lot id, code) pairs that a text lists: a lot id followed, past tabs,
# spaces, quotes, commas or table bars, by a number.
listed_lots() { grep -oE "$lot_id[\"\`| ,	]+[0-9]+" | sed -E 's/[\"`| ,	]+/ /' | sort; }
check_table() {
    local file=$1
    diff <(listed_lots <"$2") "$work/table" >"$work/diff" ||
        stale "$file" "its lot table differs from chipid's (< it, > chipid): $(tr '\n' ' ' <"$work/diff")"
}
# Every "N lots", "N known lots" and "N chips" a text states.
check_counts() {
    local file=$1 text=$2 count
    while IFS= read -r count; do
        [[ $count == "$lots" ]] || stale "$file" "says $count lots; chipid knows $lots"
    done < <(grep -oE '[0-9]+ (known )?lots\b' "$text" | grep -oE '^[0-9]+')
    while IFS= read -r count; do
        [[ $count == "$sample_chips" ]] ||
            stale "$file" "says $count chips; the sample list has $sample_chips"
    done < <(grep -oE '[0-9]+ chips\b' "$text" | grep -oE '^[0-9]+')
}
# Every message quoted in a text, between double quotes, is one chipid
# writes; with N for the position.
check_quoted_messages() {
    local file=$1 text=$2 quoted
    while IFS= read -r quoted; do
        grep -qxF -- "$quoted" "$work/messages" || stale "$file" "quotes \"$quoted\", which chipid never writes"
    done < <(tr '\n' ' ' <"$text" | tr -s ' ' | grep -oE '" (- can.t [^"]*|[^"]*!) ?"' |
        sed 's/^"//; s/"$//')
}
# Every record line a text shows is a line of the sample list's report.
check_records() {
    local file=$1 text=$2 line
    while IFS= read -r line; do
        grep -qxF -- " $line" "$work/sample.both" ||
            stale "$file" "shows the record '$line', which chipid does not write on the sample list"
    done < <(grep -oE 'nchips [0-9]+ chipStr .*' "$text" | sed 's/ *$//' |
        sed 's/unknown lot!$/unknown lot! /')
}

# The sample list's report as the source tree keeps it, for the package's
# and the release's checks.
cmp -s "$work/sample.both" "$source/examples/report.txt" ||
    stale examples/report.txt "not what chipid writes on examples/examples.txt, both streams in one"

# The manual page, as man renders it.
# man justifies lines with extra spaces: one space stands for any number.
MANWIDTH=200 man -l "$build/man/chipid.1" 2>/dev/null | sed 's/^ *//' | tr -s ' ' >"$work/manual"
check_table man/chipid.1.in "$work/manual"
check_counts man/chipid.1.in "$work/manual"
check_quoted_messages man/chipid.1.in "$work/manual"
check_records man/chipid.1.in "$work/manual"
while IFS= read -r message; do
    grep -qF -- "\"$message\"" "$work/manual" || stale man/chipid.1.in "does not quote \"$message\""
done <"$work/messages"

# The READMEs: the repository's, and the ones installed on Linux and Windows.
# The repository's and the package's description are doc/about.txt's words.
words() { tr -d '`' <"$1" | tr -s ' \n' '  '; }
for copy in README.md debian/control rpm/chipid.spec; do
    [[ $(words "$source/$copy") == *"$(words "$source/doc/about.txt")"* ]] ||
        stale "$copy" "does not describe chipid in the words of doc/about.txt"
done
for readme in README.md CONTRIBUTING.md doc/design.md doc/releasing.md bench/README.md \
    debian/control rpm/chipid.spec; do
    [[ -f $source/$readme ]] || continue
    check_counts "$readme" "$source/$readme"
    check_quoted_messages "$readme" "$source/$readme"
    check_records "$readme" "$source/$readme"
done
for readme in doc/README doc/README.txt; do
    [[ -f $build/$readme ]] || { stale "$readme" "not made by the build"; continue; }
    check_counts "doc/${readme#doc/}.in" "$build/$readme"
    check_quoted_messages "doc/${readme#doc/}.in" "$build/$readme"
done

# The benchmark's peers write what chipid writes, on every kind of line and
# on every lot with its near misses; its list generator names chipid's lots.
cc -O2 -std=c11 -o "$work/floor" "$source/bench/floor.c"
mawk -v lines=$((4 * lots + 50)) -f "$source/bench/make-list.awk" >"$work/near-misses.txt"
for list in every-kind near-misses; do
    run_on "$list-chipid" "$work/$list.txt" "$chipid"
    run_on "$list-awk" "$work/$list.txt" mawk -f "$source/bench/chipid.awk" examples.txt
    run_on "$list-floor" "$work/$list.txt" "$work/floor"
    for peer in awk:bench/chipid.awk floor:bench/floor.c; do
        for stream in out err status both; do
            cmp -s "$work/$list-chipid.$stream" "$work/$list-${peer%%:*}.$stream" ||
                { stale "${peer#*:}" "writes another $stream than chipid on the $list list"; break; }
        done
    done
done
diff <(grep -oE "$lot_id" "$source/bench/make-list.awk" | sort) <(cut -d' ' -f1 "$work/table") \
    >/dev/null || stale bench/make-list.awk "its lots are not chipid's"
cmp -s <(mawk -v lines=$((4 * lots)) -f "$source/bench/make-list.awk") \
    "$source/fuzz/corpus/known-lots.txt" ||
    stale fuzz/corpus/known-lots.txt "not what bench/make-list.awk makes of chipid's $lots lots"

# The package's own tests, run with this chipid first on PATH.
mkdir "$work/bin"
ln -s "$chipid" "$work/bin/chipid"
for test in sample diagnostics; do
    PATH=$work/bin:$PATH CHIPID_EXAMPLES=$source/examples sh "$source/debian/tests/$test" \
        >"$work/$test.log" 2>&1 || stale "debian/tests/$test" "$(tr '\n' ' ' <"$work/$test.log")"
done

# The RPM recipe's version, packager and %changelog: debian/changelog's,
# debian/control's and NEWS.md's.
bash "$source/tools/rpm-changelog.sh" --check 2>"$work/rpm-changelog.log" ||
    stale rpm/chipid.spec "$(tr '\n' ' ' <"$work/rpm-changelog.log")"

((stale == 0)) || exit 1
echo "facts: every copy agrees with chipid ($lots lots, $(wc -l <"$work/messages") messages," \
    "$sample_chips sample chips)"
