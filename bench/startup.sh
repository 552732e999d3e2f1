#!/usr/bin/env bash
# Start-up benchmark: chipid on the bundled sample list, where a run is
# almost all process start-up, against the awk peer (bench/chipid.awk) and
# against bench/floor.c, a C program that writes the same bytes with the
# same system calls through raw read and write (the floor).
#
#   bash bench/startup.sh [--check-only] [ROUNDS]
#
# Builds chipid as the README's run command does (in build-bench) and the
# two C programs, checks that the three write identical bytes on both
# streams with the same exit status, and then, unless --check-only, runs
# ROUNDS rounds (default 60, after 5 warm-up rounds) in which each program
# runs once, in rotating order, output to /dev/null. Prints each program's
# median wall time and the median over the rounds of chipid's time divided
# by the program's. Needs a C compiler and mawk.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

check_only=false
if [[ ${1:-} == --check-only ]]; then
    check_only=true
    shift
fi
rounds=${1:-60}

source bench/build.sh
build_chipid build-bench
# Start-up is what linking decides: a dynamically linked chipid (a build
# without the static C and C++ libraries) would time the dynamic loader.
if [[ $(readelf -l build-bench/chipid) == *INTERP* ]]; then
    echo "bench: build-bench/chipid is linked dynamically; its start-up is not the tool's:" \
        "install the static libraries (Debian: libc6-dev and the libstdc++-N-dev of your g++) and run again" >&2
    exit 1
fi
build_c floor
build_c startup_timer

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/examples.txt "$work/"
cd "$work"
chipid=("$root/build-bench/chipid")
floor=("$root/build-bench/floor")

# The three programs, same list: same bytes on each stream, same status. On
# the sample list, on a list of every known lot and near misses of each
# (bench/make-list.awk), and on one of every kind of line.
run() {
    local name=$1 status=0
    shift
    "$@" >"$name.out" 2>"$name.err" || status=$?
    echo "$status" >"$name.status"
}
agree() {
    run chipid "${chipid[@]}"
    run awk "${awk_peer[@]}"
    run floor "${floor[@]}"
    for other in awk floor; do
        for stream in out err status; do
            cmp -s "chipid.$stream" "$other.$stream" ||
                { echo "bench: chipid and $other disagree on $1 ($stream)" >&2; exit 1; }
        done
    done
    echo "chipid, awk and floor agree on $1: $(wc -l <examples.txt) lines," \
        "$(wc -c <chipid.out) bytes out, exit status $(cat chipid.status)"
}
mkdir lots every-kind
make_list 200 >lots/examples.txt
(cd lots && agree "every lot and near misses")
bash "$root/bench/every-kind.sh" 200 >every-kind/examples.txt
(cd every-kind && agree "every kind of line")
agree "the sample list"
$check_only && exit 0

"$root/build-bench/startup_timer" "$rounds" 5 "${chipid[@]}" -- "${awk_peer[@]}" -- \
    "${floor[@]}" >times.txt
echo
echo "sample list ($(wc -l <examples.txt) lines), $rounds rounds after 5 warm-up rounds," \
    "output to /dev/null, $(nproc) cores"
printf '%-7s %16s %22s\n' program "median wall (us)" "chipid/program (ratio)"
names=(chipid awk floor)
i=0
while read -r _ micros ratio; do
    printf '%-7s %16s %22.2f\n' "${names[i]}" "$micros" "$ratio"
    i=$((i + 1))
done <times.txt
