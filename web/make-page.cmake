# Makes the web page from web/page.html: the version, the system interface
# (wasi.js), chipid's WebAssembly module in base64, its texts (FACTS, made
# from src/report_texts.txt) and its manual page as HTML (MANUAL, mandoc's
# fragment, its links and anchors taken out: the page links nowhere, and
# each data table's first row made its heading), all written into it.
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
# mandoc gives a table's heading row plain cells; the first row of each of
# the manual's tables is its heading, so its cells become heading cells.
set(rest "${manual}")
set(manual "")
while(TRUE)
  string(FIND "${rest}" "<table class=\"tbl\">" at)
  if(at EQUAL -1)
    break()
  endif()
  string(SUBSTRING "${rest}" 0 ${at} before)
  string(SUBSTRING "${rest}" ${at} -1 rest)
  string(FIND "${rest}" "</tr>" end)
  string(SUBSTRING "${rest}" 0 ${end} heading)
  string(SUBSTRING "${rest}" ${end} -1 rest)
  string(REPLACE "<td>" "<th scope=\"col\">" heading "${heading}")
  string(REPLACE "</td>" "</th>" heading "${heading}")
  string(APPEND manual "${before}${heading}")
endwhile()
string(APPEND manual "${rest}")
# The page's title line and foot line are laid out as tables of no data.
string(REPLACE "<table class=\"head\">" "<table class=\"head\" role=\"presentation\">" manual "${manual}")
string(REPLACE "<table class=\"foot\">" "<table class=\"foot\" role=\"presentation\">" manual "${manual}")
string(REPLACE "@MANUAL_HTML@" "${manual}" page "${page}")
file(WRITE ${OUT} "${page}")
