cmake_minimum_required(VERSION 3.25)
# Creates a fresh Wine prefix for one ctest run of the Windows tests.
#   cmake -DWINE=<wine> -DWINESERVER=<wineserver> -DPREFIX=<dir> -P wine_prefix.cmake
# WINEPREFIX, WINEDEBUG and WINEDLLOVERRIDES come from the test's environment.

if(EXISTS ${PREFIX})
  if(WINESERVER)
    # A server left from an earlier run must not hold on to the old prefix.
    execute_process(COMMAND ${WINESERVER} -k OUTPUT_QUIET ERROR_QUIET)
  endif()
  file(REMOVE_RECURSE ${PREFIX})
endif()

execute_process(COMMAND ${WINE} wineboot --init
                RESULT_VARIABLE result
                TIMEOUT 280)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "wineboot failed (${result})")
endif()
if(WINESERVER)
  # Wait until wineboot's processes have finished writing the prefix.
  execute_process(COMMAND ${WINESERVER} -w TIMEOUT 120)
endif()
if(NOT EXISTS ${PREFIX}/system.reg)
  message(FATAL_ERROR "no Wine prefix in ${PREFIX}")
endif()
message(STATUS "Wine prefix ready: ${PREFIX}")
