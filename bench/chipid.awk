# The same report as chipid, written the way a user would write it in awk:
# one record per line, standard output flushed after every record and
# before every diagnostic. The lots, labels and messages are chipid's own,
# read with bench/facts.awk:
#   mawk -v facts=FACTS -f bench/facts.awk -f bench/chipid.awk examples.txt
BEGIN {
    read_lots(lotIds, lotCodes)
    read_texts(text)
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
        printf "%s%d%s", text["NCHIPS_LABEL"], nchips,
            (length(line) > 25 ? text["TOO_LONG"] : text["TOO_SHORT"]) > "/dev/stderr"
        status = 2
        next
    }
    lotId = substr(chipStr, 9, 8)
    serialNum = substr(chipStr, 22, 4)
    printf "%s%d%s%s%s%s%s%s", text["NCHIPS_LABEL"], nchips, text["CHIPSTR_LABEL"], chipStr,
        text["LOT_ID_LABEL"], lotId, text["SERIALNUM_LABEL"], serialNum
    if (lotId in lotCodes) {
        printf "%s%s%s\n", text["SIX_DIGIT_ID_LABEL"], lotCodes[lotId], serialNum
        fflush()
    } else {
        fflush()
        printf "%s", text["UNKNOWN_LOT"] > "/dev/stderr"
    }
}
END { exit status }
