#!/usr/bin/env bash
# Makes every release artefact of chipid, for every released target in
# cmake/targets/, from the committed tree, byte for byte reproducibly, and
# writes them into OUTDIR with their SHA256SUMS:
#   chipid-VERSION.tar.xz                         the tracked files (git archive)
#   chipid_VERSION.dsc, chipid_VERSION.tar.xz     the Debian source package
#   chipid_VERSION_DEBARCH.deb                    one per target (debhelper)
#   chipid-VERSION-ARCHIVE                        one per target: the static
#                                                 binary, manual page, README
#   SHA256SUMS
#
#   bash tools/release.sh OUTDIR
#
# Everything is built from a clean export of HEAD, with SOURCE_DATE_EPOCH
# from the last commit unless it is set. Each package must pass lintian,
# and each binary, run here or through its target's emulator, must write
# the same report on the sample list. OUTDIR is made if absent and must be
# empty; it receives the artefacts only once all of them are built and
# checked.
set -euo pipefail
fail() { echo "release: $*" >&2; exit 1; }
(($# == 1)) || { echo "usage: bash tools/release.sh OUTDIR" >&2; exit 2; }
source=$(cd "$(dirname "$0")/.." && pwd)
outdir=$1
export LC_ALL=C TZ=UTC

source "$source/tools/targets.sh"

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
TOOLS
mapfile -t targets < <(target_names released)
for target in "${targets[@]}"; do
    target_is_native "$target" && continue
    deb_arch=$(target_field "$target" DEB_ARCH)
    emulator=$(target_field "$target" EMULATOR)
    command -v "$(target_field "$target" TRIPLET)-g++" >/dev/null ||
        fail "the $target cross compiler is missing: apt-get install crossbuild-essential-$deb_arch"
    command -v "${emulator%% *}" >/dev/null ||
        fail "${emulator%% *} is missing: apt-get install qemu-user-static"
    # dpkg-shlibdeps reads the target's runtime symbols from the dpkg database.
    for package in "libc6:$deb_arch" "libstdc++6:$deb_arch"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q ' installed$' ||
            fail "$package is missing: dpkg --add-architecture $deb_arch && apt-get update &&" \
                "apt-get install libc6:$deb_arch libstdc++6:$deb_arch"
    done
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
done

# The portable archives: the static binary, stripped, with the manual page,
# the README and the licence under one top directory. Packed with GNU tar
# and gzip, whose flags give sorted entries, owner 0/0, one time stamp and
# no gzip name or time; CPack's archives carry the build's times and owner.
archive_name() {
    local archive
    archive=$(target_field "$1" ARCHIVE)
    echo "chipid-$version-${archive%.tar.gz}"
}
portable_archive() {
    local target=$1 archive toolchain=() name
    archive=$(target_field "$target" ARCHIVE)
    name=$(archive_name "$target")
    local tree=$work/portable-$target/chipid-$version
    [[ $archive == *.tar.gz ]] || fail "$target: no way to pack a $archive"
    target_is_native "$target" || toolchain=(--toolchain "$source/cmake/targets/$target.cmake")
    export_tree "$tree"
    (cmake -S "$tree" -B "$tree/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_STATIC=ON \
        "${toolchain[@]}" &&
        cmake --build "$tree/build" &&
        cmake --install "$tree/build" --strip --prefix "$work/stage-$target/$name") \
        >"$work/portable-$target.log" 2>&1 ||
        { tail -n 40 "$work/portable-$target.log" >&2; fail "cannot build the $target archive"; }
    ! readelf -l "$work/stage-$target/$name/bin/chipid" | grep -q INTERP ||
        fail "the $target chipid is not static"
    normalise_modes "$work/stage-$target"
    tar --create --format=gnu --sort=name --owner=0 --group=0 --numeric-owner \
        --mtime="@$SOURCE_DATE_EPOCH" --mode=u=rwX,go=rX -C "$work/stage-$target" "$name" |
        gzip -9 --no-name >"$out/$name.tar.gz"
}

# Every binary writes the same report, byte for byte, with the same status,
# as the first one: run here, or through its target's emulator.
mkdir "$work/run"
cp examples/examples.txt "$work/run/"
reference=""
same_report() {
    local target=$1 artefact=$2 unpacked command=() status=0
    unpacked=$work/unpacked/$(basename "$artefact")
    mkdir -p "$unpacked"
    case $artefact in
        *.deb) dpkg-deb -x "$artefact" "$unpacked" ;;
        *) tar -xzf "$artefact" -C "$unpacked" ;;
    esac
    target_is_native "$target" || read -r -a command <<<"$(target_field "$target" EMULATOR_LINE)"
    command+=("$(find "$unpacked" -path '*/bin/chipid')")
    local run=$work/run/$(basename "$artefact")
    (cd "$work/run" && "${command[@]}" >"$run.out" 2>"$run.err") || status=$?
    echo "$status" >"$run.status"
    if [[ -z $reference ]]; then
        reference=$run
        grep -qx ' nchips 0 chipStr W07A0312G35F72.1A1-030042 lot-id G35F72.1 serialNum 0042 6-digit-id: 720042' \
            "$run.out" || fail "the sample list's first record is wrong in $(basename "$artefact")"
    fi
    for stream in out err status; do
        cmp -s "$reference.$stream" "$run.$stream" ||
            fail "$(basename "$artefact") writes another report ($stream) than $(basename "$reference")"
    done
}
for target in "${targets[@]}"; do
    deb_arch=$(target_field "$target" DEB_ARCH)
    [[ -z $deb_arch ]] || same_report "$target" "$out/chipid_${version}_$deb_arch.deb"
    portable_archive "$target"
    same_report "$target" "$out/$(archive_name "$target").tar.gz"
done

(cd "$out" && sha256sum -- * >SHA256SUMS)
# SHA256SUMS last: a release without it is incomplete at a glance.
mv "$out"/chip* "$outdir/"
mv "$out/SHA256SUMS" "$outdir/"
echo "release: chipid $version in $outdir"
(cd "$outdir" && cat SHA256SUMS)
