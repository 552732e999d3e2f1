# Reads chipid's facts from its src/ folder, given as -v src=DIR, for the
# benchmark's awk programs: load it before them (mawk -f bench/facts.awk -f ...).
#   read_lots(ids, codes)  ids[1..n] in the table's order, codes[id]; returns n
#   read_texts(texts)      texts[NAME], each message with its newline
function facts_file(name) {
    if (src == "") {
        print "bench: give chipid's src/ folder as -v src=DIR" > "/dev/stderr"
        exit 2
    }
    return src "/" name
}
function read_lots(ids, codes,    file, line, field, n) {
    file = facts_file("lot_codes.txt")
    n = 0
    while ((getline line < file) > 0) {
        if (line ~ /^#/ || line == "")
            continue
        split(line, field, " ")
        ids[++n] = field[1]
        codes[field[1]] = field[2]
    }
    close(file)
    if (n == 0) {
        print "bench: no lots in " file > "/dev/stderr"
        exit 2
    }
    return n
}
function read_texts(texts,    file, line, name) {
    file = facts_file("report_texts.txt")
    while ((getline line < file) > 0) {
        if (!match(line, /^[A-Z_]+ "/))
            continue
        name = substr(line, 1, RLENGTH - 2)
        texts[name] = substr(line, RLENGTH + 1, length(line) - RLENGTH - 1)
        if (name !~ /_LABEL$/)
            texts[name] = texts[name] "\n"
    }
    close(file)
}
