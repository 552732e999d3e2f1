# Makes the web page from web/page.html: the version, the system interface
# (wasi.js) and chipid's WebAssembly module, in base64, written into it.
#   cmake -DVERSION=V -DWASM=chipid.wasm -DSOURCE=web -DOUT=page.html -P make-page.cmake
cmake_minimum_required(VERSION 3.25)
file(READ ${SOURCE}/page.html page)
file(READ ${SOURCE}/wasi.js wasi)
execute_process(COMMAND base64 -w 0 ${WASM} OUTPUT_VARIABLE module COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
string(REPLACE "@WASI_JS@" "${wasi}" page "${page}")
string(REPLACE "@WASM_BASE64@" "${module}" page "${page}")
file(WRITE ${OUT} "${page}")
