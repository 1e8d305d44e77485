cmake_minimum_required(VERSION 3.25)
# Checks the PE headers of the plug-in module:
#  - it exports exactly DllGetClassObject and DllCanUnloadNow;
#  - it imports only system DLLs that both Windows 10 and Wine provide, so
#    no MinGW runtime DLL (libstdc++, libgcc_s, libwinpthread) is needed.
#   cmake -DOBJDUMP=<objdump> -DMODULE=<dll> -P check_module.cmake

set(expected_exports DllCanUnloadNow DllGetClassObject)
set(allowed_imports
    kernel32.dll msvcrt.dll advapi32.dll shlwapi.dll winspool.drv version.dll shell32.dll
    user32.dll gdi32.dll ole32.dll)

execute_process(COMMAND ${OBJDUMP} -p ${MODULE}
                OUTPUT_VARIABLE dump
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${MODULE} failed (${result})")
endif()
string(REPLACE "\n" ";" lines "${dump}")

set(failed FALSE)

# Exports: the lines after "[Ordinal/Name Pointer] Table" read "\t[   0] Name".
set(exports)
set(in_table FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "\\[Ordinal/Name Pointer\\] Table")
    set(in_table TRUE)
  elseif(in_table AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] +([^ ]+)")
    list(APPEND exports ${CMAKE_MATCH_1})
  elseif(in_table)
    set(in_table FALSE)
  endif()
endforeach()
list(SORT exports)
message(STATUS "exports: ${exports}")
if(NOT exports STREQUAL expected_exports)
  message(SEND_ERROR "exports are '${exports}', expected exactly '${expected_exports}'")
  set(failed TRUE)
endif()

# Imports: "\tDLL Name: KERNEL32.dll".
set(imports)
foreach(line IN LISTS lines)
  if(line MATCHES "DLL Name: (.+)$")
    string(STRIP "${CMAKE_MATCH_1}" name)
    list(APPEND imports ${name})
  endif()
endforeach()
message(STATUS "imports: ${imports}")
if(NOT imports)
  message(SEND_ERROR "no import table found")
  set(failed TRUE)
endif()
foreach(name IN LISTS imports)
  string(TOLOWER ${name} lower)
  if(lower MATCHES "^api-ms-win-crt-[a-z0-9-]+\\.dll$")
    continue()
  endif()
  if(NOT lower IN_LIST allowed_imports)
    message(SEND_ERROR "imports ${name}, which is not among the system DLLs allowed")
    set(failed TRUE)
  endif()
endforeach()

if(failed)
  message(FATAL_ERROR "${MODULE}: module check failed")
endif()
