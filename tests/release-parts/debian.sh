#!/usr/bin/env bash
# The release check of the Debian source and binary packages: contents,
# hardening, the executable tests on each package's chipid, lintian, a
# rebuild from the released source package, and autopkgtest, which installs
# the native package on this machine and purges it afterwards.
part=debian
source "$(dirname "$0")/common.sh"

# The packages: contents, dependencies, hardening as dpkg-buildflags gives
# it and the target's control-flow instructions.
for target in "${targets[@]}"; do
    arch=$(target_field "$target" DEB_ARCH)
    [[ -n $arch ]] || continue
    deb=$out/chipid_${version}_$arch.deb
    root=$work/deb-$arch
    dpkg-deb -x "$deb" "$root"
    for file in usr/bin/chipid usr/share/man/man1/chipid.1.gz usr/share/doc/chipid/copyright \
        usr/share/doc/chipid/changelog.gz usr/share/doc/chipid/README \
        usr/share/doc/chipid/examples/examples.txt; do
        [[ -f $root/$file ]] || fail "$arch package: no $file"
    done
    grep -q "linked dynamically" "$root/usr/share/doc/chipid/README" ||
        fail "$arch package: its README does not say chipid is linked dynamically"
    [[ $(zcat "$root/usr/share/man/man1/chipid.1.gz") == *"\"chipid $version\""* ]] ||
        fail "$arch package: the manual page is not at version $version"
    [[ $(dpkg-deb -f "$deb" Depends) == *libstdc++6* ]] || fail "$arch package: Depends not computed"
    note=$(readelf -n "$root/usr/bin/chipid" | sed -n 's/^ *Packaging Metadata: //p')
    [[ $note == "{\"type\":\"deb\",\"os\":\"debian\",\"name\":\"chipid\",\"version\":\"$version\",\"architecture\":\"$arch\"}" ]] ||
        fail "$arch package: the package note says: $note"
    report=$(hardening-check "$root/usr/bin/chipid" 2>/dev/null) || true
    for check in "Position Independent Executable" "Stack protected" "Read-only relocations" \
        "Immediate binding"; do
        grep -q "^ $check: yes" <<<"$report" || { echo "$report" >&2; fail "$arch package: $check"; }
    done
    # Read whole: grep -q leaving early would end objdump with SIGPIPE.
    disassembly=$("$(target_field "$target" TRIPLET)-objdump" -d "$root/usr/bin/chipid")
    mapfile -t instructions < <(target_field "$target" CONTROL_FLOW_INSTRUCTIONS)
    for instruction in "${instructions[@]}"; do
        grep -Eq "[[:space:]]$instruction" <<<"$disassembly" ||
            fail "$arch package: no $instruction instructions"
    done
    cli_tests "$target" "$root/usr/bin/chipid"
    echo "release: the $arch package: its files, dependencies, hardening; the executable tests pass"
done

# lintian on the source package and every binary package together.
status=0
TMPDIR=$work lintian --pedantic -I --fail-on error,warning,info --suppress-tags newer-standards-version \
    "$out"/*.dsc "$out"/*.deb \
    >"$work/lintian.log" 2>&1 || status=$?
grep -v '^running with root privileges' "$work/lintian.log" >&2 && status=1
((status == 0)) || fail "lintian has something to say on the source and binary packages together"

# A packager rebuilds the native and the arm64 package from the released
# source package, the plain Debian way, with no SOURCE_DATE_EPOCH set, and
# gets the released bytes.
mkdir "$work/rebuild"
cp "$out/chipid_$version.dsc" "$out/chipid_$version.tar.xz" "$work/rebuild/"
(cd "$work/rebuild" && dpkg-source -x "chipid_$version.dsc") >"$work/rebuild.log" 2>&1 ||
    { cat "$work/rebuild.log" >&2; fail "dpkg-source -x fails on the released .dsc"; }
for arch in "$(dpkg --print-architecture)" arm64; do
    cross=()
    [[ $arch == "$(dpkg --print-architecture)" ]] || cross=(-a "$arch")
    (cd "$work/rebuild/chipid-$version" && env -u SOURCE_DATE_EPOCH dpkg-buildpackage -b -us -uc \
        "${cross[@]}") >"$work/rebuild.log" 2>&1 ||
        { tail -n 40 "$work/rebuild.log" >&2; fail "dpkg-buildpackage -b ${cross[*]} fails on the released source"; }
    cmp "$work/rebuild/chipid_${version}_$arch.deb" "$out/chipid_${version}_$arch.deb" ||
        fail "the $arch package rebuilt from the released source differs from the released one"
done
echo "release: the packages rebuilt from the released source package are the released ones"

# autopkgtest installs the package on this machine; it is purged afterwards.
status=0
autopkgtest "$out/chipid_${version}_$(dpkg --print-architecture).deb" "$source" -- null >"$work/autopkgtest.log" 2>&1 ||
    status=$?
dpkg --purge chipid >/dev/null 2>&1 || true
((status == 0)) || { tail -n 40 "$work/autopkgtest.log" >&2; fail "autopkgtest fails"; }
awk '/ summary$/ { on = 1; next } /^autopkgtest / { on = 0 } on' "$work/autopkgtest.log"
