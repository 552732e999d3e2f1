# The RPMs, for the targets whose row names an RPM architecture.
rpm_needs() {
    needs rpmbuild rpm rpmlint rpmlint cpio cpio
}

# Each built as an RPM packager would build it, from the release's
# own source tarball, which holds the RPM recipe; a foreign target with its
# row as toolchain file, so that the recipe's %check runs every test under
# its emulator. Debian's rpm database knows no installed package, so the
# recipe's build requirements are not checked (--nodeps): the packages step
# and the rows' packages install them. HOME is the build's own, so that no
# ~/.rpmmacros of whoever releases gets in. Each RPM's chipid must be the
# archive's, byte for byte, whose report the archives' part checks; rpmlint,
# with the project's settings, must have nothing to say.
rpm_build() {
    local target=$1 rpm_arch cross=() rpm
    rpm_arch=$(target_field "$target" RPM_ARCH)
    target_is_native "$target" || cross=(--define "chipid_target $target")
    mkdir -p "$work/rpm-$target"
    step env HOME="$work/rpm-$target" rpmbuild -tb --nodeps --target "$rpm_arch" \
        --define "_topdir $work/rpm-$target" "${cross[@]}" "$out/chipid_$version.tar.xz" \
        >"$work/rpm-$target.log" 2>&1 ||
        { tail -n 40 "$work/rpm-$target.log" >&2; fail "rpmbuild fails for $target ($rpm_arch)"; }
    rpm=chipid-$version-1.$rpm_arch.rpm
    cp "$work/rpm-$target/RPMS/$rpm_arch/$rpm" "$out/"
    mkdir "$work/rpm-$target/payload"
    rpm2cpio "$out/$rpm" | (cd "$work/rpm-$target/payload" && cpio -idm --quiet)
    cmp -s "$work/rpm-$target/payload/usr/bin/chipid" "$work/stage-$target/$(archive_name "$target")/bin/chipid" ||
        fail "$rpm holds another chipid than the $target archive"
}

rpm_make() {
    local target
    for target in "${targets[@]}"; do
        [[ -z $(target_field "$target" RPM_ARCH) ]] || rpm_build "$target"
    done
    if compgen -G "$out/*.rpm" >/dev/null; then
        # The source RPM that each RPM's header names, from the same tarball.
        # It holds the tarball and the recipe with their modes and times on
        # disk, made 644 and SOURCE_DATE_EPOCH's whoever releases with what
        # umask, and the recipe's %prep with the paths rpmbuild was given:
        # /proc/self/cwd, the folder it runs in, is the same for everyone.
        mkdir -p "$work/rpm-source"
        cp "$out/chipid_$version.tar.xz" "$work/rpm-source/"
        chmod 644 "$work/rpm-source/chipid_$version.tar.xz"
        touch -d "@$SOURCE_DATE_EPOCH" "$work/rpm-source/chipid_$version.tar.xz"
        step env -C "$work/rpm-source" HOME="$work/rpm-source" sh -c 'umask 022 && exec rpmbuild "$@"' rpmbuild \
            -ts --nodeps --define "_topdir /proc/self/cwd" "/proc/self/cwd/chipid_$version.tar.xz" \
            >"$work/rpm-source.log" 2>&1 || { cat "$work/rpm-source.log" >&2; fail "rpmbuild -ts fails"; }
        cp "$work/rpm-source/SRPMS/chipid-$version-1.src.rpm" "$out/"
        rpmlint -c rpm/rpmlint.toml rpm/chipid.spec "$out"/*.rpm >"$work/rpmlint.log" 2>&1 || true
        grep -q ' 0 errors, 0 warnings,' "$work/rpmlint.log" ||
            { cat "$work/rpmlint.log" >&2; fail "rpmlint has something to say on the RPMs"; }
    fi
}
