#!/usr/bin/env bash
# The release command, checked as a user of its artefacts would: run from
# two clones of HEAD at different paths, one by root with umask 022 and one
# by another user with umask 077, it gives the same SHA256SUMS; every
# archive lists owner 0/0, sorted entries, its top directory and modes 755
# or 644; each binary is what its name says; the packages carry what Debian
# asks and are hardened; the executable tests pass on every released binary
# (arm64 ones through qemu); autopkgtest passes on the amd64 package.
#   release_test.sh SOURCE_DIR BUILD_DIR ARM64_BUILD_DIR
# Uncommitted changes are not in the clones: commit before trusting it.
set -euo pipefail
source=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
build_arm64=$(cd "$3" && pwd)
work=$(mktemp -d)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
fail() { echo "release: $*" >&2; exit 1; }

version=$(sed -n 's/^  VERSION \([0-9.]*\)$/\1/p' "$source/CMakeLists.txt")
maintainer=$(sed -n 's/^Maintainer: //p' "$source/debian/control")
(cd "$source" && [[ $(dpkg-parsechangelog -S Maintainer) == "$maintainer" ]]) ||
    fail "debian/changelog is not signed by the Maintainer, $maintainer"

# Refused, with a clear message and nothing in OUTDIR: a dirty work tree, an
# OUTDIR that holds anything, a changelog at another version.
git clone --quiet "$source" "$work/refused"
refused() {
    if (cd "$work/refused" && bash tools/release.sh "$1") 2>"$work/refused.err"; then
        fail "released $2"
    fi
    grep -q "$3" "$work/refused.err" || fail "$2: $(cat "$work/refused.err")"
}
echo dirt >"$work/refused/dirt"
refused "$work/refused-out" "a dirty work tree" "uncommitted changes"
[[ ! -e $work/refused-out/SHA256SUMS ]] || fail "a refused release left SHA256SUMS"
rm "$work/refused/dirt"
mkdir "$work/full-out"
touch "$work/full-out/old"
refused "$work/full-out" "into a folder that holds a file" "is not empty"
(cd "$work/refused" && sed -i 's/^  VERSION .*/  VERSION 99.0.0/' CMakeLists.txt &&
    git -c user.name=test -c user.email=test@example.org commit --quiet -am "Another version")
refused "$work/refused-out" "with the changelog at another version" "debian/changelog is at"

# A source package built by hand from a work tree that has been built in
# leaves the build trees out (debian/source/options).
mkdir -p "$work/refused/build/CMakeFiles" "$work/refused/build-test/tests" "$work/refused/.git/x"
touch "$work/refused/build/CMakeFiles/x" "$work/refused/build-test/tests/x"
(cd "$work/refused" && dpkg-buildpackage -S -us -uc -d) >"$work/by-hand.log" 2>&1 ||
    { cat "$work/by-hand.log" >&2; fail "dpkg-buildpackage -S fails"; }
tar -tJf "$work/chipid_$version.tar.xz" | grep -Eq '/(build|build-test|\.git)/' &&
    fail "dpkg-buildpackage -S packs build trees or .git"

git clone --quiet "$source" "$work/one/chipid"
(cd "$work/one/chipid" && umask 022 && bash tools/release.sh "$work/one/out") >"$work/one.log" 2>&1 ||
    { tail -n 40 "$work/one.log" >&2; fail "the release fails as $(id -un) with umask 022"; }
git clone --quiet "$source" "$work/two/deeper/chipid"
if ((EUID == 0)); then
    # Another user, with a home of its own and a restrictive umask.
    mkdir "$work/two/home"
    chown -R nobody:nogroup "$work/two"
    as_other=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work/two/home")
    who=nobody
else
    as_other=(env)
    who=$(id -un)
fi
(cd "$work/two/deeper/chipid" && "${as_other[@]}" bash -c 'umask 077 && bash tools/release.sh ../../out') \
    >"$work/two.log" 2>&1 || { tail -n 40 "$work/two.log" >&2; fail "the release fails as $who with umask 077"; }
cmp "$work/one/out/SHA256SUMS" "$work/two/out/SHA256SUMS" ||
    { diff "$work/one/out/SHA256SUMS" "$work/two/out/SHA256SUMS" >&2; fail "two releases differ"; }
out=$work/one/out
(cd "$out" && sha256sum --check --quiet SHA256SUMS) || fail "sha256sum -c fails"
echo "release: reproducible ($who, umask 077, against $(id -un), umask 022):"
cat "$out/SHA256SUMS"

expected="SHA256SUMS
chipid-$version-linux-aarch64.tar.gz
chipid-$version-linux-x86_64.tar.gz
chipid-$version.tar.xz
chipid_$version.dsc
chipid_$version.tar.xz
chipid_${version}_amd64.deb
chipid_${version}_arm64.deb"
[[ $(ls "$out") == "$expected" ]] || fail "the release holds: $(ls "$out")"

# The source tarball holds exactly the tracked files.
tar -tJf "$out/chipid-$version.tar.xz" | sed -n "s|^chipid-$version/||p" | grep -v '/$' | grep . |
    sort >"$work/tarball.files"
(cd "$source" && git ls-files | sort) >"$work/tracked.files"
cmp -s "$work/tarball.files" "$work/tracked.files" || fail "the source tarball is not the tracked files"
tar -tJf "$out/chipid_$version.tar.xz" | grep -Eq '/(build|build-[^/]*|\.git)/' &&
    fail "the Debian source package holds build trees or .git"

# The portable archives: listing, modes, owners, the binary's kind.
for arch in x86_64 aarch64; do
    name=chipid-$version-linux-$arch
    listing=$(tar -tvzf "$out/$name.tar.gz")
    names=$(awk '{ print $6 }' <<<"$listing")
    [[ $(head -n 1 <<<"$names") == "$name/" ]] || fail "$name: no top directory entry first"
    [[ $names == "$(LC_ALL=C sort <<<"$names")" ]] || fail "$name: entries not sorted"
    [[ $(awk '{ print $2 }' <<<"$listing" | sort -u) == 0/0 ]] || fail "$name: owners not 0/0"
    while read -r mode _ _ _ _ path; do
        case $path in
            */ | */bin/chipid) [[ $mode == ?rwxr-xr-x ]] ;;
            *) [[ $mode == -rw-r--r-- ]] ;;
        esac || fail "$name: $path has mode $mode"
    done <<<"$listing"
    expected_files="$name/bin/chipid
$name/share/doc/chipid/LICENSE
$name/share/doc/chipid/README
$name/share/man/man1/chipid.1"
    [[ $(grep -v '/$' <<<"$names") == "$expected_files" ]] || fail "$name holds: $names"
    mkdir -p "$work/unpacked/$arch"
    tar -xzf "$out/$name.tar.gz" -C "$work/unpacked/$arch"
    binary=$work/unpacked/$arch/$name/bin/chipid
    header=$(readelf -h "$binary")
    [[ $arch == x86_64 ]] && machine="X86-64" || machine=AArch64
    grep -q "Machine: .*$machine" <<<"$header" || fail "$name: bin/chipid is not for $machine"
    grep -q 'Type: *DYN' <<<"$header" || fail "$name: bin/chipid is not a PIE"
    readelf -l "$binary" | grep -q INTERP && fail "$name: bin/chipid is not static"
    grep -q "static PIE for $arch" "$work/unpacked/$arch/$name/share/doc/chipid/README" ||
        fail "$name: its README does not say it holds a static PIE"
done

# The packages: contents, dependencies, hardening.
for arch in amd64 arm64; do
    deb=$out/chipid_${version}_$arch.deb
    root=$work/deb-$arch
    dpkg-deb -x "$deb" "$root"
    for file in usr/bin/chipid usr/share/man/man1/chipid.1.gz usr/share/doc/chipid/copyright \
        usr/share/doc/chipid/changelog.gz usr/share/doc/chipid/README; do
        [[ -f $root/$file ]] || fail "$arch package: no $file"
    done
    grep -q "linked dynamically" "$root/usr/share/doc/chipid/README" ||
        fail "$arch package: its README does not say chipid is linked dynamically"
    zcat "$root/usr/share/man/man1/chipid.1.gz" | grep -q "\"chipid $version\"" ||
        fail "$arch package: the manual page is not at version $version"
    dpkg-deb -f "$deb" Depends | grep -q libstdc++6 || fail "$arch package: Depends not computed"
    report=$(hardening-check "$root/usr/bin/chipid" 2>/dev/null) || true
    for check in "Position Independent Executable" "Stack protected" "Read-only relocations" \
        "Immediate binding"; do
        grep -q "^ $check: yes" <<<"$report" || { echo "$report" >&2; fail "$arch package: $check"; }
    done
done
# Read whole: grep -q leaving early would end objdump with SIGPIPE.
grep -q endbr64 <<<"$(objdump -d "$work/deb-amd64/usr/bin/chipid")" ||
    fail "amd64 package: no endbr64 landing pads"
grep -q paciasp <<<"$(aarch64-linux-gnu-objdump -d "$work/deb-arm64/usr/bin/chipid")" ||
    fail "arm64 package: no signed return addresses"

# The executable tests, on each released binary.
for binary in "$work/unpacked/x86_64/chipid-$version-linux-x86_64/bin/chipid" \
    "$work/deb-amd64/usr/bin/chipid"; do
    CHIPID_UNDER_TEST=$binary "$build/tests/chipid_cli_tests" --gtest_brief=1 >"$work/cli.log" 2>&1 ||
        { cat "$work/cli.log" >&2; fail "the executable tests fail on $binary"; }
done
for binary in "$work/unpacked/aarch64/chipid-$version-linux-aarch64/bin/chipid" \
    "$work/deb-arm64/usr/bin/chipid"; do
    CHIPID_UNDER_TEST=$binary qemu-aarch64-static "$build_arm64/tests/chipid_cli_tests" \
        --gtest_brief=1 >"$work/cli.log" 2>&1 ||
        { cat "$work/cli.log" >&2; fail "the executable tests fail on $binary"; }
done
echo "release: the executable tests pass on all four released binaries"

# autopkgtest installs the package on this machine: as root only, and the
# package is purged afterwards.
if ((EUID == 0)); then
    status=0
    autopkgtest "$out/chipid_${version}_amd64.deb" "$source" -- null >"$work/autopkgtest.log" 2>&1 ||
        status=$?
    dpkg --purge chipid >/dev/null 2>&1 || true
    ((status == 0)) || { tail -n 40 "$work/autopkgtest.log" >&2; fail "autopkgtest fails"; }
    awk '/ summary$/ { on = 1; next } /^autopkgtest / { on = 0 } on' "$work/autopkgtest.log"
else
    fail "autopkgtest installs the package: run as root"
fi
echo "release: ok"
