cmake_minimum_required(VERSION 3.25)
# index.html from its template: the style sheet, the engine (the compiled
# code with its WebAssembly inlined) and the page's scripts put in place, so
# the page is one file that needs no server and no network.
file(READ ${SOURCE}/index.html.in page)
file(READ ${SOURCE}/page.css css)
file(READ ${ENGINE} engine)
file(READ ${SOURCE}/fused.js fused)
string(APPEND engine "${fused}")
file(READ ${SOURCE}/plot.js plot)
file(READ ${SOURCE}/overlay.js overlay)
file(READ ${SOURCE}/colour.js colour)
file(READ ${SOURCE}/page.js script)
file(READ ${SOURCE}/setup_form.js form)
string(APPEND script "${form}")
# Inside a script element only "</script" would end it early.
string(REPLACE "</script" "<\\/script" engine "${engine}")
string(REPLACE "@CSS@" "${css}" page "${page}")
string(REPLACE "@PLOT@" "${plot}" page "${page}")
string(REPLACE "@OVERLAY@" "${overlay}" page "${page}")
string(REPLACE "@COLOUR@" "${colour}" page "${page}")
string(REPLACE "@PAGE@" "${script}" page "${page}")
string(REPLACE "@ENGINE@" "${engine}" page "${page}")
file(WRITE ${OUTPUT} "${page}")
