# The update channels, made with Debian's tools (tools/repositories.sh):
# apt/, an APT repository of the Debian packages, and rpm/, an RPM
# repository of the RPMs, one tree per $basearch, each holding this
# release's packages and every one of the previous release's trees
# (--previous). A fleet adds one with the files beside the trees,
# apt/chipid.sources and rpm/chipid.repo, which name BASE_URL
# (--base-url), where the trees are served; tools/sign-release.sh signs
# them and puts the public key beside them.
repos_needs() {
    needs apt-ftparchive apt-utils createrepo_c createrepo-c xz xz-utils
    if [[ -n $previous ]]; then
        [[ -d $previous/apt/pool && -d $previous/rpm ]] ||
            fail "--previous $previous: no apt/pool or rpm folder of an earlier release there"
    fi
}

repos_make() {
    local apt=$out/apt target arch archs=() rpm_arch package
    source "$source/tools/repositories.sh"
    mkdir -p "$apt/pool/main/c/chipid"
    [[ -z $previous ]] || cp "$previous"/apt/pool/main/c/chipid/*.deb "$apt/pool/main/c/chipid/"
    cp "$out"/chipid_*.deb "$apt/pool/main/c/chipid/"
    for target in "${targets[@]}"; do
        arch=$(target_field "$target" DEB_ARCH)
        [[ -z $arch ]] || archs+=("$arch")
    done
    apt_metadata "$apt" "${archs[@]}"
    printf '%s\n' "Types: deb" "URIs: $base_url/apt" "Suites: stable" "Components: main" \
        "Signed-By: /etc/apt/keyrings/chipid-archive-keyring.gpg" >"$apt/chipid.sources"

    for target in "${targets[@]}"; do
        rpm_arch=$(target_field "$target" RPM_ARCH)
        [[ -n $rpm_arch ]] || continue
        mkdir -p "$out/rpm/$rpm_arch"
        if [[ -n $previous ]]; then
            for package in "$previous/rpm/$rpm_arch"/*.rpm; do
                [[ ! -e $package ]] || cp "$package" "$out/rpm/$rpm_arch/"
            done
        fi
        cp "$out/chipid-$version-1.$rpm_arch.rpm" "$out/rpm/$rpm_arch/"
        rpm_metadata "$out/rpm/$rpm_arch"
    done
    # zypper trusts a package through signed metadata unless told to check
    # the package's own signature too (pkg_gpgcheck); dnf checks both.
    printf '%s\n' "[chipid]" "name=chipid" "baseurl=$base_url/rpm/\$basearch/" "enabled=1" "gpgcheck=1" \
        "repo_gpgcheck=1" "pkg_gpgcheck=1" "gpgkey=$base_url/rpm/RPM-GPG-KEY-chipid" "metadata_expire=1d" \
        >"$out/rpm/chipid.repo"
}
