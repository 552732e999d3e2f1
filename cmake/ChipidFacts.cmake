# Reads the facts that chipid states once, src/lot_codes.txt (the lot
# table) and src/report_texts.txt (the labels and messages), and makes from
# them what the build needs:
# - generated/chipid_facts.h, C and C++ macros for the tool and the
#   benchmark's C floor;
# - for configure_file(): CHIPID_LOT_COUNT, CHIPID_MAN_LOT_TABLE (the rows
#   of the manual page's table), CHIPID_MAN_<NAME> (a text for roff),
#   CHIPID_TEXT_<NAME> (a text as it is) and CHIPID_MAN_SAMPLE_RECORD (the
#   first record of examples/report.txt, for roff).
# A line it cannot read stops the configure step, naming the file and line.
set(chipid_facts_lots ${PROJECT_SOURCE_DIR}/src/lot_codes.txt)
set(chipid_facts_texts ${PROJECT_SOURCE_DIR}/src/report_texts.txt)
set(chipid_sample_report ${PROJECT_SOURCE_DIR}/examples/report.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${chipid_facts_lots} ${chipid_facts_texts} ${chipid_sample_report})

# Lines of FILE that are neither comments nor blank, each as "NUMBER:TEXT".
function(chipid_fact_lines file out)
  file(STRINGS ${file} lines)
  set(numbered "")
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(NOT line MATCHES "^(#.*)?$")
      list(APPEND numbered "${number}:${line}")
    endif()
  endforeach()
  set(${out} "${numbered}" PARENT_SCOPE)
endfunction()

# A text as roff shows it literally, inside a quoted argument or running text.
function(chipid_roff_escape text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REPLACE "'" "\\(aq" text "${text}")
  string(REPLACE "\"" "\\(dq" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# A text as a C string literal's contents.
function(chipid_c_escape text out)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

chipid_fact_lines(${chipid_facts_lots} chipid_lot_lines)
set(chipid_lot_ids "")
set(chipid_lot_codes "")
set(chipid_facts_lot_macro "")
foreach(entry IN LISTS chipid_lot_lines)
  string(REGEX MATCH "^([0-9]+):(.*)$" _ "${entry}")
  set(number ${CMAKE_MATCH_1})
  set(line "${CMAKE_MATCH_2}")
  set(byte "[A-Za-z0-9._+/-]")
  if(NOT line MATCHES "^(${byte}${byte}${byte}${byte}${byte}${byte}${byte}${byte}) ([1-9][0-9])$")
    message(FATAL_ERROR "src/lot_codes.txt:${number}: not a lot id of 8 letters, digits or "
      "._+/- signs, a space and a two-digit code: '${line}'")
  endif()
  if(CMAKE_MATCH_1 IN_LIST chipid_lot_ids)
    message(FATAL_ERROR "src/lot_codes.txt:${number}: ${CMAKE_MATCH_1} is listed twice")
  endif()
  list(APPEND chipid_lot_ids "${CMAKE_MATCH_1}")
  list(APPEND chipid_lot_codes "${CMAKE_MATCH_2}")
  chipid_c_escape("${CMAKE_MATCH_1}" id)
  string(APPEND chipid_facts_lot_macro " \\\n    {\"${id}\", ${CMAKE_MATCH_2}},")
endforeach()
list(LENGTH chipid_lot_ids CHIPID_LOT_COUNT)
if(CHIPID_LOT_COUNT EQUAL 0)
  message(FATAL_ERROR "src/lot_codes.txt names no lot")
endif()

# The manual's table: three lots to a row, filled column by column.
math(EXPR chipid_rows "(${CHIPID_LOT_COUNT} + 2) / 3")
math(EXPR chipid_last_row "${chipid_rows} - 1")
set(CHIPID_MAN_LOT_TABLE "")
foreach(row RANGE ${chipid_last_row})
  set(cells "")
  foreach(column RANGE 2)
    math(EXPR index "${column} * ${chipid_rows} + ${row}")
    if(index LESS CHIPID_LOT_COUNT)
      list(GET chipid_lot_ids ${index} id)
      list(GET chipid_lot_codes ${index} code)
      chipid_roff_escape("${id}" id)
      list(APPEND cells "${id}\t${code}")
    endif()
  endforeach()
  list(JOIN cells "\t" cells)
  string(APPEND CHIPID_MAN_LOT_TABLE "${cells}\n")
endforeach()
string(REGEX REPLACE "\n$" "" CHIPID_MAN_LOT_TABLE "${CHIPID_MAN_LOT_TABLE}")

chipid_fact_lines(${chipid_facts_texts} chipid_text_lines)
set(chipid_facts_text_macros "")
set(CHIPID_TEXT_NAMES "")
foreach(entry IN LISTS chipid_text_lines)
  string(REGEX MATCH "^([0-9]+):(.*)$" _ "${entry}")
  set(number ${CMAKE_MATCH_1})
  set(line "${CMAKE_MATCH_2}")
  if(NOT line MATCHES "^([A-Z][A-Z_]*) \"(.+)\"$")
    message(FATAL_ERROR "src/report_texts.txt:${number}: not a NAME in capitals, a space and a "
      "text in double quotes: '${line}'")
  endif()
  set(name ${CMAKE_MATCH_1})
  set(text "${CMAKE_MATCH_2}")
  list(APPEND CHIPID_TEXT_NAMES ${name})
  set(CHIPID_TEXT_${name} "${text}")
  chipid_roff_escape("${text}" CHIPID_MAN_${name})
  chipid_c_escape("${text}" text)
  if(NOT name MATCHES "_LABEL$")
    string(APPEND text "\\n")
  endif()
  string(APPEND chipid_facts_text_macros "#define CHIPID_${name} \"${text}\"\n")
endforeach()
foreach(name NCHIPS_LABEL CHIPSTR_LABEL LOT_ID_LABEL SERIALNUM_LABEL SIX_DIGIT_ID_LABEL UNKNOWN_LOT
    TOO_SHORT TOO_LONG CANT_OPEN CANT_READ CANT_WRITE)
  if(NOT name IN_LIST CHIPID_TEXT_NAMES)
    message(FATAL_ERROR "src/report_texts.txt has no ${name}")
  endif()
endforeach()

file(STRINGS ${chipid_sample_report} chipid_sample_record LIMIT_COUNT 1)
chipid_roff_escape("${chipid_sample_record}" CHIPID_MAN_SAMPLE_RECORD)

string(REGEX REPLACE ",$" "" chipid_facts_lot_macro "${chipid_facts_lot_macro}")
# Written only when it changes, so that an unchanged table rebuilds nothing.
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
