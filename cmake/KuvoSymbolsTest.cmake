# Run by CTest (cmake -P) in Windows builds: this build's components installed into a folder of
# their own and their debug information split off as scripts/package.sh does it
# (scripts/kit_symbols.py split). The check accepts the result; then symbols that do not match
# their binary, missing symbols and a binary still carrying its debug information are each named
# in one line.   -DBUILD_DIR= -DSOURCE_DIR= -DPYTHON= -DOBJCOPY=
string(RANDOM LENGTH 10 _suffix)
set(_tmp "$ENV{TMPDIR}")
if(NOT _tmp)
  set(_tmp /tmp)
endif()
set(KIT "${_tmp}/kuvo-symbols-${_suffix}")
set(SYMBOLS "${KIT}-symbols")
set(TOOL "${SOURCE_DIR}/scripts/kit_symbols.py")

function(fail text)
  file(REMOVE_RECURSE "${KIT}" "${SYMBOLS}")
  message(FATAL_ERROR "${text}")
endfunction()

# Runs the command; its exit status must be 0 or not as `expected` says, and its output must
# match the regular expression `output` from start to end.
function(step what expected output)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if((expected EQUAL 0 AND NOT result EQUAL 0) OR (NOT expected EQUAL 0 AND result EQUAL 0))
    fail("${what}: exit ${result}\n${out}")
  endif()
  if(NOT out MATCHES "^${output}$")
    fail("${what}: printed\n${out}not matching\n${output}")
  endif()
  message(STATUS "${what}: ${out}")
endfunction()

step("install" 0 ".*" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${KIT}" --component Kuvo)
step("split" 0 "" ${PYTHON} "${TOOL}" split "${KIT}" "${SYMBOLS}" "${OBJCOPY}")
step("check" 0 "ok: 4 binaries linked to their symbols\n" ${PYTHON} "${TOOL}" check "${KIT}"
  "${SYMBOLS}")

file(APPEND "${SYMBOLS}/bin/KuvoChat.dll.debug" "x")
file(REMOVE "${SYMBOLS}/bin/KuvoDesk.dll.debug")
file(COPY_FILE "${BUILD_DIR}/bin/KuvoFetch.dll" "${KIT}/bin/KuvoFetch.dll")
step("check of changed, missing and unsplit symbols" 1
  "symbols do not match: bin/KuvoChat.dll.debug has CRC-32 [0-9a-f]+, bin/KuvoChat.dll links [0-9a-f]+\nmissing symbols: bin/KuvoDesk.dll.debug for bin/KuvoDesk.dll\nnot stripped: bin/KuvoFetch.dll carries \\.debug_[^\n]*\\.debug_info[^\n]*\n"
  ${PYTHON} "${TOOL}" check "${KIT}" "${SYMBOLS}")
file(REMOVE_RECURSE "${KIT}" "${SYMBOLS}")
