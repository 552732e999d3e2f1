#!/usr/bin/env bash
# Builds chipid and runs the whole test suite. Installs, as root through
# apt-get, any Debian package it needs that the machine lacks.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build g++ libgtest-dev libgmock-dev clang-14
    libclang-rt-14-dev clang-format clang-tidy groff-base man-db mandoc dpkg-dev debhelper lintian
    blhc devscripts binutils git mawk)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    echo "== installing ${missing[*]}"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

echo "== formatting"
git ls-files -z '*.cpp' '*.h' '*.c' | xargs -0 clang-format --dry-run --Werror

echo "== the tool alone builds and runs without GoogleTest"
cmake -S . -B build-bare -G Ninja -DCHIPID_WERROR=ON -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON
cmake --build build-bare
(cd examples && ../build-bare/chipid) | head -n 1 |
    grep -qx ' nchips 0 chipStr W07A0312G35F72.1A1-030042 lot-id G35F72.1 serialNum 0042 6-digit-id: 720042'
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

echo "== Debian package: built twice, compared, lintian, hardening"
bash tests/debian_package_test.sh . build-test

echo "== portable archive"
bash tests/portable_archive_test.sh . build-test/chipid

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
