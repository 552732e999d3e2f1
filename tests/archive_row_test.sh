#!/usr/bin/env bash
# A row with no Debian architecture, an archive only, as doc/releasing.md
# describes it: the binary its toolchain file builds carries the package
# note that the release check expects of it (NOTE_ARCHITECTURE, one
# definition for both), the processor's name. Built from a copy of the
# sources with such a copy of this machine's own row.
#   archive_row_test.sh SOURCE_DIR
set -euo pipefail
source=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "archive row: $*" >&2; exit 1; }

mkdir "$work/src"
(cd "$source" && tar -c --exclude='./build*' --exclude=./.git .) | tar -x -C "$work/src"
native=$(grep -lx "set(CHIPID_TARGET_DEB_ARCH $(dpkg --print-architecture))" "$work"/src/cmake/targets/*.cmake) ||
    fail "no row of cmake/targets/ for this machine"
sed -e 's/^set(CHIPID_TARGET_DEB_ARCH .*)$/set(CHIPID_TARGET_DEB_ARCH "")/' \
    -e 's/^set(CHIPID_TARGET_ARCHIVE \(.*\)\.tar\.gz)$/set(CHIPID_TARGET_ARCHIVE \1-only.tar.gz)/' \
    -e 's/^set(CHIPID_TARGET_RPM_ARCH .*)$/set(CHIPID_TARGET_RPM_ARCH "")/' \
    "$native" >"$work/src/cmake/targets/archive-only.cmake"

expected=$(source "$work/src/tools/targets.sh" && target_field archive-only NOTE_ARCHITECTURE)
[[ -n $expected && $expected != "$(dpkg --print-architecture)" ]] ||
    fail "the release check expects the note to name '$expected'"
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    --toolchain "$work/src/cmake/targets/archive-only.cmake" >"$work/log" 2>&1 &&
    cmake --build "$work/build" --target chipid >>"$work/log" 2>&1 ||
    { cat "$work/log" >&2; fail "the row does not build"; }
note=$(readelf -n "$work/build/chipid")
[[ $note == *"\"architecture\":\"$expected\""* ]] ||
    fail "the note does not name $expected, which the release check expects: $note"
echo "archive row: the build and the release check both name $expected"
