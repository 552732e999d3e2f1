#!/usr/bin/env bash
# The chipid of a plain build is hardened as the Debian package is: every
# source of the tool compiled with the stack protector, stack clash
# protection, the target's control-flow protection and _FORTIFY_SOURCE; the
# executable a PIE (static or not) with read-only relocations and immediate
# binding; the binary and every object of the tool's own holding the
# control-flow instructions of its architecture: endbr64 landing pads on
# x86-64, signed return addresses (paciasp) and branch targets (bti) on
# aarch64. Reads the flags from compile_commands.json, the binary and the
# objects with readelf and objdump, since hardening-check misreads a static
# PIE.
#   hardening_test.sh BUILD_DIR
set -euo pipefail
build=$1
binary=$build/chipid
fail() { echo "hardening: $*" >&2; exit 1; }

machine=$(readelf -h "$binary" | sed -n 's/^ *Machine: *//p')
case $machine in
    *X86-64*)
        arch=x86_64 objdump=objdump branch_flag=-fcf-protection
        instructions=(endbr64)
        ;;
    AArch64)
        arch=aarch64 objdump=aarch64-linux-gnu-objdump branch_flag=-mbranch-protection=standard
        instructions=(paciasp 'bti[[:space:]]')
        ;;
    *) fail "no hardening known for a $machine binary" ;;
esac
command -v "$objdump" >/dev/null || fail "$objdump is missing"

# The tool's own sources only, not a GoogleTest built beside them.
commands=$(grep '"command"' "$build/compile_commands.json" | grep -E 'chipid(_core)?\.dir/src/')
[[ -n $commands ]] || fail "no compile command for src/"
for flag in -fstack-protector-strong -fstack-clash-protection "$branch_flag" \
    -D_FORTIFY_SOURCE=2 '-O[23s]'; do
    unhardened=$(grep -vE -- " $flag( |\")" <<<"$commands" || true)
    [[ -z $unhardened ]] || { echo "$unhardened" >&2; fail "compiled without $flag"; }
done

readelf -h "$binary" | grep -q 'Type: *DYN' || fail "not a PIE"
readelf -l "$binary" | grep -q GNU_RELRO || fail "no RELRO segment"
readelf -d "$binary" | grep -q BIND_NOW || fail "no immediate binding"
# Each object of the tool's own code has them, not only the runtime linked in.
objects=("$build"/CMakeFiles/chipid.dir/src/*.o "$build"/CMakeFiles/chipid_core.dir/src/*.o)
for file in "$binary" "${objects[@]}"; do
    disassembly=$("$objdump" -d "$file")
    for instruction in "${instructions[@]}"; do
        grep -Eq "[[:space:]]$instruction" <<<"$disassembly" ||
            fail "no $instruction instructions in $file"
    done
done
kind=static
readelf -l "$binary" | grep -q INTERP && kind=dynamic
echo "hardening: ok ($kind $arch PIE)"
