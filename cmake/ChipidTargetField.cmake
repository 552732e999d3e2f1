# Prints one field of a target's row in cmake/targets/, for the scripts
# that build, test and release every target:
#   cmake -D ROW=cmake/targets/armhf.cmake -D FIELD=ARCHIVE -P cmake/ChipidTargetField.cmake
# FIELD is a CHIPID_TARGET_ name without its prefix, or EMULATOR_LINE: the
# whole command that a cross build runs its programs through. List items
# are printed separated by spaces.
include(${ROW})
if(FIELD STREQUAL "EMULATOR_LINE")
  set(value ${CMAKE_CROSSCOMPILING_EMULATOR})
else()
  set(value ${CHIPID_TARGET_${FIELD}})
endif()
string(REPLACE ";" " " value "${value}")
execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${value}")
