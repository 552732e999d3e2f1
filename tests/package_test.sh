#!/usr/bin/env bash
# cpack -G DEB builds a Debian package with sound metadata; unpacked, it
# holds the binary and the manual page, and the binary converts the sample.
#   package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
debs=("$work"/out/chipid_*.deb)
[[ ${#debs[@]} == 1 && -f ${debs[0]} ]] || { echo "no single .deb built" >&2; exit 1; }
deb=${debs[0]}

fail() { echo "package: $*" >&2; exit 1; }
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == chipid ]] || fail "Package is '$(field Package)'"
[[ $(field Version) == 1.0.0 ]] || fail "Version is '$(field Version)'"
[[ $(field Architecture) == "$(dpkg --print-architecture)" ]] || fail "Architecture"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
[[ $(field Description) == "convert chip strings"* ]] || fail "Description"
[[ $(field Depends) == *libc6* && $(field Depends) == *libstdc++6* ]] ||
    fail "Depends not computed from the binary: '$(field Depends)'"

dpkg-deb -x "$deb" "$work/root"
for file in usr/bin/chipid usr/share/man/man1/chipid.1 usr/share/doc/chipid/README.md; do
    [[ -f $work/root/$file ]] || fail "no $file"
done

mkdir "$work/run"
cp "$source/examples/examples.txt" "$work/run/"
(cd "$work/run" && "$work/root/usr/bin/chipid" >report.out 2>report.err) || fail "exit status $?"
(cd "$work/run" && "$build/chipid" >expected.out 2>expected.err) || true
cmp -s "$work/run/report.out" "$work/run/expected.out" || fail "report differs from the build's"
grep -qF " nchips 0 chipStr W07A0312G35F72.1A1-030042 lot-id G35F72.1 serialNum 0042 6-digit-id: 720042" \
    "$work/run/report.out" || fail "first record missing"
echo "package: ok"
