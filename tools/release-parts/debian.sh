# The Debian part of the release: the source package, which is also the
# release's one source tarball, and a binary package for each target whose
# row names a Debian architecture, each from its own export, lintian-clean
# and hardened on every compile and link line.
debian_needs() {
    needs dpkg-buildpackage dpkg-dev dh debhelper lintian lintian blhc blhc
    # dpkg-checkbuilddeps asks for it before any package is built.
    needs_package build-essential "dpkg-buildpackage"
}

debian_build() {
    local name=$1 status=0
    shift
    export_tree "$work/$name/chipid-$version"
    step env -C "$work/$name/chipid-$version" dpkg-buildpackage -us -uc "$@" >"$work/$name.log" 2>&1 ||
        { tail -n 40 "$work/$name.log" >&2; fail "dpkg-buildpackage $* fails"; }
    # lintian's notice that it runs as root is no tag; Debian 12's lintian
    # knows policy up to 4.6.2 and takes a newer Standards-Version for a typo.
    TMPDIR=$work step lintian --pedantic -I --fail-on error,warning,info \
        --suppress-tags newer-standards-version "$work/$name"/*.changes \
        >"$work/$name.lintian" 2>&1 || status=$?
    grep -v '^running with root privileges' "$work/$name.lintian" >&2 && status=1
    ((status == 0)) || fail "lintian has something to say on the $name package"
    # Every compile and link line hardened.
    if [[ $name != source ]]; then
        blhc "$work/$name.log" >"$work/$name.blhc" ||
            { cat "$work/$name.blhc" >&2; fail "blhc finds unhardened lines in the $name build"; }
    fi
}
debian_make() {
    local target deb_arch
    debian_build source -S
    cp "$work/source/chipid_$version.dsc" "$work/source/chipid_$version.tar.xz" "$out/"
    for target in "${targets[@]}"; do
        deb_arch=$(target_field "$target" DEB_ARCH)
        [[ -n $deb_arch ]] || continue
        if target_is_native "$target"; then
            debian_build "$deb_arch" -b
        else
            debian_build "$deb_arch" -b -a "$deb_arch"
        fi
        cp "$work/$deb_arch/chipid_${version}_$deb_arch.deb" "$out/"
        same_report "$target" "$out/chipid_${version}_$deb_arch.deb"
    done
}

