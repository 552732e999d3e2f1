# The Windows targets' zip: chipid.exe, its manual as a web page, the
# README for Windows, the sample list, the release notes and the licence in
# one folder. Packed with zip, given the entries sorted, every time set to
# SOURCE_DATE_EPOCH, and no extra fields (-X) or directory entries (-D).
# chipid.exe may import Windows' own DLLs alone; its report is checked
# under wine, in a prefix of the release's.
windows_needs() {
    needs zip zip unzip unzip
}

windows_make() {
    local target name dlls
    export WINEPREFIX=$work/wine
    for target in "${targets[@]}"; do
        [[ $(target_field "$target" ARCHIVE) == *.zip ]] || continue
        name=$(archive_name "$target")
        stage_target "$target"
        dlls=$("$(target_field "$target" TRIPLET)-objdump" -p "$work/stage-$target/$name/chipid.exe" |
            sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')
        [[ ${dlls,,} == "advapi32.dll kernel32.dll msvcrt.dll " ]] ||
            fail "the $target chipid.exe imports $dlls"
        find "$work/stage-$target" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
        (cd "$work/stage-$target" && find "$name" -type f | LC_ALL=C sort |
            TZ=UTC zip -X -D -q -9 "$out/$name.zip" -@) || fail "cannot zip the $target archive"
        same_report "$target" "$out/$name.zip"
    done
}
