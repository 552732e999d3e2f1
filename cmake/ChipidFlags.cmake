# Compiler and linker flags for chipid's own targets: warnings, sanitizers,
# hardening and how the runtime is linked. Nothing here reaches a parent
# project's targets.

include(CheckPIESupported)
check_pie_supported()

# Which compiler, in the build's log: a machine may have several.
message(STATUS "chipid: compiled by ${CMAKE_CXX_COMPILER} (${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION})")

# Warnings, and with CHIPID_WERROR errors, for chipid's own targets (the
# tool, its tests and its fuzzer), never for GoogleTest built beside them.
function(chipid_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
    $<$<BOOL:${CHIPID_WERROR}>:-Werror>)
endfunction()

# What differs between targets comes from the target's row in
# cmake/targets/: a toolchain file from there has read it already; any
# other build reads the row of its compiler's multiarch triplet, if there
# is one (a native build, or debhelper's cross build of the package).
function(chipid_find_target_row result)
  set(CHIPID_READING_TARGET_ROW ON)
  file(GLOB rows ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/targets/*.cmake)
  get_cmake_property(variables VARIABLES)
  list(FILTER variables INCLUDE REGEX "^CHIPID_TARGET_")
  foreach(row IN LISTS rows)
    # Each row from scratch: a field it lacks must not come from the last.
    foreach(variable IN LISTS variables)
      unset(${variable})
    endforeach()
    include(${row})
    get_cmake_property(variables VARIABLES)
    list(FILTER variables INCLUDE REGEX "^CHIPID_TARGET_")
    if(CHIPID_TARGET_MULTIARCH STREQUAL CMAKE_LIBRARY_ARCHITECTURE)
      set(${result} ${row} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${result} "" PARENT_SCOPE)
endfunction()
# WebAssembly (cmake/wasm.cmake) has no row: it is no release target of
# its own, but the program of the web page.
set(CHIPID_WASM OFF)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "wasm32")
  set(CHIPID_WASM ON)
  set(CHIPID_TARGET_CONTROL_FLOW "")
elseif(NOT DEFINED CHIPID_TARGET_TRIPLET)
  chipid_find_target_row(chipid_target_row)
  if(chipid_target_row)
    set(CHIPID_READING_TARGET_ROW ON)
    include(${chipid_target_row})
    unset(CHIPID_READING_TARGET_ROW)
  else()
    message(NOTICE "chipid: no row in cmake/targets/ for '${CMAKE_LIBRARY_ARCHITECTURE}': "
      "no control-flow protection, and a static chipid is tried as a static PIE")
    set(CHIPID_TARGET_CONTROL_FLOW "")
    set(CHIPID_TARGET_STATIC static-pie)
  endif()
endif()

# Position-independent code and hardening for the tool's own code.
function(chipid_set_flags target)
  chipid_set_warnings(${target})
  # A WebAssembly module has no addresses to randomise.
  if(NOT CHIPID_WASM)
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  endif()
  if(CHIPID_HARDENING)
    # Debian's hardening=+all as Debian 13's dpkg-buildflags gives it (12's
    # lacks stack clash and control-flow protection), each flag once: where
    # the flags given hold one already, it is not added again.
    set(hardening_flags "")
    foreach(flag IN ITEMS -fstack-protector-strong -fstack-clash-protection
        ${CHIPID_TARGET_CONTROL_FLOW} -Wformat -Werror=format-security)
      string(FIND " ${CMAKE_CXX_FLAGS} " " ${flag} " given)
      if(given EQUAL -1)
        list(APPEND hardening_flags ${flag})
      endif()
    endforeach()
    target_compile_options(${target} PRIVATE ${hardening_flags})
    # On Windows the stack protector's runtime (libssp) comes with the flag
    # on the link line of whatever links the tool's code, tests included.
    if(WIN32)
      target_link_options(${target} PUBLIC -fstack-protector-strong)
    endif()
    # Fortification needs the optimiser; where the flags already define it
    # (dpkg-buildflags does), a second definition would only clash.
    if(NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
      target_compile_definitions(${target} PRIVATE
        $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
    endif()
  endif()
endfunction()

# An ELF note that says what this chipid is without running it: the
# package-metadata note (NT_FDO_PACKAGING_METADATA) that Debian's and
# Fedora's builds link into their binaries, read by readelf -n,
# systemd-coredump and crash tools. The Debian package gives its own.
if(DEFINED CHIPID_TARGET_NOTE_ARCHITECTURE)
  set(chipid_metadata_architecture ${CHIPID_TARGET_NOTE_ARCHITECTURE})
else()
  # No row: WebAssembly, or a machine that has none.
  set(chipid_metadata_architecture ${CMAKE_SYSTEM_PROCESSOR})
endif()
# The default is made anew at every configure, so that a new version
# reaches the note of an existing build tree; the cache holds an override.
set(CHIPID_PACKAGE_METADATA "" CACHE STRING
  "JSON of chipid's ELF package metadata note; empty for chipid's own, none for no note")
if(CHIPID_PACKAGE_METADATA)
  set(chipid_package_metadata "${CHIPID_PACKAGE_METADATA}")
else()
  set(chipid_package_metadata
    "{\"name\":\"chipid\",\"version\":\"${PROJECT_VERSION}\",\"architecture\":\"${chipid_metadata_architecture}\"}")
endif()

# How the chipid executable itself is linked.
function(chipid_set_link_flags target)
  if(CHIPID_WASM)
    # One module, self-contained as every WebAssembly module is; a release
    # build without its names, which only a debugger reads.
    target_link_options(${target} PRIVATE -Wl,--gc-sections $<$<CONFIG:Release,MinSizeRel>:-Wl,--strip-all>)
    return()
  endif()
  if(WIN32)
    # A PE executable, static (below): address space layout randomisation
    # with high entropy, no execution of data, and no time stamp, so that
    # the same sources give the same bytes. A release build is stripped by
    # the linker, since strip would stamp the header with the time (or
    # SOURCE_DATE_EPOCH). RELRO, immediate binding and the package note are
    # ELF's.
    target_link_options(${target} PRIVATE -Wl,--dynamicbase -Wl,--high-entropy-va
      -Wl,--nxcompat -Wl,--no-insert-timestamp $<$<CONFIG:Release,MinSizeRel>:-s>)
    return()
  endif()
  if(NOT chipid_package_metadata STREQUAL "none")
    # -Xlinker passes the JSON whole: -Wl, would split it at its commas.
    include(CheckCXXSourceCompiles)
    set(CMAKE_REQUIRED_LINK_OPTIONS -Xlinker --package-metadata={})
    check_cxx_source_compiles("int main() {}" CHIPID_HAVE_PACKAGE_METADATA)
    if(CHIPID_HAVE_PACKAGE_METADATA)
      target_link_options(${target} PRIVATE -Xlinker
        "--package-metadata=${chipid_package_metadata}")
    else()
      message(NOTICE "chipid: the linker has no --package-metadata (binutils 2.39 has); no note")
    endif()
  endif()
  if(CHIPID_HARDENING)
    target_link_options(${target} PRIVATE -Wl,-z,relro -Wl,-z,now)
  endif()
  if(CHIPID_SANITIZE OR CHIPID_FUZZ)
    return()
  endif()
  # Unused sections of the static runtime stay out: a smaller file to map.
  target_link_options(${target} PRIVATE -Wl,--gc-sections -Wl,--as-needed)
  if(NOT CHIPID_STATIC)
    return()
  endif()
  # The sanitizers' runtimes cannot run in a static executable.
  if("${CMAKE_CXX_FLAGS} ${CMAKE_EXE_LINKER_FLAGS}" MATCHES "-fsanitize=")
    message(NOTICE "chipid: the flags ask for a sanitizer; linking chipid dynamically")
    return()
  endif()
  # A static executable needs the static C and C++ libraries (libc6-dev
  # and libstdc++-dev on Debian); without them chipid is linked dynamically.
  # A static PIE keeps address space layout randomisation; where the C
  # library cannot make one (no rcrt1.o), the target's row asks for a
  # static executable that is not position-independent.
  if(CHIPID_TARGET_STATIC STREQUAL "static-pie")
    set(static_compile_options -fPIE)
    set(static_link_options -static-pie)
  else()
    set(static_compile_options "")
    set(static_link_options -static -no-pie)
  endif()
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_FLAGS ${static_compile_options})
  set(CMAKE_REQUIRED_LINK_OPTIONS ${static_link_options})
  check_cxx_source_compiles(
    "#include <iostream>\nint main() { std::cout << 1; }" CHIPID_HAVE_STATIC_LINK)
  if(NOT CHIPID_HAVE_STATIC_LINK)
    message(WARNING "chipid: cannot link ${static_link_options} here; linking chipid dynamically")
    return()
  endif()
  # No shared library at all, not even the dynamic loader, to load and
  # relocate at start-up. CMake's own PIE link flag would override these,
  # so the property gives way to explicit flags.
  set_property(TARGET ${target} PROPERTY POSITION_INDEPENDENT_CODE)
  target_compile_options(${target} PRIVATE ${static_compile_options})
  target_link_options(${target} PRIVATE ${static_link_options})
endfunction()

# Every Windows program of chipid's, tests included, links the C++ runtime
# statically, so that it needs no DLL but Windows' own to start.
if(WIN32)
  add_link_options(-static)
endif()

if(CHIPID_SANITIZE OR CHIPID_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
if(CHIPID_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "CHIPID_FUZZ needs clang: configure with --toolchain cmake/clang.cmake")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
