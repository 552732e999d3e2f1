#!/usr/bin/env bash
# Builds chipid and runs the whole test suite, step by step, as CI does:
#   bash tests/run-all.sh            every step, in order
#   bash tests/run-all.sh --list     the steps, one per line, with what each does
#   bash tests/run-all.sh STEP...    those steps alone (each builds what it needs)
# Every step runs, in a process of its own, whether or not one before it
# failed; each one's output goes to the terminal and to build-logs/STEP.log.
# The run ends with a table of the steps, each passed, failed or left out
# (and why), with its minutes, and exits 1 if any failed, naming its log.
# The steps "packages" and "release" need root: the first installs what
# the machine lacks with apt-get, the second installs and removes the
# package and releases as a second user. Outside a git work tree (an
# unpacked source tarball) "release", which clones the history, is left
# out and said so. In CI (CI=true) a step left out fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# The steps, in the order that every step's run takes them; a foreign
# target's step is "target:NAME".
describe() {
    case $1 in
        packages) echo "install, as root with apt-get, the Debian packages the steps need" ;;
        format) echo "clang-format finds nothing to change" ;;
        bare) echo "the tool alone builds and runs without GoogleTest; its tests refuse to configure" ;;
        native) echo "g++ build with -Werror, every CTest test (build-test)" ;;
        libcxx) echo "clang with LLVM's libc++ (cmake/libcxx.cmake), every CTest test" ;;
        tidy) echo "clang-tidy on the tool's code" ;;
        debian13) echo "in a Debian 13 chroot: packages bare native libcxx tidy deb" ;;
        deb) echo "the native .deb: dpkg-buildpackage, lintian, autopkgtest (by name, and in debian13)" ;;
        target:*) echo "cross-built for ${1#target:}, every CTest test under its emulator" ;;
        wasm) echo "WebAssembly build: the executable tests under Node, the page in headless Chromium" ;;
        release) echo "the release twice, compared, checked, the executable tests on every binary" ;;
        asan-flags) echo "sanitizer flags given the usual way link chipid dynamically, and it runs" ;;
        fuzz) echo "the fuzzer for \${CHIPID_FUZZ_SECONDS:-60} s" ;;
        bench) echo "the benchmark programs agree with chipid, byte for byte" ;;
        sanitize) echo "clang with AddressSanitizer and UndefinedBehaviorSanitizer, every CTest test" ;;
    esac
}
needs_root() { [[ $1 == packages || $1 == release || $1 == deb || $1 == debian13 ]]; }

source tools/targets.sh
foreign_targets=()
for target in $(target_names); do
    target_is_native "$target" || foreign_targets+=("$target")
done
all_steps=(packages format bare native libcxx tidy debian13 "${foreign_targets[@]/#/target:}" wasm release
    asan-flags fuzz bench sanitize)
# Steps that run only when named.
named_steps=(deb)

in_git=false
git rev-parse --is-inside-work-tree >/dev/null 2>&1 && in_git=true
steps=()
left_out=()
case ${1:-} in
    --step)
        steps=("$2")
        ;;
    --list)
        for step in "${all_steps[@]}" "${named_steps[@]}"; do printf '%-24s %s\n' "$step" "$(describe "$step")"; done
        exit 0
        ;;
    "")
        for step in "${all_steps[@]}"; do
            if [[ $step == release ]] && ! $in_git; then
                left_out+=("release:it clones and tags the git history, and this is no git work tree")
            elif needs_root "$step" && ((EUID != 0)); then
                left_out+=("$step:it needs root")
            else
                steps+=("$step")
            fi
        done
        ;;
    *)
        for step in "$@"; do
            [[ -n $(describe "$step") ]] && [[ $step != target:* || " ${all_steps[*]} " == *" $step "* ]] ||
                { echo "run-all: no step '$step'; bash tests/run-all.sh --list names them" >&2; exit 2; }
            [[ $step != release ]] || $in_git ||
                { echo "run-all: release clones the git history: run it in a clone" >&2; exit 1; }
            steps+=("$step")
        done
        ;;
esac
if ((EUID != 0)); then
    for step in "${steps[@]}"; do
        if needs_root "$step"; then
            echo "run-all: the step '$step' needs root ($(describe "$step")): run as root, or name" \
                "the other steps (bash tests/run-all.sh --list)" >&2
            exit 1
        fi
    done
fi

# What each step needs from Debian: packages_for STEP CLANG prints its
# packages, where CLANG is the version of the clang that the clang builds
# take (cmake/clang.cmake), whose companions Debian names by it.
packages_for() {
    local step=$1 clang=$2 target
    local build=(build-essential cmake ninja-build)
    local tests=("${build[@]}" libgtest-dev libgmock-dev groff-base man-db mandoc binutils mawk git dpkg-dev)
    case $step in
        format) echo clang-format ;;
        bare | asan-flags) echo "${build[@]}" ;;
        native) echo "${tests[@]}" ;;
        libcxx) echo "${tests[@]}" "clang-$clang" "libc++-$clang-dev" "libc++abi-$clang-dev" ;;
        tidy) echo "${tests[@]}" clang-tidy ;;
        target:*) echo "${tests[@]}" "$(target_field "${step#target:}" PACKAGES)" ;;
        wasm)
            echo "${tests[@]}" "clang-$clang" "lld-$clang" "llvm-$clang" wasi-libc "libc++-$clang-dev-wasm32" \
                "libc++abi-$clang-dev-wasm32" "libclang-rt-$clang-dev-wasm32" nodejs chromium chromium-driver \
                python3-selenium
            ;;
        release)
            for target in $(target_names released); do
                target_is_native "$target" || packages_for "target:$target" "$clang"
            done
            packages_for wasm "$clang"
            echo debhelper lintian blhc devscripts xz-utils util-linux autopkgtest gnupg rpm rpmlint cpio \
                apt-utils createrepo-c dnf zypper python3
            ;;
        fuzz | sanitize) echo "${tests[@]}" "clang-$clang" "libclang-rt-$clang-dev" ;;
        bench) echo "${build[@]}" mawk valgrind strace time ;;
        debian13) echo debootstrap ;;
        deb) echo "${build[@]}" debhelper lintian autopkgtest ;;
    esac
}

# Wait for another apt-get or dpkg to let go of its lock rather than fail.
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"; }
installed() {
    local status
    status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null) || return 1
    [[ $status == ii* ]]
}
# Installs what the other steps of the run need (every step's, if it runs
# alone), in one apt call: one that installs a multi-arch runtime for one
# architecture and not for another, if at all, at one version everywhere.
step_packages() {
    local step steps=() clang target package packages=() missing=() foreign=() pins=()
    local run
    read -ra run <<<"${CHIPID_RUN_STEPS:-}"
    [[ -n ${run[*]} && ${run[*]} != packages ]] || run=("${all_steps[@]}")
    for step in "${run[@]}"; do
        [[ $step == packages ]] || steps+=("$step")
    done
    source tools/packages.sh

    # The rows' packages for a foreign architecture need it known to dpkg.
    for step in "${steps[@]}"; do
        [[ $step == target:* || $step == release ]] || continue
        for target in "${foreign_targets[@]}"; do
            [[ $step == release || $step == "target:$target" ]] || continue
            for package in $(target_field "$target" PACKAGES); do
                [[ $package == *:* && " ${foreign[*]} " != *" $package "* ]] || continue
                foreign+=("$package")
                [[ " $(dpkg --print-foreign-architectures | tr '\n' ' ') " == *" ${package#*:} "* ]] ||
                    dpkg --add-architecture "${package#*:}"
            done
        done
    done
    # The clang that the clang builds will take; on a machine with none yet,
    # the one the distribution's clang package stands for.
    clang=$(cmake -P cmake/clang.cmake)
    local updated=false
    if [[ -z $clang ]]; then
        apt_get update
        updated=true
        clang=$(apt-cache depends clang | sed -n 's/^ *Depends: clang-\([0-9]*\)$/\1/p')
        [[ -n $clang ]] || { echo "packages: the distribution's clang package names no clang-N" >&2; return 1; }
    fi
    echo "packages: for ${steps[*]}, with clang $clang"
    for step in "${steps[@]}"; do
        for package in $(packages_for "$step" "$clang"); do
            [[ " ${packages[*]} " == *" $package "* ]] || packages+=("$package")
        done
    done
    for package in "${packages[@]}"; do
        installed "$package" || missing+=("$package")
    done
    ((${#missing[@]})) || { echo "packages: all installed"; return 0; }
    echo "packages: installing ${missing[*]}"
    $updated || apt_get update

    # The multi-arch runtimes at one version on every architecture.
    if ((${#foreign[@]})); then
        local chosen i
        chosen=$(runtime_pins "${foreign[@]}") || return 1
        mapfile -t pins <<<"$chosen"
        echo "packages: the multi-arch runtimes, at one version everywhere: ${pins[*]}"
        # A package asked for by name and pinned is asked for once, pinned.
        for package in "${pins[@]}"; do
            for i in "${!missing[@]}"; do
                [[ ${missing[i]} != "${package%=*}" ]] || unset 'missing[i]'
            done
        done
    fi
    local log status=0
    log=$(mktemp)
    apt_get install -y --no-install-recommends --allow-downgrades "${missing[@]}" "${pins[@]}" 2>&1 |
        tee "$log" || status=${PIPESTATUS[0]}
    if ((status != 0)); then
        # apt's own account first, then the packages that really have no
        # candidate, each with the row that names it.
        echo "packages: apt-get install failed, saying:" >&2
        awk '/unmet dependencies/ { on = 1 } on || /^E: /' "$log" >&2
        name_uninstallable "${missing[@]}" | sed 's/^/packages: /' >&2
    fi
    rm -f "$log"
    return "$status"
}

step_format() {
    local sources
    if $in_git; then
        sources=$(git ls-files '*.cpp' '*.h' '*.c')
    else
        sources=$(find src tests fuzz bench -name '*.cpp' -o -name '*.h' -o -name '*.c')
    fi
    xargs -d '\n' clang-format --dry-run --Werror <<<"$sources"
}

# A chipid's report on the sample list, both streams in one, is the one
# examples/report.txt keeps (a file, not a pipe: a reader that leaves early
# would end chipid with SIGPIPE).
writes_the_sample_report() {
    (cd examples && "$root/$1" >"$root/$1.sample" 2>&1) || true
    cmp "$1.sample" examples/report.txt
}
step_bare() {
    cmake -S . -B build-bare -G Ninja -DCHIPID_WERROR=ON -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
        --no-warn-unused-cli
    cmake --build build-bare
    writes_the_sample_report build-bare/chipid
    echo "bare build: ok"
    # Asked for, tests without GoogleTest fail loudly at configure time.
    if cmake -S . -B build-bare-tests -G Ninja -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
        -DCHIPID_BUILD_TESTING=ON >build-bare-tests.log 2>&1; then
        echo "configuring the tests without GoogleTest succeeded" >&2
        return 1
    fi
    rm -rf build-bare-tests build-bare-tests.log
}

native_build() {
    cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_WERROR=ON \
        -DCHIPID_BUILD_TESTING=ON
    cmake --build build-test
}
step_native() {
    native_build
    ctest --test-dir build-test --output-on-failure -j "$(nproc)"
}

step_libcxx() {
    cmake -S . -B build-libcxx -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_WERROR=ON \
        --toolchain cmake/libcxx.cmake -DCHIPID_BUILD_TESTING=ON
    cmake --build build-libcxx
    ctest --test-dir build-libcxx --output-on-failure -j "$(nproc)"
}

step_tidy() {
    native_build
    clang-tidy --quiet -p build-test src/*.cpp
}

# The source tree as it stands, without build trees: what git tracks or
# would track, in a clone; outside one, every file but the build trees.
copy_tree() {
    mkdir -p "$1"
    if $in_git; then
        git ls-files -z --cached --others --exclude-standard |
            tar -c --null --no-recursion --ignore-failed-read -T - 2>/dev/null
    else
        tar -c --exclude='./build*' --exclude=./debian/chipid --exclude=./debian/.debhelper .
    fi | tar -x -C "$1"
}

# The native Debian package as a packager makes it, from a copy of the
# tree: dpkg-buildpackage, lintian, and autopkgtest, which installs it on
# this machine; it is purged afterwards.
step_deb() {
    local work status=0
    work=$(mktemp -d)
    copy_tree "$work/chipid"
    (cd "$work/chipid" && dpkg-buildpackage -b -us -uc) 2>&1 | tee "$work/build.log"
    # Each hardening flag once on a compile line, whether dpkg-buildflags
    # or chipid's CMake gives it.
    awk '/ -c / {
            delete seen
            for (i = 1; i <= NF; i++)
                if ($i ~ /^-(fstack-|fcf-|mbranch-|Wformat|Werror=format|D_FORTIFY)/ && seen[$i]++ == 1) {
                    print "deb: " $i " twice: " $0
                    twice = 1
                }
        }
        END { exit twice }' "$work/build.log" >&2
    # Debian 12's lintian knows policy up to 4.6.2, and takes the package's
    # newer Standards-Version for a typing error.
    lintian --pedantic -I --fail-on error,warning,info --suppress-tags newer-standards-version \
        "$work"/chipid_*.changes || status=$?
    if ((status == 0)); then
        autopkgtest "$work"/chipid_*.deb "$work/chipid" -- null || status=$?
        dpkg --purge chipid >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
    return "$status"
}

# Debian 13, as its users and developers have it: a chroot made by
# debootstrap and kept between runs in a cache folder outside the tree
# (CHIPID_CHROOT_CACHE, /var/cache/chipid by default), with the archive's
# updates. In it, on a copy of the tree: the packages the steps need, the
# README's build, the fast loop's suite, the libc++ build with Debian 13's
# clang, clang-tidy, and the native package with its autopkgtest.
step_debian13() {
    local root=${CHIPID_CHROOT_CACHE:-/var/cache/chipid}/debian13
    local mirror=${CHIPID_DEBIAN_MIRROR:-http://deb.debian.org/debian}
    [[ -n ${root%/debian13} ]] || { echo "debian13: CHIPID_CHROOT_CACHE is empty" >&2; return 1; }
    if [[ ! -e $root/.chipid-ready ]]; then
        rm -rf "$root"
        mkdir -p "$root"
        debootstrap --variant=buildd trixie "$root" "$mirror"
        touch "$root/.chipid-ready"
    fi
    echo "debian13: the chroot in $root"
    rm -f "$root/etc/apt/sources.list"
    printf '%s\n' "Types: deb" "URIs: $mirror" "Suites: trixie trixie-updates" "Components: main" \
        "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" "" "Types: deb" \
        "URIs: ${CHIPID_DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}" \
        "Suites: trixie-security" "Components: main" \
        "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" \
        >"$root/etc/apt/sources.list.d/debian.sources"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    rm -rf "$root/build/chipid"
    copy_tree "$root/build/chipid"
    # What the chroot needs of the machine, unmounted however the step ends.
    debian13_mounts=()
    trap 'for ((i = ${#debian13_mounts[@]} - 1; i >= 0; i--)); do
        umount --recursive --lazy "${debian13_mounts[i]}"; done' EXIT
    mount -t proc proc "$root/proc" && debian13_mounts+=("$root/proc")
    mount -t sysfs sysfs "$root/sys" && debian13_mounts+=("$root/sys")
    mount --rbind /dev "$root/dev" && debian13_mounts+=("$root/dev")
    mount --make-rslave "$root/dev"
    mount -t tmpfs tmpfs "$root/tmp" && debian13_mounts+=("$root/tmp")
    in_chroot() {
        chroot "$root" env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
            HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive CI="${CI:-}" "$@"
    }
    # tests/run-all.sh reads the target rows through CMake before any step.
    in_chroot apt-get -o DPkg::Lock::Timeout=600 update
    in_chroot apt-get -o DPkg::Lock::Timeout=600 dist-upgrade -y
    in_chroot apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends cmake
    in_chroot bash -c 'cd /build/chipid && bash tests/run-all.sh packages bare native libcxx tidy deb'
}

# Windows programs run under wine, in a temporary prefix whose wineserver
# alone is stopped at the end of the whole run.
if [[ ${1:-} != --step ]]; then
    wine_home=$(mktemp -d)
    export WINEPREFIX=$wine_home/prefix
    trap 'bash tools/wine-run.sh --stop; rm -rf "$wine_home"' EXIT
fi

target_build() {
    cmake -S . -B "build-$1" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_WERROR=ON \
        --toolchain "cmake/targets/$1.cmake" -DCHIPID_BUILD_TESTING=ON \
        -DCHIPID_GTEST_SOURCE_DIR=/usr/src/googletest
    cmake --build "build-$1"
}
step_target() {
    local target=$1 again=()
    # wine itself now and then fails a program at its start or crashes in
    # its own code under load: a test that fails there runs once more.
    [[ $(target_field "$target" SYSTEM) != Windows ]] || again=(--repeat until-pass:2)
    target_build "$target"
    ctest --test-dir "build-$target" --output-on-failure -j "$(nproc)" "${again[@]}"
    if [[ $(target_field "$target" SYSTEM) == Windows ]]; then
        # The executable tests are POSIX code: the native build's run on
        # this chipid.exe, expecting what Windows does where it differs.
        native_build
        CHIPID_UNDER_TEST=$root/build-$target/chipid-under-test CHIPID_UNDER_TEST_SYSTEM=Windows \
            ctest --test-dir build-test -L executable --output-on-failure -j "$(nproc)" "${again[@]}"
    fi
}

# The WebAssembly build: the native build's executable tests on it, under
# Node; its page driven in headless Chromium (Debian's python3, which has
# selenium, whatever python3 comes first on PATH).
wasm_build() {
    cmake -S . -B build-wasm -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_WERROR=ON \
        --toolchain cmake/wasm.cmake
    cmake --build build-wasm
}
step_wasm() {
    wasm_build
    native_build
    CHIPID_UNDER_TEST=$root/build-wasm/chipid-under-test CHIPID_UNDER_TEST_SYSTEM=WebAssembly \
        ctest --test-dir build-test -L executable --output-on-failure -j "$(nproc)"
    /usr/bin/python3 tests/page_test.py build-wasm/chipid-*.html build-test/chipid . \
        build-test/tests/chipid_cli_cases
}

# The release check runs each target's executable tests on its released
# binaries: it needs the native and every foreign released target's build.
step_release() {
    native_build
    local target
    for target in $(target_names released); do
        target_is_native "$target" || target_build "$target"
    done
    bash tests/release_test.sh . build-test
}

step_asan_flags() {
    cmake -S . -B build-asan-flags -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS=-fsanitize=address,undefined \
        -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined
    cmake --build build-asan-flags
    writes_the_sample_report build-asan-flags/chipid
    echo "sanitizer flags: ok"
}

step_fuzz() {
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCHIPID_WERROR=ON \
        --toolchain cmake/clang.cmake -DCHIPID_FUZZ=ON -DCHIPID_BUILD_TESTING=OFF
    cmake --build build-fuzz
    # New inputs go to a scratch corpus; the seeds in the tree, and the one
    # the build makes of every lot, stay as they are.
    rm -rf build-fuzz/corpus && mkdir -p build-fuzz/corpus
    build-fuzz/fuzz/conversion_run_fuzzer -max_total_time="${CHIPID_FUZZ_SECONDS:-60}" -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix=build-fuzz/ -print_final_stats=1 \
        build-fuzz/corpus fuzz/corpus build-fuzz/fuzz/seeds
}

step_bench() {
    bash bench/run.sh --check-only 20000
    bash bench/startup.sh --check-only
}

step_sanitize() {
    cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCHIPID_WERROR=ON \
        --toolchain cmake/clang.cmake -DCHIPID_SANITIZE=ON -DCHIPID_BUILD_TESTING=ON
    cmake --build build-sanitize
    ctest --test-dir build-sanitize --output-on-failure -j "$(nproc)"
}

# One step, in the process that "--step" started.
if [[ ${1:-} == --step ]]; then
    case $2 in
        target:*) step_target "${2#target:}" ;;
        *) "step_${2//-/_}" ;;
    esac
    exit 0
fi

# Every step in a process of its own, so that a failure ends that step
# alone; the table at the end says where CI's time went and what failed.
logs=$root/build-logs
mkdir -p "$logs"
rows=()
failed=()
# The packages step installs what the other steps of the run need.
export CHIPID_RUN_STEPS="${steps[*]}"
for step in "${steps[@]}"; do
    echo "== $step: $(describe "$step")"
    log=$logs/${step//:/-}.log
    start=$SECONDS
    status=0
    bash "$root/tests/run-all.sh" --step "$step" 2>&1 | tee "$log" || status=${PIPESTATUS[0]}
    minutes=$(printf '%d:%02d' $(((SECONDS - start) / 60)) $(((SECONDS - start) % 60)))
    if ((status == 0)); then
        rows+=("$(printf '%-24s %-8s %6s' "$step" passed "$minutes")")
    else
        rows+=("$(printf '%-24s %-8s %6s  status %d, log %s' "$step" FAILED "$minutes" "$status" "$log")")
        failed+=("$step")
    fi
done
for entry in "${left_out[@]}"; do
    rows+=("$(printf '%-24s %-8s %6s  %s' "${entry%%:*}" "left out" - "${entry#*:}")")
    [[ ${CI:-} != true ]] || failed+=("${entry%%:*}")
done
echo "== $((SECONDS / 60)) min in all"
printf '%-24s %-8s %6s\n' step result min:s
printf '%s\n' "${rows[@]}"
if ((${#failed[@]})); then
    echo "run-all: failed: ${failed[*]} (logs in $logs)" >&2
    exit 1
fi
