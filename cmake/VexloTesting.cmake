# Test plumbing shared by the native and the Wine builds.
if(NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# What every test executable links: GoogleTest and, under MinGW's win32
# thread model, the std::mutex it needs (see the header).
add_library(vexlo_test_main INTERFACE)
target_link_libraries(vexlo_test_main INTERFACE GTest::gtest_main)
target_include_directories(vexlo_test_main INTERFACE ${CMAKE_SOURCE_DIR}/tests)
if(MINGW)
  set(mutex_shim "SHELL:-include ${CMAKE_SOURCE_DIR}/tests/support/win32_std_mutex.h")
  target_compile_options(gtest PRIVATE ${mutex_shim})
  target_compile_options(gtest_main PRIVATE ${mutex_shim})
  target_compile_options(vexlo_test_main INTERFACE ${mutex_shim})
endif()

if(CMAKE_CROSSCOMPILING AND WIN32)
  set(VEXLO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  # The private prefix exists for one test run: created first, removed last.
  add_test(NAME wine.prefix.up
    COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-prefix.sh up ${VEXLO_WINEPREFIX} --service-log
            ${CMAKE_BINARY_DIR}/tests/e2e/desktop_keeper.exe)
  set_tests_properties(wine.prefix.up PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  add_test(NAME wine.prefix.down
    COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-prefix.sh down ${VEXLO_WINEPREFIX})
  set_tests_properties(wine.prefix.down PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 120)
endif()

# A build-tree path as the Windows code under test sees it.
function(vexlo_windows_path out path)
  if(CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX)
    string(REPLACE "/" "\\" path "Z:${path}")
  else()
    file(TO_NATIVE_PATH "${path}" path)
  endif()
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

# Registers each TEST() of a gtest executable as its own ctest test. Under
# Wine the tests are found by reading the sources, so nothing runs at build
# time; each test then runs in the fixture's private prefix.
function(vexlo_add_gtests target)
  cmake_parse_arguments(ARG "" "" "SOURCES;ENVIRONMENT;PROPERTIES" ${ARGN})
  if(CMAKE_CROSSCOMPILING)
    gtest_add_tests(TARGET ${target} SOURCES ${ARG_SOURCES} TEST_PREFIX "wine." TEST_LIST tests)
    set_tests_properties(${tests} PROPERTIES
      FIXTURES_REQUIRED wine
      ENVIRONMENT "VEXLO_WINEPREFIX=${VEXLO_WINEPREFIX};VEXLO_TEST_PROGRAM=1;${ARG_ENVIRONMENT}"
      TIMEOUT 120 ${ARG_PROPERTIES})
  else()
    gtest_discover_tests(${target} TEST_PREFIX "host." PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}" ${ARG_PROPERTIES})
  endif()
endfunction()
