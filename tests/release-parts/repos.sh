#!/usr/bin/env bash
# The release check of the update channels, with the clients a fleet runs:
# apt (from file:// and from a server on 127.0.0.1), dnf and zypper, each
# in a root of its own with its own sources and keys, so that nothing of
# this machine's changes. Each installs chipid from the signed release,
# runs the sample list, upgrades to a next version made here from a
# scratch copy (never released) and removes it; and refuses a repository
# or package that was tampered with.
part=repos
source "$(dirname "$0")/common.sh"
source "$source/tools/repositories.sh"
arch=$(dpkg --print-architecture)
rpm_arch=$(uname -m)

# Both trees are the same twice over, but for the signatures, which the
# release's reproducibility check already compared (SHA256SUMS): here,
# what they hold.
[[ -f $signed/apt/dists/stable/InRelease && -f $signed/apt/chipid-archive-keyring.gpg ]] ||
    fail "the signed apt/ has no InRelease or key"
[[ -f $signed/rpm/$rpm_arch/repodata/repomd.xml.asc && -f $signed/rpm/RPM-GPG-KEY-chipid ]] ||
    fail "the signed rpm/$rpm_arch has no repomd.xml.asc or key"
grep -q '^Valid-Until' "$signed/apt/dists/stable/Release" && fail "the Release file has a Valid-Until"
# What the trees name as their base URL, which a server here stands for.
base_url=$(sed -n 's|^URIs: \(.*\)/apt$|\1|p' "$signed/apt/chipid.sources")
[[ -n $base_url ]] || fail "apt/chipid.sources names no URIs ending in /apt"

# A stranger's key, for the packages and metadata that must be refused.
stranger_home=$work/stranger
mkdir -m 700 "$stranger_home"
GNUPGHOME=$stranger_home gpg --batch --quiet --passphrase '' --quick-gen-key \
    "a stranger <stranger@example.org>" ed25519 sign never 2>/dev/null
stranger=$(GNUPGHOME=$stranger_home gpg --batch --with-colons --list-secret-keys |
    awk -F: '$1 == "fpr" && key == "" { key = $10 } END { print key }')
rpmsign_as() {
    local home=$1 key=$2
    shift 2
    GNUPGHOME=$home rpmsign --define "_gpg_name $key" --define "__gpg $(command -v gpg)" --addsign "$@" \
        >/dev/null 2>&1 </dev/null
}

# The next version, as its maintainers would make it: a changelog entry
# and release notes in a scratch copy, its native Debian package and RPM
# built as the release builds them, the RPM signed.
next=$(awk -F. '{ print $1 "." $2 "." $3 + 1 }' <<<"$version")
mkdir "$work/next"
git -C "$source" archive --format=tar --prefix="chipid-$next/" HEAD | tar -x -C "$work/next"
tree=$work/next/chipid-$next
{
    printf 'chipid (%s) unstable; urgency=medium\n\n  * A version made by the release check.\n\n' "$next"
    printf ' -- %s  %s\n\n' "$(sed -n 's/^Maintainer: //p' "$tree/debian/control")" \
        "$(date -u -R -d "@$SOURCE_DATE_EPOCH")"
    cat "$tree/debian/changelog"
} >"$tree/debian/changelog.new"
mv "$tree/debian/changelog.new" "$tree/debian/changelog"
sed -i "0,/^## $version /s//## $next ($(date -u -d "@$SOURCE_DATE_EPOCH" +%F))\n\n- A version made by the release check.\n\n## $version /" \
    "$tree/NEWS.md"
bash "$tree/tools/rpm-changelog.sh"
(cd "$tree" && dpkg-buildpackage -b -us -uc) >"$work/next-deb.log" 2>&1 ||
    { tail -n 40 "$work/next-deb.log" >&2; fail "the next version's package does not build"; }
tar -cJf "$work/next/chipid_$next.tar.xz" -C "$work/next" "chipid-$next"
env HOME="$work/next" rpmbuild -tb --nodeps --nocheck --define "_topdir $work/next/rpm" \
    "$work/next/chipid_$next.tar.xz" >"$work/next-rpm.log" 2>&1 ||
    { tail -n 40 "$work/next-rpm.log" >&2; fail "the next version's RPM does not build"; }
next_rpm=$work/next/rpm/RPMS/$rpm_arch/chipid-$next-1.$rpm_arch.rpm
rpmsign_as "$GNUPGHOME" "$signing_key" "$next_rpm" || fail "cannot sign the next version's RPM"
# Its channels: the release's, with it added, signed.
mkdir "$work/upgraded"
cp -r "$signed/apt" "$signed/rpm" "$work/upgraded/"
cp "$work/next/chipid_${next}_$arch.deb" "$work/upgraded/apt/pool/main/c/chipid/"
cp "$next_rpm" "$work/upgraded/rpm/$rpm_arch/"
(
    mapfile -t archs < <(for target in "${targets[@]}"; do target_field "$target" DEB_ARCH; done | grep .)
    apt_metadata "$work/upgraded/apt" "${archs[@]}"
    sign_repositories "$signing_key" "$work/upgraded"
) >"$work/upgraded.log" 2>&1 || { cat "$work/upgraded.log" >&2; fail "cannot add the next version"; }

# A copy of the signed trees, for a tampered case.
copy() {
    rm -rf "$work/copy"
    mkdir "$work/copy"
    cp -r "$signed/apt" "$signed/rpm" "$work/copy/"
}

# A server on 127.0.0.1 for DIR, on a free port: serve DIR, then $served.
serve() {
    [[ -z ${server:-} ]] || kill "$server"
    python3 -u -m http.server --bind 127.0.0.1 --directory "$1" 0 >"$work/server.log" 2>&1 &
    server=$!
    for _ in $(seq 100); do
        served=$(sed -n 's|.*(\(http://127.0.0.1:[0-9]*\)/).*|\1|p' "$work/server.log")
        [[ -z $served ]] || return 0
        sleep 0.1
    done
    fail "the server does not start: $(cat "$work/server.log")"
}
stop_at_exit='[[ -z ${server:-} ]] || kill "$server" 2>/dev/null || true'

# apt: a root of its own (its sources, lists, key and dpkg database, the
# host's packages that chipid depends on recorded as installed there),
# which dpkg installs into; every architecture of the release listed.
apt_root() {
    local root=$work/apt-$1 uri=$2 name names=() pending
    rm -rf "$root"
    mkdir -p "$root"/etc/apt/{apt.conf.d,preferences.d,sources.list.d,keyrings} "$root"/var/lib/apt/lists/partial \
        "$root"/var/cache/apt/archives/partial "$root"/var/lib/dpkg/{info,updates} "$root/var/log/apt"
    mapfile -t pending < <(dpkg-deb -f "$out/chipid_${version}_$arch.deb" Depends | tr ',' '\n' |
        sed 's/[|(].*//; s/:any//; s/ //g')
    while ((${#pending[@]})); do
        name=${pending[0]}
        pending=("${pending[@]:1}")
        [[ -n $name && " ${names[*]} " != *" $name "* ]] || continue
        dpkg-query -W "$name:$arch" >/dev/null 2>&1 || continue
        names+=("$name")
        mapfile -t -O "${#pending[@]}" pending < <(dpkg-query -W -f='${Depends},${Pre-Depends}\n' "$name:$arch" |
            tr ',' '\n' | sed 's/[|(].*//; s/:any//; s/ //g')
    done
    dpkg-query -s "${names[@]/%/:$arch}" >"$root/var/lib/dpkg/status"
    cp "$signed/apt/chipid-archive-keyring.gpg" "$root/etc/apt/keyrings/"
    sed -e "s|^URIs: .*|URIs: $uri|" -e "s|^Signed-By: |Signed-By: $root|" "$signed/apt/chipid.sources" \
        >"$root/etc/apt/sources.list.d/chipid.sources"
    apt=(apt-get -q -y -o "Dir=$root" -o "Dir::State::status=$root/var/lib/dpkg/status"
        -o "DPkg::Options::=--root=$root" -o "APT::Architecture=$arch")
    for name in $(for target in "${targets[@]}"; do target_field "$target" DEB_ARCH; done); do
        apt+=(-o "APT::Architectures::=$name")
    done
    apt_root=$root
}
apt_installed() { dpkg --root="$apt_root" -s chipid 2>/dev/null | sed -n 's/^Version: //p'; }
sample_report() {
    (cd "$1/usr/share/doc/chipid/examples" && "$1/usr/bin/chipid") >"$work/sample" 2>&1 || true
    cmp -s "$work/sample" "$source/examples/report.txt" || fail "$2: chipid writes: $(cat "$work/sample")"
}

apt_root file "file:$signed/apt"
"${apt[@]}" update >"$work/apt.log" 2>&1 && "${apt[@]}" install chipid >>"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get install chipid fails from file://"; }
[[ $(apt_installed) == "$version" ]] || fail "apt installed $(apt_installed), not $version"
sample_report "$apt_root" "apt from file://"
for target in "${targets[@]}"; do
    deb_arch=$(target_field "$target" DEB_ARCH)
    [[ -n $deb_arch ]] || continue
    (cd "$work" && "${apt[@]}" download "chipid:$deb_arch") >>"$work/apt.log" 2>&1 &&
        cmp -s "$work/chipid_${version}_$deb_arch.deb" "$signed/chipid_${version}_$deb_arch.deb" ||
        fail "apt-get download chipid:$deb_arch does not give the release's package"
done
sed -i "s|^URIs: .*|URIs: file:$work/upgraded/apt|" "$apt_root/etc/apt/sources.list.d/chipid.sources"
"${apt[@]}" update >"$work/apt.log" 2>&1 && "${apt[@]}" upgrade >>"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get upgrade fails"; }
[[ $(apt_installed) == "$next" ]] || fail "apt-get upgrade left $(apt_installed), not $next"
"${apt[@]}" remove chipid >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get remove fails"; }
[[ ! -e $apt_root/usr/bin/chipid ]] || fail "apt-get remove leaves /usr/bin/chipid"
serve "$signed"
apt_root http "$served/apt"
"${apt[@]}" update >"$work/apt.log" 2>&1 && "${apt[@]}" install chipid >>"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get install chipid fails from $served"; }
sample_report "$apt_root" "apt from http://"
echo "release: apt installs chipid from file:// and http://, runs it, upgrades to $next, removes it;" \
    "every architecture is served"

# Refused: apt-get update or install fails, and chipid stays out.
apt_refuses() {
    local what=$1
    apt_root tampered "file:$work/copy/apt"
    if "${apt[@]}" update >"$work/apt.log" 2>&1 && "${apt[@]}" install chipid >>"$work/apt.log" 2>&1; then
        fail "apt takes $what"
    fi
    [[ -z $(apt_installed) ]] || fail "apt installed chipid from $what"
}
copy
sed -i '0,/^ [0-9a-f]\{64\} /s/^ \([0-9a-f]\)/ f\1/' "$work/copy/apt/dists/stable/InRelease"
apt_refuses "an edited InRelease"
copy
for name in InRelease Release.gpg; do
    GNUPGHOME=$stranger_home gpg --batch --yes --local-user "$stranger" \
        $([[ $name == InRelease ]] && echo --clearsign || echo --armor --detach-sign) \
        --output "$work/copy/apt/dists/stable/$name" "$work/copy/apt/dists/stable/Release"
done
apt_refuses "a repository signed by another key"
copy
rm "$work/copy/apt/dists/stable/InRelease" "$work/copy/apt/dists/stable/Release.gpg"
apt_refuses "an unsigned repository"
copy
for index in "$work"/copy/apt/dists/stable/main/binary-*/Packages* "$work"/copy/apt/dists/stable/main/binary-*/by-hash/SHA256/*; do
    change_byte "$index" $(($(stat -c %s "$index") / 2))
done
apt_refuses "an edited Packages index"
copy
deb=$work/copy/apt/pool/main/c/chipid/chipid_${version}_$arch.deb
change_byte "$deb" $(($(stat -c %s "$deb") / 2))
apt_refuses "an altered package"
echo "release: apt refuses an edited InRelease, another key, no signature, an edited Packages index," \
    "an altered package"

# dnf and zypper: a root of their own each, the repository added from
# rpm/chipid.repo with its base URL here; dnf imports the key the .repo
# names, zypper's root has it imported as an administrator would.
rpm_repo_file() {
    sed "s|$base_url|$1|g" "$signed/rpm/chipid.repo" >"$2"
}
dnf_root() {
    local root=$work/dnf-$1
    rm -rf "$root" "$root.repos"
    mkdir -p "$root" "$root.repos"
    rpm_repo_file "$2" "$root.repos/chipid.repo"
    printf '%s\n' "[main]" "reposdir=$root.repos" "cachedir=$root.cache" >"$root.conf"
    dnf=(dnf -y -q --config="$root.conf" --installroot="$root" --releasever=1 --setopt=skip_if_unavailable=False)
    dnf_root=$root
}
zypper_root() {
    local root=$work/zypper-$1
    rm -rf "$root"
    mkdir -p "$root"
    rpm --root "$root" --initdb
    rpm --root "$root" --import "$signed/rpm/RPM-GPG-KEY-chipid"
    rpm_repo_file "$2" "$work/zypper.repo"
    zypper=(zypper --root "$root" --non-interactive --quiet)
    "${zypper[@]}" addrepo "$work/zypper.repo" >/dev/null 2>&1
    zypper_root=$root
}
# The version of chipid installed in a root, or nothing (rpm says "not
# installed" on standard output).
rpm_installed() {
    local installed
    installed=$(rpm --root "$1" -q --qf '%{VERSION}' chipid 2>/dev/null) && echo "$installed"
    return 0
}

dnf_root release "file://$signed"
"${dnf[@]}" install chipid >"$work/dnf.log" 2>&1 || { cat "$work/dnf.log" >&2; fail "dnf install chipid fails"; }
[[ $(rpm_installed "$dnf_root") == "$version" ]] || fail "dnf installed $(rpm_installed "$dnf_root")"
sample_report "$dnf_root" "dnf"
rpm_repo_file "file://$work/upgraded" "$dnf_root.repos/chipid.repo"
"${dnf[@]}" upgrade chipid >"$work/dnf.log" 2>&1 || { cat "$work/dnf.log" >&2; fail "dnf upgrade fails"; }
[[ $(rpm_installed "$dnf_root") == "$next" ]] || fail "dnf upgrade left $(rpm_installed "$dnf_root")"
"${dnf[@]}" remove chipid >"$work/dnf.log" 2>&1 || { cat "$work/dnf.log" >&2; fail "dnf remove fails"; }

zypper_root release "file://$signed"
"${zypper[@]}" install chipid >"$work/zypper.log" 2>&1 ||
    { cat "$work/zypper.log" >&2; fail "zypper install chipid fails"; }
[[ $(rpm_installed "$zypper_root") == "$version" ]] || fail "zypper installed $(rpm_installed "$zypper_root")"
sample_report "$zypper_root" "zypper"
"${zypper[@]}" modifyrepo --all --no-refresh >/dev/null 2>&1 || true
"${zypper[@]}" removerepo chipid >/dev/null 2>&1
rpm_repo_file "file://$work/upgraded" "$work/zypper.repo"
"${zypper[@]}" addrepo "$work/zypper.repo" >/dev/null 2>&1
"${zypper[@]}" update chipid >"$work/zypper.log" 2>&1 || { cat "$work/zypper.log" >&2; fail "zypper update fails"; }
[[ $(rpm_installed "$zypper_root") == "$next" ]] || fail "zypper update left $(rpm_installed "$zypper_root")"
# Debian's zypper cannot cache an rpm database left empty (rpmdb2solv):
# the removal itself is what rpm's database says.
"${zypper[@]}" remove chipid >"$work/zypper.log" 2>&1 || grep -q 'Failed to cache rpm database' "$work/zypper.log" ||
    { cat "$work/zypper.log" >&2; fail "zypper remove fails"; }
[[ -z $(rpm_installed "$zypper_root") ]] || fail "zypper remove leaves chipid installed"
echo "release: dnf and zypper install chipid, run it, upgrade to $next and remove it"

# Refused by both: the install fails, and chipid stays out.
rpm_refused() {
    local what=$1
    dnf_root tampered "file://$work/copy"
    "${dnf[@]}" install chipid >"$work/dnf.log" 2>&1 && fail "dnf takes $what"
    [[ -z $(rpm_installed "$dnf_root") ]] || fail "dnf installed chipid from $what"
    zypper_root tampered "file://$work/copy"
    "${zypper[@]}" install chipid >"$work/zypper.log" 2>&1 && fail "zypper takes $what"
    [[ -z $(rpm_installed "$zypper_root") ]] || fail "zypper installed chipid from $what"
}
tree=$work/copy/rpm/$rpm_arch
copy
sed -i 's|<revision>|<revision>1|' "$tree/repodata/repomd.xml"
rpm_refused "an edited repomd.xml"
copy
GNUPGHOME=$stranger_home gpg --batch --yes --local-user "$stranger" --armor --detach-sign \
    --output "$tree/repodata/repomd.xml.asc" "$tree/repodata/repomd.xml"
rpm_refused "metadata signed by another key"
# A package not signed, or signed by a stranger, in metadata that is
# signed as the release signs it.
for case in unsigned stranger; do
    copy
    cp "$out/chipid-$version-1.$rpm_arch.rpm" "$tree/"
    [[ $case == unsigned ]] || rpmsign_as "$stranger_home" "$stranger" "$tree/chipid-$version-1.$rpm_arch.rpm"
    (
        SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH rpm_metadata "$tree"
        gpg --batch --yes --local-user "$signing_key" --armor --detach-sign \
            --output "$tree/repodata/repomd.xml.asc" "$tree/repodata/repomd.xml"
    ) >/dev/null 2>&1
    rpm_refused "$([[ $case == unsigned ]] && echo "an unsigned package" || echo "a stranger's package")"
done
echo "release: dnf and zypper refuse an edited repomd.xml, another key, an unsigned package and a" \
    "stranger's package"
