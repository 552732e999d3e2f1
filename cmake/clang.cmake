# A native build with clang and GCC's C++ library: the sanitizer and fuzz
# builds. cmake/libcxx.cmake and cmake/wasm.cmake start from it.
#   cmake -S . -B build-sanitize -G Ninja --toolchain cmake/clang.cmake -DCHIPID_SANITIZE=ON
# Which clang: the compiler given (-DCMAKE_CXX_COMPILER, or CXX); else
# clang++-N for N = CHIPID_CLANG_VERSION (set in the cache or the
# environment); else the newest clang++-N on the PATH; else clang++.
# Debian names every clang and its companions by N (lld-N, libc++-N-dev,
# libclang-rt-N-dev...), and a second clang beside the first is common.
# Run as a script, `cmake -P cmake/clang.cmake`, it prints that N, or
# nothing, for the scripts that install the packages that go with it.
if(NOT DEFINED CHIPID_CLANG_VERSION AND DEFINED ENV{CHIPID_CLANG_VERSION})
  set(CHIPID_CLANG_VERSION $ENV{CHIPID_CLANG_VERSION})
endif()
if(CHIPID_CLANG_VERSION AND NOT CHIPID_CLANG_VERSION MATCHES "^[0-9]+$")
  message(FATAL_ERROR "CHIPID_CLANG_VERSION is '${CHIPID_CLANG_VERSION}', not a clang major version such as 19")
endif()
set(chipid_clang_version "${CHIPID_CLANG_VERSION}")
if(NOT chipid_clang_version)
  string(REPLACE ":" ";" chipid_path "$ENV{PATH}")
  foreach(directory IN LISTS chipid_path)
    file(GLOB chipid_clangs "${directory}/clang++-*")
    foreach(clang IN LISTS chipid_clangs)
      get_filename_component(clang "${clang}" NAME)
      if(clang MATCHES "^clang\\+\\+-([0-9]+)$")
        if(NOT chipid_clang_version OR CMAKE_MATCH_1 GREATER chipid_clang_version)
          set(chipid_clang_version ${CMAKE_MATCH_1})
        endif()
      endif()
    endforeach()
  endforeach()
endif()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${chipid_clang_version}")
  return()
endif()

# try_compile's projects read this file again: they choose alike.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CHIPID_CLANG_VERSION)
if(NOT CMAKE_CXX_COMPILER AND NOT DEFINED ENV{CXX})
  if(chipid_clang_version)
    set(CMAKE_C_COMPILER clang-${chipid_clang_version})
    set(CMAKE_CXX_COMPILER clang++-${chipid_clang_version})
  else()
    set(CMAKE_C_COMPILER clang)
    set(CMAKE_CXX_COMPILER clang++)
  endif()
endif()
