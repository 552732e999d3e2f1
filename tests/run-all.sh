#!/usr/bin/env bash
# Builds chipid and runs the whole test suite. Installs, as root through
# apt-get, any Debian package it needs that the machine lacks.
set -euo pipefail
cd "$(dirname "$0")/.."

source tools/targets.sh
# Each section's time, printed at the end: where CI's time goes.
timings=()
section_name=""
section_start=$SECONDS
section() {
    [[ -z $section_name ]] || timings+=("$(printf '%5d s  %s' $((SECONDS - section_start)) "$section_name")")
    section_name=$1
    section_start=$SECONDS
    [[ -z $section_name ]] || echo "== $section_name"
}
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
    if ((${#missing[@]})); then
        echo "installing ${missing[*]}"
        $updated || apt_get update
        updated=true
        apt_get install -y --no-install-recommends "${missing[@]}"
    fi
}
section "installing what the machine lacks"
install_missing build-essential cmake ninja-build g++ libgtest-dev libgmock-dev clang-14 \
    libclang-rt-14-dev clang-format clang-tidy groff-base man-db mandoc dpkg-dev debhelper \
    lintian blhc devscripts binutils git mawk xz-utils util-linux qemu-user-static autopkgtest \
    valgrind gnupg
# Every foreign target: the packages its row names (cross compilers, the C
# and C++ runtimes whose symbols dpkg-shlibdeps reads when its package is
# cross-built, its emulator), with dpkg told of their architectures.
foreign_targets=()
target_packages=()
for target in $(target_names); do
    target_is_native "$target" && continue
    foreign_targets+=("$target")
    for package in $(target_field "$target" PACKAGES); do
        target_packages+=("$package")
        [[ $package == *:* ]] || continue
        if [[ " $(dpkg --print-foreign-architectures | tr '\n' ' ') " != *" ${package#*:} "* ]]; then
            dpkg --add-architecture "${package#*:}"
            updated=false
        fi
    done
done
install_missing "${target_packages[@]}"

section "formatting"
git ls-files -z '*.cpp' '*.h' '*.c' | xargs -0 clang-format --dry-run --Werror

section "the tool alone builds and runs without GoogleTest"
cmake -S . -B build-bare -G Ninja -DCHIPID_WERROR=ON -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON --no-warn-unused-cli
cmake --build build-bare
first_record=' nchips 0 chipStr W07A0312G35F72.1A1-030042 lot-id G35F72.1 serialNum 0042 6-digit-id: 720042'
# The whole report to a file: a reader that leaves early would end chipid
# with SIGPIPE.
(cd examples && ../build-bare/chipid >../build-bare/sample.out)
head -n 1 build-bare/sample.out | grep -qxF "$first_record"
echo "bare build: ok"
# Asked for, tests without GoogleTest fail loudly at configure time.
if cmake -S . -B build-bare-tests -G Ninja -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
    -DCHIPID_BUILD_TESTING=ON >build-bare-tests.log 2>&1; then
    echo "configuring the tests without GoogleTest succeeded" >&2
    exit 1
fi
rm -rf build-bare-tests build-bare-tests.log

section "build and test with g++ (warnings are errors)"
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_WERROR=ON \
    -DCHIPID_BUILD_TESTING=ON
cmake --build build-test
ctest --test-dir build-test --output-on-failure -j "$(nproc)"

section "clang-tidy on the tool's code"
clang-tidy --quiet -p build-test src/*.cpp

# Windows programs run under wine, in a temporary prefix whose wineserver
# alone is stopped at the end.
wine_home=$(mktemp -d)
export WINEPREFIX=$wine_home/prefix
trap 'bash tools/wine-run.sh --stop; rm -rf "$wine_home"' EXIT

# Each foreign target once: cross-built, the whole suite under its emulator.
for target in "${foreign_targets[@]}"; do
    section "$target: cross-built, the whole suite under $(target_field "$target" EMULATOR)"
    cmake -S . -B "build-$target" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_WERROR=ON \
        --toolchain "cmake/targets/$target.cmake" -DCHIPID_BUILD_TESTING=ON \
        -DCHIPID_GTEST_SOURCE_DIR=/usr/src/googletest
    cmake --build "build-$target"
    ctest --test-dir "build-$target" --output-on-failure -j "$(nproc)"
    if [[ $(target_field "$target" SYSTEM) == Windows ]]; then
        # The executable tests are POSIX code: the native build's run on this
        # chipid.exe, expecting what Windows does where it differs.
        CHIPID_UNDER_TEST=$PWD/build-$target/chipid-under-test CHIPID_UNDER_TEST_SYSTEM=Windows \
            ctest --test-dir build-test -L executable --output-on-failure -j "$(nproc)"
    fi
done

section "release: twice, compared, lintian, the executable tests on every binary, autopkgtest"
bash tests/release_test.sh . build-test

section "sanitizer flags given the usual way link chipid dynamically"
cmake -S . -B build-asan-flags -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined
cmake --build build-asan-flags
(cd examples && ../build-asan-flags/chipid >../build-asan-flags/sample.out 2>&1)
head -n 1 build-asan-flags/sample.out | grep -qxF "$first_record"
echo "sanitizer flags: ok"

section "fuzz the conversion run for ${CHIPID_FUZZ_SECONDS:=60} s"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCHIPID_WERROR=ON \
    -DCMAKE_CXX_COMPILER=clang++-14 -DCHIPID_FUZZ=ON -DCHIPID_BUILD_TESTING=OFF
cmake --build build-fuzz
# New inputs go to a scratch corpus; the seeds in the tree stay as they are.
rm -rf build-fuzz/corpus && mkdir -p build-fuzz/corpus
build-fuzz/fuzz/conversion_run_fuzzer -max_total_time="$CHIPID_FUZZ_SECONDS" -timeout=10 \
    -rss_limit_mb=2048 -artifact_prefix=build-fuzz/ -print_final_stats=1 \
    build-fuzz/corpus fuzz/corpus

section "benchmark programs agree"
bash bench/run.sh --check-only 20000
bash bench/startup.sh --check-only

section "build and test with clang, AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCHIPID_WERROR=ON \
    -DCMAKE_CXX_COMPILER=clang++-14 -DCHIPID_SANITIZE=ON -DCHIPID_BUILD_TESTING=ON
cmake --build build-sanitize
ctest --test-dir build-sanitize --output-on-failure -j "$(nproc)"

section ""
echo "== time: $SECONDS s in all"
printf '%s\n' "${timings[@]}"
