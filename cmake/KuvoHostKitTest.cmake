# Run by CTest (cmake -P): a host built as docs/host-guide.md says, with the commands of its
# section "Building a host" taken from the guide itself, and run:
# - Linux: this build installed into a prefix of its own; examples/host with the guide's CMake
#   commands, docs/examples/guide_host.cpp with its plain compiler line.
# - Windows (ARCH given): the archive that scripts/package.sh makes of this architecture,
#   unpacked; the same two hosts with the Windows commands (the kit's toolchain file, the
#   compiler line), run under wine.
# Before that the package's verdicts are probed: a kit without stand-ins, an unknown component,
# a version it is not, and a compiler that is not the kit's.
#   -DBUILD_DIR= -DSOURCE_DIR= -DSCENARIO= [-DARCH=i686|x86_64 -DWINE_RUN=] [-DSANITIZE=<flags>]
string(RANDOM LENGTH 10 _kit_suffix)
set(_kit_tmp "$ENV{TMPDIR}")
if(NOT _kit_tmp)
  set(_kit_tmp /tmp)
endif()
set(WORK "${_kit_tmp}/kuvo-host-kit-${_kit_suffix}")
file(MAKE_DIRECTORY "${WORK}/work" "${WORK}/plain/data")
# Every step is bounded: a hang is a failure, not a stuck test run.
set(_kit_step_seconds 240)

function(kit_fail message)
  file(REMOVE_RECURSE "${WORK}")
  message(FATAL_ERROR "${message}")
endfunction()

function(kit_step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result TIMEOUT ${_kit_step_seconds})
  if(NOT result EQUAL 0)
    kit_fail("${what} failed: ${result}")
  endif()
endfunction()

# The kit: installed from this build, or the archive of this architecture, unpacked.
if(ARCH)
  kit_step("package" ${CMAKE_COMMAND} -E env KUVO_PACKAGE_ARCHES=${ARCH}
    KUVO_PACKAGE_OUT=${WORK}/package bash "${SOURCE_DIR}/scripts/package.sh")
  file(GLOB _kit_archive "${WORK}/package/kuvo-*-${ARCH}.tar.gz")
  if(NOT _kit_archive)
    kit_fail("scripts/package.sh left no kuvo-*-${ARCH}.tar.gz")
  endif()
  file(MAKE_DIRECTORY "${WORK}/unpacked")
  kit_step("unpack" ${CMAKE_COMMAND} -E chdir "${WORK}/unpacked" ${CMAKE_COMMAND} -E tar xzf
    "${_kit_archive}")
  file(GLOB KIT LIST_DIRECTORIES true "${WORK}/unpacked/kuvo-*-${ARCH}")
  set(_kit_toolchain "-DCMAKE_TOOLCHAIN_FILE=${KIT}/lib/cmake/Kuvo/KuvoToolchain.cmake")
else()
  set(KIT "${WORK}/prefix")
  kit_step("install" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${KIT}")
  kit_step("install without stand-ins" ${CMAKE_COMMAND} --install "${BUILD_DIR}"
    --prefix "${WORK}/bare" --component Kuvo)
  set(_kit_toolchain "")
endif()

# The package's verdicts. `expect` is "found" or the text the refusal must hold.
function(kit_probe what expect prefix version components)
  execute_process(COMMAND ${CMAKE_COMMAND} -S "${SOURCE_DIR}/tests/kit/package_probe"
    -B "${WORK}/probe-${what}" -G Ninja ${ARGN} "-DCMAKE_PREFIX_PATH=${prefix}"
    "-DPROBE_VERSION=${version}" "-DPROBE_COMPONENTS=${components}"
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors TIMEOUT ${_kit_step_seconds})
  string(REGEX REPLACE "[ \t\r\n]+" " " flat "${errors}")
  if(expect STREQUAL "found")
    if(NOT result EQUAL 0)
      kit_fail("package probe ${what}: expected found, got ${result}\n${errors}")
    endif()
  elseif(result EQUAL 0 OR NOT flat MATCHES "${expect}")
    kit_fail("package probe ${what}: expected a refusal naming \"${expect}\"\n${errors}")
  endif()
  message(STATUS "package probe ${what}: ${expect}")
endfunction()
if(NOT ARCH)
  kit_probe(bare found "${WORK}/bare" 1.0 "Chat;Fetch;Desk;HostSupport;Assist")
  kit_probe(standins "missing components Standins" "${WORK}/bare" 1.0 "Chat;Standins")
  find_program(_kit_clang clang++)
  if(_kit_clang)
    kit_probe(compiler "built for Linux with GNU .*clang" "${KIT}" 1.0 "Chat"
      "-DCMAKE_CXX_COMPILER=${_kit_clang}")
  endif()
else()
  kit_probe(toolchain found "${KIT}" 1.0 "Chat;Fetch;Desk;HostSupport;Assist;Standins"
    "${_kit_toolchain}")
  # Without the kit's toolchain file the Linux compiler is refused (the 32-bit kit already by its
  # version file); with the kit's toolchain but mingw's win32 thread model, too.
  kit_probe(compiler "(built for Windows .* --toolchain|not accepted)" "${KIT}" 1.0 "Chat")
  find_program(_kit_win32 ${ARCH}-w64-mingw32-g++-win32)
  if(_kit_win32)
    file(WRITE "${WORK}/win32-threads.cmake" "include(\"${KIT}/lib/cmake/Kuvo/KuvoToolchain.cmake\")\n"
      "set(CMAKE_CXX_COMPILER ${_kit_win32})\n")
    kit_probe(threads "thread model posix.* thread model win32" "${KIT}" 1.0 "Chat"
      "-DCMAKE_TOOLCHAIN_FILE=${WORK}/win32-threads.cmake")
  endif()
endif()
kit_probe(unknown "unknown components Bogus" "${KIT}" 1.0 "Chat;Bogus" ${_kit_toolchain})
kit_probe(version "requested version" "${KIT}" 2.0 "Chat" ${_kit_toolchain})

# A command block of the guide: the ```sh block whose first line is "# <title>".
file(READ "${SOURCE_DIR}/docs/host-guide.md" _kit_guide)
function(guide_block title out)
  string(FIND "${_kit_guide}" "```sh\n# ${title}\n" start)
  if(start EQUAL -1)
    kit_fail("docs/host-guide.md has no command block \"# ${title}\"")
  endif()
  string(SUBSTRING "${_kit_guide}" ${start} -1 rest)
  string(LENGTH "```sh\n" skip)
  string(SUBSTRING "${rest}" ${skip} -1 rest)
  string(FIND "${rest}" "```" end)
  string(SUBSTRING "${rest}" 0 ${end} block)
  string(REPLACE "<kit>" "${KIT}" block "${block}")
  string(REPLACE "<arch>" "${ARCH}" block "${block}")
  set(${out} "${block}" PARENT_SCOPE)
endfunction()

# Runs a block with bash in `folder`, after `edits` (pairs: text, replacement).
function(run_block what folder block)
  set(edits ${ARGN})
  while(edits)
    list(POP_FRONT edits from to)
    string(REPLACE "${from}" "${to}" block "${block}")
  endwhile()
  message(STATUS "${what}:\n${block}")
  execute_process(COMMAND bash -euo pipefail -c "${block}" WORKING_DIRECTORY "${folder}"
    RESULT_VARIABLE result TIMEOUT ${_kit_step_seconds})
  if(NOT result EQUAL 0)
    kit_fail("${what}: the guide's commands failed (${result})")
  endif()
endfunction()

# Build options of this test run, added to the guide's cmake configure line: the generator, the
# compiler cache, and the kit's own instrumentation in the sanitizer builds.
set(_kit_options "-G Ninja -DCMAKE_BUILD_TYPE=Release")
find_program(_kit_ccache ccache)
if(_kit_ccache)
  string(APPEND _kit_options " -DCMAKE_CXX_COMPILER_LAUNCHER=${_kit_ccache}")
endif()
if(SANITIZE)
  string(APPEND _kit_options
    " '-DCMAKE_CXX_FLAGS=${SANITIZE}' '-DCMAKE_EXE_LINKER_FLAGS=${SANITIZE}'")
endif()
configure_file("${SOURCE_DIR}/docs/examples/guide_host.cpp" "${WORK}/plain/guide_host.cpp"
  COPYONLY)
# Loopback requests go direct, whatever proxy the environment names.
set(ENV{NO_PROXY} "*")
set(ENV{no_proxy} "*")

if(NOT ARCH)
  guide_block("Linux, CMake: configure and build a host against the installed kit" _kit_cmake)
  run_block("Linux, CMake" "${WORK}" "${_kit_cmake}" "<host>" "${SOURCE_DIR}/examples/host"
    "<build>" "${WORK}/build" "-DCMAKE_PREFIX_PATH=${KIT}"
    "-DCMAKE_PREFIX_PATH=${KIT} ${_kit_options}")
  kit_step("run" "${WORK}/build/kuvo_kit_host" "${WORK}/work" "${SCENARIO}")
  guide_block("Linux, plain compiler: one file against the installed kit" _kit_plain)
  run_block("Linux, plain compiler" "${WORK}/plain" "${_kit_plain}" "g++ -std" "g++ ${SANITIZE} -std")
  kit_step("run the one-file host" "${WORK}/plain/guide_host" "${WORK}/plain/data")
else()
  # The wine session of the main build serves these programs too.
  set(ENV{KUVO_WINEPREFIX} "${BUILD_DIR}/wineprefix")
  guide_block("Windows, CMake: configure and build a host against the unpacked archive" _kit_cmake)
  run_block("Windows, CMake" "${WORK}" "${_kit_cmake}" "<host>" "${SOURCE_DIR}/examples/host"
    "<build>" "${WORK}/build" "-DCMAKE_PREFIX_PATH=${KIT}"
    "-DCMAKE_PREFIX_PATH=${KIT} ${_kit_options}")
  kit_step("run" "${WINE_RUN}" "${WORK}/build/kuvo_kit_host.exe" "Z:${WORK}/work" "Z:${SCENARIO}")
  guide_block("Windows, plain compiler: one file against the unpacked archive" _kit_plain)
  run_block("Windows, plain compiler" "${WORK}/plain" "${_kit_plain}")
  kit_step("run the one-file host" "${WINE_RUN}" "${WORK}/plain/guide_host.exe"
    "Z:${WORK}/plain/data")
endif()
file(REMOVE_RECURSE "${WORK}")
