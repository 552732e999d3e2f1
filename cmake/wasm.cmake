# chipid for WebAssembly (wasm32-wasi): the program inside the web page
# chipid-VERSION.html, which runs in any browser, and under Node for the
# tests. Built with clang and Debian's wasi-libc, libc++-14-dev-wasm32,
# libc++abi-14-dev-wasm32 and libclang-rt-14-dev-wasm32:
#   cmake -S . -B build-wasm -G Ninja --toolchain cmake/wasm.cmake
# Debian's C++ library for WebAssembly has no exception support, which
# chipid does not need.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_FLAGS_INIT -fno-exceptions)
