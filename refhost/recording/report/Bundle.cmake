# Puts the report page, its script and the diagram library into one file.
#   SOURCE   folder with report.html and report.js
#   LIBRARY  the library's single-file build (may be missing: the page then
#            lists the run without a diagram)
#   OUT      the template written
cmake_policy(VERSION 3.20)
file(READ ${SOURCE}/report.html page)
file(READ ${SOURCE}/report.js script)
if(EXISTS ${LIBRARY})
  file(READ ${LIBRARY} library)
else()
  set(library "/* the diagram library was not installed when this page was built */")
endif()
foreach(part library script)
  string(TOLOWER "${${part}}" lower)
  string(FIND "${lower}" "</script" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "the ${part} of the report holds '</script' and cannot be inlined")
  endif()
endforeach()
# The script and library go in last, after the data markers, so that the
# program that fills the markers finds them first.
string(REPLACE "/*@@LIBRARY@@*/" "${library}" page "${page}")
string(REPLACE "/*@@SCRIPT@@*/" "${script}" page "${page}")
file(WRITE ${OUT} "${page}")
