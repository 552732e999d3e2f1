# Included by every file in cmake/targets/. Each of those is one row of the
# list of targets that chipid is built and tested for: CMake, the test
# script and the release command all read them. Given to CMake as a
# toolchain file, a row cross-builds chipid with Debian's
# crossbuild-essential-<arch> and runs what it builds, tests included,
# through qemu user-mode emulation (qemu-user-static), with no binfmt_misc
# registration needed:
#   cmake -S . -B build-armhf -G Ninja --toolchain cmake/targets/armhf.cmake
# Read by ChipidFlags.cmake only to describe a build that has no toolchain
# file of ours, a row sets nothing more.
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

# qemu finds the cross C library's loader with -L. LD_LIBRARY_PATH keeps
# that loader to the cross C library: it also reads the host's
# /etc/ld.so.cache, which may list another build of the same C library
# (libc6-i386's /lib32, a multiarch libc6:<arch>), and a program that loads
# parts of both can hang. The same line works with or without those. A
# Windows program needs nothing of the host's: wine runs it as it is.
if(CHIPID_TARGET_SYSTEM STREQUAL "Linux")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CHIPID_TARGET_EMULATOR} -L /usr/${CHIPID_TARGET_TRIPLET}
    -E LD_LIBRARY_PATH=/usr/${CHIPID_TARGET_TRIPLET}/lib)
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CHIPID_TARGET_EMULATOR})
endif()
