# What the machine's Debian packages must be for CI and the release: one
# version of each multi-arch runtime on every architecture, and which of
# the packages named cannot be had. Sourced, not run; no function here
# changes the machine.
#
# A library that is Multi-Arch: same (libc6, libstdc++6, libgcc-s1...) is
# installed at one version on every architecture that has it. Security
# updates reach the archive's architectures one by one, so that the newest
# version of each is not always one version: asking apt for the newest of
# all fails until the last architecture has it.

# runtime_version PACKAGE HOST_ARCH INSTALLED ARCH... <MADISON
# MADISON is what `apt-cache madison` says of PACKAGE on every ARCH;
# INSTALLED is the host's installed version, or empty; the ARCHs include
# HOST_ARCH. Prints the version to install on every ARCH: the installed one
# if every ARCH has it, else the newest that every ARCH has. If none is
# common to all, it says so on standard error with each ARCH's versions,
# prints the architectures that lack the host's version most of them have,
# one per line, and returns 1.
runtime_version() {
    local package=$1 host=$2 installed=$3 name version origin arch
    shift 3
    local -A versions=()
    while IFS='|' read -r name version origin; do
        name=${name//[[:space:]]/}
        version=${version//[[:space:]]/}
        # Binary packages only: a deb-src line ends in "Sources".
        [[ $origin == *" Packages"* && ${name%%:*} == "$package" ]] || continue
        # madison names the host's architecture without a qualifier.
        arch=$host
        [[ $name != *:* ]] || arch=${name#*:}
        [[ " ${versions[$arch]:-} " == *" $version "* ]] || versions[$arch]+=" $version"
    done

    # Each of the host's versions, with the architectures that lack it; the
    # best is the one fewest lack, the newest among equals.
    local best="" best_lacking=() lacking common=()
    for version in ${versions[$host]:-}; do
        lacking=()
        for arch; do
            [[ " ${versions[$arch]:-} " == *" $version "* ]] || lacking+=("$arch")
        done
        ((${#lacking[@]})) || common+=("$version")
        if [[ -z $best ]] || ((${#lacking[@]} < ${#best_lacking[@]})) ||
            { ((${#lacking[@]} == ${#best_lacking[@]})) && dpkg --compare-versions "$version" gt "$best"; }; then
            best=$version
            best_lacking=("${lacking[@]}")
        fi
    done
    if ((${#common[@]})); then
        if [[ " ${common[*]} " == *" $installed "* ]]; then
            echo "$installed"
        else
            echo "$best"
        fi
        return 0
    fi

    {
        echo "packages: no version of $package is in the archive for every architecture in use:"
        for arch; do
            echo "  $arch:${versions[$arch]:- none}"
        done
        [[ -z $best ]] || echo "Of $host's versions, $best is on the most architectures; it is missing on:" \
            "${best_lacking[*]}"
    } >&2
    ((${#best_lacking[@]})) && printf '%s\n' "${best_lacking[@]}"
    return 1
}

# without_candidate PACKAGE...: prints those of the packages that apt has
# no candidate for, one per line. One apt-cache call for all, read whole
# before it is matched: a reader that quit at its first match would end
# apt-cache with SIGPIPE, and under pipefail every package would seem to
# have none.
without_candidate() {
    local host policy package
    host=$(dpkg --print-architecture)
    policy=$(apt-cache policy "$@" 2>/dev/null) || policy=""
    local -A candidate=()
    # apt-cache names each package as asked, less the host's architecture.
    while read -r package; do
        candidate[$package]=1
    done < <(awk '/^[^ ].*:$/ { name = substr($0, 1, length($0) - 1) }
        /^  Candidate: / && $2 != "(none)" { print name }' <<<"$policy")
    for package; do
        [[ -v candidate[${package%:"$host"}] ]] || echo "$package"
    done
}

# name_uninstallable PACKAGE...: for each of the packages that apt has no
# candidate for, each row of cmake/targets/ that names it, or else that a
# step needs it (tools/targets.sh sourced).
name_uninstallable() {
    local package target named
    for package in $(without_candidate "$@"); do
        named=false
        for target in $(target_names); do
            [[ $'\n'$(target_field "$target" PACKAGES)$'\n' == *$'\n'"$package"$'\n'* ]] || continue
            echo "cmake/targets/$target.cmake names $package, which apt-get cannot install here"
            named=true
        done
        $named || echo "tests/run-all.sh needs $package, which apt-get cannot install here"
    done
}

# runtime_pins NAME:ARCH...: the rows' packages for foreign architectures.
# Prints NAME:ARCH=VERSION, one per line, for each of them and each
# multi-arch runtime they depend on, on every architecture in use (the
# host's, theirs, and any that has it installed), at the version that
# runtime_version chooses; where the host's installed version is another,
# also the host's installed packages built from the same source at that
# version, which move with it. Needs apt's package lists. Returns 1, having
# said why on standard error, where a runtime has no version common to all.
runtime_pins() {
    local host package arch archs=() depends name names runtimes in_use madison installed version
    local status=0 source sibling target
    host=$(dpkg --print-architecture)
    for package; do
        arch=${package#*:}
        [[ " ${archs[*]} " == *" $arch "* ]] || archs+=("$arch")
    done
    # The packages and what they need, recursively, that are Multi-Arch:
    # same. Each apt-cache call reads every architecture's package list,
    # seconds on a machine that keeps no package cache: few calls, then.
    depends=$(apt-cache depends --recurse --important "$@")
    mapfile -t names < <(sed -n 's/^\([^ <][^:]*\).*/\1/p' <<<"$depends" | sort -u)
    mapfile -t runtimes < <(apt-cache show --no-all-versions "${names[@]}" 2>/dev/null |
        awk '/^Package: / { name = $2 } /^Multi-Arch: same$/ { print name }' | sort -u)
    # Every architecture each runtime is in use on, and what the archive has.
    local -A in_use_of=()
    local everywhere=()
    for name in "${runtimes[@]}"; do
        in_use=("$host" "${archs[@]}")
        for arch in $(dpkg-query -W -f='${db:Status-Abbrev}${Architecture}\n' "$name:*" 2>/dev/null |
            sed -n 's/^ii *//p'); do
            [[ " ${in_use[*]} " == *" $arch "* ]] || in_use+=("$arch")
        done
        in_use_of[$name]=${in_use[*]}
        everywhere+=("${in_use[@]/#/$name:}")
    done
    madison=$(apt-cache madison "${everywhere[@]}")
    for name in "${runtimes[@]}"; do
        read -ra in_use <<<"${in_use_of[$name]}"
        installed=$(dpkg-query -W -f='${db:Status-Abbrev}${Version}' "$name:$host" 2>/dev/null |
            sed -n 's/^ii *//p') || true
        if ! version=$(runtime_version "$name" "$host" "$installed" "${in_use[@]}" <<<"$madison"); then
            for arch in $version; do
                for target in $(target_names); do
                    [[ $(target_field "$target" DEB_ARCH) != "$arch" ]] ||
                        echo "packages: leave out cmake/targets/$target.cmake (move it out of the tree)" \
                            "until the archive has $name for $arch at a version the others have" >&2
                done
            done
            status=1
            continue
        fi
        for arch in "${in_use[@]}"; do
            [[ $arch == "$host" ]] || echo "$name:$arch=$version"
        done
        [[ -n $installed && $version != "$installed" ]] || continue
        echo "$name:$host=$version"
        source=$(dpkg-query -W -f='${source:Package}' "$name:$host")
        for sibling in $(dpkg-query -W -f='${db:Status-Abbrev}${source:Package} ${Version} ${binary:Package}\n' |
            awk -v source="$source" -v version="$installed" '$1 == "ii" && $2 == source && $3 == version { print $4 }'); do
            [[ ${sibling%:*} == "$name" ]] || echo "$sibling=$version"
        done
    done
    return "$status"
}
