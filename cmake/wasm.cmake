# chipid for WebAssembly (wasm32-wasi): the program inside the web page
# chipid-VERSION.html, which runs in any browser, and under Node for the
# tests. Built with clang (cmake/clang.cmake says which, N) and Debian's
# wasi-libc, libc++-N-dev-wasm32, libc++abi-N-dev-wasm32,
# libclang-rt-N-dev-wasm32 and lld-N:
#   cmake -S . -B build-wasm -G Ninja --toolchain cmake/wasm.cmake
# Debian's C++ library for WebAssembly has no exception support, which
# chipid does not need.
include(${CMAKE_CURRENT_LIST_DIR}/clang.cmake)
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_FLAGS_INIT -fno-exceptions)
