# What each part of the release check shares: sourced first by every
# tests/release-parts/PART.sh, which tests/release_test.sh runs as a
# process of its own once the release is made and checked as a whole, with
# these exported:
#   source build    the source tree and the native test build
#   out signed      the release, and a copy of it signed with a throwaway key
#   signing_key GNUPGHOME   that key and the keyring that holds it
#   version SOURCE_DATE_EPOCH
# A part's failure names the part ($part) and ends that part alone.
set -euo pipefail
fail() { echo "release check: $part: $*" >&2; exit 1; }
work=$(mktemp -d)
chmod 755 "$work"
# Windows programs run under wine in a prefix of the part's, whose
# wineserver alone is stopped at the end; a part adds what else it started
# to stop_at_exit.
export WINEPREFIX=$work/wine
stop_at_exit=""
trap 'eval "$stop_at_exit"; bash "$source/tools/wine-run.sh" --stop; rm -rf "$work"' EXIT
source "$source/tools/targets.sh"
mapfile -t targets < <(target_names released)

# change_byte FILE OFFSET: the byte at OFFSET turned into another, its
# complement; writing a fixed byte would change nothing where it already
# stood, and a tampered case would pass by chance.
change_byte() {
    local byte
    byte=$(od -An -tu1 -j "$2" -N1 "$1")
    printf "\\$(printf %03o $((255 - byte)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# cli_tests TARGET BINARY: the executable tests, built for TARGET, on the
# released BINARY; a Windows chipid.exe by the native ones (they are POSIX
# code), through its emulator, expecting what Windows does where it differs.
cli_tests() {
    local target=$1 binary=$2 system tests runner=() emulator
    system=$(target_field "$target" SYSTEM)
    if target_is_native "$target"; then
        tests=$build/tests/chipid_cli_tests
    elif [[ $system == Windows ]]; then
        tests=$build/tests/chipid_cli_tests
        mapfile -t emulator < <(target_field "$target" EMULATOR_LINE)
        printf '#!/bin/sh\nexec %s "$@"\n' "${emulator[*]@Q} ${binary@Q}" >"$binary.under-test"
        chmod +x "$binary.under-test"
        binary=$binary.under-test
    else
        tests=$source/build-$target/tests/chipid_cli_tests
        mapfile -t runner < <(target_field "$target" EMULATOR_LINE)
    fi
    [[ -x $tests ]] || fail "no executable tests built for $target: $tests"
    run_cli_tests() {
        CHIPID_UNDER_TEST=$binary CHIPID_UNDER_TEST_SYSTEM=$system "${runner[@]}" "$tests" --gtest_brief=1 \
            >"$work/cli.log" 2>&1
    }
    run_cli_tests && return
    # wine itself now and then fails a program at its start or crashes in
    # its own code under load: the tests run once more there.
    if [[ $system == Windows ]]; then
        cat "$work/cli.log" >&2
        echo "release check: $part: the executable tests failed once under wine; once more:" >&2
        run_cli_tests && return
    fi
    cat "$work/cli.log" >&2
    fail "the executable tests fail on $binary"
}

# A command as README.md, CONTRIBUTING.md or doc/install.md write it, for
# this version.
readme_command() {
    grep -qxF -- "$1" "$source/README.md" "$source/CONTRIBUTING.md" "$source/doc/install.md" ||
        fail "none of README.md, CONTRIBUTING.md and doc/install.md says: $1"
    echo "${1//VERSION/$version}"
}
