# Builds what the benchmarks run, showing every warning of the build, and
# names the awk programs; sourced from the top of the tree.
#   build_chipid DIR [CMAKE_OPTION...]   chipid, as the README builds it
#   build_c NAME                         bench/NAME.c into build-bench/NAME,
#                                        with build-bench's chipid_facts.h
#   make_list LINES                      bench/make-list.awk's list
#   "${awk_peer[@]}"                     bench/chipid.awk on examples.txt
# The facts as their one reader gives them, checked.
bench_root=$PWD
mkdir -p build-bench
cmake -P cmake/ChipidFacts.cmake >build-bench/facts.tsv
bench_facts=$bench_root/build-bench/facts.tsv
awk_peer=(mawk -v facts="$bench_facts" -f "$bench_root/bench/facts.awk" -f "$bench_root/bench/chipid.awk" examples.txt)
make_list() {
    mawk -v facts="$bench_facts" -v lines="$1" -f "$bench_root/bench/facts.awk" -f "$bench_root/bench/make-list.awk"
}
build_chipid() {
    local log=$1/bench-build.log
    mkdir -p "$1"
    cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHIPID_BUILD_TESTING=OFF "${@:2}" \
        >"$log" 2>&1 || { cat "$log" >&2; return 1; }
    cmake --build "$1" >>"$log" 2>&1 || { cat "$log" >&2; return 1; }
    grep -iE 'warning|notice' "$log" || true
}
build_c() {
    mkdir -p build-bench
    "${CC:-cc}" -O2 -Wall -Wextra -Wpedantic -std=c11 -I build-bench/generated -o "build-bench/$1" \
        "bench/$1.c"
}
