#!/usr/bin/env bash
# tools/packages.sh on apt's answers: the version of a multi-arch runtime
# chosen from `apt-cache madison` outputs recorded in tests/packages/, and
# the packages blamed when apt cannot install, from a stand-in apt-cache.
# No apt call, no change to the machine.
#   packages_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "packages: $*" >&2
    failed=1
}
source "$source_dir/tools/packages.sh"

# runtime_version, one case a line: what the case is; the recorded madison
# output; the host's installed version; the architectures in use, amd64
# (the host) first; the status; the output: the version, or the
# architectures to leave out.
while IFS='|' read -r what madison installed architectures status expected; do
    [[ -n $what && $what != \#* ]] || continue
    actual_status=0
    read -ra architectures <<<"$architectures"
    actual=$(runtime_version libc6 amd64 "$installed" "${architectures[@]}" \
        <"$source_dir/tests/packages/$madison" 2>"$work/stderr") || actual_status=$?
    [[ $actual_status == "$status" && $actual == "$expected" ]] ||
        fail "$what: status $actual_status, '$actual'; expected status $status, '$expected'"
done <<'EOF'
# Today: u15 for five architectures, u14 for armel and s390x.
host at u14, which every architecture has|libc6-bookworm.madison|2.36-9+deb12u14|amd64 arm64 armel armhf i386 ppc64el s390x|0|2.36-9+deb12u14
host ahead of armel and s390x: back to u14|libc6-bookworm.madison|2.36-9+deb12u15|amd64 arm64 armel armhf i386 ppc64el s390x|0|2.36-9+deb12u14
host ahead, no architecture in use lags|libc6-bookworm.madison|2.36-9+deb12u15|amd64 arm64 armhf i386 ppc64el|0|2.36-9+deb12u15
host behind, its version everywhere: it stays|libc6-bookworm.madison|2.36-9+deb12u14|amd64 arm64 armhf|0|2.36-9+deb12u14
host at a version gone from the archive|libc6-bookworm.madison|2.36-9+deb12u13|amd64 arm64 armhf|0|2.36-9+deb12u15
not installed on the host|libc6-bookworm.madison||amd64 armel|0|2.36-9+deb12u14
the host alone|libc6-bookworm.madison|2.36-9+deb12u14|amd64|0|2.36-9+deb12u14
no version common to all: armel to leave out|libc6-no-common.madison|2.36-9+deb12u14|amd64 arm64 armel s390x|1|armel
an architecture the archive lacks|libc6-bookworm.madison|2.36-9+deb12u14|amd64 mips64el|1|mips64el
EOF

# With no common version, standard error names the package, and each
# architecture with its versions.
runtime_version libc6 amd64 2.36-9+deb12u14 amd64 arm64 armel s390x \
    <"$source_dir/tests/packages/libc6-no-common.madison" >/dev/null 2>"$work/stderr" || true
expected="packages: no version of libc6 is in the archive for every architecture in use:
  amd64: 2.36-9+deb12u15 2.36-9+deb12u14
  arm64: 2.36-9+deb12u15 2.36-9+deb12u14
  armel: 2.36-9+deb12u13
  s390x: 2.36-9+deb12u14
Of amd64's versions, 2.36-9+deb12u14 is on the most architectures; it is missing on: armel"
[[ $(<"$work/stderr") == "$expected" ]] || fail "no common version: said '$(<"$work/stderr")'"

# The packages apt cannot install: a stand-in apt-cache answers as apt's
# does, with a candidate and a long version table for every package but
# two: one that does not exist (no answer) and one that exists with no
# candidate. A reader that quit at the candidate line would end it with
# SIGPIPE, and blame every package.
mkdir "$work/bin"
cat >"$work/bin/apt-cache" <<'EOF'
#!/bin/sh
[ "$1" = policy ] || exit 1
shift
host=$(dpkg --print-architecture)
for package; do
    case $package in
        no-such-package) continue ;;
        no-candidate) printf '%s:\n  Installed: (none)\n  Candidate: (none)\n  Version table:\n' "$package" ;;
        *)
            printf '%s:\n  Installed: (none)\n  Candidate: 1.0\n  Version table:\n' "${package%:"$host"}"
            i=0
            while [ $i -lt 2000 ]; do
                printf '     1.0 500\n        500 http://deb.debian.org/debian stable/main %s Packages\n' "$host"
                i=$((i + 1))
            done
            ;;
    esac
done
EOF
chmod +x "$work/bin/apt-cache"
# A copy of the rows with one more, which names a package that does not
# exist beside the packages that the armhf row names.
mkdir "$work/tree"
cp -R "$source_dir/cmake" "$source_dir/tools" "$work/tree/"
sed 's/^set(CHIPID_TARGET_PACKAGES \(.*\))$/set(CHIPID_TARGET_PACKAGES \1 no-such-package)/' \
    "$source_dir/cmake/targets/armhf.cmake" >"$work/tree/cmake/targets/mistyped.cmake"
grep -q no-such-package "$work/tree/cmake/targets/mistyped.cmake" || fail "no row names no-such-package"
actual=$(
    PATH=$work/bin:$PATH
    source "$work/tree/tools/targets.sh"
    mapfile -t packages < <(for target in $(target_names); do target_field "$target" PACKAGES; done)
    name_uninstallable "${packages[@]}" no-candidate "libc6:$(dpkg --print-architecture)"
)
expected="cmake/targets/mistyped.cmake names no-such-package, which apt-get cannot install here
tests/run-all.sh needs no-candidate, which apt-get cannot install here"
[[ $actual == "$expected" ]] || fail "blamed: '$actual'; expected '$expected'"

((failed == 0)) || exit 1
echo "packages: ok"
