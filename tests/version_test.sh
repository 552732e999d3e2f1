#!/usr/bin/env bash
# The version is stated once, in debian/changelog's newest entry, and a new
# one reaches everything made from it in an existing build tree: the
# binary's ELF package note, the manual page and the installed README. A
# packager's Debian revision is not part of it; a tree without the
# changelog is given the version, and told how when it is not.
# Builds a copy of the sources, adds a changelog entry and builds again.
#   version_test.sh SOURCE_DIR BUILD_DIR
# BUILD_DIR, the build tree that runs this, is never copied, wherever it is.
set -euo pipefail
source=$(cd "$1" && pwd)
build=$(cd "$2" && pwd -P)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "version: $*" >&2; exit 1; }

# The sources: in a git work tree the files git tracks or would track; in
# an unpacked tarball every file but the build tree's.
mkdir "$work/src"
if git -C "$source" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$source" && git ls-files -z --cached --others --exclude-standard |
        tar -c --null --no-recursion --ignore-failed-read -T - 2>/dev/null)
else
    excluded=()
    case $build/ in
        "$(cd "$source" && pwd -P)"/*) excluded=(--exclude="./${build#"$(cd "$source" && pwd -P)"/}") ;;
    esac
    (cd "$source" && tar -c "${excluded[@]}" .)
fi | tar -x -C "$work/src"
# Unoptimised and linked dynamically, which builds fastest: the version
# reaches every build alike.
quick=(-DCMAKE_BUILD_TYPE=Debug -DCHIPID_STATIC=OFF)
cmake -S "$work/src" -B "$work/build" -G Ninja -DCHIPID_BUILD_TESTING=OFF "${quick[@]}" >"$work/log" 2>&1 &&
    cmake --build "$work/build" >>"$work/log" 2>&1 || { cat "$work/log" >&2; fail "the copy does not build"; }

# Each product of the build names VERSION.
names() {
    [[ $(readelf -n "$work/build/chipid") == *"\"version\":\"$1\""* ]] || fail "the ELF note is not at $1"
    grep -q "^\.TH CHIPID 1 .* \"chipid $1\"" "$work/build/man/chipid.1" ||
        fail "the manual page is not at $1"
    [[ $(head -n 1 "$work/build/doc/README") == "chipid $1" ]] || fail "the README is not at $1"
}
old=$(sed -n '1s/^chipid (\([^)-]*\).*/\1/p' "$source/debian/changelog")
names "$old"
{
    printf 'chipid (%s) unstable; urgency=medium\n\n  * A test.\n\n' 99.1.2
    printf ' -- chipid developers <chipid@example.org>  Fri, 11 Dec 2026 12:00:00 +0000\n\n'
    cat "$source/debian/changelog"
} >"$work/src/debian/changelog"
cmake --build "$work/build" >>"$work/log" 2>&1 || { cat "$work/log" >&2; fail "the rebuild fails"; }
names 99.1.2

# A downstream packager's revision: the version is the upstream part.
sed -i '1s/(99\.1\.2)/(99.1.2-1)/' "$work/src/debian/changelog"
cmake --build "$work/build" >>"$work/log" 2>&1 || { cat "$work/log" >&2; fail "a Debian revision fails"; }
names 99.1.2

# No changelog: the configure step says how to give the version.
rm "$work/src/debian/changelog"
rm -rf "$work/build"
cmake -S "$work/src" -B "$work/build" -G Ninja "${quick[@]}" >"$work/log" 2>&1 &&
    fail "configured without a changelog or CHIPID_VERSION"
grep -q -- "-DCHIPID_VERSION=X.Y.Z" "$work/log" || { cat "$work/log" >&2; fail "no word on CHIPID_VERSION"; }
cmake -S "$work/src" -B "$work/build" -G Ninja -DCHIPID_VERSION=3.4.5 "${quick[@]}" >"$work/log" 2>&1 &&
    cmake --build "$work/build" >>"$work/log" 2>&1 || { cat "$work/log" >&2; fail "-DCHIPID_VERSION fails"; }
names 3.4.5
echo "version: $old, then 99.1.2 in the same build tree, reaches the note, the manual and the" \
    "README; 99.1.2-1 is 99.1.2; without a changelog, -DCHIPID_VERSION=3.4.5"
