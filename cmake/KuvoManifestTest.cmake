# Run by CTest (cmake -P) in Windows builds: this build installed into a folder of its own, its
# manifest written and accepted by the check; then one changed byte and one export moved to
# another ordinal must each be refused. With OBJDUMP, the export tables read by the script are
# compared with binutils' view of them.   -DBUILD_DIR= -DSOURCE_DIR= -DPYTHON= [-DOBJDUMP=]
string(RANDOM LENGTH 10 _suffix)
set(_tmp "$ENV{TMPDIR}")
if(NOT _tmp)
  set(_tmp /tmp)
endif()
set(KIT "${_tmp}/kuvo-manifest-${_suffix}")
set(TOOL "${SOURCE_DIR}/scripts/kit_manifest.py")

function(step what expected)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if((expected EQUAL 0 AND NOT result EQUAL 0) OR (NOT expected EQUAL 0 AND result EQUAL 0))
    file(REMOVE_RECURSE "${KIT}")
    message(FATAL_ERROR "${what}: exit ${result}\n${out}")
  endif()
  message(STATUS "${what}: ${out}")
endfunction()

step("install" 0 ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${KIT}")
step("write" 0 ${PYTHON} "${TOOL}" write "${KIT}")
step("check" 0 ${PYTHON} "${TOOL}" check "${KIT}")
if(OBJDUMP)
  step("compare with objdump" 0 ${PYTHON} "${TOOL}" compare "${KIT}" "${OBJDUMP}")
endif()
file(STRINGS "${KIT}/MANIFEST.txt" _exports REGEX "^export bin/KuvoChat.dll ")
list(LENGTH _exports _count)
if(NOT _count EQUAL 19)
  file(REMOVE_RECURSE "${KIT}")
  message(FATAL_ERROR "KuvoChat.dll lists ${_count} exports, not 19")
endif()
file(READ "${KIT}/MANIFEST.txt" _manifest)
# An export listed at the wrong ordinal.
string(REPLACE "export bin/KuvoChat.dll 1 " "export bin/KuvoChat.dll 2 " _moved "${_manifest}")
file(WRITE "${KIT}/MANIFEST.txt" "${_moved}")
step("check of a moved export" 1 ${PYTHON} "${TOOL}" check "${KIT}")
# A changed file.
file(WRITE "${KIT}/MANIFEST.txt" "${_manifest}")
file(APPEND "${KIT}/include/KuvoChat.h" " ")
step("check of a changed file" 1 ${PYTHON} "${TOOL}" check "${KIT}")
file(REMOVE_RECURSE "${KIT}")
