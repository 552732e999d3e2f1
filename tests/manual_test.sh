#!/usr/bin/env bash
# The manual page renders without a single warning and documents every
# message the tool writes.
#   manual_test.sh MANUAL_PAGE
set -euo pipefail
page=$1
warnings=$(groff -t -ww -man -z "$page" 2>&1)
[[ -z $warnings ]] || { printf 'groff warns:\n%s\n' "$warnings" >&2; exit 1; }
rendered=$(MANWIDTH=80 man -l "$page" 2>"${TMPDIR:-/tmp}/chipid-man.err")
if [[ -s ${TMPDIR:-/tmp}/chipid-man.err ]]; then
    echo "man -l warns:" >&2
    cat "${TMPDIR:-/tmp}/chipid-man.err" >&2
    exit 1
fi
for section in NAME SYNOPSIS DESCRIPTION OUTPUT "EXIT STATUS" DIAGNOSTICS FILES EXAMPLES; do
    grep -qx "$section" <<<"$rendered" || { echo "no $section section" >&2; exit 1; }
done
for message in "unknown lot!" "chip string too short!" "chip string too long!" \
    "- can't open file for input" "- can't read file for input" \
    "- can't write to standard output"; do
    grep -qF -- "$message" <<<"$rendered" || { echo "message not documented: $message" >&2; exit 1; }
done
echo "manual: ok"
