#!/usr/bin/env bash
# The release command, checked as a user of its artefacts would: run from
# two clones of HEAD at different paths, at the same time, one by root with
# umask 022 and one by another user with umask 077, it gives the same
# SHA256SUMS; every archive lists owner 0/0, sorted entries, its top
# directory and modes 755 or 644; each binary is what its target's row in
# cmake/targets/ says; the packages carry what Debian asks and are
# hardened; the executable tests pass on every released binary (foreign
# ones through their target's emulator); autopkgtest passes on the native
# package.
#   release_test.sh SOURCE_DIR BUILD_DIR
# BUILD_DIR is the native test build; each foreign target's test build is
# SOURCE_DIR/build-TARGET, as tests/run-all.sh makes them.
# Uncommitted changes are not in the clones: commit before trusting it.
# Runs as root: it releases as a second user and installs the package.
set -euo pipefail
((EUID == 0)) || { echo "release check: run as root: it releases as nobody too and installs the package" >&2; exit 1; }
source=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
work=$(mktemp -d)
chmod 755 "$work"
# Windows programs run under wine in a prefix of the test's, whose
# wineserver alone is stopped at the end.
export WINEPREFIX=$work/wine
trap 'bash "$source/tools/wine-run.sh" --stop; rm -rf "$work"' EXIT
fail() { echo "release: $*" >&2; exit 1; }
source "$source/tools/targets.sh"
mapfile -t targets < <(target_names released)

version=$(cd "$source" && dpkg-parsechangelog -S Version)
# Commits and tags in the test's own clones.
git_test() { git -c user.name=test -c user.email=test@example.org "$@"; }
# A clone of HEAD, tagged for release as the maintainer tags it.
tagged_clone() {
    git clone --quiet "$source" "$1"
    git -C "$1" tag "v$version"
}

# Each refusal: the status, a message that says how to mend it, and OUTDIR
# as it was (none where there was none); all before anything is built.
refused() {
    local clone=$1 outdir=$2 what=$3 message=$4 status=0 before=absent after=absent
    shift 4
    [[ ! -e $outdir ]] || before=$(ls -A "$outdir")
    (cd "$clone" && "$@" bash tools/release.sh "$outdir") >"$work/refused.out" 2>"$work/refused.err" ||
        status=$?
    ((status == 1)) || fail "$what: status $status, not 1: $(cat "$work/refused.err")"
    grep -qF -- "$message" "$work/refused.err" || fail "$what: $(cat "$work/refused.err")"
    grep -q "SOURCE_DATE_EPOCH" "$work/refused.out" && fail "$what: refused only after it began building"
    [[ ! -e $outdir ]] || after=$(ls -A "$outdir")
    [[ $after == "$before" ]] || fail "$what: OUTDIR held '$before' and now '$after'"
    echo "release: refuses $what"
}
tagged_clone "$work/refused"
echo dirt >"$work/refused/dirt"
refused "$work/refused" "$work/refused-out" "a dirty work tree, naming the file" "?? dirt"
[[ ! -e $work/refused-out ]] || fail "a refused release made its OUTDIR"
rm "$work/refused/dirt"
mkdir "$work/full-out"
touch "$work/full-out/old"
refused "$work/refused" "$work/full-out" "into a folder that holds a file" "is not empty"
refused "$work/refused" out "an OUTDIR inside the work tree, taken from the current directory" \
    "$work/refused/out is inside the work tree"
touch "$work/a-file"
refused "$work/refused" "$work/a-file/out" "an OUTDIR under a file" "cannot make"
# Unwritable: tried as another user, since root may write anywhere.
tagged_clone "$work/other/chipid"
mkdir "$work/other/home" "$work/locked-out"
chown -R nobody:nogroup "$work/other"
refused "$work/other/chipid" "$work/locked-out" "an OUTDIR it cannot write" "cannot write into" \
    setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work/other/home"
refused "$work/refused" "$work/refused-out" "a clone owned by another user" \
    "is not a git work tree that git accepts" \
    setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work/other/home"
mkdir "$work/no-git"
git -C "$source" archive HEAD | tar -x -C "$work/no-git"
refused "$work/no-git" "$work/refused-out" "outside a git work tree" "is not a git work tree"
git clone --quiet "$source" "$work/untagged"
refused "$work/untagged" "$work/refused-out" "an untagged commit" "git tag -a v$version"
(cd "$work/refused" && sed -i '1s/) [a-z]*;/) UNRELEASED;/' debian/changelog &&
    git_test commit --quiet -am "Unreleased" && git tag -f "v$version" >/dev/null)
refused "$work/refused" "$work/refused-out" "an UNRELEASED changelog" "dch -r"
(cd "$work/refused" && git reset --quiet --hard HEAD~1 &&
    sed -i 's/^ -- .*>  / -- Someone Else <someone@example.org>  /' debian/changelog &&
    git_test commit --quiet -am "Signed by another" && git tag -f "v$version" >/dev/null)
refused "$work/refused" "$work/refused-out" "a changelog entry by another than the Maintainer" \
    "DEBFULLNAME and DEBEMAIL"
(cd "$work/refused" && git reset --quiet --hard HEAD~1 &&
    sed -i "1,/^ -- /s/>  .*/>  $(date -u -R -d 'next year')/" debian/changelog &&
    git_test commit --quiet -am "Dated next year" && git tag -f "v$version" >/dev/null)
refused "$work/refused" "$work/refused-out" "a changelog entry dated in the future" "still to come"
(cd "$work/refused" && git reset --quiet --hard HEAD~1 &&
    sed -i "s/^## $version /## 0.0.1 /" NEWS.md &&
    git_test commit --quiet -am "No notes" && git tag -f "v$version" >/dev/null)
refused "$work/refused" "$work/refused-out" "a version without release notes" "NEWS.md has no entry"
git -C "$work/refused" reset --quiet --hard HEAD~1
git -C "$work/refused" tag -f "v$version" >/dev/null

# Interrupted while it builds: SIGINT ends it with 130, SIGTERM with 143,
# saying so, with no temporary folder and no OUTDIR left, since it made it.
# A background command starts with SIGINT ignored, and a shell cannot trap
# what it was started ignoring: env gives it SIGINT as a terminal would.
for signal in INT:130 TERM:143; do
    mkdir "$work/tmp-$signal"
    (cd "$work/refused" && TMPDIR=$work/tmp-$signal exec env --default-signal=INT,TERM \
        bash tools/release.sh "$work/interrupted-out") >"$work/interrupted.out" 2>"$work/interrupted.err" &
    pid=$!
    for ((i = 0; i < 600; i++)); do
        [[ -n $(ls -A "$work/tmp-$signal") ]] && grep -q SOURCE_DATE_EPOCH "$work/interrupted.out" && break
        kill -0 "$pid" 2>/dev/null || fail "the release to interrupt ended: $(cat "$work/interrupted.err")"
        sleep 0.1
    done
    sleep 2
    kill -"${signal%:*}" "$pid"
    status=0
    wait "$pid" || status=$?
    ((status == ${signal#*:})) || fail "SIG${signal%:*}: status $status: $(cat "$work/interrupted.err")"
    grep -qx "release: interrupted" "$work/interrupted.err" ||
        fail "SIG${signal%:*}: $(cat "$work/interrupted.err")"
    [[ ! -e $work/interrupted-out ]] || fail "SIG${signal%:*}: the OUTDIR it made is left"
    [[ -z $(ls -A "$work/tmp-$signal") ]] || fail "SIG${signal%:*}: left $(ls -A "$work/tmp-$signal")"
    echo "release: SIG${signal%:*} ends it with status $status, nothing left"
done

# A source package built by hand from a work tree that has been built in
# leaves the build trees out (debian/source/options).
mkdir -p "$work/refused/build/CMakeFiles" "$work/refused/build-test/tests" "$work/refused/.git/x"
touch "$work/refused/build/CMakeFiles/x" "$work/refused/build-test/tests/x"
(cd "$work/refused" && dpkg-buildpackage -S -us -uc -d) >"$work/by-hand.log" 2>&1 ||
    { cat "$work/by-hand.log" >&2; fail "dpkg-buildpackage -S fails"; }
tar -tJf "$work/chipid_$version.tar.xz" | grep -Eq '/(build|build-test|\.git)/' &&
    fail "dpkg-buildpackage -S packs build trees or .git"

# The second clone's path holds a space, which every path that the
# release hands on (to CMake, an emulator, a generated script) must keep.
tagged_clone "$work/one/chipid"
tagged_clone "$work/two/deeper dir/chipid"
# Another user, with a home of its own and a restrictive umask.
mkdir "$work/two/home"
chown -R nobody:nogroup "$work/two"
as_other=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work/two/home")
who=nobody
# The two releases at once, one on each core.
(cd "$work/one/chipid" && umask 022 && bash tools/release.sh "$work/one/out") >"$work/one.log" 2>&1 &
one=$!
(cd "$work/two/deeper dir/chipid" && "${as_other[@]}" bash -c 'umask 077 && bash tools/release.sh ../../out') \
    >"$work/two.log" 2>&1 &
two=$!
wait "$one" || { tail -n 40 "$work/one.log" >&2; fail "the release fails as $(id -un) with umask 022"; }
wait "$two" || { tail -n 40 "$work/two.log" >&2; fail "the release fails as $who with umask 077"; }
cmp "$work/one/out/SHA256SUMS" "$work/two/out/SHA256SUMS" ||
    { diff "$work/one/out/SHA256SUMS" "$work/two/out/SHA256SUMS" >&2; fail "two releases differ"; }
out=$work/one/out
(cd "$out" && sha256sum --check --quiet SHA256SUMS) || fail "sha256sum -c fails"
echo "release: reproducible ($who, umask 077, against $(id -un), umask 022):"
cat "$out/SHA256SUMS"
tail -n "$(wc -l <"$source/NEWS.md")" "$work/one.log" | grep -qx "## $version (.*)" ||
    fail "the release does not end with its NEWS.md entry"

# Signed afterwards, a copy, with a throwaway key in a GNUPGHOME of the
# test's own: SHA256SUMS.asc verifies, and fails over a changed byte; each
# RPM's signature verifies with the public key imported (into a scratch
# rpm database) and not before it, and fails on a changed byte; a signed
# RPM keeps the unsigned one's header and payload.
export GNUPGHOME=$work/gnupg
mkdir -m 700 "$GNUPGHOME"
gpg --batch --quiet --passphrase '' --quick-gen-key "chipid release test <release-test@example.org>" \
    ed25519 sign never 2>/dev/null
key=$(gpg --batch --with-colons --list-secret-keys 2>/dev/null | awk -F: '$1 == "fpr" { print $10; exit }')
[[ -n $key ]] || fail "gpg made no key"
signed=$work/signed
cp -r "$out" "$signed"
bash "$source/tools/sign-release.sh" "$key" "$signed" >"$work/sign.log" 2>&1 ||
    { cat "$work/sign.log" >&2; fail "tools/sign-release.sh fails"; }
bash "$source/tools/sign-release.sh" "$key" "$signed" >"$work/sign.log" 2>&1 &&
    fail "tools/sign-release.sh signs a signed release again"
(cd "$signed" && sha256sum --check --quiet SHA256SUMS) || fail "the signed release fails sha256sum -c"
gpg --batch --verify "$signed/SHA256SUMS.asc" "$signed/SHA256SUMS" 2>"$work/verify.log" ||
    { cat "$work/verify.log" >&2; fail "gpg --verify fails on the signed release"; }
sed '1s/^./x/' "$signed/SHA256SUMS" >"$work/SHA256SUMS.tampered"
gpg --batch --verify "$signed/SHA256SUMS.asc" "$work/SHA256SUMS.tampered" 2>/dev/null &&
    fail "gpg --verify takes a changed SHA256SUMS"
rpm_db=(--dbpath "$work/rpmdb")
mkdir "$work/rpmdb"
rpm_checked() { rpm -K "${rpm_db[@]}" "$1" 2>&1 | tail -n 1; }
for rpm in "$signed"/*.rpm; do
    [[ $(rpm_checked "$rpm") == *": digests SIGNATURES NOT OK" ]] ||
        fail "rpm -K without the key: $(rpm_checked "$rpm")"
done
gpg --batch --armor --export "$key" >"$work/key.asc"
rpmkeys "${rpm_db[@]}" --import "$work/key.asc"
for rpm in "$signed"/*.rpm; do
    [[ $(rpm_checked "$rpm") == "$rpm: digests signatures OK" ]] || fail "rpm -K: $(rpm_checked "$rpm")"
    cp "$rpm" "$work/tampered.rpm"
    size=$(stat -c %s "$rpm")
    printf '\xff' | dd of="$work/tampered.rpm" bs=1 seek=$((size - 100)) conv=notrunc status=none
    rpm -K "${rpm_db[@]}" "$work/tampered.rpm" >/dev/null 2>&1 && fail "rpm -K takes a changed $(basename "$rpm")"
    digests=$(rpm -qp --qf '%{SHA256HEADER}\n' "$rpm" "$out/$(basename "$rpm")" 2>/dev/null | sort -u | wc -l)
    ((digests == 1)) || fail "the signed $(basename "$rpm") has another header or payload than the unsigned one"
done
echo "release: signed, SHA256SUMS.asc and each RPM verify, and fail on a changed byte"

expected=$( (
    echo NEWS.md SHA256SUMS "chipid_$version.dsc" "chipid_$version.tar.xz" "chipid-$version.html"
    for target in "${targets[@]}"; do
        echo "chipid-$version-$(target_field "$target" ARCHIVE)"
        deb_arch=$(target_field "$target" DEB_ARCH)
        [[ -z $deb_arch ]] || echo "chipid_${version}_$deb_arch.deb"
        rpm_arch=$(target_field "$target" RPM_ARCH)
        [[ -z $rpm_arch ]] || echo "chipid-$version-1.$rpm_arch.rpm"
    done
) | tr ' ' '\n' | LC_ALL=C sort)
[[ $(ls "$out" | LC_ALL=C sort) == "$expected" ]] || fail "the release holds: $(ls "$out")"
cmp -s "$out/NEWS.md" "$source/NEWS.md" || fail "the release's NEWS.md is not the tree's"
# The install table names every file a user installs or unpacks.
for file in "$out"/*.deb "$out"/*.rpm "$out"/*.tar.gz "$out"/*.zip "$out"/*.html; do
    file=$(basename "$file")
    grep -qF "\`${file//$version/VERSION}\`" "$source/doc/install.md" ||
        fail "doc/install.md's table does not name ${file//$version/VERSION}"
done

# The one source tarball: the tracked files but .gitignore, under
# chipid-VERSION/, sorted, owner 0/0, modes 755 and 644.
tarball=$out/chipid_$version.tar.xz
listing=$(tar -tvJf "$tarball")
names=$(awk '{ print $6 }' <<<"$listing")
[[ $(head -n 1 <<<"$names") == "chipid-$version/" ]] || fail "the source tarball: no top directory first"
[[ $names == "$(LC_ALL=C sort <<<"$names")" ]] || fail "the source tarball: entries not sorted"
[[ $(awk '{ print $2 }' <<<"$listing" | sort -u) == 0/0 ]] ||
    fail "the source tarball: owners not 0/0: $(awk '{ print $2 }' <<<"$listing" | sort -u)"
while read -r mode _ _ _ _ path; do
    case $mode in
        drwxr-xr-x) [[ $path == */ ]] ;;
        -rw-r--r-- | -rwxr-xr-x) [[ $path != */ ]] ;;
        *) false ;;
    esac || fail "the source tarball: $path has mode $mode"
done <<<"$listing"
sed -n "s|^chipid-$version/||p" <<<"$names" | grep -v '/$' | grep . | LC_ALL=C sort >"$work/tarball.files"
(cd "$source" && git ls-files | grep -vx .gitignore | LC_ALL=C sort) >"$work/tracked.files"
cmp -s "$work/tarball.files" "$work/tracked.files" ||
    { diff "$work/tracked.files" "$work/tarball.files" >&2; fail "the source tarball is not the tracked files"; }

# The Windows zip: sorted entries under one top folder, every time
# SOURCE_DATE_EPOCH's (zip keeps local time to the even second; the release
# packs in UTC), no extra fields, chipid.exe importing only Windows' own
# DLLs, with no time stamp; then its binary for the executable tests.
declare -A released_binaries
check_zip() {
    local target=$1 name=$2 zip=$3 listing names stamp dlls
    listing=$(zipinfo -l "$zip")
    names=$(zipinfo -1 "$zip")
    [[ $names == "$(LC_ALL=C sort <<<"$names")" ]] || fail "$name.zip: entries not sorted"
    [[ $names == "$name/LICENSE.txt
$name/NEWS.md
$name/README.txt
$name/chipid.exe
$name/chipid.html
$name/examples.txt" ]] || fail "$name.zip holds: $names"
    stamp=$(TZ=UTC date -d "@$((SOURCE_DATE_EPOCH / 2 * 2))" +%y-%b-%d\ %H:%M)
    [[ $(awk 'NF == 10 { print $8, $9 }' <<<"$listing" | sort -u) == "$stamp" ]] ||
        fail "$name.zip: times are not $stamp: $(awk 'NF == 10 { print $8, $9 }' <<<"$listing" | sort -u)"
    # zipinfo's fourth column is the extra-field flag: - for none.
    [[ $(awk 'NF == 10 { print substr($5, 2, 1) }' <<<"$listing" | sort -u) == - ]] ||
        fail "$name.zip: entries with extra fields"
    mkdir -p "$work/unpacked/$target"
    (cd "$work/unpacked/$target" && unzip -q "$zip")
    local exe=$work/unpacked/$target/$name/chipid.exe
    dlls=$("$(target_field "$target" TRIPLET)-objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' |
        tr '\n' ' ')
    [[ ${dlls,,} == "advapi32.dll kernel32.dll msvcrt.dll " ]] || fail "$name: chipid.exe imports $dlls"
    grep -q 'Time/Date.*1970' <<<"$("$(target_field "$target" TRIPLET)-objdump" -p "$exe")" ||
        fail "$name: chipid.exe carries a time stamp"
    grep -q "chipid $version for Windows" "$work/unpacked/$target/$name/README.txt" ||
        fail "$name: its README is not the Windows one"
    grep -q "<title>CHIPID(1)</title>" "$work/unpacked/$target/$name/chipid.html" ||
        fail "$name: chipid.html is not the manual page"
    released_binaries[$target]=$exe
}
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(cd "$source" && dpkg-parsechangelog -S Timestamp)}

# The portable archives: listing, modes, owners, the binary's kind.
for target in "${targets[@]}"; do
    archive=$(target_field "$target" ARCHIVE)
    if [[ $archive == *.zip ]]; then
        check_zip "$target" "chipid-$version-${archive%.zip}" "$out/chipid-$version-$archive"
        continue
    fi
    name=chipid-$version-${archive%.tar.gz}
    listing=$(tar -tvzf "$out/$name.tar.gz")
    names=$(awk '{ print $6 }' <<<"$listing")
    [[ $(head -n 1 <<<"$names") == "$name/" ]] || fail "$name: no top directory entry first"
    [[ $names == "$(LC_ALL=C sort <<<"$names")" ]] || fail "$name: entries not sorted"
    [[ $(awk '{ print $2 }' <<<"$listing" | sort -u) == 0/0 ]] || fail "$name: owners not 0/0"
    while read -r mode _ _ _ _ path; do
        case $path in
            */ | */bin/chipid) [[ $mode == ?rwxr-xr-x ]] ;;
            *) [[ $mode == -rw-r--r-- ]] ;;
        esac || fail "$name: $path has mode $mode"
    done <<<"$listing"
    expected_files="$name/bin/chipid
$name/share/doc/chipid/LICENSE
$name/share/doc/chipid/NEWS.md
$name/share/doc/chipid/README
$name/share/doc/chipid/examples/examples.txt
$name/share/man/man1/chipid.1"
    [[ $(grep -v '/$' <<<"$names") == "$expected_files" ]] || fail "$name holds: $names"
    mkdir -p "$work/unpacked/$target"
    tar -xzf "$out/$name.tar.gz" -C "$work/unpacked/$target"
    binary=$work/unpacked/$target/$name/bin/chipid
    header=$(readelf -h "$binary")
    machine=$(target_field "$target" ELF_MACHINE)
    grep -q "Machine: .*$machine\$" <<<"$header" || fail "$name: bin/chipid is not for $machine"
    readelf -l "$binary" | grep -q INTERP && fail "$name: bin/chipid has a program interpreter"
    readme=$work/unpacked/$target/$name/share/doc/chipid/README
    if [[ $(target_field "$target" STATIC) == static-pie ]]; then
        grep -q 'Type: *DYN' <<<"$header" || fail "$name: bin/chipid is not a PIE"
        grep -q "static PIE for" "$readme" || fail "$name: its README does not say it holds a static PIE"
    else
        grep -q 'Type: *EXEC' <<<"$header" || fail "$name: bin/chipid is not a static executable"
        grep -q "static executable for" "$readme" ||
            fail "$name: its README does not say it holds a static executable"
    fi
    note=$(readelf -n "$binary" | sed -n 's/^ *Packaging Metadata: //p')
    [[ $note == "{\"name\":\"chipid\",\"version\":\"$version\",\"architecture\":\"$(target_field "$target" DEB_ARCH)\"}" ]] ||
        fail "$name: the package note says: $note"
    released_binaries[$target]=$binary
done
# The installed README's table of machines names each released target's
# package, RPM and archive ("-" for none), as the rows say (the last
# archive's README: every archive's is the same but for its linkage).
for target in "${targets[@]}"; do
    archive=$(target_field "$target" ARCHIVE)
    [[ $archive == *.zip ]] || archive=${archive%.tar.gz}
    row="$(target_field "$target" DEB_ARCH | grep . || echo -) +$(target_field "$target" RPM_ARCH | grep . || echo -) +$archive"
    grep -Eq "[[:space:]]$row\$" "$readme" || fail "the installed README's table has no row '$row'"
done

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
    zcat "$root/usr/share/man/man1/chipid.1.gz" | grep -q "\"chipid $version\"" ||
        fail "$arch package: the manual page is not at version $version"
    dpkg-deb -f "$deb" Depends | grep -q libstdc++6 || fail "$arch package: Depends not computed"
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
    released_binaries[$target-deb]=$root/usr/bin/chipid
done

# The RPMs, as an RPM packager checks them: what each holds (rpm -qpl)
# and requires (rpm -qpR: a static PIE has the GNU hash section that rpm
# takes for a need of the dynamic loader, which every glibc provides).
# Installed into a scratch root, with rpm's own database there, its chipid
# writes the sample list's report through its target's emulator; rpm -V
# finds nothing changed; erasing it leaves no file and none of its folders.
# Installed without documentation (--excludedocs), it holds the binary and
# the licence alone.
rpm_files="/usr/bin/chipid
/usr/share/doc/chipid
/usr/share/doc/chipid/NEWS.md
/usr/share/doc/chipid/README
/usr/share/doc/chipid/examples
/usr/share/doc/chipid/examples/examples.txt
/usr/share/licenses/chipid
/usr/share/licenses/chipid/LICENSE
/usr/share/man/man1/chipid.1.gz"
rpmlib_requires="rpmlib(CompressedFileNames) <= 3.0.4-1
rpmlib(FileDigests) <= 4.6.0-1
rpmlib(PayloadFilesHavePrefix) <= 4.0-1"
# Files left in the scratch root, rpm's database aside.
left_in() { (cd "$1" && find . -path ./var/lib/rpm -prune -o ! -type d -print | LC_ALL=C sort); }
for target in "${targets[@]}"; do
    rpm_arch=$(target_field "$target" RPM_ARCH)
    [[ -n $rpm_arch ]] || continue
    rpm=$out/chipid-$version-1.$rpm_arch.rpm
    name=$(basename "$rpm")
    [[ $(rpm -qpl "$rpm" 2>/dev/null) == "$rpm_files" ]] || fail "$name holds: $(rpm -qpl "$rpm" 2>&1)"
    requires=$rpmlib_requires
    [[ $(target_field "$target" STATIC) != static-pie ]] || requires+=$'\n''rtld(GNU_HASH)'
    [[ $(rpm -qpR "$rpm" 2>/dev/null) == "$requires" ]] || fail "$name requires: $(rpm -qpR "$rpm" 2>&1)"
    # The scratch root has no C library to meet rtld(GNU_HASH), and a
    # foreign architecture is foreign to this machine's rpm.
    scratch=(--root "$work/rpm-root-$rpm_arch" --dbpath /var/lib/rpm)
    rpm -i "${scratch[@]}" --nodeps --ignorearch "$rpm" 2>"$work/rpm.log" ||
        { cat "$work/rpm.log" >&2; fail "rpm -i $name fails in a scratch root"; }
    installed=$work/rpm-root-$rpm_arch/usr
    command=()
    target_is_native "$target" || mapfile -t command < <(target_field "$target" EMULATOR_LINE)
    (cd "$installed/share/doc/chipid/examples" && "${command[@]}" "$installed/bin/chipid" >"$work/rpm.report" 2>&1) ||
        true
    cmp -s "$work/rpm.report" "$source/examples/report.txt" ||
        fail "the chipid that $name installs writes: $(cat "$work/rpm.report")"
    verified=$(rpm -V "${scratch[@]}" --nodeps chipid 2>&1) || fail "rpm -V on $name: $verified"
    [[ -z $verified ]] || fail "rpm -V on $name: $verified"
    rpm -e "${scratch[@]}" chipid 2>"$work/rpm.log" || { cat "$work/rpm.log" >&2; fail "rpm -e $name fails"; }
    [[ -z $(left_in "$work/rpm-root-$rpm_arch") ]] ||
        fail "erasing $name leaves $(left_in "$work/rpm-root-$rpm_arch")"
    for folder in share/doc/chipid share/licenses/chipid; do
        [[ ! -e $installed/$folder ]] || fail "erasing $name leaves /usr/$folder"
    done
    rpm -i "${scratch[@]}" --nodeps --ignorearch --excludedocs "$rpm" 2>"$work/rpm.log" ||
        { cat "$work/rpm.log" >&2; fail "rpm -i --excludedocs $name fails"; }
    [[ $(left_in "$work/rpm-root-$rpm_arch") == "./usr/bin/chipid
./usr/share/licenses/chipid/LICENSE" ]] || fail "$name without docs installs: $(left_in "$work/rpm-root-$rpm_arch")"
    rpm -e "${scratch[@]}" chipid 2>/dev/null
done
echo "release: each RPM holds and needs what it should, installs, runs, verifies and erases whole"

# The executable tests, on each released binary, built for its target; a
# Windows chipid.exe by the native ones (they are POSIX code), through its
# emulator, expecting what Windows does where it differs.
for key in "${!released_binaries[@]}"; do
    target=${key%-deb}
    binary=${released_binaries[$key]}
    system=$(target_field "$target" SYSTEM)
    runner=()
    if target_is_native "$target"; then
        tests=$build/tests/chipid_cli_tests
    elif [[ $system == Windows ]]; then
        tests=$build/tests/chipid_cli_tests
        mapfile -t emulator < <(target_field "$target" EMULATOR_LINE)
        printf '#!/bin/sh\nexec %s "$@"\n' "${emulator[*]@Q} ${binary@Q}" >"$binary.under-test"
        chmod +x "$binary.under-test"
        binary=$binary.under-test
    else
        tests=$source/build-$target/tests/chipid_cli_tests
        mapfile -t runner < <(target_field "$target" EMULATOR_LINE)
    fi
    [[ -x $tests ]] || fail "no executable tests built for $target: $tests"
    CHIPID_UNDER_TEST=$binary CHIPID_UNDER_TEST_SYSTEM=$system "${runner[@]}" "$tests" --gtest_brief=1 \
        >"$work/cli.log" 2>&1 || { cat "$work/cli.log" >&2; fail "the executable tests fail on $binary"; }
done
echo "release: the executable tests pass on all ${#released_binaries[@]} released binaries"

# The web page, as released, driven in headless Chromium: what it shows
# and saves against the native chipid's streams; no reference out of it.
/usr/bin/python3 "$source/tests/page_test.py" "$out/chipid-$version.html" "$build/chipid" "$source" \
    "$build/tests/chipid_cli_cases" \
    >"$work/page.log" 2>&1 || { cat "$work/page.log" >&2; fail "the released web page fails its test"; }
echo "release: the web page shows and saves what the command line writes"

# lintian on the source package and every binary package together.
status=0
TMPDIR=$work lintian --pedantic -I --fail-on error,warning,info "$out"/*.dsc "$out"/*.deb \
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

# The documents' commands, as written there, on the released files. The
# archive commands, as an ordinary user, print the sample list's report.
readme_command() {
    grep -qxF -- "$1" "$source/README.md" "$source/CONTRIBUTING.md" "$source/doc/install.md" ||
        fail "none of README.md, CONTRIBUTING.md and doc/install.md says: $1"
    echo "${1//VERSION/$version}"
}
extract=$(readme_command "tar -xzf chipid-VERSION-linux-x86_64.tar.gz")
first_run=$(readme_command "cd chipid-VERSION-linux-x86_64/share/doc/chipid/examples && ../../../../bin/chipid")
if [[ $(dpkg --print-architecture) == amd64 ]]; then
    mkdir "$work/user"
    cp "$out/chipid-$version-linux-x86_64.tar.gz" "$work/user/"
    chown -R nobody:nogroup "$work/user"
    (cd "$work/user" && setpriv --reuid=nobody --regid=nogroup --clear-groups \
        bash -c "$extract && $first_run") >"$work/user.report" 2>&1 || true
    cmp -s "$work/user.report" "$source/examples/report.txt" ||
        fail "doc/install.md's archive commands print: $(cat "$work/user.report")"
    echo "release: doc/install.md's archive commands print the sample list's report"
fi
# In the unpacked source tarball, without git: the README's build command
# and its tarball test command, the whole CTest suite.
build_command=$(readme_command "cmake -S . -B build -G Ninja && cmake --build build && (cd examples && ../build/chipid)")
test_command=$(readme_command "cmake -S . -B build-test -G Ninja -DCHIPID_BUILD_TESTING=ON && cmake --build build-test && ctest --test-dir build-test -j 2")
mkdir "$work/tarball"
tar -xJf "$tarball" -C "$work/tarball"
(cd "$work/tarball/chipid-$version" && bash -c "$build_command") >"$work/tarball.log" 2>&1 ||
    { tail -n 40 "$work/tarball.log" >&2; fail "the README's build command fails in the source tarball"; }
(cd "$work/tarball/chipid-$version" && bash -c "$test_command") >"$work/tarball.log" 2>&1 ||
    { tail -n 40 "$work/tarball.log" >&2; fail "the README's tarball test command fails in the source tarball"; }
echo "release: in the source tarball, the build and the whole CTest suite: $(grep -o '[0-9]*% tests passed.*' "$work/tarball.log")"

# Without git, the test script says what it leaves out instead of failing
# on git's error.
(cd "$work/tarball/chipid-$version" && bash tests/run-all.sh --list) >"$work/tarball.log" 2>&1 ||
    { cat "$work/tarball.log" >&2; fail "tests/run-all.sh --list fails in the source tarball"; }
status=0
(cd "$work/tarball/chipid-$version" && bash tests/run-all.sh release) >"$work/tarball.log" 2>&1 || status=$?
((status == 1)) && grep -q "release clones the git history" "$work/tarball.log" ||
    { cat "$work/tarball.log" >&2; fail "tests/run-all.sh release in the source tarball: status $status"; }
echo "release: in the source tarball, tests/run-all.sh names its steps and leaves the release out"

# autopkgtest installs the package on this machine; it is purged afterwards.
status=0
autopkgtest "$out/chipid_${version}_$(dpkg --print-architecture).deb" "$source" -- null >"$work/autopkgtest.log" 2>&1 ||
    status=$?
dpkg --purge chipid >/dev/null 2>&1 || true
((status == 0)) || { tail -n 40 "$work/autopkgtest.log" >&2; fail "autopkgtest fails"; }
awk '/ summary$/ { on = 1; next } /^autopkgtest / { on = 0 } on' "$work/autopkgtest.log"
echo "release: ok"
