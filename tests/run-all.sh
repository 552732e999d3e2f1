#!/usr/bin/env bash
# Builds chipid and runs the whole test suite. Installs, as root through
# apt-get, any Debian package it needs that the machine lacks.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build g++ libgtest-dev libgmock-dev clang-14
    libclang-rt-14-dev clang-format clang-tidy groff-base man-db mandoc dpkg-dev debhelper lintian
    blhc devscripts binutils git mawk xz-utils util-linux crossbuild-essential-arm64
    qemu-user-static autopkgtest libc6:arm64 libstdc++6:arm64)
# Wait for another apt-get or dpkg to let go of its lock rather than fail.
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"; }
# The arm64 packages: the C and C++ runtimes whose symbols dpkg-shlibdeps
# reads when the arm64 package is cross-built.
if [[ " $(dpkg --print-foreign-architectures | tr '\n' ' ') " != *" arm64 "* ]]; then
    dpkg --add-architecture arm64
fi
missing=()
for package in "${packages[@]}"; do
    # Installed, with or without triggers still pending.
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
        grep -Eq '^install ok (installed|triggers-pending|triggers-awaited)$' ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    echo "== installing ${missing[*]}"
    apt_get update
    apt_get install -y --no-install-recommends "${missing[@]}"
fi

echo "== formatting"
git ls-files -z '*.cpp' '*.h' '*.c' | xargs -0 clang-format --dry-run --Werror

echo "== the tool alone builds and runs without GoogleTest"
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

echo "== build and test with g++ (warnings are errors)"
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_WERROR=ON \
    -DCHIPID_BUILD_TESTING=ON
cmake --build build-test
ctest --test-dir build-test --output-on-failure

echo "== clang-tidy on the tool's code"
clang-tidy --quiet -p build-test src/*.cpp

echo "== arm64: cross-built, the whole suite under qemu-aarch64-static"
cmake -S . -B build-arm64 -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_WERROR=ON \
    --toolchain cmake/toolchains/aarch64-linux-gnu.cmake -DCHIPID_BUILD_TESTING=ON \
    -DCHIPID_GTEST_SOURCE_DIR=/usr/src/googletest
cmake --build build-arm64
ctest --test-dir build-arm64 --output-on-failure

echo "== release: twice, compared, lintian, the executable tests on every binary, autopkgtest"
bash tests/release_test.sh . build-test build-arm64

echo "== sanitizer flags given the usual way link chipid dynamically"
cmake -S . -B build-asan-flags -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined
cmake --build build-asan-flags
(cd examples && ../build-asan-flags/chipid >../build-asan-flags/sample.out 2>&1)
head -n 1 build-asan-flags/sample.out | grep -qxF "$first_record"
echo "sanitizer flags: ok"

echo "== fuzz the conversion run for ${CHIPID_FUZZ_SECONDS:=60} s"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCHIPID_WERROR=ON \
    -DCMAKE_CXX_COMPILER=clang++-14 -DCHIPID_FUZZ=ON -DCHIPID_BUILD_TESTING=OFF
cmake --build build-fuzz
# New inputs go to a scratch corpus; the seeds in the tree stay as they are.
rm -rf build-fuzz/corpus && mkdir -p build-fuzz/corpus
build-fuzz/fuzz/conversion_run_fuzzer -max_total_time="$CHIPID_FUZZ_SECONDS" -timeout=10 \
    -rss_limit_mb=2048 -artifact_prefix=build-fuzz/ -print_final_stats=1 \
    build-fuzz/corpus fuzz/corpus

echo "== benchmark programs agree"
bash bench/run.sh --check-only 20000
bash bench/startup.sh --check-only

echo "== build and test with clang, AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCHIPID_WERROR=ON \
    -DCMAKE_CXX_COMPILER=clang++-14 -DCHIPID_SANITIZE=ON -DCHIPID_BUILD_TESTING=ON
cmake --build build-sanitize
ctest --test-dir build-sanitize --output-on-failure
