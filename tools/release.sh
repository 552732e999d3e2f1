#!/usr/bin/env bash
# Makes every release artefact of chipid, for x86-64 and arm64, from the
# committed tree, byte for byte reproducibly, and writes them into OUTDIR
# with their SHA256SUMS:
#   chipid-VERSION.tar.xz                   the tracked files (git archive)
#   chipid_VERSION.dsc, chipid_VERSION.tar.xz     the Debian source package
#   chipid_VERSION_amd64.deb, chipid_VERSION_arm64.deb   (debhelper)
#   chipid-VERSION-linux-x86_64.tar.gz, chipid-VERSION-linux-aarch64.tar.gz
#                                           static PIE, manual page, README
#   SHA256SUMS
#
#   bash tools/release.sh OUTDIR
#
# Everything is built from a clean export of HEAD, with SOURCE_DATE_EPOCH
# from the last commit unless it is set. Each package must pass lintian,
# and each binary, run here or through qemu, must write the same report on
# the sample list. OUTDIR is made if absent and must be empty; it receives
# the artefacts only once all of them are built and checked.
set -euo pipefail
fail() { echo "release: $*" >&2; exit 1; }
(($# == 1)) || { echo "usage: bash tools/release.sh OUTDIR" >&2; exit 2; }
source=$(cd "$(dirname "$0")/.." && pwd)
outdir=$1
export LC_ALL=C TZ=UTC

# The tools, and the Debian package that provides each.
while read -r tool package; do
    command -v "$tool" >/dev/null || fail "$tool is missing: apt-get install $package"
done <<'TOOLS'
git git
cmake cmake
ninja ninja-build
g++ g++
xz xz-utils
gzip gzip
dpkg-buildpackage dpkg-dev
dh debhelper
lintian lintian
blhc blhc
aarch64-linux-gnu-g++ crossbuild-essential-arm64
qemu-aarch64-static qemu-user-static
TOOLS
# dpkg-shlibdeps reads the arm64 runtime's symbols from the dpkg database.
for package in libc6:arm64 libstdc++6:arm64; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q ' installed$' ||
        fail "$package is missing: dpkg --add-architecture arm64 && apt-get update &&" \
            "apt-get install libc6:arm64 libstdc++6:arm64"
done

cd "$source"
[[ -z $(git status --porcelain) ]] || fail "the work tree has uncommitted changes: commit first"
version=$(sed -n 's/^  VERSION \([0-9.]*\)$/\1/p' CMakeLists.txt)
[[ -n $version ]] || fail "no VERSION in CMakeLists.txt's project()"
changelog_version=$(dpkg-parsechangelog -S Version)
[[ $changelog_version == "$version" ]] ||
    fail "debian/changelog is at $changelog_version, CMakeLists.txt at $version"
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}

if [[ -e $outdir ]]; then
    [[ -d $outdir ]] || fail "$outdir is not a directory"
    [[ -z $(ls -A "$outdir") ]] || fail "$outdir is not empty"
else
    mkdir -p "$outdir"
fi
outdir=$(cd "$outdir" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/out"
out=$work/out

# Modes as a umask of 022 gives them, whatever this one is: directories and
# executables 755, the rest 644.
normalise_modes() { chmod -R u=rwX,go=rX "$@"; }

# A clean export of HEAD for each build, so that nothing untracked and no
# build tree gets in.
export_tree() {
    mkdir -p "$1"
    git archive --format=tar HEAD | tar -x -C "$1"
    normalise_modes "$1"
}

echo "release: chipid $version, SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH"
git archive --format=tar --prefix="chipid-$version/" HEAD | xz --threads=1 -6 >"$out/chipid-$version.tar.xz"

# Debian: the source package, then the binary packages for each
# architecture, each from its own export.
debian_build() {
    local name=$1 status=0
    shift
    export_tree "$work/$name/chipid-$version"
    (cd "$work/$name/chipid-$version" && dpkg-buildpackage -us -uc "$@") >"$work/$name.log" 2>&1 ||
        { tail -n 40 "$work/$name.log" >&2; fail "dpkg-buildpackage $* fails"; }
    # lintian's notice that it runs as root is no tag.
    TMPDIR=$work lintian --pedantic -I --fail-on error,warning,info "$work/$name"/*.changes \
        >"$work/$name.lintian" 2>&1 || status=$?
    grep -v '^running with root privileges' "$work/$name.lintian" >&2 && status=1
    ((status == 0)) || fail "lintian has something to say on the $name package"
    # Every compile and link line hardened.
    if [[ $name != source ]]; then
        blhc "$work/$name.log" >"$work/$name.blhc" ||
            { cat "$work/$name.blhc" >&2; fail "blhc finds unhardened lines in the $name build"; }
    fi
}
debian_build source -S
debian_build amd64 -b
debian_build arm64 -b -a arm64
cp "$work/source/chipid_$version.dsc" "$work/source/chipid_$version.tar.xz" "$out/"
cp "$work/amd64/chipid_${version}_amd64.deb" "$work/arm64/chipid_${version}_arm64.deb" "$out/"

# The portable archives: a static PIE, stripped, with the manual page, the
# README and the licence under one top directory. Packed with GNU tar and
# gzip, whose flags give sorted entries, owner 0/0, one time stamp and no
# gzip name or time; CPack's archives carry the build's times and owner.
portable_archive() {
    local arch=$1
    shift
    local name=chipid-$version-linux-$arch
    local tree=$work/portable-$arch/chipid-$version
    export_tree "$tree"
    (cmake -S "$tree" -B "$tree/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_STATIC=ON "$@" &&
        cmake --build "$tree/build" &&
        cmake --install "$tree/build" --strip --prefix "$work/stage-$arch/$name") \
        >"$work/portable-$arch.log" 2>&1 ||
        { tail -n 40 "$work/portable-$arch.log" >&2; fail "cannot build the $arch archive"; }
    ! readelf -l "$work/stage-$arch/$name/bin/chipid" | grep -q INTERP ||
        fail "the $arch chipid is not static"
    normalise_modes "$work/stage-$arch"
    tar --create --format=gnu --sort=name --owner=0 --group=0 --numeric-owner \
        --mtime="@$SOURCE_DATE_EPOCH" --mode=u=rwX,go=rX -C "$work/stage-$arch" "$name" |
        gzip -9 --no-name >"$out/$name.tar.gz"
}
portable_archive x86_64
portable_archive aarch64 --toolchain "$source/cmake/toolchains/aarch64-linux-gnu.cmake"

# Every binary writes the same report, byte for byte, with the same status.
mkdir "$work/run"
cp examples/examples.txt "$work/run/"
for artefact in amd64.deb arm64.deb x86_64.tar.gz aarch64.tar.gz; do
    mkdir "$work/unpacked-$artefact"
    case $artefact in
        *.deb) dpkg-deb -x "$out/chipid_${version}_$artefact" "$work/unpacked-$artefact" ;;
        *) tar -xzf "$out/chipid-$version-linux-$artefact" -C "$work/unpacked-$artefact" ;;
    esac
    binary=$(find "$work/unpacked-$artefact" -path '*/bin/chipid')
    command=("$binary")
    case $artefact in arm64.deb | aarch64.tar.gz) command=(qemu-aarch64-static "$binary") ;; esac
    status=0
    (cd "$work/run" && "${command[@]}" >"$artefact.out" 2>"$artefact.err") || status=$?
    echo "$status" >"$work/run/$artefact.status"
    for stream in out err status; do
        cmp -s "$work/run/amd64.deb.$stream" "$work/run/$artefact.$stream" ||
            fail "the chipid of $artefact writes another report ($stream) than the amd64 package's"
    done
done
grep -qx ' nchips 0 chipStr W07A0312G35F72.1A1-030042 lot-id G35F72.1 serialNum 0042 6-digit-id: 720042' \
    "$work/run/amd64.deb.out" || fail "the sample list's first record is wrong"

(cd "$out" && sha256sum -- * >SHA256SUMS)
# SHA256SUMS last: a release without it is incomplete at a glance.
mv "$out"/chip* "$outdir/"
mv "$out/SHA256SUMS" "$outdir/"
echo "release: chipid $version in $outdir"
(cd "$outdir" && cat SHA256SUMS)
