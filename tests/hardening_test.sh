#!/usr/bin/env bash
# The chipid of a plain build is hardened as the Debian package is, and as
# its target's row in cmake/targets/ asks: every source of the tool
# compiled with the stack protector, stack clash protection, the target's
# control-flow flag and, in an optimised build, _FORTIFY_SOURCE (which
# needs the optimiser, so that a Debug build has none); the executable with read-only
# relocations, a PIE (static or not) unless the row links it static and
# not position-independent, with immediate binding wherever it has dynamic
# relocations to bind; the row's control-flow instructions in the binary
# and in every object of the tool's own. Reads the flags from
# compile_commands.json, the binary and the objects with readelf and
# objdump, since hardening-check misreads a static PIE. A Windows chipid.exe
# imports only Windows' own DLLs, and has high-entropy address space layout
# randomisation, no execution of data and no time stamp.
#   hardening_test.sh CHIPID OBJDUMP --optimised=yes|no --static=KIND --control-flow=FLAG [INSTRUCTION...]
# CHIPID is the built executable, in its build tree; --optimised says
# whether its build type optimises (Release, RelWithDebInfo, MinSizeRel).
# KIND is the row's static linking (static-pie or static); FLAG and the
# instructions may be empty where the target has no control-flow protection.
set -euo pipefail
binary=$1
build=$(dirname "$binary")
objdump=$2
optimised=${3#--optimised=}
static_kind=${4#--static=}
branch_flag=${5#--control-flow=}
instructions=("${@:6}")
fail() { echo "hardening: $*" >&2; exit 1; }
command -v "$objdump" >/dev/null || fail "$objdump is missing"

# The tool's own sources only, not a GoogleTest built beside them.
commands=$(grep '"command"' "$build/compile_commands.json" | grep -E 'chipid(_core)?\.dir/src/')
[[ -n $commands ]] || fail "no compile command for src/"
fortified=()
[[ $optimised == no ]] || fortified=(-D_FORTIFY_SOURCE=2 '-O[23s]')
for flag in -fstack-protector-strong -fstack-clash-protection $branch_flag "${fortified[@]}"; do
    unhardened=$(grep -vE -- " $flag( |\")" <<<"$commands" || true)
    [[ -z $unhardened ]] || { echo "$unhardened" >&2; fail "compiled without $flag"; }
done

if [[ $("$objdump" -f "$binary") == *"file format pei-"* ]]; then
    headers=$("$objdump" -p "$binary")
    dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
    while read -r dll; do
        case ${dll,,} in
            kernel32.dll | msvcrt.dll | advapi32.dll) ;;
            *) fail "imports $dll, which Windows does not have of its own" ;;
        esac
    done <<<"$dlls"
    for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
        grep -qx "[[:space:]]*$flag" <<<"$headers" || fail "no $flag in DllCharacteristics"
    done
    grep -q "^Time/Date[[:space:]]*Thu Jan  1 00:00:00 1970" <<<"$headers" ||
        fail "a time stamp in the PE header: $(grep '^Time/Date' <<<"$headers")"
    echo "hardening: ok (Windows PE, imports $(tr '\n' ' ' <<<"$dlls"))"
    exit 0
fi
header=$(readelf -h "$binary")
kind=dynamic
# Each answer read whole: a grep -q that quit at its first match would end
# readelf with SIGPIPE, which pipefail takes as a failure.
program_headers=$(readelf -l "$binary")
[[ $program_headers == *INTERP* ]] || kind=$static_kind
if [[ $kind == static ]]; then
    # No loader and no dynamic relocations: nothing is bound at run time.
    grep -q 'Type: *EXEC' <<<"$header" || fail "not the static executable the row asks for"
else
    grep -q 'Type: *DYN' <<<"$header" || fail "not a PIE"
    [[ $(readelf -d "$binary") == *BIND_NOW* ]] || fail "no immediate binding"
fi
[[ $program_headers == *GNU_RELRO* ]] || fail "no RELRO segment"
# The binary holds every one of the row's instructions; each object of the
# tool's own code at least one, so that the tool's code is protected, not
# only the runtime linked in. (On aarch64 a function that signs its return
# address starts with paciasp, which is also its branch target: a small
# unit may have no bti at all.)
if ((${#instructions[@]})); then
    disassembly=$("$objdump" -d "$binary")
    for instruction in "${instructions[@]}"; do
        grep -Eq "[[:space:]]$instruction" <<<"$disassembly" ||
            fail "no $instruction instructions in $binary"
    done
    any=$(IFS='|' && echo "${instructions[*]}")
    for object in "$build"/CMakeFiles/chipid.dir/src/*.o "$build"/CMakeFiles/chipid_core.dir/src/*.o; do
        grep -Eq "[[:space:]]($any)" <<<"$("$objdump" -d "$object")" ||
            fail "none of ${instructions[*]} in $object"
    done
fi
machine=$(sed -n 's/^ *Machine: *//p' <<<"$header")
[[ $optimised != no ]] || kind+=", not optimised: no _FORTIFY_SOURCE"
echo "hardening: ok ($kind, $machine${instructions[*]:+, }${instructions[*]})"
