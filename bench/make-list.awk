# Writes a deterministic chip list of `lines` complete chip strings: first
# every known lot and near misses of each (another case, the dot a hyphen,
# another last digit, which may itself be a known lot), then about 95% of
# known lots and 5% of near misses.
# Its own generator keeps the list the same whichever awk runs it. The lots
# are chipid's, read with bench/facts.awk:
#   mawk -v facts=FACTS -v lines=N -f bench/facts.awk -f bench/make-list.awk
function next_random(n) {
    seed = (seed * 16807) % 2147483647
    return seed % n
}
function chip(i, lot) {
    printf "W%07d%sA%d-%02d%04d\n", i % 10000000, lot, next_random(10), next_random(100),
        next_random(10000)
}
BEGIN {
    seed = 20261210
    nknown = read_lots(known, codes)
    nmiss = 0
    for (k = 1; k <= nknown; k++) {
        miss[++nmiss] = tolower(known[k])
        miss[++nmiss] = substr(known[k], 1, 6) "-" substr(known[k], 8, 1)
        miss[++nmiss] = substr(known[k], 1, 7) ((substr(known[k], 8, 1) + 1) % 10)
    }
    i = 0
    for (k = 1; k <= nknown && i < lines; k++)
        chip(i++, known[k])
    for (k = 1; k <= nmiss && i < lines; k++)
        chip(i++, miss[k])
    for (; i < lines; i++) {
        if (next_random(100) < 95)
            chip(i, known[1 + next_random(nknown)])
        else
            chip(i, miss[1 + next_random(nmiss)])
    }
}
