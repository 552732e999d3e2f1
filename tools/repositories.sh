# The metadata of chipid's update channels, an APT repository and an RPM
# repository per $basearch, made with Debian's tools from the packages in
# them, deterministic from SOURCE_DATE_EPOCH; and their signatures. Sourced
# by the release's repos part, tools/sign-release.sh and the release check.

# apt_metadata DIR ARCH...: DIR's Packages indexes (plain, gzip and xz, and
# by their SHA-256 as well) for every ARCH, from the .debs in DIR/pool, and
# DIR/dists/stable/Release over them. Origin, Label, Suite and Codename are
# fixed forever: apt refuses a repository whose Release changes any of
# them, and machines that added this one would stop updating.
apt_metadata() {
    local dir=$1 arch index
    shift
    rm -rf "$dir/dists"
    for arch; do
        index=$dir/dists/stable/main/binary-$arch
        mkdir -p "$index"
        (cd "$dir" && apt-ftparchive --arch "$arch" packages pool) >"$index/Packages"
        gzip -9 --no-name --keep "$index/Packages"
        xz --keep "$index/Packages"
    done
    (cd "$dir" && apt-ftparchive -o APT::FTPArchive::Release::Origin=chipid \
        -o APT::FTPArchive::Release::Label=chipid -o APT::FTPArchive::Release::Suite=stable \
        -o APT::FTPArchive::Release::Codename=chipid \
        -o "APT::FTPArchive::Release::Date=$(date -u -R -d "@$SOURCE_DATE_EPOCH")" \
        -o "APT::FTPArchive::Release::Architectures=$*" -o APT::FTPArchive::Release::Components=main \
        -o APT::FTPArchive::Release::Description="chipid's Debian packages" \
        -o APT::FTPArchive::DoByHash=true -o APT::FTPArchive::MD5=false -o APT::FTPArchive::SHA1=false \
        -o APT::FTPArchive::SHA512=false release dists/stable) >"$dir/Release.new"
    mv "$dir/Release.new" "$dir/dists/stable/Release"
}

# rpm_metadata DIR: DIR/repodata for the RPMs in DIR, with no database and
# every time SOURCE_DATE_EPOCH's, so that the same RPMs give the same bytes.
rpm_metadata() {
    rm -rf "$1/repodata"
    touch -d "@$SOURCE_DATE_EPOCH" "$1"/*.rpm
    createrepo_c --quiet --revision "$SOURCE_DATE_EPOCH" --set-timestamp-to-revision --no-database \
        --simple-md-filenames --general-compress-type=gz "$1"
}

# sign_repositories KEY DIR: signs the trees in DIR/apt and DIR/rpm with
# gpg's secret KEY, the RPMs in them signed already (rpmsign), and puts the
# public key beside them for users: apt's InRelease and Release.gpg and
# chipid-archive-keyring.asc and .gpg; each tree's repomd.xml.asc, its
# metadata made anew over the signed RPMs, dated as it was, and
# RPM-GPG-KEY-chipid.
sign_repositories() {
    local key=$1 dir=$2 tree SOURCE_DATE_EPOCH
    local gpg=(gpg --batch --yes --local-user "$key")
    "${gpg[@]}" --clearsign --output "$dir/apt/dists/stable/InRelease" "$dir/apt/dists/stable/Release"
    "${gpg[@]}" --armor --detach-sign --output "$dir/apt/dists/stable/Release.gpg" "$dir/apt/dists/stable/Release"
    gpg --batch --armor --export "$key" >"$dir/apt/chipid-archive-keyring.asc"
    gpg --batch --export "$key" >"$dir/apt/chipid-archive-keyring.gpg"
    for tree in "$dir"/rpm/*/; do
        SOURCE_DATE_EPOCH=$(sed -n 's:.*<revision>\([0-9]*\)</revision>.*:\1:p' "$tree/repodata/repomd.xml")
        rpm_metadata "${tree%/}"
        "${gpg[@]}" --armor --detach-sign --output "$tree/repodata/repomd.xml.asc" "$tree/repodata/repomd.xml"
    done
    gpg --batch --armor --export "$key" >"$dir/rpm/RPM-GPG-KEY-chipid"
}
