#!/usr/bin/env bash
# chipid used as a subproject keeps out of its parent's way: the parent
# configures and builds, keeps its own build type, lists none of chipid's
# tests and installs none of chipid's files unless it asks for them with
# CHIPID_INSTALL.
#   subproject_test.sh SOURCE_DIR
set -euo pipefail
source=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "subproject: $*" >&2; exit 1; }

mkdir "$work/parent"
cat >"$work/parent/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(parent VERSION 9.9 LANGUAGES CXX)
include(CTest)
set(CPACK_PACKAGE_NAME parent)
include(CPack)
add_subdirectory("$source" chipid)
install(FILES CMakeLists.txt DESTINATION share/parent)
CMAKE

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S "$work/parent" -B "$work/build" "${generator[@]}" >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log" >&2; fail "configuring the parent fails"; }
cmake --build "$work/build" >"$work/build.log" 2>&1 ||
    { cat "$work/build.log" >&2; fail "building the parent fails"; }
[[ -x $work/build/chipid/chipid ]] || fail "chipid was not built"

build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$work/build/CMakeCache.txt")
[[ -z $build_type ]] || fail "the parent's build type is '$build_type'"
grep -q '^set(CPACK_PACKAGE_NAME "parent")' "$work/build/CPackConfig.cmake" ||
    fail "chipid overrode the parent's package settings"
tests=$(cd "$work/build" && ctest -N)
grep -q 'Total Tests: 0' <<<"$tests" || { echo "$tests" >&2; fail "the parent lists chipid's tests"; }

DESTDIR="$work/default" cmake --install "$work/build" --prefix /usr >/dev/null
installed=$(cd "$work/default" && find . -type f | sort)
[[ $installed == "./usr/share/parent/CMakeLists.txt" ]] ||
    fail "the parent's install holds more than its own file: $installed"

# Asked for, chipid's files come along.
cmake "$work/build" -DCHIPID_INSTALL=ON >/dev/null
DESTDIR="$work/asked" cmake --install "$work/build" --prefix /usr --component chipid >/dev/null
[[ -x $work/asked/usr/bin/chipid && -f $work/asked/usr/share/man/man1/chipid.1 ]] ||
    fail "CHIPID_INSTALL=ON does not install chipid"
echo "subproject: ok"
