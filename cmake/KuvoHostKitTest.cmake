# Run by CTest (cmake -P): installs this build into a prefix of its own, configures and builds
# examples/host against that prefix alone, then runs the host (under wine for Windows builds).
#   -DBUILD_DIR= -DSOURCE_DIR= -DSCENARIO= [-DTOOLCHAIN=] [-DWINE_RUN=]
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
set(_kit_configure -S "${SOURCE_DIR}/examples/host" -B "${WORK}/build" -G Ninja
  -DCMAKE_BUILD_TYPE=Release "-DCMAKE_PREFIX_PATH=${WORK}/prefix")
find_program(_kit_ccache ccache)
if(_kit_ccache)
  list(APPEND _kit_configure -DCMAKE_CXX_COMPILER_LAUNCHER=${_kit_ccache})
endif()
if(TOOLCHAIN)
  list(APPEND _kit_configure "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}")
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
