# Run by CTest (cmake -P) in Windows builds: this build installed into a folder of its own, its
# manifest written and accepted by the check ("ok: N files, M exports" with the manifest's
# counts); then a folder that is not a kit, a missing, a changed and an extra file and an export
# moved to another ordinal must each be refused with one line naming the problem. With OBJDUMP,
# the export tables read by the script are compared with binutils' view of them.
#   -DBUILD_DIR= -DSOURCE_DIR= -DPYTHON= [-DOBJDUMP=]
string(RANDOM LENGTH 10 _suffix)
set(_tmp "$ENV{TMPDIR}")
if(NOT _tmp)
  set(_tmp /tmp)
endif()
set(KIT "${_tmp}/kuvo-manifest-${_suffix}")
set(TOOL "${SOURCE_DIR}/scripts/kit_manifest.py")

function(fail text)
  file(REMOVE_RECURSE "${KIT}")
  message(FATAL_ERROR "${text}")
endfunction()

# Runs the command; its exit status must be 0 or not as `expected` says, and with `output` its
# whole output must be that one line.
function(step what expected output)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if((expected EQUAL 0 AND NOT result EQUAL 0) OR (NOT expected EQUAL 0 AND result EQUAL 0))
    fail("${what}: exit ${result}\n${out}")
  endif()
  if(output AND NOT out STREQUAL "${output}\n")
    fail("${what}: printed\n${out}instead of\n${output}")
  endif()
  message(STATUS "${what}: ${out}")
endfunction()

function(check_kit what expected output)
  step("${what}" ${expected} "${output}" ${PYTHON} "${TOOL}" check "${KIT}")
endfunction()

step("install" 0 "" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${KIT}")
step("write" 0 "" ${PYTHON} "${TOOL}" write "${KIT}")
file(STRINGS "${KIT}/MANIFEST.txt" _files REGEX "^file ")
file(STRINGS "${KIT}/MANIFEST.txt" _exports REGEX "^export ")
list(LENGTH _files _file_count)
list(LENGTH _exports _export_count)
check_kit("check" 0 "ok: ${_file_count} files, ${_export_count} exports")
if(OBJDUMP)
  step("compare with objdump" 0 "" ${PYTHON} "${TOOL}" compare "${KIT}" "${OBJDUMP}")
endif()
file(STRINGS "${KIT}/MANIFEST.txt" _chat REGEX "^export bin/KuvoChat.dll ")
list(LENGTH _chat _count)
if(NOT _count EQUAL 19)
  fail("KuvoChat.dll lists ${_count} exports, not 19")
endif()
file(READ "${KIT}/MANIFEST.txt" _manifest)

# Not a kit: a folder without a manifest, and one whose manifest is something else.
step("check of a folder without a manifest" 1
  "not an unpacked kit: ${KIT}/include holds no MANIFEST.txt"
  ${PYTHON} "${TOOL}" check "${KIT}/include")
file(WRITE "${KIT}/MANIFEST.txt" "file 12 notahash bin/KuvoChat.dll\n")
check_kit("check of a foreign manifest" 1
  "not an unpacked kit: MANIFEST.txt line 1 is not a manifest line")

# An export listed at the wrong ordinal. Ordinals follow the names, so the first is Im_ ... at 1.
list(GET _chat 0 _first)
string(REGEX REPLACE "^export bin/KuvoChat.dll 1 " "" _first_name "${_first}")
string(REPLACE "export bin/KuvoChat.dll 1 " "export bin/KuvoChat.dll 2 " _moved "${_manifest}")
file(WRITE "${KIT}/MANIFEST.txt" "${_moved}")
check_kit("check of a moved export" 1
  "moved export: ${_first_name} of bin/KuvoChat.dll is at ordinal 1, listed at 2")
file(WRITE "${KIT}/MANIFEST.txt" "${_manifest}")

# A changed, a missing and an extra file, one at a time.
file(READ "${KIT}/include/KuvoChat.h" _header)
file(APPEND "${KIT}/include/KuvoChat.h" " ")
string(LENGTH "${_header}" _size)
math(EXPR _grown "${_size} + 1")
check_kit("check of a changed file" 1
  "changed file: include/KuvoChat.h (${_grown} bytes, listed with ${_size})")
file(WRITE "${KIT}/include/KuvoChat.h" "${_header}")
file(RENAME "${KIT}/include/KuvoDesk.h" "${KIT}/KuvoDesk.h.moved")
check_kit("check of a missing and an extra file" 1
  "missing file: include/KuvoDesk.h\nextra file: KuvoDesk.h.moved")
file(RENAME "${KIT}/KuvoDesk.h.moved" "${KIT}/include/KuvoDesk.h")
check_kit("check of the restored kit" 0 "ok: ${_file_count} files, ${_export_count} exports")
file(REMOVE_RECURSE "${KIT}")
