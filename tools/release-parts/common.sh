# What every part of the release shares: sourced by tools/release.sh after
# it has set $source and $outdir. Interruptions, the checks of the tools,
# the commit and OUTDIR, the scratch folder, clean exports of HEAD, a
# target's staged install, and the comparison of every binary's report.
# A part's failure names the part ($release_part).
fail() { echo "release: ${release_part:+$release_part: }$*" >&2; exit 1; }

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

# The tools, and the Debian package that provides each: needs TOOL PACKAGE...
needs() {
    while (($#)); do
        command -v "$1" >/dev/null || fail "$1 is missing: apt-get install $2"
        shift 2
    done
}
# The installed version of a package, or nothing.
installed_version() {
    local status
    status=$(dpkg-query -W -f='${db:Status-Abbrev}${Version}' "$1" 2>/dev/null) || return 0
    [[ $status != ii* ]] || echo "${status#ii }"
}
needs_package() {
    [[ -n $(installed_version "$1") ]] || fail "$1 is missing, which $2 needs: apt-get install $1"
}
needs git git cmake cmake ninja ninja-build g++ g++ xz xz-utils gzip gzip setsid util-linux \
    dpkg-parsechangelog dpkg-dev
mapfile -t targets < <(target_names released)
# Each foreign target's row names the packages its build and emulator need:
# cross compilers, the runtimes whose symbols dpkg-shlibdeps reads, qemu.
# A runtime for another architecture is installed at the host's version:
# apt alone would take the newest of each, which an update may not yet
# have brought to every architecture; the packages step chooses one.
for target in "${targets[@]}"; do
    target_is_native "$target" && continue
    mapfile -t packages < <(target_field "$target" PACKAGES)
    for package in "${packages[@]}"; do
        version=$(installed_version "$package")
        case $package in
            *:*)
                host_version=$(installed_version "${package%:*}:$(dpkg --print-architecture)")
                [[ -n $version ]] ||
                    fail "$package is missing, which the $target target needs: as root, bash" \
                        "tests/run-all.sh packages installs it at ${package%:*}'s version here" \
                        "(apt-get install alone may take a version the host lacks)"
                [[ $version == "$host_version" ]] ||
                    fail "$package is at $version and ${package%:*} at ${host_version:-none}: as root," \
                        "bash tests/run-all.sh packages installs one version on every architecture"
                ;;
            *) [[ -n $version ]] || fail "$package is missing, which the $target target needs: apt-get install $package" ;;
        esac
    done
done

# The commit, SOURCE_DATE_EPOCH and OUTDIR, all checked before anything is
# built; then the scratch folder, $work, and in it $out for the artefacts.
release_checks() {
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
    [[ $'\n'$(git tag --points-at HEAD)$'\n' == *$'\n'"v$version"$'\n'* ]] ||
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
    # Where every binary runs on the sample list.
    mkdir "$work/run"
    cp examples/examples.txt "$work/run/"
}

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

# A target's install, as the archive and the RPM hold it, built from an
# export of its own with the project's flags: stage_target TARGET leaves it
# in $work/stage-TARGET/$(archive_name TARGET). The Windows chipid.exe comes
# stripped from the linker: strip would stamp its header with a time.
archive_name() {
    local archive
    archive=$(target_field "$1" ARCHIVE)
    archive=${archive%.tar.gz}
    echo "chipid-$version-${archive%.zip}"
}
stage_target() {
    local target=$1 toolchain=() strip=--strip name tree
    name=$(archive_name "$target")
    tree=$work/portable-$target/chipid-$version
    target_is_native "$target" || toolchain=(--toolchain "$source/cmake/targets/$target.cmake")
    [[ $(target_field "$target" SYSTEM) != Windows ]] || strip=""
    export_tree "$tree"
    step bash -c 'cmake -S "$1" -B "$1/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_STATIC=ON \
            "${@:4}" && cmake --build "$1/build" && cmake --install "$1/build" $3 --prefix "$2"' \
        _ "$tree" "$work/stage-$target/$name" "$strip" "${toolchain[@]}" >"$work/portable-$target.log" 2>&1 ||
        { tail -n 40 "$work/portable-$target.log" >&2; fail "cannot build the $target archive"; }
    normalise_modes "$work/stage-$target"
}

# Every binary writes the same report, byte for byte, with the same status,
# as the first one: run here, or through its target's emulator.
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
        diff "$reference.$stream" "$run.$stream" >"$run.diff" || true
        head -n 20 "$run.diff" >&2
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
