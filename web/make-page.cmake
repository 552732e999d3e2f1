# Makes the web page from web/page.html: the version, the system interface
# (wasi.js), chipid's WebAssembly module in base64, its texts (FACTS, made
# from src/report_texts.txt) and its manual page as HTML (MANUAL, mandoc's
# fragment, its links and anchors taken out: the page links nowhere), all
# written into it.
#   cmake -DVERSION=V -DWASM=chipid.wasm -DSOURCE=web -DFACTS=facts.json -DMANUAL=chipid.1.html
#     -DOUT=page.html -P make-page.cmake
cmake_minimum_required(VERSION 3.25)
file(READ ${SOURCE}/page.html page)
file(READ ${SOURCE}/wasi.js wasi)
execute_process(COMMAND base64 -w 0 ${WASM} OUTPUT_VARIABLE module COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
string(REPLACE "@WASI_JS@" "${wasi}" page "${page}")
string(REPLACE "@WASM_BASE64@" "${module}" page "${page}")
file(READ ${FACTS} facts)
string(REPLACE "@FACTS_JSON@" "${facts}" page "${page}")
file(READ ${MANUAL} manual)
string(REGEX REPLACE "</?a( [^>]*)?>" "" manual "${manual}")
string(REGEX REPLACE "<(/?)h1" "<\\1h3" manual "${manual}")
string(REGEX REPLACE " id=\"[^\"]*\"" "" manual "${manual}")
string(REPLACE "@MANUAL_HTML@" "${manual}" page "${page}")
file(WRITE ${OUT} "${page}")
