# GoogleTest: Debian's package on Linux; its shipped sources, built with the cross compiler, on
# Windows (linked statically so wine needs nothing more).
if(WIN32)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Newer GoogleTest sources define the namespaced aliases themselves.
  foreach(_kuvo_gtest_lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${_kuvo_gtest_lib})
      add_library(GTest::${_kuvo_gtest_lib} ALIAS ${_kuvo_gtest_lib})
    endif()
  endforeach()
else()
  find_package(GTest REQUIRED)
  find_package(Threads REQUIRED)
endif()

# Windows test binaries run under wine: x86_64 ones under wine64, i686 ones under wine32 (through
# qemu's user-mode emulator where the kernel runs no 32-bit programs; scripts/setup.sh sets that
# up). CMAKE_CROSSCOMPILING_EMULATOR makes every add_test() on a target go through
# scripts/wine-run.sh, kuvo_add_test's or not. A fixture pair opens and closes one wine session
# per test run: the prefix, a shared wineserver and, when no DISPLAY is set, an Xvfb server for
# the tests that open windows.
set(KUVO_WINE_TESTS OFF)
if(WIN32 AND CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i.86|x86)$")
  set(KUVO_WINE_TESTS ON)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
    set(_kuvo_wine_arch win32)
  else()
    set(_kuvo_wine_arch win64)
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
  add_test(NAME wine_session_start
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh --session-start ${CMAKE_BINARY_DIR}
                   ${_kuvo_wine_arch})
  add_test(NAME wine_session_stop
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh --session-stop ${CMAKE_BINARY_DIR}
                   ${_kuvo_wine_arch})
  set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP kuvo_wine TIMEOUT 300)
  set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP kuvo_wine TIMEOUT 120)
endif()

# kuvo_add_test(name SOURCES ... LIBS ... [LABELS ...]) builds one GoogleTest binary and
# registers it with CTest as a single test (the whole binary), so wine starts once per binary.
function(kuvo_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main kuvo_warnings)
  if(NOT WIN32)
    target_link_libraries(${name} PRIVATE Threads::Threads)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  if(WIN32 AND CMAKE_CROSSCOMPILING AND NOT KUVO_WINE_TESTS)
    set_tests_properties(${name} PROPERTIES DISABLED TRUE) # built and linked only
  endif()
  if(KUVO_WINE_TESTS)
    # Appended once the folder is done, so a caller's own set_tests_properties(FIXTURES_REQUIRED)
    # cannot drop it: the session's clean-up must wait for this test.
    cmake_language(EVAL CODE "cmake_language(DEFER CALL set_property TEST [[${name}]] APPEND
                              PROPERTY FIXTURES_REQUIRED kuvo_wine)")
  endif()
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
