#!/usr/bin/env bash
# The release command, checked as a user of its artefacts would: run from
# two clones of HEAD at different paths, at the same time, one by root with
# umask 022 and one by another user with umask 077, it gives the same
# SHA256SUMS; every archive lists owner 0/0, sorted entries, its top
# directory and modes 755 or 644; each binary is what its target's row in
# cmake/targets/ says; the packages carry what Debian asks and are
# hardened; the executable tests pass on every released binary (foreign
# ones through their target's emulator); autopkgtest passes on the native
# package.
#   release_test.sh SOURCE_DIR BUILD_DIR
# BUILD_DIR is the native test build; each foreign target's test build is
# SOURCE_DIR/build-TARGET, as tests/run-all.sh makes them.
# Uncommitted changes are not in the clones: commit before trusting it.
set -euo pipefail
source=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
work=$(mktemp -d)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
fail() { echo "release: $*" >&2; exit 1; }
source "$source/tools/targets.sh"
mapfile -t targets < <(target_names released)

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
# The two releases at once, one on each core.
(cd "$work/one/chipid" && umask 022 && bash tools/release.sh "$work/one/out") >"$work/one.log" 2>&1 &
one=$!
(cd "$work/two/deeper/chipid" && "${as_other[@]}" bash -c 'umask 077 && bash tools/release.sh ../../out') \
    >"$work/two.log" 2>&1 &
two=$!
wait "$one" || { tail -n 40 "$work/one.log" >&2; fail "the release fails as $(id -un) with umask 022"; }
wait "$two" || { tail -n 40 "$work/two.log" >&2; fail "the release fails as $who with umask 077"; }
cmp "$work/one/out/SHA256SUMS" "$work/two/out/SHA256SUMS" ||
    { diff "$work/one/out/SHA256SUMS" "$work/two/out/SHA256SUMS" >&2; fail "two releases differ"; }
out=$work/one/out
(cd "$out" && sha256sum --check --quiet SHA256SUMS) || fail "sha256sum -c fails"
echo "release: reproducible ($who, umask 077, against $(id -un), umask 022):"
cat "$out/SHA256SUMS"

expected=$( (
    echo SHA256SUMS "chipid-$version.tar.xz" "chipid_$version.dsc" "chipid_$version.tar.xz"
    for target in "${targets[@]}"; do
        echo "chipid-$version-$(target_field "$target" ARCHIVE)"
        deb_arch=$(target_field "$target" DEB_ARCH)
        [[ -z $deb_arch ]] || echo "chipid_${version}_$deb_arch.deb"
    done
) | tr ' ' '\n' | LC_ALL=C sort)
[[ $(ls "$out" | LC_ALL=C sort) == "$expected" ]] || fail "the release holds: $(ls "$out")"

# The source tarball holds exactly the tracked files.
tar -tJf "$out/chipid-$version.tar.xz" | sed -n "s|^chipid-$version/||p" | grep -v '/$' | grep . |
    sort >"$work/tarball.files"
(cd "$source" && git ls-files | sort) >"$work/tracked.files"
cmp -s "$work/tarball.files" "$work/tracked.files" || fail "the source tarball is not the tracked files"
tar -tJf "$out/chipid_$version.tar.xz" | grep -Eq '/(build|build-[^/]*|\.git)/' &&
    fail "the Debian source package holds build trees or .git"

# The portable archives: listing, modes, owners, the binary's kind.
declare -A released_binaries
for target in "${targets[@]}"; do
    archive=$(target_field "$target" ARCHIVE)
    name=chipid-$version-${archive%.tar.gz}
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
    mkdir -p "$work/unpacked/$target"
    tar -xzf "$out/$name.tar.gz" -C "$work/unpacked/$target"
    binary=$work/unpacked/$target/$name/bin/chipid
    header=$(readelf -h "$binary")
    machine=$(target_field "$target" ELF_MACHINE)
    grep -q "Machine: .*$machine\$" <<<"$header" || fail "$name: bin/chipid is not for $machine"
    readelf -l "$binary" | grep -q INTERP && fail "$name: bin/chipid has a program interpreter"
    readme=$work/unpacked/$target/$name/share/doc/chipid/README
    if [[ $(target_field "$target" STATIC) == static-pie ]]; then
        grep -q 'Type: *DYN' <<<"$header" || fail "$name: bin/chipid is not a PIE"
        grep -q "static PIE for" "$readme" || fail "$name: its README does not say it holds a static PIE"
    else
        grep -q 'Type: *EXEC' <<<"$header" || fail "$name: bin/chipid is not a static executable"
        grep -q "static executable for" "$readme" ||
            fail "$name: its README does not say it holds a static executable"
    fi
    released_binaries[$target]=$binary
done

# The packages: contents, dependencies, hardening as dpkg-buildflags gives
# it and the target's control-flow instructions.
for target in "${targets[@]}"; do
    arch=$(target_field "$target" DEB_ARCH)
    [[ -n $arch ]] || continue
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
    # Read whole: grep -q leaving early would end objdump with SIGPIPE.
    disassembly=$("$(target_field "$target" TRIPLET)-objdump" -d "$root/usr/bin/chipid")
    for instruction in $(target_field "$target" CONTROL_FLOW_INSTRUCTIONS); do
        grep -Eq "[[:space:]]$instruction" <<<"$disassembly" ||
            fail "$arch package: no $instruction instructions"
    done
    released_binaries[$target-deb]=$root/usr/bin/chipid
done

# The executable tests, on each released binary, built for its target.
for key in "${!released_binaries[@]}"; do
    target=${key%-deb}
    runner=()
    if target_is_native "$target"; then
        tests=$build/tests/chipid_cli_tests
    else
        tests=$source/build-$target/tests/chipid_cli_tests
        read -r -a runner <<<"$(target_field "$target" EMULATOR_LINE)"
    fi
    [[ -x $tests ]] || fail "no executable tests built for $target: $tests"
    binary=${released_binaries[$key]}
    CHIPID_UNDER_TEST=$binary "${runner[@]}" "$tests" --gtest_brief=1 >"$work/cli.log" 2>&1 ||
        { cat "$work/cli.log" >&2; fail "the executable tests fail on $binary"; }
done
echo "release: the executable tests pass on all ${#released_binaries[@]} released binaries"

# autopkgtest installs the package on this machine: as root only, and the
# package is purged afterwards.
if ((EUID == 0)); then
    status=0
    autopkgtest "$out/chipid_${version}_$(dpkg --print-architecture).deb" "$source" -- null >"$work/autopkgtest.log" 2>&1 ||
        status=$?
    dpkg --purge chipid >/dev/null 2>&1 || true
    ((status == 0)) || { tail -n 40 "$work/autopkgtest.log" >&2; fail "autopkgtest fails"; }
    awk '/ summary$/ { on = 1; next } /^autopkgtest / { on = 0 } on' "$work/autopkgtest.log"
else
    fail "autopkgtest installs the package: run as root"
fi
echo "release: ok"
