#!/usr/bin/env bash
# The chipid of a plain build is hardened as the Debian package is: every
# source of the tool compiled with the stack protector, stack clash and
# control-flow protection and _FORTIFY_SOURCE, and the executable a PIE
# (static or not) with read-only relocations, immediate binding and endbr64
# landing pads. Reads the flags from compile_commands.json and the binary
# with readelf and objdump, since hardening-check misreads a static PIE.
#   hardening_test.sh BUILD_DIR
set -euo pipefail
build=$1
binary=$build/chipid
fail() { echo "hardening: $*" >&2; exit 1; }

commands=$(grep '"command"' "$build/compile_commands.json" | grep '/src/')
[[ -n $commands ]] || fail "no compile command for src/"
for flag in -fstack-protector-strong -fstack-clash-protection -fcf-protection \
    -D_FORTIFY_SOURCE=2 '-O[23s]'; do
    unhardened=$(grep -vE -- " $flag( |\")" <<<"$commands" || true)
    [[ -z $unhardened ]] || { echo "$unhardened" >&2; fail "compiled without $flag"; }
done

readelf -h "$binary" | grep -q 'Type: *DYN' || fail "not a PIE"
readelf -l "$binary" | grep -q GNU_RELRO || fail "no RELRO segment"
readelf -d "$binary" | grep -q BIND_NOW || fail "no immediate binding"
objdump -d "$binary" | grep -c endbr64 >/dev/null || fail "no endbr64 landing pads"
kind=static
readelf -l "$binary" | grep -q INTERP && kind=dynamic
echo "hardening: ok ($kind PIE)"
