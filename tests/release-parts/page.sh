#!/usr/bin/env bash
# The release check of the web page.
part=page
source "$(dirname "$0")/common.sh"

# The web page, as released, driven in headless Chromium: what it shows
# and saves against the native chipid's streams, on every list; no
# reference out of it. Its behaviours are the wasm step's.
/usr/bin/python3 "$source/tests/page_test.py" --lists-only "$out/chipid-$version.html" "$build/chipid" "$source" \
    "$build/tests/chipid_cli_cases" \
    >"$work/page.log" 2>&1 || { cat "$work/page.log" >&2; fail "the released web page fails its test"; }
echo "release: the web page shows and saves what the command line writes"

