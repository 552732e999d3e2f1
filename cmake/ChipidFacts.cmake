# The one reader of the facts that chipid states once: src/lot_codes.txt
# (the lot table) and src/report_texts.txt (the labels and messages), UTF-8
# text with LF line ends. A line it cannot take stops it, naming file, line
# and fault: a CR, a byte that is not UTF-8, a control character, a line
# that breaks the file's grammar, a lot id or a code given twice.
#
# Included by the build, it makes from them:
# - generated/chipid_facts.h, C and C++ macros for the tool and the
#   benchmark's C floor;
# - for configure_file(): CHIPID_LOT_COUNT, CHIPID_MAN_LOT_TABLE (the rows
#   of the manual page's table), CHIPID_MAN_<NAME> (a text for roff),
#   CHIPID_TEXT_<NAME> (a text as it is), CHIPID_TEXT_NAMES,
#   CHIPID_MAN_SAMPLE_RECORD (the first record of examples/report.txt, for
#   roff) and the manual's example arguments, CHIPID_MAN_IDENTIFIERS_SED
#   and CHIPID_MAN_UNKNOWN_LOT_GREP, quoted for the shell.
# and for the scripts (the benchmark's awk programs, the fuzzer's seed, the
# tests) generated/facts.tsv, one tab-separated line a fact (no text holds
# a tab), which run as a script it prints, for a script with no build:
#   cmake [-DCHIPID_FACTS_DIR=DIR] -P cmake/ChipidFacts.cmake
#   lot<TAB>ID<TAB>CODE        in the table's order
#   text<TAB>NAME<TAB>TEXT     the text as chipid writes it, without a newline
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  cmake_minimum_required(VERSION 3.25)
endif()
if(NOT DEFINED CHIPID_FACTS_DIR)
  get_filename_component(CHIPID_FACTS_DIR ${CMAKE_CURRENT_LIST_DIR}/../src ABSOLUTE)
endif()

# The bytes of one character of UTF-8 text, as string(HEX) spells them with
# a space after each byte: printable ASCII, or a well-formed sequence of two
# to four bytes.
set(chipid_utf8_character "[2-6][0-9a-f] |7[0-9a-e] |c[2-9a-f] [89ab][0-9a-f] |d[0-9a-f] [89ab][0-9a-f] ")
string(APPEND chipid_utf8_character
  "|e0 [ab][0-9a-f] [89ab][0-9a-f] |e[1-9a-cef] [89ab][0-9a-f] [89ab][0-9a-f] "
  "|ed [89][0-9a-f] [89ab][0-9a-f] |f0 [9ab][0-9a-f] [89ab][0-9a-f] [89ab][0-9a-f] "
  "|f[1-3] [89ab][0-9a-f] [89ab][0-9a-f] [89ab][0-9a-f] |f4 8[0-9a-f] [89ab][0-9a-f] [89ab][0-9a-f] ")

# chipid_fact_lines(NAME PREFIX): the lines of src/NAME that are neither
# comments nor blank, as PREFIX_COUNT and, for I from 1, PREFIX_<I> (the
# text) and PREFIX_<I>_LINE (its line number). Lines are split by hand, not
# as a CMake list, which would split a text at its ";".
function(chipid_fact_lines name prefix)
  set(file ${CHIPID_FACTS_DIR}/${name})
  # Every line's bytes first: file(READ) takes CR LF for LF and ends a
  # text at a NUL.
  file(READ ${file} bytes HEX)
  string(REGEX REPLACE "(..)" "\\1 " bytes "${bytes}")
  set(number 0)
  while(NOT bytes STREQUAL "")
    string(FIND "${bytes}" "0a " end)
    if(end EQUAL -1)
      set(line "${bytes}")
      set(bytes "")
    else()
      string(SUBSTRING "${bytes}" 0 ${end} line)
      math(EXPR end "${end} + 3")
      string(SUBSTRING "${bytes}" ${end} -1 bytes)
    endif()
    math(EXPR number "${number} + 1")
    if(line MATCHES "0d ")
      message(FATAL_ERROR "src/${name}:${number}: a CR: the file's lines must end in LF alone, "
        "not CR LF (dos2unix src/${name})")
    endif()
    if(NOT line MATCHES "^(${chipid_utf8_character})*$")
      message(FATAL_ERROR "src/${name}:${number}: a byte that is not UTF-8 text, or a control "
        "character such as a tab or a NUL")
    endif()
  endwhile()

  file(READ ${file} content)
  set(count 0)
  set(number 0)
  while(NOT content STREQUAL "")
    string(FIND "${content}" "\n" end)
    if(end EQUAL -1)
      set(line "${content}")
      set(content "")
    else()
      string(SUBSTRING "${content}" 0 ${end} line)
      math(EXPR end "${end} + 1")
      string(SUBSTRING "${content}" ${end} -1 content)
    endif()
    math(EXPR number "${number} + 1")
    if(NOT line MATCHES "^(#.*)?$")
      math(EXPR count "${count} + 1")
      set(${prefix}_${count} "${line}" PARENT_SCOPE)
      set(${prefix}_${count}_LINE ${number} PARENT_SCOPE)
    endif()
  endwhile()
  set(${prefix}_COUNT ${count} PARENT_SCOPE)
endfunction()

# The lots: CHIPID_LOT_COUNT, and CHIPID_LOT_ID_<I> and CHIPID_LOT_CODE_<I>
# in the table's order.
chipid_fact_lines(lot_codes.txt chipid_lot_line)
set(byte "[A-Za-z0-9._+/-]")
set(chipid_lot_ids " ")
set(chipid_lot_codes " ")
set(CHIPID_LOT_COUNT ${chipid_lot_line_COUNT})
if(CHIPID_LOT_COUNT EQUAL 0)
  message(FATAL_ERROR "src/lot_codes.txt names no lot")
endif()
foreach(index RANGE 1 ${CHIPID_LOT_COUNT})
  set(line "${chipid_lot_line_${index}}")
  set(where "src/lot_codes.txt:${chipid_lot_line_${index}_LINE}")
  if(NOT line MATCHES "^(${byte}${byte}${byte}${byte}${byte}${byte}${byte}${byte}) ([1-9][0-9])$")
    message(FATAL_ERROR "${where}: not a lot id of 8 letters, digits or ._+/- signs, a space "
      "and a two-digit code: '${line}'")
  endif()
  set(id ${CMAKE_MATCH_1})
  set(code ${CMAKE_MATCH_2})
  string(FIND "${chipid_lot_ids}" " ${id} " seen)
  if(NOT seen EQUAL -1)
    message(FATAL_ERROR "${where}: ${id} is listed twice")
  endif()
  string(FIND "${chipid_lot_codes}" " ${code} " seen)
  if(NOT seen EQUAL -1)
    message(FATAL_ERROR "${where}: code ${code} is another lot's too, and an identifier two "
      "lots share identifies neither")
  endif()
  string(APPEND chipid_lot_ids "${id} ")
  string(APPEND chipid_lot_codes "${code} ")
  set(CHIPID_LOT_ID_${index} ${id})
  set(CHIPID_LOT_CODE_${index} ${code})
endforeach()

# The texts: CHIPID_TEXT_NAMES, and CHIPID_TEXT_<NAME>, each as chipid
# writes it but for a message's newline.
chipid_fact_lines(report_texts.txt chipid_text_line)
set(CHIPID_TEXT_NAMES "")
foreach(index RANGE ${chipid_text_line_COUNT})
  if(index EQUAL 0)
    continue()
  endif()
  set(line "${chipid_text_line_${index}}")
  set(where "src/report_texts.txt:${chipid_text_line_${index}_LINE}")
  if(NOT line MATCHES "^([A-Z][A-Z_]*) \"(.+)\"$")
    message(FATAL_ERROR "${where}: not a NAME in capitals, a space and a text in double "
      "quotes: '${line}'")
  endif()
  if(CMAKE_MATCH_1 IN_LIST CHIPID_TEXT_NAMES)
    message(FATAL_ERROR "${where}: ${CMAKE_MATCH_1} is given twice")
  endif()
  list(APPEND CHIPID_TEXT_NAMES ${CMAKE_MATCH_1})
  set(CHIPID_TEXT_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
endforeach()
foreach(name NCHIPS_LABEL CHIPSTR_LABEL LOT_ID_LABEL SERIALNUM_LABEL SIX_DIGIT_ID_LABEL UNKNOWN_LOT
    TOO_SHORT TOO_LONG CANT_OPEN CANT_READ CANT_WRITE)
  if(NOT name IN_LIST CHIPID_TEXT_NAMES)
    message(FATAL_ERROR "src/report_texts.txt has no ${name}")
  endif()
endforeach()

set(chipid_facts_tsv "")
foreach(index RANGE 1 ${CHIPID_LOT_COUNT})
  string(APPEND chipid_facts_tsv "lot\t${CHIPID_LOT_ID_${index}}\t${CHIPID_LOT_CODE_${index}}\n")
endforeach()
foreach(name IN LISTS CHIPID_TEXT_NAMES)
  string(APPEND chipid_facts_tsv "text\t${name}\t${CHIPID_TEXT_${name}}\n")
endforeach()
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo_append "${chipid_facts_tsv}")
  return()
endif()

set(chipid_sample_report ${CHIPID_FACTS_DIR}/../examples/report.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${CHIPID_FACTS_DIR}/lot_codes.txt ${CHIPID_FACTS_DIR}/report_texts.txt ${chipid_sample_report})

# A text as roff shows it literally, inside a quoted argument or running
# text: its escapes, quotes and hyphens escaped, every character beyond
# ASCII as \[uXXXX], which groff, man and mandoc all read.
function(chipid_roff_escape text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REPLACE "'" "\\(aq" text "${text}")
  string(REPLACE "\"" "\\(dq" text "${text}")
  string(HEX "${text}" hex)
  if(NOT hex MATCHES "[89a-f][0-9a-f]([0-9a-f][0-9a-f])*$")
    set(${out} "${text}" PARENT_SCOPE)
    return()
  endif()
  set(roff "")
  string(LENGTH "${hex}" length)
  set(at 0)
  while(at LESS length)
    string(SUBSTRING "${hex}" ${at} 2 byte)
    math(EXPR value "0x${byte}")
    if(value LESS 128)
      string(ASCII ${value} character)
      string(APPEND roff "${character}")
      math(EXPR at "${at} + 2")
      continue()
    elseif(value LESS 224)
      math(EXPR point "${value} & 31")
      set(more 1)
    elseif(value LESS 240)
      math(EXPR point "${value} & 15")
      set(more 2)
    else()
      math(EXPR point "${value} & 7")
      set(more 3)
    endif()
    foreach(_ RANGE 1 ${more})
      math(EXPR at "${at} + 2")
      string(SUBSTRING "${hex}" ${at} 2 byte)
      math(EXPR point "(${point} << 6) | (0x${byte} & 63)")
    endforeach()
    math(EXPR at "${at} + 2")
    math(EXPR point "${point}" OUTPUT_FORMAT HEXADECIMAL)
    string(SUBSTRING "${point}" 2 -1 point)
    string(TOUPPER "${point}" point)
    string(LENGTH "${point}" digits)
    while(digits LESS 4)
      string(PREPEND point "0")
      math(EXPR digits "${digits} + 1")
    endwhile()
    string(APPEND roff "\\[u${point}]")
  endwhile()
  set(${out} "${roff}" PARENT_SCOPE)
endfunction()

# A text as a C string literal's contents; "?" escaped, so that no "??"
# reads as a trigraph in C.
function(chipid_c_escape text out)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  string(REPLACE "?" "\\?" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# A text as one word for the shell, in single quotes.
function(chipid_shell_quote text out)
  string(REPLACE "'" "'\\''" text "${text}")
  set(${out} "'${text}'" PARENT_SCOPE)
endfunction()

# The manual's table: three lots to a row, filled column by column.
math(EXPR chipid_rows "(${CHIPID_LOT_COUNT} + 2) / 3")
set(CHIPID_MAN_LOT_TABLE "")
foreach(row RANGE 1 ${chipid_rows})
  set(cells "")
  foreach(column RANGE 2)
    math(EXPR index "${column} * ${chipid_rows} + ${row}")
    if(index LESS_EQUAL CHIPID_LOT_COUNT)
      chipid_roff_escape("${CHIPID_LOT_ID_${index}}" id)
      string(APPEND cells "\t${id}\t${CHIPID_LOT_CODE_${index}}")
    endif()
  endforeach()
  string(SUBSTRING "${cells}" 1 -1 cells)
  string(APPEND CHIPID_MAN_LOT_TABLE "${cells}\n")
endforeach()
string(REGEX REPLACE "\n$" "" CHIPID_MAN_LOT_TABLE "${CHIPID_MAN_LOT_TABLE}")

set(chipid_facts_lot_macro "")
foreach(index RANGE 1 ${CHIPID_LOT_COUNT})
  chipid_c_escape("${CHIPID_LOT_ID_${index}}" id)
  string(APPEND chipid_facts_lot_macro " \\\n    {\"${id}\", ${CHIPID_LOT_CODE_${index}}},")
endforeach()
string(REGEX REPLACE ",$" "" chipid_facts_lot_macro "${chipid_facts_lot_macro}")

set(chipid_facts_text_macros "")
foreach(name IN LISTS CHIPID_TEXT_NAMES)
  chipid_roff_escape("${CHIPID_TEXT_${name}}" CHIPID_MAN_${name})
  chipid_c_escape("${CHIPID_TEXT_${name}}" text)
  if(NOT name MATCHES "_LABEL$")
    string(APPEND text "\\n")
  endif()
  string(APPEND chipid_facts_text_macros "#define CHIPID_${name} \"${text}\"\n")
endforeach()

# The manual's examples take the identifiers after the last label of a
# record (sed, the label as a basic regular expression) and count the
# lines that are the unknown lot's message (grep, a fixed string): each
# quoted for the shell whatever the text holds.
string(REGEX REPLACE "([][\\\\/.*^$])" "\\\\\\1" chipid_label "${CHIPID_TEXT_SIX_DIGIT_ID_LABEL}")
chipid_shell_quote("s/.*${chipid_label}//p" chipid_sed)
chipid_roff_escape("${chipid_sed}" CHIPID_MAN_IDENTIFIERS_SED)
chipid_shell_quote("${CHIPID_TEXT_UNKNOWN_LOT}" chipid_grep)
chipid_roff_escape("${chipid_grep}" CHIPID_MAN_UNKNOWN_LOT_GREP)

file(READ ${chipid_sample_report} chipid_sample_record)
string(FIND "${chipid_sample_record}" "\n" end)
string(SUBSTRING "${chipid_sample_record}" 0 ${end} chipid_sample_record)
chipid_roff_escape("${chipid_sample_record}" CHIPID_MAN_SAMPLE_RECORD)

# Written only when they change, so that an unchanged table rebuilds nothing.
file(WRITE ${PROJECT_BINARY_DIR}/generated/facts.tsv.new "${chipid_facts_tsv}")
file(COPY_FILE ${PROJECT_BINARY_DIR}/generated/facts.tsv.new
  ${PROJECT_BINARY_DIR}/generated/facts.tsv ONLY_IF_DIFFERENT)
file(WRITE ${PROJECT_BINARY_DIR}/generated/chipid_facts.h.new
"/* Made by CMake from src/lot_codes.txt and src/report_texts.txt: edit those. */
#ifndef CHIPID_FACTS_H
#define CHIPID_FACTS_H

/* The lots, as {\"lot id\", code} initializers, in their order there. */
#define CHIPID_LOT_CODES${chipid_facts_lot_macro}

/* The labels of a record, and every message with its newline. */
${chipid_facts_text_macros}
#endif
")
file(COPY_FILE ${PROJECT_BINARY_DIR}/generated/chipid_facts.h.new
  ${PROJECT_BINARY_DIR}/generated/chipid_facts.h ONLY_IF_DIFFERENT)
