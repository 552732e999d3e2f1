#!/usr/bin/env bash
# The version is stated once, in debian/changelog's newest entry, and a new
# one reaches everything made from it in an existing build tree: the
# binary's ELF package note, the manual page and the installed README.
# Builds a copy of the sources, adds a changelog entry and builds again.
#   version_test.sh SOURCE_DIR
set -euo pipefail
source=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "version: $*" >&2; exit 1; }

mkdir "$work/src"
(cd "$source" && tar -c --exclude='./build*' --exclude=./.git .) | tar -x -C "$work/src"
cmake -S "$work/src" -B "$work/build" -G Ninja -DCHIPID_BUILD_TESTING=OFF >"$work/log" 2>&1 &&
    cmake --build "$work/build" >>"$work/log" 2>&1 || { cat "$work/log" >&2; fail "the copy does not build"; }

# Each product of the build names VERSION.
names() {
    readelf -n "$work/build/chipid" | grep -qF "\"version\":\"$1\"" || fail "the ELF note is not at $1"
    grep -q "^\.TH CHIPID 1 .* \"chipid $1\"" "$work/build/man/chipid.1" ||
        fail "the manual page is not at $1"
    [[ $(head -n 1 "$work/build/doc/README") == "chipid $1" ]] || fail "the README is not at $1"
}
old=$(sed -n '1s/^chipid (\([^)]*\)).*/\1/p' "$source/debian/changelog")
names "$old"
{
    printf 'chipid (%s) unstable; urgency=medium\n\n  * A test.\n\n' 99.1.2
    printf ' -- chipid developers <chipid@example.org>  Fri, 11 Dec 2026 12:00:00 +0000\n\n'
    cat "$source/debian/changelog"
} >"$work/src/debian/changelog"
cmake --build "$work/build" >>"$work/log" 2>&1 || { cat "$work/log" >&2; fail "the rebuild fails"; }
names 99.1.2
echo "version: $old, then 99.1.2 in the same build tree, reaches the note, the manual and the README"
