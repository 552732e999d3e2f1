# Gives the benchmark's awk programs chipid's facts, as cmake/ChipidFacts.cmake,
# their one reader, writes them: a build's generated/facts.tsv, or what
# `cmake -P cmake/ChipidFacts.cmake` prints, given as -v facts=FILE. Load it
# before them (mawk -f bench/facts.awk -f ...).
#   read_lots(ids, codes)  ids[1..n] in the table's order, codes[id]; returns n
#   read_texts(texts)      texts[NAME], each message with its newline
function facts_given() {
    if (facts == "") {
        print "bench: give chipid's facts as -v facts=FILE" > "/dev/stderr"
        exit 2
    }
}
function facts_fields(line, field) {
    # A text holds no tab, and may hold anything else.
    split(line, field, "\t")
    field[3] = substr(line, length(field[1]) + length(field[2]) + 3)
}
function read_lots(ids, codes,    line, field, n) {
    facts_given()
    n = 0
    while ((getline line < facts) > 0) {
        facts_fields(line, field)
        if (field[1] != "lot")
            continue
        ids[++n] = field[2]
        codes[field[2]] = field[3]
    }
    close(facts)
    if (n == 0) {
        print "bench: no lots in " facts > "/dev/stderr"
        exit 2
    }
    return n
}
function read_texts(texts,    line, field) {
    facts_given()
    while ((getline line < facts) > 0) {
        facts_fields(line, field)
        if (field[1] != "text")
            continue
        texts[field[2]] = field[3]
        if (field[2] !~ /_LABEL$/)
            texts[field[2]] = texts[field[2]] "\n"
    }
    close(facts)
}
