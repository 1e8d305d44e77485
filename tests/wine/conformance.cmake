cmake_minimum_required(VERSION 3.25)
# One golden job of tests/host/golden run by kxrender.exe and the plug-in DLL
# under Wine, compared byte for byte with the job's expected stream and files
# - the same expectation the Linux build's golden test holds the native
# kxrender and plug-in to, so both platforms write the same bytes.
#   cmake -DWINE=<wine> -DKXRENDER=<kxrender.exe> -DEXPECT=<name.expect.json>
#         -DPREFIX=<wine prefix> -DWORK=<scratch folder> [-DNATIVE=<kxrender>]
#         -P conformance.cmake
# With NATIVE (the Linux build's kxrender), the job also runs natively and
# the two runs' streams and files on the drives are compared with each other.
#
# Clock: the job files pin the clock ("environment.clock"); the simulated
# Windows uses it, Windows itself has its own. No golden job writes the
# time into a compared stream or file, so no bytes are masked; a job that
# did would fail here rather than pass unnoticed.

function(read_bytes path out)
  file(READ "${path}" hex HEX)
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()

set(failed FALSE)
function(fail message)
  message(SEND_ERROR "${message}")
  set(failed TRUE PARENT_SCOPE)
endfunction()

# Where two hex dumps first differ, as a byte offset with both sides.
function(compare_bytes what expected_hex actual_hex)
  if(expected_hex STREQUAL actual_hex)
    return()
  endif()
  string(LENGTH "${expected_hex}" le)
  string(LENGTH "${actual_hex}" la)
  set(i 0)
  while(i LESS le AND i LESS la)
    string(SUBSTRING "${expected_hex}" ${i} 2 a)
    string(SUBSTRING "${actual_hex}" ${i} 2 b)
    if(NOT a STREQUAL b)
      break()
    endif()
    math(EXPR i "${i} + 2")
  endwhile()
  math(EXPR offset "${i} / 2")
  math(EXPR ne "${le} / 2")
  math(EXPR na "${la} / 2")
  string(SUBSTRING "${expected_hex}" ${i} 32 a)
  string(SUBSTRING "${actual_hex}" ${i} 32 b)
  fail("${what}: differs at byte ${offset} (expected ${ne} bytes, got ${na}):\n"
       "  expected ...${a}\n  actual   ...${b}")
  set(failed TRUE PARENT_SCOPE)
endfunction()

file(READ "${EXPECT}" expect)
get_filename_component(golden_dir "${EXPECT}" DIRECTORY)
string(JSON job GET "${expect}" job)
get_filename_component(job "${golden_dir}/${job}" ABSOLUTE)
get_filename_component(job_dir "${job}" DIRECTORY)
string(JSON exit_expected GET "${expect}" exit)

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

# The job's files on drive C: of the prefix must not come from an earlier job.
string(JSON nfiles ERROR_VARIABLE none LENGTH "${expect}" files)
if(none)
  set(nfiles 0)
endif()
set(drive_files)
if(nfiles GREATER 0)
  math(EXPR last "${nfiles} - 1")
  foreach(k RANGE ${last})
    string(JSON windows_path MEMBER "${expect}" files ${k})
    string(SUBSTRING "${windows_path}" 3 -1 rel)
    string(REPLACE "\\" "/" rel "${rel}")
    file(REMOVE "${PREFIX}/drive_c/${rel}")
    list(APPEND drive_files "${windows_path}")
  endforeach()
endif()

# Each job starts as on a fresh system, as the native golden test's fresh
# state folder does: the printer (kxrender.exe installs it again with its
# printer data), the driver's and the user's saved settings of earlier jobs
# go. "reg delete" of a missing key fails; that is fine.
file(READ "${job}" job_text)
string(JSON printer GET "${job_text}" printer name)
foreach(key
    "HKLM\\System\\CurrentControlSet\\Control\\Print\\Printers\\${printer}"
    "HKLM\\SOFTWARE\\Orvane" "HKCU\\SOFTWARE\\Orvane"
    "HKCU\\Printers\\DevModes2" "HKCU\\Printers\\DevModePerUser")
  execute_process(COMMAND ${WINE} reg delete "${key}" /f OUTPUT_QUIET ERROR_QUIET)
endforeach()

# kxrender takes the job's relative file names from the job's folder.
execute_process(COMMAND ${WINE} ${KXRENDER} ${job} -o ${WORK}/wine.kxpl
                WORKING_DIRECTORY ${job_dir}
                RESULT_VARIABLE exit_code
                ERROR_VARIABLE err
                OUTPUT_QUIET)
message(STATUS "kxrender.exe under Wine: exit ${exit_code}\n${err}")
if(NOT exit_code STREQUAL exit_expected)
  fail("exit status ${exit_code}, expected ${exit_expected}")
endif()

string(JSON nlines ERROR_VARIABLE none LENGTH "${expect}" stderr)
if(NOT none AND nlines GREATER 0)
  math(EXPR last "${nlines} - 1")
  foreach(k RANGE ${last})
    string(JSON line GET "${expect}" stderr ${k})
    string(FIND "${err}" "${line}" at)
    if(at EQUAL -1)
      fail("stderr lacks \"${line}\"")
    endif()
  endforeach()
endif()

set(have_output FALSE)
foreach(key output output_starts output_ends)
  string(JSON name ERROR_VARIABLE none GET "${expect}" ${key})
  if(none)
    continue()
  endif()
  set(have_output TRUE)
  if(NOT EXISTS "${WORK}/wine.kxpl")
    fail("no stream written")
    break()
  endif()
  read_bytes("${golden_dir}/${name}" want)
  read_bytes("${WORK}/wine.kxpl" got)
  string(LENGTH "${want}" nwant)
  string(LENGTH "${got}" ngot)
  if(key STREQUAL "output_starts" AND ngot GREATER nwant)
    string(SUBSTRING "${got}" 0 ${nwant} got)
  elseif(key STREQUAL "output_ends" AND ngot GREATER nwant)
    math(EXPR from "${ngot} - ${nwant}")
    string(SUBSTRING "${got}" ${from} -1 got)
  endif()
  compare_bytes("stream (${key} ${name})" "${want}" "${got}")
endforeach()
if(NOT have_output AND EXISTS "${WORK}/wine.kxpl")
  fail("a stream was written where none is expected")
endif()

foreach(windows_path IN LISTS drive_files)
  string(JSON name GET "${expect}" files "${windows_path}")
  string(SUBSTRING "${windows_path}" 3 -1 rel)
  string(REPLACE "\\" "/" rel "${rel}")
  if(NOT EXISTS "${PREFIX}/drive_c/${rel}")
    fail("${windows_path} was not written")
    continue()
  endif()
  read_bytes("${golden_dir}/${name}" want)
  read_bytes("${PREFIX}/drive_c/${rel}" got)
  compare_bytes("${windows_path}" "${want}" "${got}")
endforeach()

# Native run of the same job, when the Linux build is at hand: streams and
# every compared file directly against each other.
if(NATIVE AND EXISTS "${NATIVE}")
  execute_process(COMMAND ${NATIVE} ${job} -o ${WORK}/native.kxpl --state ${WORK}/state -q
                  WORKING_DIRECTORY ${job_dir}
                  RESULT_VARIABLE native_exit
                  ERROR_VARIABLE native_err)
  if(NOT native_exit STREQUAL exit_code)
    fail("native exit ${native_exit}, Wine exit ${exit_code}\n${native_err}")
  endif()
  if(EXISTS "${WORK}/native.kxpl" AND EXISTS "${WORK}/wine.kxpl")
    read_bytes("${WORK}/native.kxpl" a)
    read_bytes("${WORK}/wine.kxpl" b)
    compare_bytes("native and Wine streams" "${a}" "${b}")
  endif()
  foreach(windows_path IN LISTS drive_files)
    string(SUBSTRING "${windows_path}" 0 1 drive)
    string(TOLOWER "${drive}" drive)
    string(SUBSTRING "${windows_path}" 3 -1 rel)
    string(REPLACE "\\" "/" rel "${rel}")
    if(EXISTS "${WORK}/state/drives/${drive}/${rel}" AND EXISTS "${PREFIX}/drive_c/${rel}")
      read_bytes("${WORK}/state/drives/${drive}/${rel}" a)
      read_bytes("${PREFIX}/drive_c/${rel}" b)
      compare_bytes("native and Wine ${windows_path}" "${a}" "${b}")
    endif()
  endforeach()
endif()

if(failed)
  message(FATAL_ERROR "${EXPECT}: Wine and the expected bytes differ")
endif()
