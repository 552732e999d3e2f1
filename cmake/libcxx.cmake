# A native build with clang and LLVM's C++ library, libc++, in place of
# GCC's libstdc++: the C++ library of macOS, the BSDs and WebAssembly
# builds, which reports some failures differently. On Debian it needs
# clang's libc++-N-dev and libc++abi-N-dev (cmake/clang.cmake says which
# clang, N):
#   cmake -S . -B build-libcxx -G Ninja --toolchain cmake/libcxx.cmake -DCHIPID_BUILD_TESTING=ON
# Debian's GoogleTest library is built against libstdc++, so the tests
# build GoogleTest from its sources (libgtest-dev ships them).
include(${CMAKE_CURRENT_LIST_DIR}/clang.cmake)
set(CMAKE_CXX_FLAGS_INIT -stdlib=libc++)
set(CMAKE_EXE_LINKER_FLAGS_INIT -stdlib=libc++)
set(CHIPID_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
  "Build GoogleTest for the tests from these sources instead of finding an installed one")
