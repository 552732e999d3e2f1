#!/usr/bin/env bash
# Builds chipid and runs the whole test suite. Installs, as root through
# apt-get, any Debian package it needs that the machine lacks.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev)
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

echo "== build and test (warnings are errors)"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_WERROR=ON
cmake --build build/test
ctest --test-dir build/test --output-on-failure
