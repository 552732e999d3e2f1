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
#   chipid-VERSION.html                           the web page: chipid for
#                                                 any browser, in one file
#   NEWS.md                                       the release notes
#   SHA256SUMS                                    the checksums of all of them
#
#   bash tools/release.sh OUTDIR
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
fail() { echo "release: $*" >&2; exit 1; }
usage() { echo "usage: bash tools/release.sh OUTDIR" >&2; exit 2; }

[[ ${1:-} != -- ]] || shift
(($# == 1)) && [[ $1 != -* ]] || usage
outdir=$(realpath -m -- "$1")
source=$(cd "$(dirname "$0")/.." && pwd -P)

# Interruptions stop the step that runs, then remove what the command made.
# Their message goes to the command's own standard error (fd 3), whatever
# the step's log redirection is when the signal comes.
exec 3>&2
work=""
created_outdir=false
child=""
cleanup() {
    [[ -z $work ]] && return
    # The wineserver of the release's own wine prefix, and no other.
    [[ ! -d $work/wine ]] || bash "$source/tools/wine-run.sh" --stop
    rm -rf "$work"
}
interrupted() {
    trap '' INT TERM
    if [[ -n $child ]]; then
        kill -TERM -- "-$child" 2>/dev/null || true
        wait "$child" 2>/dev/null || true
    fi
    cleanup
    if $created_outdir; then rm -rf "$outdir"; fi
    echo "release: interrupted" >&3
    exit "$1"
}
trap cleanup EXIT
trap 'interrupted 130' INT
trap 'interrupted 143' TERM
# Runs a long step in a process group of its own, which an interruption
# stops whole; the shell waits for it in a way that a signal interrupts.
step() {
    local status=0
    setsid "$@" &
    child=$!
    wait "$child" || status=$?
    child=""
    return "$status"
}

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
setsid util-linux
dpkg-buildpackage dpkg-dev
dh debhelper
lintian lintian
blhc blhc
rpmbuild rpm
rpmlint rpmlint
cpio cpio
clang++-14 clang-14
node nodejs
TOOLS
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q ' installed$'; }
# dpkg-checkbuilddeps asks for it before any package is built.
installed build-essential || fail "build-essential is missing: apt-get install build-essential"
# The web page's WebAssembly build: the C and C++ libraries for it, and its linker.
for package in wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32 lld-14; do
    installed "$package" || fail "$package is missing, which the web page's build needs: apt-get install $package"
done
mapfile -t targets < <(target_names released)
# Each foreign target's row names the packages its build and emulator need:
# cross compilers, the runtimes whose symbols dpkg-shlibdeps reads, qemu.
for target in "${targets[@]}"; do
    target_is_native "$target" && continue
    mapfile -t packages < <(target_field "$target" PACKAGES)
    for package in "${packages[@]}"; do
        installed "$package" && continue
        case $package in
            *:*) fail "$package is missing: dpkg --add-architecture ${package#*:} && apt-get update &&" \
                "apt-get install $package" ;;
            *) fail "$package is missing, which the $target target needs: apt-get install $package" ;;
        esac
    done
done

# The commit: whole, versioned alike everywhere, released, tagged.
top=$(git -C "$source" rev-parse --show-toplevel 2>&1) && [[ $top == "$source" ]] ||
    fail "$source is not a git work tree that git accepts ($top): a release is made from a clone" \
        "of the repository, owned by whoever runs the command"
cd "$source"
dirty=$(git status --porcelain)
[[ -z $dirty ]] || fail "the work tree has uncommitted changes; commit or remove them first:"$'\n'"$dirty"
# The one version: debian/changelog's newest entry, which CMake reads too.
version=$(dpkg-parsechangelog -S Version)
[[ $(dpkg-parsechangelog -S Distribution) != UNRELEASED ]] ||
    fail "debian/changelog's $version entry is UNRELEASED: finish it with dch -r and commit"
maintainer=$(sed -n 's/^Maintainer: //p' debian/control)
changelog_maintainer=$(dpkg-parsechangelog -S Maintainer)
[[ $changelog_maintainer == "$maintainer" ]] ||
    fail "debian/changelog's $version entry is signed by $changelog_maintainer, not by the" \
        "Maintainer, $maintainer (lintian would call it a non-maintainer upload): set" \
        "DEBFULLNAME and DEBEMAIL to the Maintainer's name and address and run dch -r again," \
        "or write the Maintainer into the entry's trailer line, and commit"
grep -q "^## $version\( \|$\)" NEWS.md ||
    fail "NEWS.md has no entry for $version: add '## $version (DATE)' with its notes, newest first"
git tag --points-at HEAD | grep -qx "v$version" ||
    fail "HEAD is not tagged v$version: tag the release commit, git tag -a v$version -m 'chipid $version'"

export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(dpkg-parsechangelog -S Timestamp)}
# Times are clamped to it, never raised: a date still to come would leave
# the files made now with times of their own, and two releases would differ.
((SOURCE_DATE_EPOCH <= $(date +%s))) ||
    fail "SOURCE_DATE_EPOCH ($(date -u -d "@$SOURCE_DATE_EPOCH"), debian/changelog's date unless set) is" \
        "still to come: release once it has passed, or date the entry now (dch -r)"

# OUTDIR: outside the work tree, new or empty, writable; checked before
# anything is built.
case $outdir/ in
    "$source"/*) fail "$outdir is inside the work tree: give a folder outside $source" ;;
esac
if [[ -e $outdir ]]; then
    [[ -d $outdir ]] || fail "$outdir is not a directory"
    [[ -z $(ls -A "$outdir") ]] || fail "$outdir is not empty"
else
    mkdir -p "$outdir" 2>/dev/null || fail "cannot make $outdir"
    created_outdir=true
fi
probe=$(mktemp -p "$outdir" 2>/dev/null) || fail "cannot write into $outdir"
rm -f "$probe"

work=$(mktemp -d)
mkdir "$work/out"
out=$work/out
# A Windows target's programs run under wine, in a prefix of the release's.
export WINEPREFIX=$work/wine

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

echo "release: chipid $version, SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH (debian/changelog's date)"

# Debian: the source package, which is also the release's one source
# tarball, then the binary packages for each target, each from its own
# export.
debian_build() {
    local name=$1 status=0
    shift
    export_tree "$work/$name/chipid-$version"
    step env -C "$work/$name/chipid-$version" dpkg-buildpackage -us -uc "$@" >"$work/$name.log" 2>&1 ||
        { tail -n 40 "$work/$name.log" >&2; fail "dpkg-buildpackage $* fails"; }
    # lintian's notice that it runs as root is no tag.
    TMPDIR=$work step lintian --pedantic -I --fail-on error,warning,info "$work/$name"/*.changes \
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
# the README, the licence, the release notes and the sample list under one
# top directory. Packed with GNU tar and gzip, whose flags give sorted
# entries, owner 0/0, one time stamp and no gzip name or time; or for
# Windows with zip, given the entries sorted, every time set to
# SOURCE_DATE_EPOCH, and no extra fields (-X) or directory entries (-D).
archive_name() {
    local archive
    archive=$(target_field "$1" ARCHIVE)
    archive=${archive%.tar.gz}
    echo "chipid-$version-${archive%.zip}"
}
archive_file() {
    local archive
    archive=$(target_field "$1" ARCHIVE)
    echo "$(archive_name "$1").${archive#*.}"
}
portable_archive() {
    local target=$1 archive toolchain=() name
    archive=$(target_field "$target" ARCHIVE)
    name=$(archive_name "$target")
    local tree=$work/portable-$target/chipid-$version
    [[ $archive == *.tar.gz || $archive == *.zip ]] || fail "$target: no way to pack a $archive"
    target_is_native "$target" || toolchain=(--toolchain "$source/cmake/targets/$target.cmake")
    export_tree "$tree"
    # A Windows chipid.exe comes stripped from the linker: strip would stamp
    # its header with a time.
    local strip=--strip
    [[ $archive != *.zip ]] || strip=""
    step bash -c 'cmake -S "$1" -B "$1/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_STATIC=ON \
            "${@:4}" && cmake --build "$1/build" && cmake --install "$1/build" $3 --prefix "$2"' \
        _ "$tree" "$work/stage-$target/$name" "$strip" "${toolchain[@]}" >"$work/portable-$target.log" 2>&1 ||
        { tail -n 40 "$work/portable-$target.log" >&2; fail "cannot build the $target archive"; }
    normalise_modes "$work/stage-$target"
    if [[ $archive == *.zip ]]; then
        local dlls
        dlls=$("$(target_field "$target" TRIPLET)-objdump" -p "$work/stage-$target/$name/chipid.exe" |
            sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')
        [[ ${dlls,,} == "advapi32.dll kernel32.dll msvcrt.dll " ]] ||
            fail "the $target chipid.exe imports $dlls"
        find "$work/stage-$target" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
        (cd "$work/stage-$target" && find "$name" -type f | LC_ALL=C sort |
            TZ=UTC zip -X -D -q -9 "$out/$name.zip" -@) || fail "cannot zip the $target archive"
        return
    fi
    ! readelf -l "$work/stage-$target/$name/bin/chipid" | grep -q INTERP ||
        fail "the $target chipid is not static"
    tar --create --format=gnu --sort=name --owner=0 --group=0 --numeric-owner \
        --mtime="@$SOURCE_DATE_EPOCH" --mode=u=rwX,go=rX -C "$work/stage-$target" "$name" |
        gzip -9 --no-name >"$out/$name.tar.gz"
}

# Every binary writes the same report, byte for byte, with the same status,
# as the first one: run here, or through its target's emulator.
mkdir "$work/run"
cp examples/examples.txt "$work/run/"
reference=""
# same_command_report NAME COMMAND...: COMMAND is a chipid, named NAME.
same_command_report() {
    local name=$1 run=$work/run/$1 status=0
    shift
    (cd "$work/run" && "$@" >"$run.out" 2>"$run.err") || status=$?
    echo "$status" >"$run.status"
    if [[ -z $reference ]]; then
        reference=$run
        (cd "$work/run" && "$@" >"$run.both" 2>&1) || true
        cmp -s "$run.both" examples/report.txt ||
            fail "$name does not write examples/report.txt on the sample list"
    fi
    for stream in out err status; do
        cmp -s "$reference.$stream" "$run.$stream" && continue
        diff "$reference.$stream" "$run.$stream" | head -n 20 >&2
        fail "$name writes another report ($stream) than $(basename "$reference")"
    done
}
# same_report TARGET ARTEFACT: the chipid in a package or archive.
same_report() {
    local target=$1 artefact=$2 unpacked command=()
    unpacked=$work/unpacked/$(basename "$artefact")
    mkdir -p "$unpacked"
    case $artefact in
        *.deb) dpkg-deb -x "$artefact" "$unpacked" ;;
        *.zip) (cd "$unpacked" && unzip -q "$artefact") ;;
        *) tar -xzf "$artefact" -C "$unpacked" ;;
    esac
    target_is_native "$target" || mapfile -t command < <(target_field "$target" EMULATOR_LINE)
    command+=("$(find "$unpacked" -path '*/bin/chipid' -o -name chipid.exe)")
    same_command_report "$(basename "$artefact")" "${command[@]}"
}
for target in "${targets[@]}"; do
    deb_arch=$(target_field "$target" DEB_ARCH)
    [[ -z $deb_arch ]] || same_report "$target" "$out/chipid_${version}_$deb_arch.deb"
    portable_archive "$target"
    same_report "$target" "$out/$(archive_file "$target")"
done

# The RPMs, built as an RPM packager would build them, from the release's
# own source tarball, which holds the RPM recipe; a foreign target with its
# row as toolchain file, so that the recipe's %check runs every test under
# its emulator. Debian's rpm database knows no installed package, so the
# recipe's build requirements are not checked (--nodeps): the packages step
# and the rows' packages install them. HOME is the build's own, so that no
# ~/.rpmmacros of whoever releases gets in. Each RPM's chipid must be the
# archive's, byte for byte, whose report is checked above; rpmlint, with the project's settings, must have
# nothing to say.
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
for target in "${targets[@]}"; do
    [[ -z $(target_field "$target" RPM_ARCH) ]] || rpm_build "$target"
done
# The web page: chipid built for WebAssembly (cmake/wasm.cmake) inside
# the page (web/), from an export of its own. Its module, run under Node
# through the page's own system interface, writes the same report.
web_tree=$work/web/chipid-$version
export_tree "$web_tree"
step bash -c 'cmake -S "$1" -B "$1/build" -G Ninja -DCMAKE_BUILD_TYPE=Release --toolchain "$1/cmake/wasm.cmake" &&
        cmake --build "$1/build"' _ "$web_tree" >"$work/web.log" 2>&1 ||
    { tail -n 40 "$work/web.log" >&2; fail "cannot build the web page"; }
cp "$web_tree/build/chipid-$version.html" "$out/"
same_command_report "chipid-$version.html's module" "$web_tree/build/chipid-under-test"

if compgen -G "$out/*.rpm" >/dev/null; then
    rpmlint -c rpm/rpmlint.toml rpm/chipid.spec "$out"/*.rpm >"$work/rpmlint.log" 2>&1 || true
    grep -q ' 0 errors, 0 warnings,' "$work/rpmlint.log" ||
        { cat "$work/rpmlint.log" >&2; fail "rpmlint has something to say on the RPMs"; }
fi

cp NEWS.md "$out/"
normalise_modes "$out"
(cd "$out" && sha256sum -- * >SHA256SUMS)
# SHA256SUMS last: a release without it is incomplete at a glance.
mv "$out"/chip* "$out/NEWS.md" "$outdir/"
mv "$out/SHA256SUMS" "$outdir/"
echo "release: chipid $version in $outdir"
(cd "$outdir" && cat SHA256SUMS)
echo
awk -v heading="## $version" '$0 == heading || index($0, heading " ") == 1 { on = 1 }
    on && /^## / && !($0 == heading || index($0, heading " ") == 1) { exit }
    on' NEWS.md
