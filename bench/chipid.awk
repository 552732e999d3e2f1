# The same report as chipid, written the way a user would write it in awk:
# one record per line, standard output flushed after every record and
# before every diagnostic.
BEGIN {
    n = split("G35F72.1 72 G35F73.1 73 G35F74.1 74 G35F75.1 75 G35F76.1 76 " \
              "G35F77.1 77 G35F78.1 78 G35F79.1 79 G35F80.1 80 G35F81.1 81 " \
              "G35F82.1 82 G35F83.1 83 G35F84.1 84 G35F85.1 85 G39B57.1 57 " \
              "G39B58.1 58 G35F83.2 99", table, " ")
    for (i = 1; i < n; i += 2)
        lotCodes[table[i]] = table[i + 1]
    status = 0
    nul = sprintf("%c", 0)
}
{
    nchips = NR - 1
    line = $0
    sub(/\r$/, "", line)
    # A NUL ends the chip string, not the line.
    chipStr = index(line, nul) ? substr(line, 1, index(line, nul) - 1) : line
    if (length(line) > 25 || length(chipStr) < 21) {
        fflush()
        printf " nchips %d chip string too %s! \n", nchips,
            (length(line) > 25 ? "long" : "short") > "/dev/stderr"
        status = 2
        next
    }
    lotId = substr(chipStr, 9, 8)
    serialNum = substr(chipStr, 22, 4)
    printf " nchips %d chipStr %s lot-id %s serialNum %s", nchips, chipStr, lotId, serialNum
    if (lotId in lotCodes) {
        printf " 6-digit-id: %s%s\n", lotCodes[lotId], serialNum
        fflush()
    } else {
        fflush()
        printf " unknown lot! \n" > "/dev/stderr"
    }
}
END { exit status }
