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
        bare) echo "the tool alone builds and runs without GoogleTest; its tests refuse to" ;;
        native) echo "g++ build with -Werror, every CTest test (build-test)" ;;
        libcxx) echo "clang with LLVM's libc++ (cmake/libcxx.cmake), every CTest test" ;;
        tidy) echo "clang-tidy on the tool's code" ;;
        target:*) echo "cross-built for ${1#target:}, every CTest test under its emulator" ;;
        wasm) echo "WebAssembly build: the executable tests under Node, the page in headless Chromium" ;;
        release) echo "the release twice, compared, checked, the executable tests on every binary" ;;
        asan-flags) echo "sanitizer flags given the usual way link chipid dynamically, and it runs" ;;
        fuzz) echo "the fuzzer for \${CHIPID_FUZZ_SECONDS:-60} s" ;;
        bench) echo "the benchmark programs agree with chipid, byte for byte" ;;
        sanitize) echo "clang with AddressSanitizer and UndefinedBehaviorSanitizer, every CTest test" ;;
    esac
}
needs_root() { [[ $1 == packages || $1 == release ]]; }

source tools/targets.sh
foreign_targets=()
for target in $(target_names); do
    target_is_native "$target" || foreign_targets+=("$target")
done
all_steps=(packages format bare native libcxx tidy "${foreign_targets[@]/#/target:}" wasm release asan-flags fuzz
    bench sanitize)

in_git=false
git rev-parse --is-inside-work-tree >/dev/null 2>&1 && in_git=true
steps=()
left_out=()
case ${1:-} in
    --step)
        steps=("$2")
        ;;
    --list)
        for step in "${all_steps[@]}"; do printf '%-24s %s\n' "$step" "$(describe "$step")"; done
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

# Wait for another apt-get or dpkg to let go of its lock rather than fail.
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"; }
updated=false
# Installs those of the given packages that are not installed, with or
# without triggers still pending.
install_missing() {
    local package missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
            grep -Eq '^install ok (installed|triggers-pending|triggers-awaited)$' ||
            missing+=("$package")
    done
    ((${#missing[@]})) || return 0
    echo "installing ${missing[*]}"
    $updated || apt_get update
    updated=true
    apt_get install -y --no-install-recommends "${missing[@]}"
}
step_packages() {
    install_missing build-essential cmake ninja-build g++ libgtest-dev libgmock-dev clang-14 \
        libclang-rt-14-dev libc++-14-dev libc++abi-14-dev clang-format clang-tidy groff-base man-db mandoc dpkg-dev debhelper \
        lintian blhc devscripts binutils git mawk xz-utils util-linux qemu-user-static autopkgtest \
        valgrind gnupg strace time rpm rpmlint cpio wasi-libc libc++-14-dev-wasm32 \
        libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32 lld-14 nodejs chromium chromium-driver \
        python3-selenium
    # Every foreign target: the packages its row names (cross compilers, the
    # C and C++ runtimes whose symbols dpkg-shlibdeps reads when its package
    # is cross-built, its emulator), with dpkg told of their architectures.
    local target package packages=() row_packages
    for target in "${foreign_targets[@]}"; do
        mapfile -t row_packages < <(target_field "$target" PACKAGES)
        for package in "${row_packages[@]}"; do
            packages+=("$package")
            [[ $package == *:* ]] || continue
            if ! dpkg --print-foreign-architectures | grep -qx "${package#*:}"; then
                dpkg --add-architecture "${package#*:}"
                updated=false
            fi
        done
    done
    install_missing "${packages[@]}" && return
    # Say which row asks for what cannot be had.
    for target in "${foreign_targets[@]}"; do
        mapfile -t row_packages < <(target_field "$target" PACKAGES)
        for package in "${row_packages[@]}"; do
            apt-cache policy "$package" 2>/dev/null | grep -q '^ *Candidate: [^(]' ||
                echo "run-all: cmake/targets/$target.cmake names $package, which apt-get cannot" \
                    "install here" >&2
        done
    done
    return 1
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
    local target=$1
    target_build "$target"
    ctest --test-dir "build-$target" --output-on-failure -j "$(nproc)"
    if [[ $(target_field "$target" SYSTEM) == Windows ]]; then
        # The executable tests are POSIX code: the native build's run on
        # this chipid.exe, expecting what Windows does where it differs.
        native_build
        CHIPID_UNDER_TEST=$root/build-$target/chipid-under-test CHIPID_UNDER_TEST_SYSTEM=Windows \
            ctest --test-dir build-test -L executable --output-on-failure -j "$(nproc)"
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
        -DCMAKE_CXX_COMPILER=clang++-14 -DCHIPID_FUZZ=ON -DCHIPID_BUILD_TESTING=OFF
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
        -DCMAKE_CXX_COMPILER=clang++-14 -DCHIPID_SANITIZE=ON -DCHIPID_BUILD_TESTING=ON
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
