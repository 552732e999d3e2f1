# Writes a deterministic chip list of `lines` complete chip strings: first
# every known lot and near misses of each (another case, the dot a hyphen,
# another last digit, which may itself be a known lot), then about 95% of
# known lots and 5% of near misses.
# Its own generator keeps the list the same whichever awk runs it.
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
    nknown = split("G35F72.1 G35F73.1 G35F74.1 G35F75.1 G35F76.1 G35F77.1 G35F78.1 G35F79.1 " \
                   "G35F80.1 G35F81.1 G35F82.1 G35F83.1 G35F84.1 G35F85.1 G39B57.1 G39B58.1 " \
                   "G35F83.2", known, " ")
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
