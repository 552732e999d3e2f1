# The portable archives of the Linux targets: the static binary, stripped,
# with the manual page, the README, the licence, the release notes and the
# sample list under one top directory. Packed with GNU tar and gzip, whose
# flags give sorted entries, owner 0/0, one time stamp and no gzip name or
# time.
archives_needs() {
    needs tar tar readelf binutils
}

archives_make() {
    local target name
    for target in "${targets[@]}"; do
        [[ $(target_field "$target" ARCHIVE) == *.tar.gz ]] || continue
        name=$(archive_name "$target")
        stage_target "$target"
        [[ $(readelf -l "$work/stage-$target/$name/bin/chipid") != *INTERP* ]] ||
            fail "the $target chipid is not static"
        tar --create --format=gnu --sort=name --owner=0 --group=0 --numeric-owner \
            --mtime="@$SOURCE_DATE_EPOCH" --mode=u=rwX,go=rX -C "$work/stage-$target" "$name" |
            gzip -9 --no-name >"$out/$name.tar.gz"
        same_report "$target" "$out/$name.tar.gz"
    done
}
