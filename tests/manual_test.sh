#!/usr/bin/env bash
# The manual page, as configured in the build, carries the project's version
# and an ISO date, renders without a single warning from groff, man or
# mandoc, and has every section; its EXAMPLES, run with the built chipid on
# the sample list, do what the page says.
#   manual_test.sh MANUAL_PAGE SAMPLE_LIST CHIPID_COMMAND...
# CHIPID_COMMAND is the built chipid, after its emulator in a cross build.
set -euo pipefail
page=$1
sample=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
sample_report=$(dirname "$sample")/report.txt
chipid_command=("${@:3}")
# A missing tool fails the check: a skipped check would pass nothing.
for tool in groff:groff-base man:man-db mandoc:mandoc; do
    command -v "${tool%%:*}" >/dev/null ||
        { echo "manual: ${tool%%:*} is missing: apt-get install ${tool#*:}" >&2; exit 1; }
done
errors=$(mktemp)
work=$(mktemp -d)
trap 'rm -rf "$errors" "$work"' EXIT

grep -Eq '^\.TH CHIPID 1 [0-9]{4}-[0-9]{2}-[0-9]{2} "chipid [0-9]+\.[0-9]+\.[0-9]+" ' "$page" ||
    { echo "no version or ISO date in: $(grep '^\.TH' "$page")" >&2; exit 1; }
warnings=$(groff -t -ww -man -z "$page" 2>&1)
[[ -z $warnings ]] || { printf 'groff warns:\n%s\n' "$warnings" >&2; exit 1; }
# mandoc -T lint exits 0 with nothing to say; style notes count too.
lint=$(mandoc -T lint -W style "$page" 2>&1) || true
[[ -z $lint ]] || { printf 'mandoc warns:\n%s\n' "$lint" >&2; exit 1; }
rendered=$(MANWIDTH=80 man -l "$page" 2>"$errors")
if [[ -s $errors ]]; then
    echo "man -l warns:" >&2
    cat "$errors" >&2
    exit 1
fi
for section in NAME SYNOPSIS DESCRIPTION OUTPUT "EXIT STATUS" DIAGNOSTICS FILES EXAMPLES; do
    grep -qx "$section" <<<"$rendered" || { echo "no $section section" >&2; exit 1; }
done
# The build makes the table and the messages from src/, and facts_test.sh
# checks that every message is quoted; here, the two signals that end a run.
for signal in SIGPIPE SIGXFSZ; do
    grep -qF -- "$signal" <<<"$rendered" || { echo "not documented: $signal" >&2; exit 1; }
done

# The EXAMPLES, run as written on the sample list, with the built chipid
# first on PATH. The last two hold a label and a message, quoted for the
# shell whatever they hold: a failure names the example as the page shows it.
cp "$sample" "$work/examples.txt"
cd "$work"
mkdir bin
printf '#!/bin/sh\nexec %s "$@"\n' "${chipid_command[*]@Q}" >bin/chipid
chmod +x bin/chipid
PATH=$work/bin:$PATH
trimmed=$(sed "s/^ *//" <<<"$rendered")
check() { [[ $2 == "$3" ]] || { echo "manual example: $1: got '$2', expected '$3'" >&2; exit 1; }; }
# Each example's command, as the page shows it; what it prints is checked
# against the stored sample report, examples/report.txt, both streams in one.
mapfile -t examples < <(sed -n 's/^\$ //p' <<<"$trimmed")
check "how many examples" "${#examples[@]}" 5
check "the first run" "${examples[0]}" "cd /usr/share/doc/chipid/examples && chipid"
check "the list here" "${examples[1]}" "chipid"
check "the report kept" "${examples[2]}" "chipid >report.txt 2>&1"
# On a terminal both streams show: every record is one line.
chips=$(wc -l <examples.txt)
check "the first run, one record per line" "$(chipid 2>&1 | wc -l)" "$chips"
bash -c "${examples[2]}"
cmp -s report.txt "$sample_report" || { echo "manual example: ${examples[2]}: not the sample report" >&2; exit 1; }
# Apart, the diagnostics stand alone and the report runs on.
chipid >report.txt 2>problems.txt
check "separate streams run on" "$(wc -l <report.txt)" $((chips - $(wc -l <problems.txt)))
# The identifiers: one per line that ends on standard output, each the end
# of a line of the sample report.
identifiers=$(bash -c "${examples[3]}" 2>&1) || check "${examples[3]}" "$identifiers" "the identifiers"
check "${examples[3]}: the identifiers, one per known lot" "$(wc -l <<<"$identifiers")" \
    "$(chipid 2>/dev/null | wc -l)"
while IFS= read -r identifier; do
    grep -q " $identifier\$" "$sample_report" ||
        { echo "manual example: ${examples[3]}: '$identifier' ends no record" >&2; exit 1; }
done <<<"$identifiers"
# The sample list's diagnostics are all of unknown lots.
check "${examples[4]}: unknown lots counted" "$(bash -c "${examples[4]}" 2>&1)" \
    "$(chipid 2>&1 >/dev/null | wc -l)"

# EXIT STATUS: a reader that leaves early ends a long run with SIGPIPE, and
# the file size limit ends it with SIGXFSZ.
mkdir long
for ((i = 0; i < 2000; i++)); do echo W07A0312G35F72.1A1-030042; done >long/examples.txt
cd long
status=$(set +o pipefail; chipid | head -n 1 >/dev/null; echo "${PIPESTATUS[0]}")
check "chipid | head -1" "$status" 141
status=$( (ulimit -f 1 && chipid >report.txt 2>/dev/null) && echo 0 || echo $?)
check "ulimit -f" "$status" 153
echo "manual: ok"
