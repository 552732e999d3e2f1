# The web page, chipid-VERSION.html: chipid built for WebAssembly
# (cmake/wasm.cmake) inside the page (web/), from an export of its own. Its
# module, run under Node through the page's own system interface, writes
# the same report.
page_needs() {
    needs node nodejs mandoc mandoc
    # The clang that cmake/wasm.cmake takes, with the C and C++ libraries
    # for WebAssembly, and the linker and archiver (llvm-ar: GNU ar makes
    # no index of WebAssembly objects) of its version.
    local clang package
    clang=$(cmake -P "$source/cmake/clang.cmake")
    [[ -n $clang ]] || fail "no clang++-N is installed, which the web page's build needs: apt-get install clang"
    for package in "clang-$clang" wasi-libc "libc++-$clang-dev-wasm32" "libc++abi-$clang-dev-wasm32" \
        "libclang-rt-$clang-dev-wasm32" "lld-$clang" "llvm-$clang"; do
        needs_package "$package" "the web page's build"
    done
}

page_make() {
    local web_tree=$work/web/chipid-$version
    export_tree "$web_tree"
    step bash -c 'cmake -S "$1" -B "$1/build" -G Ninja -DCMAKE_BUILD_TYPE=Release --toolchain "$1/cmake/wasm.cmake" &&
            cmake --build "$1/build"' _ "$web_tree" >"$work/web.log" 2>&1 ||
        { tail -n 40 "$work/web.log" >&2; fail "cannot build the web page"; }
    cp "$web_tree/build/chipid-$version.html" "$out/"
    same_command_report "chipid-$version.html's module" "$web_tree/build/chipid-under-test"
}
