#!/usr/bin/env bash
# Builds the Debian package twice, with dpkg-buildpackage, from two clean
# clones of HEAD at different paths, and checks it the way Debian does:
# byte-identical builds, lintian without a tag, every compile and link line
# hardened (blhc), the binary hardened (hardening-check), control-flow
# landing pads in place, the version and maintainer as the project states
# them, and the packaged binary converting the sample list as a plain build
# does.
#   debian_package_test.sh SOURCE_DIR BUILD_DIR
# Uncommitted changes are not in the clones: commit before trusting it.
set -euo pipefail
source=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "debian package: $*" >&2; exit 1; }

version=$(sed -n 's/^  VERSION \([0-9.]*\)$/\1/p' "$source/CMakeLists.txt")
[[ -n $version ]] || fail "no VERSION in CMakeLists.txt's project()"
(cd "$source" && [[ $(dpkg-parsechangelog -S Version) == "$version" ]]) ||
    fail "debian/changelog is not at version $version"
maintainer=$(sed -n 's/^Maintainer: //p' "$source/debian/control")
(cd "$source" && [[ $(dpkg-parsechangelog -S Maintainer) == "$maintainer" ]]) ||
    fail "debian/changelog is not signed by the Maintainer, $maintainer"

for clone in "$work/one/chipid" "$work/two/deeper/chipid"; do
    git clone --quiet "$source" "$clone"
    (cd "$clone" && dpkg-buildpackage -b -us -uc >"$clone.log" 2>&1) ||
        { tail -n 40 "$clone.log" >&2; fail "dpkg-buildpackage fails in $clone"; }
done
deb=chipid_${version}_$(dpkg --print-architecture).deb
[[ -f $work/one/$deb ]] || fail "no $deb built"
cmp "$work/one/$deb" "$work/two/deeper/$deb" || fail "two builds differ"
echo "reproducible: $(sha256sum "$work/one/$deb" | cut -d' ' -f1)  $deb (both builds)"

lintian --pedantic -I --fail-on error,warning,info "$work/one/$deb" ||
    fail "lintian has something to say"

hardening=$(blhc "$work/one/chipid.log") || { echo "$hardening" >&2; fail "blhc"; }
[[ -z $hardening ]] || { echo "$hardening" >&2; fail "blhc finds unhardened lines"; }

dpkg-deb -x "$work/one/$deb" "$work/root"
binary=$work/root/usr/bin/chipid
report=$(hardening-check "$binary" 2>/dev/null) || true
echo "$report"
for check in "Position Independent Executable" "Stack protected" "Read-only relocations" \
    "Immediate binding"; do
    grep -q "^ $check: yes" <<<"$report" || fail "hardening-check: $check is not yes"
done
# Fortification is on (blhc saw -D_FORTIFY_SOURCE=2 on every line); the one
# libc call it could guard, memcpy, is inlined with its size known.
grep -Eq '^ Fortify Source functions: (yes|no, only unprotected functions found!)' <<<"$report" ||
    fail "hardening-check: fortify"
objdump -d "$binary" | grep -c endbr64 >/dev/null || fail "no endbr64 landing pads: no -fcf-protection"

for file in usr/bin/chipid usr/share/man/man1/chipid.1.gz usr/share/doc/chipid/copyright \
    usr/share/doc/chipid/changelog.gz; do
    [[ -f $work/root/$file ]] || fail "no $file"
done
zcat "$work/root/usr/share/man/man1/chipid.1.gz" | grep -q "\"chipid $version\"" ||
    fail "the manual page is not at version $version"
dpkg-deb -f "$work/one/$deb" Depends | grep -q libstdc++6 ||
    fail "Depends not computed from the binary"

mkdir "$work/run"
cp "$source/examples/examples.txt" "$work/run/"
(cd "$work/run" && "$binary" >packaged.out 2>packaged.err && "$build/chipid" >built.out 2>built.err)
cmp "$work/run/packaged.out" "$work/run/built.out" && cmp "$work/run/packaged.err" "$work/run/built.err" ||
    fail "the packaged chipid's report differs from the build's"
echo "debian package: ok"
