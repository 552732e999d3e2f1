# Prints every row of cmake/targets/ for the scripts (tools/targets.sh):
#   cmake -P cmake/ChipidTargetRows.cmake
# one line per field, or per item of a list field: the row's name, the
# field (a CHIPID_TARGET_ name without its prefix), the value, separated by
# the ASCII unit separator (0x1f), which no value holds. A row that cannot
# be read, or that lacks a field, stops it with an error naming both.
set(CHIPID_READING_TARGET_ROW ON)
string(ASCII 31 separator)
set(text "")
function(chipid_print_row row)
  include(${row})
  get_filename_component(name ${row} NAME_WE)
  foreach(field IN LISTS CHIPID_TARGET_FIELDS)
    set(items ${CHIPID_TARGET_${field}})
    if(NOT items)
      set(items "")
      string(APPEND text "${name}${separator}${field}${separator}\n")
    endif()
    foreach(item IN LISTS items)
      string(APPEND text "${name}${separator}${field}${separator}${item}\n")
    endforeach()
  endforeach()
  set(text "${text}" PARENT_SCOPE)
endfunction()
file(GLOB rows ${CMAKE_CURRENT_LIST_DIR}/targets/*.cmake)
if(NOT rows)
  message(FATAL_ERROR "no rows in ${CMAKE_CURRENT_LIST_DIR}/targets/")
endif()
foreach(row IN LISTS rows)
  chipid_print_row(${row})
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E echo_append "${text}")
