#!/usr/bin/env bash
# Benchmarks chipid against bench/chipid.awk, an awk program that writes the
# same report with the same flush after every record, and against
# bench/floor.c, the same report from the same system calls in plain C.
#
#   bash bench/run.sh [--check-only] [LINES] [RUNS]
#
# Builds chipid in build-bench, and dynamically linked in
# build-bench-dynamic, since valgrind cannot see malloc in a static binary.
# Counts chipid's heap allocations (valgrind) on 1000 and on 100000 lines
# of every kind (known and unknown lots, too short, too long, NUL, CR LF)
# and fails if the second count is larger: no line costs an allocation. Writes a deterministic list of LINES chip strings
# (default 1000000; about 95% known lots) and checks that the three
# programs write identical bytes on both streams with the same exit status,
# on it and on a list of every kind of line (bench/every-kind.sh).
# Unless --check-only, it then prints: the median wall time of each over
# RUNS rotating runs (default 7) with the report written to a file, and the
# ratios chipid/awk and chipid/floor; for chipid and awk, write system calls
# per record (strace -c, on the first 100000 lines) and peak resident memory
# (/usr/bin/time) on a thousand lines, on the list and on one 200 MB line;
# for chipid and the floor, heap allocations on 1000 and 100000 lines and
# instructions per record (callgrind: 100000 lines less 1000, over 99000
# records, so that start-up is left out). Needs mawk, valgrind, strace and
# time.
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

source bench/build.sh
build_chipid build-bench
chipid=$root/build-bench/chipid
build_chipid build-bench-dynamic -DCHIPID_STATIC=OFF
build_c floor
floor_program=$root/build-bench/floor

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/list" "$work/thousand" "$work/huge" "$work/sample" "$work/hundred-thousand"
make_list "$lines" >"$work/list/examples.txt"
make_list 1000 >"$work/thousand/examples.txt"
make_list 100000 >"$work/hundred-thousand/examples.txt"

# Heap allocations of one run in the list folder $1. A run that valgrind
# did not count fails the script rather than count as none.
heap_allocations() {
    (cd "$1" && valgrind --log-file="$work/memcheck.txt" "${@:2}" >/dev/null 2>&1) || true
    awk '/total heap usage:/ { gsub(",", "", $5); n = $5 } END { if (n == "") exit 1; print n }' \
        "$work/memcheck.txt" || { echo "bench: valgrind counted no heap use" >&2; exit 1; }
}
# Instructions of one run in the list folder $1.
instructions() {
    (cd "$1" && valgrind --tool=callgrind --callgrind-out-file=/dev/null \
        --log-file="$work/callgrind.txt" "${@:2}" >/dev/null 2>&1) || true
    awk '/Collected :/ { n = $NF } END { if (n == "") exit 1; print n }' "$work/callgrind.txt" ||
        { echo "bench: callgrind counted no instructions" >&2; exit 1; }
}

# The allocation check's lists hold every kind of line in turn.
mkdir "$work/mixed-thousand" "$work/mixed-hundred-thousand"
bash bench/every-kind.sh 1000 >"$work/mixed-thousand/examples.txt"
bash bench/every-kind.sh 100000 >"$work/mixed-hundred-thousand/examples.txt"
chipid_dynamic=$root/build-bench-dynamic/chipid
allocations_thousand=$(heap_allocations "$work/mixed-thousand" "$chipid_dynamic")
allocations_hundred_thousand=$(heap_allocations "$work/mixed-hundred-thousand" "$chipid_dynamic")
echo "chipid's heap allocations on every kind of line: $allocations_thousand on 1000 lines," \
    "$allocations_hundred_thousand on 100000 lines"
if ((allocations_hundred_thousand > allocations_thousand)); then
    echo "bench: chipid allocates per line ($allocations_hundred_thousand allocations on" \
        "100000 lines, $allocations_thousand on 1000)" >&2
    exit 1
fi

# Every program, same list: same bytes on each stream and the same status,
# on the timed list and on one of every kind of line.
for list in "$work/mixed-thousand" "$work/list"; do
    cd "$list"
    status_chipid=0 status_awk=0 status_floor=0
    "$chipid" >chipid.out 2>chipid.err || status_chipid=$?
    "${awk_peer[@]}" >awk.out 2>awk.err || status_awk=$?
    "$floor_program" >floor.out 2>floor.err || status_floor=$?
    for other in awk floor; do
        status_other=status_$other
        if ! cmp -s chipid.out "$other.out" || ! cmp -s chipid.err "$other.err" ||
            [[ $status_chipid != "${!status_other}" ]]; then
            echo "bench: chipid and the $other program disagree on $list" >&2
            exit 1
        fi
    done
    echo "chipid, awk and floor agree on $(wc -l <examples.txt) lines: $(wc -c <chipid.out) bytes out," \
        "$(wc -l <chipid.err) diagnostics, exit status $status_chipid"
done
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
: >floor.times
for ((i = 0; i < runs; i++)); do
    wall_ns "$chipid" >>chipid.times
    wall_ns "${awk_peer[@]}" >>awk.times
    wall_ns "$floor_program" >>floor.times
done
chipid_ns=$(median <chipid.times)
awk_ns=$(median <awk.times)
floor_ns=$(median <floor.times)

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
        command=("${awk_peer[@]}")
        ns=$awk_ns
    fi
    printf '%-7s %9s %14s %16s %16s %16s\n' "$program" \
        "$(awk -v ns="$ns" 'BEGIN { printf "%.3f", ns / 1e9 }')" \
        "$(writes_per_record "${command[@]}")" \
        "$(peak_kib "$work/thousand" "${command[@]}")" \
        "$(peak_kib "$work/list" "${command[@]}")" \
        "$(peak_kib "$work/huge" "${command[@]}")"
done
echo "floor wall (s): $(awk -v ns="$floor_ns" 'BEGIN { printf "%.3f", ns / 1e9 }')"
echo "ratio chipid/awk (wall): $(awk -v c="$chipid_ns" -v a="$awk_ns" \
    'BEGIN { printf "%.2f", c / a }')"
echo "ratio chipid/floor (wall): $(awk -v c="$chipid_ns" -v f="$floor_ns" \
    'BEGIN { printf "%.2f", c / f }')"
echo "write floor per record (one per known lot, two per unknown): $floor"

echo
echo "valgrind: heap allocations (dynamic build) and instructions per record" \
    "(callgrind, 100000 lines less 1000 lines, over 99000 records)"
printf '%-7s %16s %16s %14s\n' program "allocs 1e3" "allocs 1e5" "instr/record"
declare -A per_record
for program in chipid floor; do
    if [[ $program == chipid ]]; then
        counted=$chipid_dynamic
        timed=$chipid
    else
        counted=$floor_program
        timed=$floor_program
    fi
    thousand=$(instructions "$work/thousand" "$timed")
    hundred_thousand=$(instructions "$work/hundred-thousand" "$timed")
    per_record[$program]=$(awk -v a="$thousand" -v b="$hundred_thousand" \
        'BEGIN { printf "%.0f", (b - a) / 99000 }')
    printf '%-7s %16s %16s %14s\n' "$program" "$(heap_allocations "$work/thousand" "$counted")" \
        "$(heap_allocations "$work/hundred-thousand" "$counted")" "${per_record[$program]}"
done
echo "ratio chipid/floor (instructions per record):" \
    "$(awk -v c="${per_record[chipid]}" -v f="${per_record[floor]}" \
        'BEGIN { printf "%.2f", c / f }')"
