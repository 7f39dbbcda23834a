# Writes the Windows export lists from the one list of exports,
# qzlink_exports.inc:
#   QZLINK.def         for MSVC users (lib /def:QZLINK.def) and the record
#                      of the table: each plain name, the three decorated
#                      names as aliases of their functions
#   qzlink-link.def    what GNU ld builds the DLL with (on 32-bit x86 each
#                      name bound to its stdcall symbol, Name@bytes)
#   qzlink-implib.def  what dlltool makes the MinGW import library from: the
#                      symbols a C caller of the header references, the
#                      decorated three through == aliases
# usage: cmake -DINC=... -DOUT_DIR=... -DSTDCALL=ON|OFF -P generate_export_lists.cmake
file(STRINGS "${INC}" lines REGEX "^QZ_(SESSION|COMMAND)_EXPORT\\(")
set(msvc "; The camera link library's exports (generated from qzlink_exports.inc).\nLIBRARY QZLINK\nEXPORTS\n")
set(link "LIBRARY QZLINK.dll\nEXPORTS\n")
set(implib "LIBRARY QZLINK.dll\nEXPORTS\n")
set(count 0)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^QZ_[A-Z]+_EXPORT\\(" "" rest "${line}")
  string(REGEX MATCH "^([A-Za-z0-9]+), *(\"[^\"]*\")? *," head "${rest}")
  set(name "${CMAKE_MATCH_1}")
  string(REPLACE "\"" "" decorated "${CMAKE_MATCH_2}")
  string(REGEX MATCH "\\(([^()]*)\\)" params "${rest}")
  set(params "${CMAKE_MATCH_1}")
  if(name STREQUAL "" OR params STREQUAL "")
    message(FATAL_ERROR "cannot read the export line: ${line}")
  endif()
  # Every argument is 32 bits wide on 32-bit x86.
  if(params STREQUAL "void")
    set(bytes 0)
  else()
    string(REGEX MATCHALL "," commas "${params}")
    list(LENGTH commas n)
    math(EXPR bytes "4 * (${n} + 1)")
  endif()
  if(STDCALL)
    set(symbol "${name}@${bytes}")
  else()
    set(symbol "${name}")
  endif()
  if(decorated)
    string(APPEND msvc "  ${decorated}=${name}\n")
    string(APPEND link "  ${decorated} = ${symbol}\n")
    string(APPEND implib "  ${symbol} == ${decorated}\n")
  else()
    string(APPEND msvc "  ${name}\n")
    if(STDCALL)
      string(APPEND link "  ${name} = ${symbol}\n")
    else()
      string(APPEND link "  ${name}\n")
    endif()
    string(APPEND implib "  ${symbol}\n")
  endif()
  math(EXPR count "${count} + 1")
endforeach()
if(NOT count EQUAL 113)
  message(FATAL_ERROR "qzlink_exports.inc lists ${count} exports, not 113")
endif()
foreach(pair "QZLINK.def;msvc" "qzlink-link.def;link" "qzlink-implib.def;implib")
  list(GET pair 0 file)
  list(GET pair 1 var)
  # Written only when changed, so that an unchanged list relinks nothing.
  file(CONFIGURE OUTPUT "${OUT_DIR}/${file}" CONTENT "${${var}}" @ONLY)
endforeach()
