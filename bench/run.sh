#!/usr/bin/env bash
# Benchmarks chipid against bench/chipid.awk, an awk program that writes the
# same report with the same flush after every record.
#
#   bash bench/run.sh [--check-only] [LINES] [RUNS]
#
# Builds chipid in build-bench, writes a deterministic list of LINES chip
# strings (default 1000000; about 95% known lots), checks that both programs
# write identical bytes on both streams and the same exit status, and then,
# unless --check-only, prints for each: the median wall time over RUNS
# alternating runs (default 7) with the report written to a file, the ratio
# chipid/awk, write system calls per record (strace -c, on the first 100000
# lines) and peak resident
# memory (/usr/bin/time) on a thousand lines, on the list and on one 200 MB
# line. Needs mawk, strace and time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

check_only=false
if [[ ${1:-} == --check-only ]]; then
    check_only=true
    shift
fi
lines=${1:-1000000}
runs=${2:-7}
awk_program=(mawk -f "$root/bench/chipid.awk" examples.txt)

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_BUILD_TESTING=OFF >/dev/null
cmake --build build-bench >/dev/null
chipid=$root/build-bench/chipid

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/list" "$work/thousand" "$work/huge" "$work/sample"
mawk -v lines="$lines" -f bench/make-list.awk >"$work/list/examples.txt"
mawk -v lines=1000 -f bench/make-list.awk >"$work/thousand/examples.txt"

# Both programs, same list: same bytes on each stream and the same status.
cd "$work/list"
status_chipid=0 status_awk=0
"$chipid" >chipid.out 2>chipid.err || status_chipid=$?
"${awk_program[@]}" >awk.out 2>awk.err || status_awk=$?
if ! cmp -s chipid.out awk.out || ! cmp -s chipid.err awk.err ||
    [[ $status_chipid != "$status_awk" ]]; then
    echo "bench: chipid and the awk program disagree on $lines lines" >&2
    exit 1
fi
echo "chipid and awk agree on $lines lines: $(wc -c <chipid.out) bytes out," \
    "$(wc -l <chipid.err) diagnostics, exit status $status_chipid"
$check_only && exit 0

# Wall time of one run in nanoseconds, report to a file.
wall_ns() {
    local start end
    rm -f report.out report.err  # truncating the last run's report is not the program's cost
    start=$(date +%s%N)
    "$@" >report.out 2>report.err || true
    end=$(date +%s%N)
    echo $((end - start))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

: >chipid.times
: >awk.times
for ((i = 0; i < runs; i++)); do
    wall_ns "$chipid" >>chipid.times
    wall_ns "${awk_program[@]}" >>awk.times
done
chipid_ns=$(median <chipid.times)
awk_ns=$(median <awk.times)

# System calls are counted on the first 100000 lines at most: strace slows
# every call, and the count per record does not depend on the length.
head -n 100000 examples.txt >"$work/sample/examples.txt"
sample_lines=$(wc -l <"$work/sample/examples.txt")
writes_per_record() {
    (cd "$work/sample" && strace -f -c -e trace=write -o "$work/strace.txt" "$@" \
        >/dev/null 2>&1) || true
    awk -v records="$sample_lines" '$NF == "write" { printf "%.3f", $4 / records }' \
        "$work/strace.txt"
}
peak_kib() {
    (cd "$1" && /usr/bin/time -f %M -o "$work/time.txt" "${@:2}" >/dev/null 2>&1) || true
    tail -n 1 "$work/time.txt"
}

# One line of 200 MB, with a valid chip string after it.
{
    head -c 200000000 /dev/zero | tr '\0' x
    printf '\n%s\n' "$(head -n 1 "$work/thousand/examples.txt")"
} >"$work/huge/examples.txt"

# The floor: one write per known-lot record, two per unknown-lot record.
unknown=$(grep -c 'unknown lot' chipid.err || true)
sample_unknown=$(cd "$work/sample" && "$chipid" 2>&1 >/dev/null | grep -c 'unknown lot' || true)
floor=$(awk -v l="$sample_lines" -v u="$sample_unknown" 'BEGIN { printf "%.3f", (l + u) / l }')

echo
echo "$lines lines ($unknown of unknown lots), median of $runs alternating runs," \
    "report to a file, $(nproc) cores"
printf '%-7s %9s %14s %16s %16s %16s\n' program "wall (s)" "writes/record" \
    "peak KiB 1e3" "peak KiB list" "peak KiB 200MB"
for program in chipid awk; do
    if [[ $program == chipid ]]; then
        command=("$chipid")
        ns=$chipid_ns
    else
        command=("${awk_program[@]}")
        ns=$awk_ns
    fi
    printf '%-7s %9s %14s %16s %16s %16s\n' "$program" \
        "$(awk -v ns="$ns" 'BEGIN { printf "%.3f", ns / 1e9 }')" \
        "$(writes_per_record "${command[@]}")" \
        "$(peak_kib "$work/thousand" "${command[@]}")" \
        "$(peak_kib "$work/list" "${command[@]}")" \
        "$(peak_kib "$work/huge" "${command[@]}")"
done
echo "ratio chipid/awk (wall): $(awk -v c="$chipid_ns" -v a="$awk_ns" \
    'BEGIN { printf "%.2f", c / a }')"
echo "write floor per record (one per known lot, two per unknown): $floor"
