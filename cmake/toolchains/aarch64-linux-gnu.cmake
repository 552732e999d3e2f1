# Cross-builds chipid for 64-bit ARM Linux with Debian's
# crossbuild-essential-arm64 (aarch64-linux-gnu-gcc and -g++, the C library
# in /usr/aarch64-linux-gnu) and runs what it builds, tests included,
# through qemu user-mode emulation (Debian's qemu-user-static), with no
# binfmt_misc registration needed.
#   cmake -S . -B build-arm64 -G Ninja \
#     --toolchain cmake/toolchains/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A dynamically linked program (the tests) needs the cross C library's
# loader, which qemu finds with -L. Where Debian's multiarch libc6:arm64 is
# installed, the loader is in /lib and -L would mix two C libraries (the
# run hangs), so -L is given only where that loader is absent.
if(EXISTS /lib/ld-linux-aarch64.so.1)
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static)
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static -L /usr/aarch64-linux-gnu)
endif()
