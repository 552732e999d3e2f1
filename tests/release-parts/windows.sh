#!/usr/bin/env bash
# The release check of the Windows zips.
part=windows
source "$(dirname "$0")/common.sh"

# The Windows zip: sorted entries under one top folder, every time
# SOURCE_DATE_EPOCH's (zip keeps local time to the even second; the release
# packs in UTC), no extra fields, chipid.exe importing only Windows' own
# DLLs, with no time stamp; and the executable tests on chipid.exe.
check_zip() {
    local target=$1 name=$2 zip=$3 listing names stamp dlls
    listing=$(zipinfo -l "$zip")
    names=$(zipinfo -1 "$zip")
    [[ $names == "$(LC_ALL=C sort <<<"$names")" ]] || fail "$name.zip: entries not sorted"
    [[ $names == "$name/LICENSE.txt
$name/NEWS.md
$name/README.txt
$name/chipid.exe
$name/chipid.html
$name/examples.txt" ]] || fail "$name.zip holds: $names"
    stamp=$(TZ=UTC date -d "@$((SOURCE_DATE_EPOCH / 2 * 2))" +%y-%b-%d\ %H:%M)
    [[ $(awk 'NF == 10 { print $8, $9 }' <<<"$listing" | sort -u) == "$stamp" ]] ||
        fail "$name.zip: times are not $stamp: $(awk 'NF == 10 { print $8, $9 }' <<<"$listing" | sort -u)"
    # zipinfo's fourth column is the extra-field flag: - for none.
    [[ $(awk 'NF == 10 { print substr($5, 2, 1) }' <<<"$listing" | sort -u) == - ]] ||
        fail "$name.zip: entries with extra fields"
    mkdir -p "$work/unpacked/$target"
    (cd "$work/unpacked/$target" && unzip -q "$zip")
    local exe=$work/unpacked/$target/$name/chipid.exe
    dlls=$("$(target_field "$target" TRIPLET)-objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' |
        tr '\n' ' ')
    [[ ${dlls,,} == "advapi32.dll kernel32.dll msvcrt.dll " ]] || fail "$name: chipid.exe imports $dlls"
    grep -q 'Time/Date.*1970' <<<"$("$(target_field "$target" TRIPLET)-objdump" -p "$exe")" ||
        fail "$name: chipid.exe carries a time stamp"
    grep -q "chipid $version for Windows" "$work/unpacked/$target/$name/README.txt" ||
        fail "$name: its README is not the Windows one"
    grep -q "<title>CHIPID(1)</title>" "$work/unpacked/$target/$name/chipid.html" ||
        fail "$name: chipid.html is not the manual page"
    cli_tests "$target" "$exe"
}
for target in "${targets[@]}"; do
    archive=$(target_field "$target" ARCHIVE)
    [[ $archive == *.zip ]] || continue
    check_zip "$target" "chipid-$version-${archive%.zip}" "$out/chipid-$version-$archive"
    echo "release: $archive: its listing, times, imports, README and manual; the executable tests pass"
done
