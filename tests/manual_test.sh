#!/usr/bin/env bash
# The manual page, as configured in the build, carries the project's version
# and an ISO date, renders without a single warning from groff, man or
# mandoc, and documents every message the tool writes.
#   manual_test.sh MANUAL_PAGE
set -euo pipefail
page=$1
# A missing tool fails the check: a skipped check would pass nothing.
for tool in groff:groff-base man:man-db mandoc:mandoc; do
    command -v "${tool%%:*}" >/dev/null ||
        { echo "manual: ${tool%%:*} is missing: apt-get install ${tool#*:}" >&2; exit 1; }
done
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT

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
for message in "unknown lot!" "chip string too short!" "chip string too long!" \
    "- can't open file for input" "- can't read file for input" \
    "- can't write to standard output" SIGPIPE SIGXFSZ; do
    grep -qF -- "$message" <<<"$rendered" || { echo "not documented: $message" >&2; exit 1; }
done
echo "manual: ok"
