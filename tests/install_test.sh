#!/usr/bin/env bash
# cmake --install honours --prefix and DESTDIR and puts exactly the binary,
# the manual page, the installed users' README, the licence, the release
# notes and the sample list in place, and the installed chipid converts the
# installed sample list; with --strip, as the README says to install, the
# binary has no symbols.
#   install_test.sh BUILD_DIR SAMPLE_REPORT [EMULATOR...]
# SAMPLE_REPORT is examples/report.txt, the sample list's report; EMULATOR
# is what a cross build runs its programs through.
set -euo pipefail
build=$1
sample_report=$2
emulator=("${@:3}")
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

DESTDIR="$root/dest" cmake --install "$build" --prefix /opt/chipid --strip >/dev/null
expected="./opt/chipid/bin/chipid
./opt/chipid/share/doc/chipid/LICENSE
./opt/chipid/share/doc/chipid/NEWS.md
./opt/chipid/share/doc/chipid/README
./opt/chipid/share/doc/chipid/examples/examples.txt
./opt/chipid/share/man/man1/chipid.1"
actual=$(cd "$root/dest" && find . -type f | sort)
if [[ $actual != "$expected" ]]; then
    printf 'installed files differ; expected:\n%s\ngot:\n%s\n' "$expected" "$actual" >&2
    exit 1
fi
[[ -x $root/dest/opt/chipid/bin/chipid ]] || { echo "chipid is not executable" >&2; exit 1; }
sections=$(readelf -S "$root/dest/opt/chipid/bin/chipid")
[[ $sections != *.symtab* ]] ||
    { echo "--strip left the symbol table in chipid" >&2; exit 1; }
grep -q "^chipid [0-9]" "$root/dest/opt/chipid/share/doc/chipid/README" ||
    { echo "the installed README has no version" >&2; exit 1; }
# The first run that the README and the manual page show.
(cd "$root/dest/opt/chipid/share/doc/chipid/examples" && "${emulator[@]}" ../../../../bin/chipid) \
    >"$root/report.txt" 2>&1 || true
cmp "$root/report.txt" "$sample_report" ||
    { echo "the installed chipid on the installed sample list wrote:" >&2; cat "$root/report.txt" >&2; exit 1; }
echo "install: ok"
