# chipid for WebAssembly (wasm32-wasi): the program inside the web page
# chipid-VERSION.html, which runs in any browser, and under Node for the
# tests. Built with clang (cmake/clang.cmake says which, N) and Debian's
# wasi-libc, libc++-N-dev-wasm32, libc++abi-N-dev-wasm32,
# libclang-rt-N-dev-wasm32, lld-N and llvm-N (whose llvm-ar indexes
# WebAssembly objects, which GNU ar cannot):
#   cmake -S . -B build-wasm -G Ninja --toolchain cmake/wasm.cmake
# Debian's C++ library for WebAssembly has no exception support, which
# chipid does not need. clang with wasi-libc rather than emscripten: the
# module imports only WASI preview 1, so the page and the Node runner run
# the same bytes through the same hundred lines of JavaScript
# (web/wasi.js); emscripten's glue line-buffers standard output, which put
# a diagnostic before its record, and adds a newline at the end.
include(${CMAKE_CURRENT_LIST_DIR}/clang.cmake)
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_FLAGS_INIT -fno-exceptions)
