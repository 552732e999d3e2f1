#!/usr/bin/env bash
# Makes every release artefact of chipid, for every released target in
# cmake/targets/, from the tagged commit, byte for byte reproducibly, and
# writes them into OUTDIR:
#   chipid_VERSION.tar.xz, chipid_VERSION.dsc     the source, as a native
#                                                 Debian source package
#   chipid_VERSION_DEBARCH.deb                    one per target (debhelper)
#   chipid-VERSION-ARCHIVE                        one per target: the static
#                                                 binary, manual page, README,
#                                                 release notes, sample list
#   chipid-VERSION-1.RPMARCH.rpm                  one per target whose row
#                                                 names an RPM architecture:
#                                                 the archive's binary and
#                                                 files (the recipe in rpm/)
#   chipid-VERSION-1.src.rpm                      the source RPM they name
#   chipid-VERSION.html                           the web page: chipid for
#                                                 any browser, in one file
#   apt/, rpm/                                    the update channels: an
#                                                 APT and an RPM repository
#                                                 of the packages, with the
#                                                 previous release's
#   NEWS.md                                       the release notes
#   SHA256SUMS                                    the checksums of all of them
#
#   bash tools/release.sh [--base-url URL] [--previous DIR] OUTDIR
#
# URL is where apt/ and rpm/ will be served (a placeholder until a host is
# chosen); DIR, the previous release, whose trees' packages they keep.
#
# tools/sign-release.sh signs the release afterwards, on a machine that
# holds the key.
#
# OUTDIR is taken from the current directory, must lie outside the work
# tree, and must be new or empty and writable. HEAD must be committed
# whole, tagged vVERSION, and have a released debian/changelog entry by the
# Maintainer and a NEWS.md entry for VERSION. Everything is built from
# clean exports of HEAD, with SOURCE_DATE_EPOCH from debian/changelog's
# date unless it is set, as dpkg-buildpackage takes it: so a plain
# dpkg-buildpackage of the released source package gives the released
# .deb. Each package must pass lintian, and each binary, run here or
# through its target's emulator, must write the same report on the sample
# list. OUTDIR receives the artefacts only once all of them are built and
# checked. Interrupted (SIGINT, SIGTERM), it stops at once with status 130
# or 143 and leaves nothing behind: no temporary folder, and no OUTDIR if
# it made it.
set -euo pipefail
export LC_ALL=C TZ=UTC
usage() { echo "usage: bash tools/release.sh [--base-url URL] [--previous DIR] OUTDIR" >&2; exit 2; }

# Where the update channels will be served, and the last release, whose
# trees they carry forward. The placeholder stands until a host is chosen
# (doc/releasing.md).
base_url=https://chipid.example.org/repos
previous=""
while (($#)); do
    case $1 in
        --base-url) (($# > 1)) || usage; base_url=${2%/}; shift 2 ;;
        --previous) (($# > 1)) || usage; previous=$(realpath -- "$2"); shift 2 ;;
        --) shift; break ;;
        -*) usage ;;
        *) break ;;
    esac
done
(($# == 1)) && [[ $1 != -* ]] || usage
outdir=$(realpath -m -- "$1")
source=$(cd "$(dirname "$0")/.." && pwd -P)
release_part=""
source "$source/tools/release-parts/common.sh"

# The artefacts, each part from its file in tools/release-parts/: what it needs
# is checked before anything is built, then each makes its files in $out
# and checks that every binary of them writes the sample list's report.
parts=(debian archives windows rpm page repos)
for release_part in "${parts[@]}"; do
    source "$source/tools/release-parts/$release_part.sh"
    "${release_part}_needs"
done
release_part=""
release_checks
echo "release: chipid $version, SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH (debian/changelog's date)"
for release_part in "${parts[@]}"; do
    "${release_part}_make"
done
release_part=""

cp NEWS.md "$out/"
normalise_modes "$out"
(cd "$out" && find . -type f -printf '%P\n' | sort | xargs -d '\n' sha256sum -- >"$work/SHA256SUMS")
# SHA256SUMS last: a release without it is incomplete at a glance.
mv "$out"/* "$outdir/"
mv "$work/SHA256SUMS" "$outdir/"
echo "release: chipid $version in $outdir"
(cd "$outdir" && cat SHA256SUMS)
echo
awk -v heading="## $version" '$0 == heading || index($0, heading " ") == 1 { on = 1 }
    on && /^## / && !($0 == heading || index($0, heading " ") == 1) { exit }
    on' NEWS.md
