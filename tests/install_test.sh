#!/usr/bin/env bash
# cmake --install honours --prefix and DESTDIR and puts exactly the binary,
# the manual page, the installed users' README and the licence in place;
# with --strip, as the README says to install, the binary has no symbols.
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

DESTDIR="$root/dest" cmake --install "$build" --prefix /opt/chipid --strip >/dev/null
expected="./opt/chipid/bin/chipid
./opt/chipid/share/doc/chipid/LICENSE
./opt/chipid/share/doc/chipid/README
./opt/chipid/share/man/man1/chipid.1"
actual=$(cd "$root/dest" && find . -type f | sort)
if [[ $actual != "$expected" ]]; then
    printf 'installed files differ; expected:\n%s\ngot:\n%s\n' "$expected" "$actual" >&2
    exit 1
fi
[[ -x $root/dest/opt/chipid/bin/chipid ]] || { echo "chipid is not executable" >&2; exit 1; }
! readelf -S "$root/dest/opt/chipid/bin/chipid" | grep -q '\.symtab' ||
    { echo "--strip left the symbol table in chipid" >&2; exit 1; }
grep -q "^chipid [0-9]" "$root/dest/opt/chipid/share/doc/chipid/README" ||
    { echo "the installed README has no version" >&2; exit 1; }
echo "install: ok"
