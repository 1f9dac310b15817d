# Checks a built Tessavo.dll with objdump -p (and its import library with nm):
#   cmake -DOBJDUMP=... -DDLL=.../Tessavo.dll -DEXPECTED=cmake/exports.map -DFORMAT=pei-i386
#         [-DNM=... -DIMPLIB=.../Tessavo.lib] -P cmake/check_windows_dll.cmake
# - the image format (pei-x86-64 or pei-i386) and the module name Tessavo.dll;
# - exactly the 25 names of the export list, undecorated (a __stdcall export would carry @N);
# - imports from KERNEL32.dll and the C runtime only (no libgcc, libstdc++ or winpthread DLL);
# - a version resource (type 16);
# - no debug sections (they live in Tessavo.dll.debug);
# - with IMPLIB: the import library names the functions as C-convention symbols
#   (__imp__Name on 32-bit, __imp_Name on 64-bit; __stdcall would be __imp__Name@N).
cmake_policy(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump -p failed on ${DLL}")
endif()
set(problems "")

string(REGEX MATCH "file format ([^\n]+)" _ "${dump}")
if(NOT CMAKE_MATCH_1 STREQUAL FORMAT)
  string(APPEND problems "format ${CMAKE_MATCH_1}, expected ${FORMAT}\n")
endif()
string(REGEX MATCH "\nName[ \t]+[0-9a-fA-F]+ ([^\n]+)" _ "${dump}")
if(NOT CMAKE_MATCH_1 STREQUAL "Tessavo.dll")
  string(APPEND problems "module name '${CMAKE_MATCH_1}', expected Tessavo.dll\n")
endif()

string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^ +\n][^\n]*" lines "${dump}")
set(exported "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^\n\t\\[ *[0-9]+\\] " "" name "${line}")
  list(APPEND exported "${name}")
endforeach()
file(READ ${EXPECTED} map)
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*;" expected "${map}")
list(FILTER expected EXCLUDE REGEX "^$")
list(LENGTH expected n)
list(SORT exported)
list(SORT expected)
if(NOT n EQUAL 25 OR NOT exported STREQUAL expected)
  string(APPEND problems "exports: ${exported}\nexpected (${n}): ${expected}\n")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
foreach(dll IN LISTS imports)
  string(TOLOWER "${dll}" lower)
  if(NOT lower MATCHES "^(kernel32|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\\.dll$")
    string(APPEND problems "imports ${dll}\n")
  endif()
endforeach()

if(NOT dump MATCHES "Type Table:[^\n]*\n[^\n]*Entry: ID: 0x000010,")
  string(APPEND problems "no version resource\n")
endif()

execute_process(COMMAND ${OBJDUMP} -h ${DLL} OUTPUT_VARIABLE sections RESULT_VARIABLE rc)
string(REGEX MATCHALL "\\.debug_[a-z_]+" debug "${sections}")
if(NOT rc EQUAL 0 OR debug)
  string(APPEND problems "debug sections: ${debug}\n")
endif()

if(IMPLIB)
  execute_process(COMMAND ${NM} ${IMPLIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  if(FORMAT STREQUAL "pei-i386")
    set(prefix "__imp__")
  else()
    set(prefix "__imp_")
  endif()
  foreach(name IN LISTS expected)
    if(NOT symbols MATCHES " ${prefix}${name}\n")
      string(APPEND problems "import library: no C-convention symbol ${prefix}${name}\n")
    endif()
  endforeach()
endif()

if(problems)
  message(FATAL_ERROR "${DLL}:\n${problems}")
endif()
message(STATUS "${DLL}: ${FORMAT}, 25 undecorated exports, imports ${imports}, version resource, no debug sections")
