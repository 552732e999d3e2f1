#!/usr/bin/env bash
# The portable archive: built with the README's command, it holds a fully
# static bin/chipid, the manual page, the README and the licence, and the
# unpacked chipid converts the sample list with an empty environment
# exactly as a plain build does.
#   portable_archive_test.sh SOURCE_DIR REFERENCE_CHIPID
set -euo pipefail
source=$(cd "$1" && pwd)
reference=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "portable archive: $*" >&2; exit 1; }

version=$(sed -n 's/^  VERSION \([0-9.]*\)$/\1/p' "$source/CMakeLists.txt")
build=$work/build-portable
(cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_STATIC=ON &&
    cmake --build "$build" && (cd "$build" && cpack -G TGZ)) >"$work/build.log" 2>&1 ||
    { cat "$work/build.log" >&2; fail "cannot build the archive"; }
name=chipid-$version-Linux-$(uname -m)
archive=$build/$name.tar.gz
[[ -f $archive ]] || fail "no $name.tar.gz"
tar -xzf "$archive" -C "$work"

contents=$(cd "$work/$name" && find . -type f | sort)
expected="./bin/chipid
./share/doc/chipid/LICENSE
./share/doc/chipid/README.md
./share/man/man1/chipid.1"
[[ $contents == "$expected" ]] || fail "the archive holds: $contents"
binary=$work/$name/bin/chipid
linkage=$(ldd "$binary" 2>&1 || true)
[[ $linkage == *"not a dynamic executable"* || $linkage == *"statically linked"* ]] ||
    fail "bin/chipid is not static: $linkage"

mkdir "$work/run"
cp "$source/examples/examples.txt" "$work/run/"
cd "$work/run"
status=0 expected_status=0
env -i "$binary" >archive.out 2>archive.err || status=$?
"$reference" >reference.out 2>reference.err || expected_status=$?
cmp -s archive.out reference.out && cmp -s archive.err reference.err &&
    [[ $status == "$expected_status" ]] || fail "bin/chipid's report differs from the build's"
echo "portable archive: ok ($name.tar.gz, $(wc -c <"$archive") bytes, $linkage)"
