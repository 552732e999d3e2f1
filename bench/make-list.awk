# Writes a deterministic chip list of `lines` complete chip strings, about 95%
# of known lots and 5% of unknown ones. Its own generator keeps the list the
# same whichever awk runs it.
function next_random(n) {
    seed = (seed * 16807) % 2147483647
    return seed % n
}
BEGIN {
    seed = 20261210
    split("G35F72.1 G35F73.1 G35F74.1 G35F75.1 G35F76.1 G35F77.1 G35F78.1 G35F79.1 " \
          "G35F80.1 G35F81.1 G35F82.1 G35F83.1 G35F84.1 G35F85.1 G39B57.1 G39B58.1 " \
          "G35F83.2", known, " ")
    split("G35F86.1 G35F72.2 G41K12.1 H35F72.1", unknown, " ")
    for (i = 0; i < lines; i++) {
        if (next_random(100) < 95)
            lot = known[1 + next_random(17)]
        else
            lot = unknown[1 + next_random(4)]
        printf "W%07d%sA%d-%02d%04d\n", i % 10000000, lot, next_random(10), next_random(100),
            next_random(10000)
    }
}
