# Compiler and linker flags for chipid's own targets: warnings, sanitizers,
# hardening and how the runtime is linked. Nothing here reaches a parent
# project's targets.

include(CheckPIESupported)
check_pie_supported()

# Warnings hold for every target of chipid's, tests and fuzzer included;
# directory-wide options stay out of a parent project's targets.
add_compile_options(-Wall -Wextra -Wpedantic)
if(CHIPID_WERROR)
  add_compile_options(-Werror)
endif()

# Control-flow protection is the target's own: landing pads (endbr64) and
# shadow-stack marks on x86, branch target identification and signed
# return addresses on 64-bit ARM.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86)$")
  set(chipid_branch_protection -fcf-protection)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64|ARM64)$")
  set(chipid_branch_protection -mbranch-protection=standard)
else()
  set(chipid_branch_protection "")
endif()

# Position-independent code and hardening for the tool's own code.
function(chipid_set_flags target)
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  if(CHIPID_HARDENING)
    # Debian's hardening=+all, and the two that Debian 12's dpkg-buildflags
    # lacks: stack clash protection and control-flow protection.
    target_compile_options(${target} PRIVATE
      -fstack-protector-strong -fstack-clash-protection ${chipid_branch_protection} -Wformat
      -Werror=format-security)
    # Fortification needs the optimiser; where the flags already define it
    # (dpkg-buildflags does), a second definition would only clash.
    if(NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
      target_compile_definitions(${target} PRIVATE
        $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
    endif()
  endif()
endfunction()

# How the chipid executable itself is linked.
function(chipid_set_link_flags target)
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
  # A static PIE needs the static C and C++ libraries (libc6-dev and
  # libstdc++-dev on Debian); without them chipid is linked dynamically.
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_FLAGS -fPIE)
  set(CMAKE_REQUIRED_LINK_OPTIONS -static-pie)
  check_cxx_source_compiles(
    "#include <iostream>\nint main() { std::cout << 1; }" CHIPID_HAVE_STATIC_PIE)
  if(NOT CHIPID_HAVE_STATIC_PIE)
    message(WARNING "chipid: cannot link a static PIE here; linking chipid dynamically")
    return()
  endif()
  # No shared library at all, not even the dynamic loader, to load and
  # relocate at start-up; a static PIE keeps address space layout
  # randomisation. CMake's own PIE link flag would override -static-pie, so
  # the property gives way to explicit flags.
  set_property(TARGET ${target} PROPERTY POSITION_INDEPENDENT_CODE)
  target_compile_options(${target} PRIVATE -fPIE)
  target_link_options(${target} PRIVATE -static-pie)
endfunction()

if(CHIPID_SANITIZE OR CHIPID_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
if(CHIPID_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "CHIPID_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
