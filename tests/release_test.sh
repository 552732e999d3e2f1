#!/usr/bin/env bash
# The release command, checked as a user of its artefacts would: run from
# two clones of HEAD at different paths, at the same time, one by root with
# umask 022 and one by another user with umask 077, it gives the same
# SHA256SUMS, signed afterwards, verifies; the release holds what the rows
# say; the source tarball is the tracked files, and builds and passes the
# suite. Then each part of the release is checked by its file in
# tests/release-parts/, as a process of its own, so that one failing part stops
# no other: debian (packages, lintian, rebuild, autopkgtest), archives,
# windows, rpm, page; the executable tests pass on every released binary
# (foreign ones through their target's emulator).
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
trap 'rm -rf "$work"' EXIT
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
listing=$(tar -tJf "$work/chipid_$version.tar.xz")
grep -Eq '/(build|build-test|\.git)/' <<<"$listing" &&
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
ending=$(tail -n "$(wc -l <"$source/NEWS.md")" "$work/one.log")
grep -qx "## $version (.*)" <<<"$ending" ||
    fail "the release does not end with its NEWS.md entry"

# Signed afterwards, a copy, with a throwaway key in a GNUPGHOME of the
# test's own: SHA256SUMS.asc verifies, and fails over a changed byte (the
# RPMs' signatures: tests/release-parts/rpm.sh).
export GNUPGHOME=$work/gnupg
mkdir -m 700 "$GNUPGHOME"
gpg --batch --quiet --passphrase '' --quick-gen-key "chipid release test <release-test@example.org>" \
    ed25519 sign never 2>/dev/null
key=$(gpg --batch --with-colons --list-secret-keys 2>/dev/null | awk -F: '$1 == "fpr" && key == "" { key = $10 } END { print key }')
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
echo "release: signed, SHA256SUMS.asc verifies, and fails on a changed byte"

expected=$( (
    echo NEWS.md SHA256SUMS "chipid_$version.dsc" "chipid_$version.tar.xz" "chipid-$version.html" apt rpm
    echo "chipid-$version-1.src.rpm"
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
    [[ $file != *.src.rpm ]] || continue
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

export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(cd "$source" && dpkg-parsechangelog -S Timestamp)}

# The README's build command and CONTRIBUTING.md's tarball test command.
readme_command() {
    grep -qxF -- "$1" "$source/README.md" "$source/CONTRIBUTING.md" ||
        fail "neither README.md nor CONTRIBUTING.md says: $1"
    echo "${1//VERSION/$version}"
}
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

# The parts, each on its own.
signing_key=$key
export source build out signed signing_key version SOURCE_DATE_EPOCH GNUPGHOME
failed=()
for part in debian archives windows rpm page repos; do
    bash "$source/tests/release-parts/$part.sh" || failed+=("$part")
done
((${#failed[@]} == 0)) || fail "these parts fail their checks: ${failed[*]} (tests/release-parts/PART.sh)"
echo "release: ok"
