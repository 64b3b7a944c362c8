# Tests.
#
# Linux: tests/native/*.cpp form one GoogleTest program over the logic, the simulated machine and
# the headless window system; every test case is its own ctest entry.
#
# Windows (cross-built, run under Wine): tests/win32/*.cpp form one GoogleTest program that also
# links the Win32 service layer. Starting a Wine process costs about a second, so each source
# file is one ctest entry that runs the test suites defined in that file (--gtest_filter), not
# one entry per test case.

if(NOT WIN32)
  add_test(NAME source_charset COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-charset)
  set_tests_properties(source_charset PROPERTIES LABELS native TIMEOUT 120)

  file(GLOB NATIVE_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/native/*.cpp)
  if(NOT NATIVE_TEST_SOURCES)
    message(STATUS "tests/native has no sources: no native tests")
    return()
  endif()

  find_package(GTest REQUIRED)
  include(GoogleTest)

  add_executable(corvane_native_tests ${NATIVE_TEST_SOURCES})
  target_include_directories(corvane_native_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(corvane_native_tests
    PRIVATE corvane_logic corvane_sim corvane_headless GTest::gtest GTest::gmock GTest::gtest_main)
  # Listed when ctest runs (not after linking), so that the listing runs in ctest's environment.
  gtest_discover_tests(corvane_native_tests
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 120 LABELS native)
  return()
endif()

# --- Windows ---
file(GLOB WIN32_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win32/*.cpp)
if(NOT WIN32_TEST_SOURCES)
  message(STATUS "tests/win32 has no sources: no Windows tests")
  return()
endif()

set(CORVANE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for Windows")
if(NOT EXISTS ${CORVANE_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${CORVANE_GOOGLETEST_SOURCE} (Debian package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(INSTALL_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${CORVANE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${PROJECT_SOURCE_DIR}/scripts/wine-run --prefix ${CMAKE_BINARY_DIR}/wineprefix)
endif()

add_executable(corvane_win32_tests ${WIN32_TEST_SOURCES})
target_include_directories(corvane_win32_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(corvane_win32_tests
  PRIVATE corvane_win32 corvane_logic corvane_sim corvane_headless gtest gmock gtest_main)

# One ctest entry per source file: the suites of TEST, TEST_F, TEST_P, TYPED_TEST and
# TYPED_TEST_P in that file. A suite name must belong to one file only.
foreach(source ${WIN32_TEST_SOURCES})
  get_filename_component(stem ${source} NAME_WE)
  # The suites are read at configure time: editing the file configures again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(STRINGS ${source} lines REGEX "^[ \t]*(TEST|TEST_F|TEST_P|TYPED_TEST|TYPED_TEST_P)[ \t]*\\(")
  set(suites)
  foreach(line ${lines})
    string(REGEX REPLACE "^[ \t]*[A-Z_]+[ \t]*\\([ \t]*([A-Za-z0-9_]+).*$" "\\1" suite "${line}")
    list(APPEND suites ${suite})
  endforeach()
  list(REMOVE_DUPLICATES suites)
  if(NOT suites)
    message(WARNING "${source}: no test suites found")
    continue()
  endif()
  set(patterns)
  foreach(suite ${suites})
    # Plain and fixture suites, value-parameterized (Prefix/Suite.Test/N), typed (Suite/N.Test).
    list(APPEND patterns "${suite}.*" "*/${suite}.*" "${suite}/*")
  endforeach()
  list(JOIN patterns ":" filter)
  add_test(NAME win32.${stem}
           COMMAND corvane_win32_tests --gtest_filter=${filter} --gtest_brief=1 --gtest_color=no
           WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(win32.${stem} PROPERTIES
    TIMEOUT 300 LABELS win32
    # A filter that matches nothing passes silently in GoogleTest; ctest fails it instead.
    FAIL_REGULAR_EXPRESSION "\\[==========\\] 0 tests from 0 test suites ran")
endforeach()
