# Reads a Windows module's export and import tables with objdump and checks what a host
# and a bare Windows installation see:
#  - the module is built for the expected machine;
#  - it exports exactly EXPORTS, with no decoration on any name;
#  - it imports only from DLLs that every Windows installation has (no MinGW runtime DLL).
# With VST2, also that the four VST 2.4 names are one function, not get_axoi, and that the
# module takes its error message box from USER32.dll.
#
#   cmake -DOBJDUMP=<objdump> -DMODULE=<dll> -DFORMAT=<pei-i386|pei-x86-64>
#         -DEXPORTS=<name,...> [-DVST2=ON] -P check_pe_tables.cmake

cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${MODULE} failed: ${status}")
endif()
set(problems "")

if(NOT dump MATCHES "file format ${FORMAT}\n")
  string(APPEND problems "\n  not a ${FORMAT} module")
endif()

# Exports: "[Ordinal/Name Pointer] Table" lists "[index] name"; the export address table
# lists "[index] +base[ordinal] rva Export RVA".
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(\t\\[ *[0-9]+\\] [^\n]*\n)*" names_table "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]*" name_entries "${names_table}")
set(exports "")
foreach(entry IN LISTS name_entries)
  string(REGEX REPLACE "\\[ *([0-9]+)\\] (.*)" "\\1;\\2" parts "${entry}")
  list(GET parts 0 index)
  list(GET parts 1 name)
  list(APPEND exports "${name}")
  if(dump MATCHES "\t\\[ *${index}\\] \\+base\\[ *[0-9]+\\] ([0-9a-f]+) Export RVA")
    set(rva_${name} "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(SORT exports)
string(REPLACE "," ";" expected_exports "${EXPORTS}")
list(SORT expected_exports)
list(LENGTH exports export_count)
if(export_count GREATER 20)
  string(APPEND problems "\n  exports ${export_count} names, expected [${expected_exports}]")
elseif(NOT exports STREQUAL expected_exports)
  string(APPEND problems "\n  exports are [${exports}], expected [${expected_exports}]")
endif()
if(VST2)
  foreach(alias main MAIN _VSTPluginMain)
    if(NOT DEFINED rva_VSTPluginMain OR NOT "${rva_${alias}}" STREQUAL "${rva_VSTPluginMain}")
      string(APPEND problems "\n  export ${alias} is not the function VSTPluginMain")
    endif()
  endforeach()
  if(DEFINED rva_get_axoi AND "${rva_get_axoi}" STREQUAL "${rva_VSTPluginMain}")
    string(APPEND problems "\n  get_axoi and VSTPluginMain are one function")
  endif()
endif()

# Imports.
string(REGEX MATCHALL "DLL Name: [^\n]*" dll_lines "${dump}")
set(allowed_dlls kernel32.dll user32.dll msvcrt.dll)
set(imports "")
foreach(line IN LISTS dll_lines)
  string(REGEX REPLACE "DLL Name: " "" dll "${line}")
  list(APPEND imports "${dll}")
  string(TOLOWER "${dll}" dll_lower)
  if(NOT dll_lower IN_LIST allowed_dlls)
    string(APPEND problems "\n  imports ${dll}, which a Windows installation does not provide")
  endif()
endforeach()
if(VST2 AND NOT dump MATCHES "DLL Name: USER32.dll\n[^\n]*\n(\t[^\n]+\n)*\t[0-9a-f]+\t +[0-9]+ +MessageBoxA\n")
  string(APPEND problems "\n  MessageBoxA is not imported from USER32.dll")
endif()

if(problems)
  message(FATAL_ERROR "${MODULE}:${problems}")
endif()
message(STATUS "${MODULE}: exports [${exports}], imports [${imports}]")
