# Run by CTest (cmake -P): installs this build into a prefix of its own, configures and builds
# examples/host against that prefix alone, then runs the host (under wine for Windows builds).
#   -DBUILD_DIR= -DSOURCE_DIR= -DSCENARIO= [-DTOOLCHAIN=] [-DWINE_RUN=] [-DSANITIZE=<flags>]
string(RANDOM LENGTH 10 _kit_suffix)
set(_kit_tmp "$ENV{TMPDIR}")
if(NOT _kit_tmp)
  set(_kit_tmp /tmp)
endif()
set(WORK "${_kit_tmp}/kuvo-host-kit-${_kit_suffix}")
file(MAKE_DIRECTORY "${WORK}/work")

function(kit_step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    file(REMOVE_RECURSE "${WORK}")
    message(FATAL_ERROR "${what} failed: ${result}")
  endif()
endfunction()

kit_step("install" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${WORK}/prefix")
kit_step("install without stand-ins" ${CMAKE_COMMAND} --install "${BUILD_DIR}"
  --prefix "${WORK}/bare" --component Kuvo)
set(_kit_common -G Ninja -DCMAKE_BUILD_TYPE=Release)
if(TOOLCHAIN)
  list(APPEND _kit_common "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}")
endif()

# The package's verdicts: version 1.0 of the components alone is found in the bare kit, the
# stand-ins are not, and version 2.0 is refused.
function(kit_probe what expect prefix version components)
  execute_process(COMMAND ${CMAKE_COMMAND} -S "${SOURCE_DIR}/tests/kit/package_probe"
    -B "${WORK}/probe-${what}" ${_kit_common} "-DCMAKE_PREFIX_PATH=${prefix}"
    "-DPROBE_VERSION=${version}" "-DPROBE_COMPONENTS=${components}"
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
  string(REGEX MATCH "(requested version|missing components)[^\n]*" reason "${errors}")
  if((expect STREQUAL "found") AND NOT result EQUAL 0 OR
     (expect STREQUAL "refused") AND (result EQUAL 0 OR NOT reason))
    file(REMOVE_RECURSE "${WORK}")
    message(FATAL_ERROR "package probe ${what}: expected ${expect}, got ${result}\n${errors}")
  endif()
  message(STATUS "package probe ${what}: ${expect} ${reason}")
endfunction()
kit_probe(bare found "${WORK}/bare" 1.0 "Chat;Fetch;Desk;Assist")
kit_probe(standins refused "${WORK}/bare" 1.0 "Chat;Standins")
kit_probe(version refused "${WORK}/prefix" 2.0 "Chat")

set(_kit_configure -S "${SOURCE_DIR}/examples/host" -B "${WORK}/build" ${_kit_common}
  "-DCMAKE_PREFIX_PATH=${WORK}/prefix")
find_program(_kit_ccache ccache)
if(_kit_ccache)
  list(APPEND _kit_configure -DCMAKE_CXX_COMPILER_LAUNCHER=${_kit_ccache})
endif()
if(SANITIZE)
  list(APPEND _kit_configure "-DCMAKE_CXX_FLAGS=${SANITIZE}" "-DCMAKE_EXE_LINKER_FLAGS=${SANITIZE}")
endif()
kit_step("configure" ${CMAKE_COMMAND} ${_kit_configure})
kit_step("build" ${CMAKE_COMMAND} --build "${WORK}/build")
# Loopback requests go direct, whatever proxy the environment names.
set(ENV{NO_PROXY} "*")
set(ENV{no_proxy} "*")
if(WINE_RUN)
  # The wine session of the main build serves this program too.
  set(ENV{KUVO_WINEPREFIX} "${BUILD_DIR}/wineprefix")
  kit_step("run" "${WINE_RUN}" "${WORK}/build/kuvo_kit_host.exe" "Z:${WORK}/work" "Z:${SCENARIO}")
else()
  kit_step("run" "${WORK}/build/kuvo_kit_host" "${WORK}/work" "${SCENARIO}")
endif()
file(REMOVE_RECURSE "${WORK}")
