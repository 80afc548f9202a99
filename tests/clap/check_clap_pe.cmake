# Reads a Windows CLAP module's export and import tables with objdump: the module is built for
# the expected machine, exports exactly clap_entry (undecorated, also on 32-bit Windows) and
# imports only from DLLs that every Windows installation has.
#
#   cmake -DOBJDUMP=<objdump> -DMODULE=<file.clap> -DFORMAT=<pei-i386|pei-x86-64> -P check_clap_pe.cmake

cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${MODULE} failed: ${status}")
endif()
set(problems "")
if(NOT dump MATCHES "file format ${FORMAT}\n")
  string(APPEND problems "\n  not a ${FORMAT} module")
endif()

string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(\t\\[ *[0-9]+\\] [^\n]*\n)*" names_table "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]*" name_entries "${names_table}")
set(exports "")
foreach(entry IN LISTS name_entries)
  string(REGEX REPLACE "\\[ *[0-9]+\\] " "" name "${entry}")
  list(APPEND exports "${name}")
endforeach()
if(NOT exports STREQUAL "clap_entry")
  string(APPEND problems "\n  exports are [${exports}], expected [clap_entry]")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]*" dll_lines "${dump}")
set(allowed_dlls kernel32.dll msvcrt.dll)
set(imports "")
foreach(line IN LISTS dll_lines)
  string(REGEX REPLACE "DLL Name: " "" dll "${line}")
  list(APPEND imports "${dll}")
  string(TOLOWER "${dll}" dll_lower)
  if(NOT dll_lower IN_LIST allowed_dlls)
    string(APPEND problems "\n  imports ${dll}, which a Windows installation does not provide")
  endif()
endforeach()

if(problems)
  message(FATAL_ERROR "${MODULE}:${problems}")
endif()
message(STATUS "${MODULE}: exports [${exports}], imports [${imports}]")
