#!/usr/bin/env bash
# The release check of the portable archives of the Linux targets, and of
# doc/install.md's commands for them.
part=archives
source "$(dirname "$0")/common.sh"

# The portable archives: listing, modes, owners, the binary's kind.
for target in "${targets[@]}"; do
    archive=$(target_field "$target" ARCHIVE)
    [[ $archive == *.tar.gz ]] || continue
    name=chipid-$version-${archive%.tar.gz}
    listing=$(tar -tvzf "$out/$name.tar.gz")
    names=$(awk '{ print $6 }' <<<"$listing")
    [[ $(head -n 1 <<<"$names") == "$name/" ]] || fail "$name: no top directory entry first"
    [[ $names == "$(LC_ALL=C sort <<<"$names")" ]] || fail "$name: entries not sorted"
    [[ $(awk '{ print $2 }' <<<"$listing" | sort -u) == 0/0 ]] || fail "$name: owners not 0/0"
    while read -r mode _ _ _ _ path; do
        case $path in
            */ | */bin/chipid) [[ $mode == ?rwxr-xr-x ]] ;;
            *) [[ $mode == -rw-r--r-- ]] ;;
        esac || fail "$name: $path has mode $mode"
    done <<<"$listing"
    expected_files="$name/bin/chipid
$name/share/doc/chipid/LICENSE
$name/share/doc/chipid/NEWS.md
$name/share/doc/chipid/README
$name/share/doc/chipid/examples/examples.txt
$name/share/man/man1/chipid.1"
    [[ $(grep -v '/$' <<<"$names") == "$expected_files" ]] || fail "$name holds: $names"
    mkdir -p "$work/unpacked/$target"
    tar -xzf "$out/$name.tar.gz" -C "$work/unpacked/$target"
    binary=$work/unpacked/$target/$name/bin/chipid
    header=$(readelf -h "$binary")
    machine=$(target_field "$target" ELF_MACHINE)
    grep -q "Machine: .*$machine\$" <<<"$header" || fail "$name: bin/chipid is not for $machine"
    [[ $(readelf -l "$binary") != *INTERP* ]] || fail "$name: bin/chipid has a program interpreter"
    readme=$work/unpacked/$target/$name/share/doc/chipid/README
    if [[ $(target_field "$target" STATIC) == static-pie ]]; then
        grep -q 'Type: *DYN' <<<"$header" || fail "$name: bin/chipid is not a PIE"
        grep -q "static PIE for" "$readme" || fail "$name: its README does not say it holds a static PIE"
    else
        grep -q 'Type: *EXEC' <<<"$header" || fail "$name: bin/chipid is not a static executable"
        grep -q "static executable for" "$readme" ||
            fail "$name: its README does not say it holds a static executable"
    fi
    note=$(readelf -n "$binary" | sed -n 's/^ *Packaging Metadata: //p')
    [[ $note == "{\"name\":\"chipid\",\"version\":\"$version\",\"architecture\":\"$(target_field "$target" NOTE_ARCHITECTURE)\"}" ]] ||
        fail "$name: the package note says: $note"
    cli_tests "$target" "$binary"
    echo "release: $name.tar.gz: its listing, binary, README and note; the executable tests pass"
done
# The installed README's table of machines names each released target's
# package, RPM and archive ("-" for none), as the rows say (the last
# archive's README: every archive's is the same but for its linkage).
for target in "${targets[@]}"; do
    archive=$(target_field "$target" ARCHIVE)
    [[ $archive == *.zip ]] || archive=${archive%.tar.gz}
    row="$(target_field "$target" DEB_ARCH | grep . || echo -) +$(target_field "$target" RPM_ARCH | grep . || echo -) +$archive"
    grep -Eq "[[:space:]]$row\$" "$readme" || fail "the installed README's table has no row '$row'"
done

extract=$(readme_command "tar -xzf chipid-VERSION-linux-x86_64.tar.gz")
first_run=$(readme_command "cd chipid-VERSION-linux-x86_64/share/doc/chipid/examples && ../../../../bin/chipid")
if [[ $(dpkg --print-architecture) == amd64 ]]; then
    mkdir "$work/user"
    cp "$out/chipid-$version-linux-x86_64.tar.gz" "$work/user/"
    chown -R nobody:nogroup "$work/user"
    (cd "$work/user" && setpriv --reuid=nobody --regid=nogroup --clear-groups \
        bash -c "$extract && $first_run") >"$work/user.report" 2>&1 || true
    cmp -s "$work/user.report" "$source/examples/report.txt" ||
        fail "doc/install.md's archive commands print: $(cat "$work/user.report")"
    echo "release: doc/install.md's archive commands print the sample list's report"
fi
