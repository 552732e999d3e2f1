#!/usr/bin/env bash
# Writes what the RPM recipe in rpm/ repeats of facts stated elsewhere: its
# Version, the one version in debian/changelog's newest entry; its
# Packager and URL, debian/control's Maintainer and Homepage (where a
# release maker sets them, doc/releasing.md); and its %changelog, one entry per
# NEWS.md entry of that version or older, dated as that is (an entry for a
# version still to come waits for its changelog entry). Run after a new
# version's entries there.
#   bash tools/rpm-changelog.sh            rewrites the recipe
#   bash tools/rpm-changelog.sh --check    says whether the recipe is up to date
set -euo pipefail
cd "$(dirname "$0")/.."
recipe=rpm/chipid.spec
# The upstream version: a Debian revision (1.2.3-1) is the Debian package's.
version=$(sed -n '1s/^chipid (\([^)-]*\)[^)]*) .*/\1/p' debian/changelog)
maintainer=$(sed -n 's/^Maintainer: //p' debian/control)
homepage=$(sed -n 's/^Homepage: //p' debian/control)
[[ -n $version && -n $maintainer && -n $homepage ]] ||
    { echo "rpm-changelog: no version, Maintainer or Homepage" >&2; exit 1; }

# NEWS.md's entries: "## VERSION (YYYY-MM-DD)", then paragraphs and "- "
# items, continued by indented lines. Each paragraph and item becomes one
# "- " item of the entry; a % is doubled, since rpm expands macros there.
changelog() {
    LC_ALL=C awk -v maintainer="$maintainer" -v version="$version" '
        function flush() { if (item != "") print item; item = "" }
        /^## / {
            flush()
            if (!reached && $2 != version) { on = 0; next }
            reached = 1
            if (!match($0, /\([0-9]+-[0-9]+-[0-9]+\)/)) { print "bad heading: " $0 > "/dev/stderr"; exit 1 }
            split(substr($0, RSTART + 1, RLENGTH - 2), d, "-")
            cmd = "LC_ALL=C date -u -d " d[1] "-" d[2] "-" d[3] " \"+%a %b %d %Y\""
            cmd | getline day
            close(cmd)
            if (entries++) print ""
            print "* " day " " maintainer " - " $2 "-1"
            on = 1; blank = 1; next
        }
        !on { next }
        /^[[:space:]]*$/ { flush(); blank = 1; next }
        {
            gsub(/%/, "%%")
            line = $0
            if (line ~ /^- /) { flush(); item = line }
            else if (blank) { flush(); sub(/^[[:space:]]+/, "", line); item = "- " line }
            else { sub(/^[[:space:]]+/, "", line); item = item "\n  " line }
            blank = 0
        }
        END { flush() }' NEWS.md
}

expected=$(sed -e "s/^Version: .*/Version:        $version/" -e "s/^Packager: .*/Packager:       $maintainer/" \
    -e "s|^URL: .*|URL:            $homepage|" -e '/^%changelog$/q' "$recipe"
    changelog)
if [[ ${1:-} == --check ]]; then
    [[ $expected == "$(cat "$recipe")" ]] && exit 0
    diff <(cat "$recipe") <(echo "$expected") >&2 || true
    echo "rpm-changelog: $recipe does not say version $version, packager $maintainer, URL $homepage and NEWS.md's notes" \
        "(< it, > them): run bash tools/rpm-changelog.sh" >&2
    exit 1
fi
printf '%s\n' "$expected" >"$recipe"
