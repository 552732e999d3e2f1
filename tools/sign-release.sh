#!/usr/bin/env bash
# Signs a release that tools/release.sh made, with the secret key KEYID
# of gpg: each RPM in place, with rpmsign, for rpm -K, dnf and zypper to
# check, and its copy in the RPM repository the same; the update channels
# (tools/repositories.sh: apt's InRelease, each RPM tree's repomd.xml.asc
# over metadata made anew, and the public key beside them); then
# SHA256SUMS anew, over every file; then SHA256SUMS.asc, gpg's detached
# signature of it, which covers every file.
#   bash tools/sign-release.sh KEYID RELEASEDIR
# Signing changes an RPM's bytes but not its header and payload, so a
# rebuild of the release is compared with a signed one by rpm's digest of
# those: rpm -qp --qf '%{SHA256HEADER}\n' FILE.rpm (doc/releasing.md).
set -euo pipefail
export LC_ALL=C
fail() { echo "sign-release: $*" >&2; exit 1; }
(($# == 2)) || { echo "usage: bash tools/sign-release.sh KEYID RELEASEDIR" >&2; exit 2; }
key=$1
release=$2
command -v gpg >/dev/null || fail "gpg is missing: apt-get install gnupg"
gpg --batch --list-secret-keys -- "$key" >/dev/null 2>&1 ||
    fail "no secret key $key to sign with: gpg --list-secret-keys shows those there are"
[[ -f $release/SHA256SUMS ]] || fail "$release holds no SHA256SUMS: give a folder tools/release.sh made"
[[ ! -e $release/SHA256SUMS.asc ]] || fail "$release is signed already"
(cd "$release" && sha256sum --check --quiet SHA256SUMS) || fail "$release does not match its SHA256SUMS"

shopt -s nullglob
rpms=("$release"/*.rpm)
if ((${#rpms[@]})); then
    command -v rpmsign >/dev/null || fail "rpmsign is missing: apt-get install rpm"
    # Debian's rpm calls gpg2, which Debian 12 no longer has.
    log=$(rpmsign --define "_gpg_name $key" --define "__gpg $(command -v gpg)" --addsign "${rpms[@]}" \
        2>&1 </dev/null) || fail "rpmsign cannot sign the RPMs with $key: $log"
    # The repository's copy of each is the same signed file; those of
    # earlier releases were signed then.
    for rpm in "${rpms[@]}"; do
        for copy in "$release"/rpm/*/"$(basename "$rpm")"; do
            cp "$rpm" "$copy"
        done
    done
fi
if [[ -d $release/apt ]]; then
    command -v createrepo_c >/dev/null || fail "createrepo_c is missing: apt-get install createrepo-c"
    source "$(dirname "$0")/repositories.sh"
    sign_repositories "$key" "$release" || fail "cannot sign the update channels with $key"
fi
# Every file but SHA256SUMS, listed before the new list is written.
sums=$(cd "$release" && find . -type f ! -name SHA256SUMS -printf '%P\n' | sort | xargs -d '\n' sha256sum --)
printf '%s\n' "$sums" >"$release/SHA256SUMS"
gpg --batch --yes --local-user "$key" --armor --detach-sign --output "$release/SHA256SUMS.asc" \
    "$release/SHA256SUMS" || fail "gpg cannot sign SHA256SUMS with $key"
echo "sign-release: $release signed with $key"
