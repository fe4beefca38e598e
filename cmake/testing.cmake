# GoogleTest: Debian's package natively; for the Windows build it is compiled from its
# sources (Debian's googletest package) with the cross compiler, and ctest runs the .exe files
# under Wine.
set(QELO_GOOGLETEST_SOURCES /usr/src/googletest CACHE PATH
    "GoogleTest's sources, compiled for a cross build")
if(CMAKE_CROSSCOMPILING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QELO_GOOGLETEST_SOURCES} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# qelo_platform_sources(OUT GLOB...)
# The test files matching the globs, less those of the other platform: a file whose name ends in
# _posix_test or _win32_test tests a platform service and belongs only to its platform's build.
function(qelo_platform_sources out)
  file(GLOB all_sources CONFIGURE_DEPENDS ${ARGN})
  set(kept)
  foreach(file IN LISTS all_sources)
    if(file MATCHES "_(posix|win32)_test\\.cpp$" AND NOT file MATCHES "_${QELO_PLATFORM}_test\\.cpp$")
      continue()
    endif()
    list(APPEND kept ${file})
  endforeach()
  set(${out} ${kept} PARENT_SCOPE)
endfunction()

# qelo_add_test(NAME SOURCES... DEPS libs... [LABELS labels...])
# Natively every test case becomes a ctest test; under Wine a test executable is one ctest
# test, so that the suite pays Wine's start-up once per executable, not once per case.
function(qelo_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "windows;${ARG_LABELS}")
  else()
    # Value-parameterised cases are named by their suites' name generators; without
    # NO_PRETTY_VALUES every such ctest name would also carry a "# GetParam() = <bytes>" dump.
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES
      PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "native;${ARG_LABELS}")
  endif()
endfunction()

# qelo_add_test_directory(NAME DEPS libs...)
# One test executable from every *_test.cpp of the current directory (the other platform's
# *_posix_test.cpp / *_win32_test.cpp left out), so that adding a test file needs no edit here.
function(qelo_add_test_directory name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "DEPS;LABELS" ${ARGN})
  qelo_platform_sources(sources ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(NOT sources)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  qelo_add_test(${name} SOURCES ${sources} DEPS ${ARG_DEPS} TIMEOUT ${ARG_TIMEOUT} LABELS ${ARG_LABELS})
endfunction()
