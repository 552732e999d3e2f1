#!/usr/bin/env bash
# The release check of the RPMs: each one's signature in the signed copy,
# and what it holds, needs and does installed in a scratch root.
part=rpm
source "$(dirname "$0")/common.sh"

rpm_db=(--dbpath "$work/rpmdb")
mkdir "$work/rpmdb"
rpm_checked() { rpm -K "${rpm_db[@]}" "$1" 2>&1 | tail -n 1; }
for rpm in "$signed"/*.rpm; do
    [[ $(rpm_checked "$rpm") == *": digests SIGNATURES NOT OK" ]] ||
        fail "rpm -K without the key: $(rpm_checked "$rpm")"
done
gpg --batch --armor --export "$signing_key" >"$work/key.asc"
rpmkeys "${rpm_db[@]}" --import "$work/key.asc"
for rpm in "$signed"/*.rpm; do
    [[ $(rpm_checked "$rpm") == "$rpm: digests signatures OK" ]] || fail "rpm -K: $(rpm_checked "$rpm")"
    cp "$rpm" "$work/tampered.rpm"
    change_byte "$work/tampered.rpm" $(($(stat -c %s "$rpm") - 100))
    rpm -K "${rpm_db[@]}" "$work/tampered.rpm" >/dev/null 2>&1 && fail "rpm -K takes a changed $(basename "$rpm")"
    digests=$(rpm -qp --qf '%{SHA256HEADER}\n' "$rpm" "$out/$(basename "$rpm")" 2>/dev/null | sort -u | wc -l)
    ((digests == 1)) || fail "the signed $(basename "$rpm") has another header or payload than the unsigned one"
done
echo "release: each RPM's signature verifies, and fails on a changed byte"

# The RPMs, as an RPM packager checks them: what each holds (rpm -qpl)
# and requires (rpm -qpR: rpm's own features alone, no dynamic loader, so
# that it installs into an empty root).
# Installed into a scratch root, with rpm's own database there, its chipid
# writes the sample list's report through its target's emulator; rpm -V
# finds nothing changed; erasing it leaves no file and none of its folders.
# Installed without documentation (--excludedocs), it holds the binary and
# the licence alone.
rpm_files="/usr/bin/chipid
/usr/share/doc/chipid
/usr/share/doc/chipid/NEWS.md
/usr/share/doc/chipid/README
/usr/share/doc/chipid/examples
/usr/share/doc/chipid/examples/examples.txt
/usr/share/licenses/chipid
/usr/share/licenses/chipid/LICENSE
/usr/share/man/man1/chipid.1.gz"
rpmlib_requires="rpmlib(CompressedFileNames) <= 3.0.4-1
rpmlib(FileDigests) <= 4.6.0-1
rpmlib(PayloadFilesHavePrefix) <= 4.0-1"
# Files left in the scratch root, rpm's database aside.
left_in() { (cd "$1" && find . -path ./var/lib/rpm -prune -o ! -type d -print | LC_ALL=C sort); }
for target in "${targets[@]}"; do
    rpm_arch=$(target_field "$target" RPM_ARCH)
    [[ -n $rpm_arch ]] || continue
    rpm=$out/chipid-$version-1.$rpm_arch.rpm
    name=$(basename "$rpm")
    [[ $(rpm -qpl "$rpm" 2>/dev/null) == "$rpm_files" ]] || fail "$name holds: $(rpm -qpl "$rpm" 2>&1)"
    [[ $(rpm -qpR "$rpm" 2>/dev/null) == "$rpmlib_requires" ]] || fail "$name requires: $(rpm -qpR "$rpm" 2>&1)"
    # The scratch root is empty; a foreign architecture is foreign to this
    # machine's rpm.
    scratch=(--root "$work/rpm-root-$rpm_arch" --dbpath /var/lib/rpm)
    rpm -i "${scratch[@]}" --ignorearch "$rpm" 2>"$work/rpm.log" ||
        { cat "$work/rpm.log" >&2; fail "rpm -i $name fails in a scratch root"; }
    installed=$work/rpm-root-$rpm_arch/usr
    command=()
    target_is_native "$target" || mapfile -t command < <(target_field "$target" EMULATOR_LINE)
    (cd "$installed/share/doc/chipid/examples" && "${command[@]}" "$installed/bin/chipid" >"$work/rpm.report" 2>&1) ||
        true
    cmp -s "$work/rpm.report" "$source/examples/report.txt" ||
        fail "the chipid that $name installs writes: $(cat "$work/rpm.report")"
    verified=$(rpm -V "${scratch[@]}" --nodeps chipid 2>&1) || fail "rpm -V on $name: $verified"
    [[ -z $verified ]] || fail "rpm -V on $name: $verified"
    rpm -e "${scratch[@]}" chipid 2>"$work/rpm.log" || { cat "$work/rpm.log" >&2; fail "rpm -e $name fails"; }
    [[ -z $(left_in "$work/rpm-root-$rpm_arch") ]] ||
        fail "erasing $name leaves $(left_in "$work/rpm-root-$rpm_arch")"
    for folder in share/doc/chipid share/licenses/chipid; do
        [[ ! -e $installed/$folder ]] || fail "erasing $name leaves /usr/$folder"
    done
    rpm -i "${scratch[@]}" --ignorearch --excludedocs "$rpm" 2>"$work/rpm.log" ||
        { cat "$work/rpm.log" >&2; fail "rpm -i --excludedocs $name fails"; }
    [[ $(left_in "$work/rpm-root-$rpm_arch") == "./usr/bin/chipid
./usr/share/licenses/chipid/LICENSE" ]] || fail "$name without docs installs: $(left_in "$work/rpm-root-$rpm_arch")"
    rpm -e "${scratch[@]}" chipid 2>/dev/null
done
echo "release: each RPM holds and needs what it should, installs, runs, verifies and erases whole"

