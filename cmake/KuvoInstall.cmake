# Install rules and the CMake package of the host kit.
#
#   cmake --install build/<preset> --prefix <dir>                      everything
#   cmake --install build/<preset> --prefix <dir> --component Kuvo     the components alone
#   cmake --install build/<preset> --prefix <dir> --component Standins the stand-ins
#
# Component "Kuvo": the public headers (with the base headers they include), KuvoChat, KuvoFetch,
# KuvoDesk and KuvoAssist, on Windows the import libraries and .def files, the host helpers
# (libKuvoHostSupport.a with kuvo_host/*.h), and the package files (lib/cmake/Kuvo, on Windows
# with the toolchain file a host configures with). Component "Standins": the stand-ins of the
# vendor SDKs and of the in-house libraries with their control headers; a host that ships the
# real libraries leaves it out. The test builds (KuvoFetchForTesting, KuvoDeskForTesting) and
# their testing/ headers are not installed.
#
# The components find the in-house libraries by file name next to themselves, so every run-time
# file of one platform goes to one folder: bin/ on Windows (DLLs and KuvoAssist.exe), lib/ on
# Linux (shared libraries found through $ORIGIN, and KuvoAssist beside them).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

if(WIN32)
  set(KUVO_INSTALL_RUNTIME_DIR ${CMAKE_INSTALL_BINDIR})
else()
  set(KUVO_INSTALL_RUNTIME_DIR ${CMAKE_INSTALL_LIBDIR})
endif()
set(KUVO_INSTALL_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Kuvo)

function(kuvo_install_binaries component)
  foreach(target ${ARGN})
    install(TARGETS ${target}
      RUNTIME DESTINATION ${KUVO_INSTALL_RUNTIME_DIR} COMPONENT ${component}
      LIBRARY DESTINATION ${KUVO_INSTALL_RUNTIME_DIR} COMPONENT ${component}
      ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${component})
  endforeach()
endfunction()

# The components.
kuvo_install_binaries(Kuvo KuvoChat KuvoFetch KuvoDesk KuvoAssist)
if(NOT WIN32)
  # On Linux the platform seam is one shared library that the components and KuvoAssist need.
  kuvo_install_binaries(Kuvo kuvo_platform)
endif()
install(FILES chat/include/KuvoChat.h chat/include/KuvoChatPeer.h fetch/include/KuvoFetch.h
  desk/include/KuvoDesk.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Kuvo)
install(DIRECTORY common/include/base DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Kuvo
  FILES_MATCHING PATTERN "*.h")
install(TARGETS kuvo_host_support ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Kuvo)
install(DIRECTORY host/support/include/kuvo_host DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT Kuvo FILES_MATCHING PATTERN "*.h")
if(WIN32)
  # KuvoFetch exports by declaration; the linker writes its export table out as a .def file.
  target_link_options(KuvoFetch PRIVATE "LINKER:--output-def,${CMAKE_BINARY_DIR}/lib/KuvoFetch.def")
  install(FILES chat/win/KuvoChat.def desk/win/KuvoDesk.def ${CMAKE_BINARY_DIR}/lib/KuvoFetch.def
    DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Kuvo)
endif()

# The stand-ins.
kuvo_install_binaries(Standins libtim slsdk Kuvotrace Kuvocore)
install(DIRECTORY standins/tim/include/tim standins/sl/include/sl
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Standins)
install(FILES standins/kuvotrace/include/kuvotrace.h standins/kuvotrace/include/kuvotrace_control.h
  standins/kuvocore/include/kuvocore.h standins/kuvocore/include/kuvocore_control.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Standins)

# The package: the file names of this platform's binaries, then the configuration and version
# files. The configuration locates everything relative to itself, so the prefix may move.
set(_kuvo_names "")
foreach(target KuvoChat KuvoFetch KuvoDesk libtim slsdk Kuvotrace Kuvocore)
  string(APPEND _kuvo_names "set(_kuvo_file_${target} \"$<TARGET_FILE_NAME:${target}>\")\n")
  string(APPEND _kuvo_names
    "set(_kuvo_linker_file_${target} \"$<TARGET_LINKER_FILE_NAME:${target}>\")\n")
endforeach()
string(APPEND _kuvo_names "set(_kuvo_file_KuvoAssist \"$<TARGET_FILE_NAME:KuvoAssist>\")\n")
string(APPEND _kuvo_names
  "set(_kuvo_file_kuvo_host_support \"$<TARGET_FILE_NAME:kuvo_host_support>\")\n")
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/package/KuvoFileNames.cmake CONTENT
  "# The binaries' file names in this kit (generated).\n${_kuvo_names}")
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/package/KuvoConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/KuvoConfig.cmake
  INSTALL_DESTINATION ${KUVO_INSTALL_PACKAGE_DIR}
  PATH_VARS CMAKE_INSTALL_INCLUDEDIR CMAKE_INSTALL_LIBDIR KUVO_INSTALL_RUNTIME_DIR)
# The kit is built for one processor: a 32-bit host cannot use the 64-bit kit and back.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/KuvoConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
# The compiler a host must use: what `g++ -v` says of its target and thread model.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -v OUTPUT_VARIABLE _kuvo_cxx_info
  ERROR_VARIABLE _kuvo_cxx_info)
string(REGEX MATCH "Target: ([^\n]*)" _kuvo_match "${_kuvo_cxx_info}")
set(KUVO_CXX_TARGET "${CMAKE_MATCH_1}")
string(REGEX MATCH "Thread model: ([^\n]*)" _kuvo_match "${_kuvo_cxx_info}")
set(KUVO_CXX_THREAD_MODEL "${CMAKE_MATCH_1}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/package/KuvoCompilerCheck.cmake.in
  ${CMAKE_BINARY_DIR}/package/KuvoCompilerCheck.cmake @ONLY)
set(_kuvo_package_files ${CMAKE_BINARY_DIR}/package/KuvoConfig.cmake
  ${CMAKE_BINARY_DIR}/package/KuvoConfigVersion.cmake
  ${CMAKE_BINARY_DIR}/package/KuvoFileNames.cmake
  ${CMAKE_BINARY_DIR}/package/KuvoCompilerCheck.cmake)
if(WIN32)
  # The toolchain file a host passes with --toolchain: the compilers by name (found on PATH).
  get_filename_component(KUVO_C_COMPILER_NAME "${CMAKE_C_COMPILER}" NAME)
  get_filename_component(KUVO_CXX_COMPILER_NAME "${CMAKE_CXX_COMPILER}" NAME)
  get_filename_component(KUVO_RC_COMPILER_NAME "${CMAKE_RC_COMPILER}" NAME)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/package/KuvoToolchain.cmake.in
    ${CMAKE_BINARY_DIR}/package/KuvoToolchain.cmake @ONLY)
  list(APPEND _kuvo_package_files ${CMAKE_BINARY_DIR}/package/KuvoToolchain.cmake)
endif()
install(FILES ${_kuvo_package_files} DESTINATION ${KUVO_INSTALL_PACKAGE_DIR} COMPONENT Kuvo)

# The host kit test: a host built with the commands of docs/host-guide.md and run; on Linux
# against this build installed into a prefix of its own, on Windows from the archive that
# scripts/package.sh makes of this architecture, with the kit's toolchain file, under wine. In the
# ASan and TSan builds the host is built with the same instrumentation as the kit. Not in the fuzz
# build, nor in Windows builds that cannot run their programs.
if(NOT KUVO_SANITIZER STREQUAL "fuzzer" AND (NOT WIN32 OR KUVO_WINE_TESTS))
  set(_kuvo_kit_args -DBUILD_DIR=${CMAKE_BINARY_DIR} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
    -DSCENARIO=${CMAKE_SOURCE_DIR}/assist/scenarios/phone-configured.machine)
  if(KUVO_SANITIZER STREQUAL "address")
    list(APPEND _kuvo_kit_args "-DSANITIZE=-fsanitize=address,undefined -fno-omit-frame-pointer")
  elseif(KUVO_SANITIZER STREQUAL "thread")
    list(APPEND _kuvo_kit_args "-DSANITIZE=-fsanitize=thread -fno-omit-frame-pointer")
  endif()
  if(WIN32)
    list(APPEND _kuvo_kit_args -DARCH=${CMAKE_SYSTEM_PROCESSOR}
      -DWINE_RUN=${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
  endif()
  add_test(NAME host_kit_test
    COMMAND ${CMAKE_COMMAND} ${_kuvo_kit_args} -P ${CMAKE_SOURCE_DIR}/cmake/KuvoHostKitTest.cmake)
  if(WIN32)
    # Packing and two cross builds before the wine runs (wine32 runs under an emulator).
    set_tests_properties(host_kit_test PROPERTIES TIMEOUT 900 LABELS kit
      FIXTURES_REQUIRED kuvo_wine)
  else()
    set_tests_properties(host_kit_test PROPERTIES TIMEOUT 300 LABELS kit)
  endif()
endif()

# The archive's manifest and its check (scripts/kit_manifest.py), on this build's installed kit.
if(WIN32)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_FOUND)
    add_test(NAME kit_manifest_test COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
      -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DPYTHON=${Python3_EXECUTABLE} -DOBJDUMP=${CMAKE_OBJDUMP}
      -P ${CMAKE_SOURCE_DIR}/cmake/KuvoManifestTest.cmake)
    set_tests_properties(kit_manifest_test PROPERTIES TIMEOUT 120 LABELS kit)
  endif()
endif()
