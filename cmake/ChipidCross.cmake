# Included by every file in cmake/targets/. Each of those is one row of the
# list of targets that chipid is built and tested for: CMake, the test
# script and the release command all read them. Given to CMake as a
# toolchain file, a row cross-builds chipid with Debian's
# crossbuild-essential-<arch> and runs what it builds, tests included,
# through qemu user-mode emulation (qemu-user-static), with no binfmt_misc
# registration needed:
#   cmake -S . -B build-armhf -G Ninja --toolchain cmake/targets/armhf.cmake
# Every row states every field, empty where it has nothing to say; the
# fields that a target of its SYSTEM needs must not be empty. A row that
# breaks this stops whatever reads it, CMake or a script, naming the field.
#   SYSTEM        CMAKE_SYSTEM_NAME: Linux or Windows
#   DEB_ARCH      the Debian architecture; "" for a target with no package
#   TRIPLET       the GNU triplet: the cross compilers' prefix, /usr/TRIPLET
#   MULTIARCH     the multiarch triplet, by which a build without this file
#                 (native, or debhelper's cross build) finds its row
#   PROCESSOR     CMAKE_SYSTEM_PROCESSOR, as debhelper sets it
#   ARCHIVE       the release archive's name after chipid-VERSION-
#   RPM_ARCH      the RPM architecture; "" for no RPM (doc/releasing.md)
#   EMULATOR      the qemu user-mode emulator and its options
#   STATIC        static-pie where the C library has rcrt1.o, else static
#   CONTROL_FLOW  the control-flow protection flag, or ""
#   CONTROL_FLOW_INSTRUCTIONS  what the hardening checks find in the binary
#                 (extended regular expressions)
#   ELF_MACHINE   how readelf -h ends its Machine line
#   PACKAGES      the Debian packages its build and emulator need; NAME:ARCH
#                 for one of a foreign architecture, which tests/run-all.sh
#                 packages installs at the host's version
#   RELEASED      ON to be in the release, OFF to be built and tested only
# and, made from them, EMULATOR_LINE and NOTE_ARCHITECTURE (below).
set(CHIPID_TARGET_FIELDS SYSTEM DEB_ARCH TRIPLET MULTIARCH PROCESSOR ARCHIVE RPM_ARCH EMULATOR STATIC
  CONTROL_FLOW CONTROL_FLOW_INSTRUCTIONS ELF_MACHINE PACKAGES RELEASED EMULATOR_LINE NOTE_ARCHITECTURE)
set(chipid_row ${CMAKE_PARENT_LIST_FILE})
set(chipid_needed TRIPLET MULTIARCH PROCESSOR ARCHIVE EMULATOR PACKAGES)
if(CHIPID_TARGET_SYSTEM STREQUAL "Linux")
  list(APPEND chipid_needed ELF_MACHINE)
elseif(NOT CHIPID_TARGET_SYSTEM STREQUAL "Windows")
  message(FATAL_ERROR "${chipid_row}: SYSTEM is '${CHIPID_TARGET_SYSTEM}', not Linux or Windows")
endif()
foreach(field IN LISTS CHIPID_TARGET_FIELDS)
  if(NOT field MATCHES "^(EMULATOR_LINE|NOTE_ARCHITECTURE)$" AND NOT DEFINED CHIPID_TARGET_${field})
    message(FATAL_ERROR "${chipid_row}: no ${field}: set(CHIPID_TARGET_${field} ...)")
  endif()
endforeach()
foreach(field IN LISTS chipid_needed)
  if("${CHIPID_TARGET_${field}}" STREQUAL "")
    message(FATAL_ERROR "${chipid_row}: ${field} is empty, and a ${CHIPID_TARGET_SYSTEM} target needs it")
  endif()
endforeach()
if(NOT CHIPID_TARGET_STATIC MATCHES "^(static-pie|static)$")
  message(FATAL_ERROR "${chipid_row}: STATIC is '${CHIPID_TARGET_STATIC}', not static-pie or static")
endif()
if(NOT CHIPID_TARGET_RELEASED MATCHES "^(ON|OFF)$")
  message(FATAL_ERROR "${chipid_row}: RELEASED is '${CHIPID_TARGET_RELEASED}', not ON or OFF")
endif()

# qemu finds the cross C library's loader with -L. LD_LIBRARY_PATH keeps
# that loader to the cross C library: it also reads the host's
# /etc/ld.so.cache, which may list another build of the same C library
# (libc6-i386's /lib32, a multiarch libc6:<arch>), and a program that loads
# parts of both can hang. The same line works with or without those. A
# Windows program needs nothing of the host's: wine runs it as it is.
if(CHIPID_TARGET_SYSTEM STREQUAL "Linux")
  set(CHIPID_TARGET_EMULATOR_LINE ${CHIPID_TARGET_EMULATOR} -L /usr/${CHIPID_TARGET_TRIPLET}
    -E LD_LIBRARY_PATH=/usr/${CHIPID_TARGET_TRIPLET}/lib)
else()
  set(CHIPID_TARGET_EMULATOR_LINE ${CHIPID_TARGET_EMULATOR})
endif()

# The architecture that a binary's ELF package note names, in the build
# (ChipidFlags.cmake) and in the release check alike: the Debian one, or a
# row without a Debian package (an archive only) the processor's.
if(CHIPID_TARGET_DEB_ARCH)
  set(CHIPID_TARGET_NOTE_ARCHITECTURE ${CHIPID_TARGET_DEB_ARCH})
else()
  set(CHIPID_TARGET_NOTE_ARCHITECTURE ${CHIPID_TARGET_PROCESSOR})
endif()

# Read by ChipidFlags.cmake only to describe a build that has no toolchain
# file of ours, or by the scripts, a row sets nothing more.
if(CHIPID_READING_TARGET_ROW)
  return()
endif()

set(CMAKE_SYSTEM_NAME ${CHIPID_TARGET_SYSTEM})
set(CMAKE_SYSTEM_PROCESSOR ${CHIPID_TARGET_PROCESSOR})

set(CMAKE_C_COMPILER ${CHIPID_TARGET_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${CHIPID_TARGET_TRIPLET}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${CHIPID_TARGET_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CHIPID_TARGET_EMULATOR_LINE})
