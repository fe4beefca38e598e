# qelo_platform_sources(OUT GLOB...)
# The files matching the globs, less those of the other platform: a file whose name ends in
# _posix or _win32 before its suffix (clock_posix.cpp, ini_writer_win32_test.cpp) implements
# or tests a platform service and belongs only to the build of its platform.
function(qelo_platform_sources out)
  file(GLOB all_sources CONFIGURE_DEPENDS ${ARGN})
  set(kept)
  foreach(file IN LISTS all_sources)
    if(file MATCHES "_(posix|win32)(_test)?\\.cpp$" AND NOT file MATCHES "_${QELO_PLATFORM}(_test)?\\.cpp$")
      continue()
    endif()
    list(APPEND kept ${file})
  endforeach()
  set(${out} ${kept} PARENT_SCOPE)
endfunction()

# qelo_add_subsystem_library(NAME [DEPS libs...] [SYSTEM_LIBS libs...] [POSIX_ONLY files...])
# Builds the .cpp files of the current directory into one static library. A file named
# *_posix.cpp or *_win32.cpp implements a platform service and is compiled only in the build
# of its platform; every other file is portable. POSIX_ONLY names portable files that only the
# POSIX build uses.
function(qelo_add_subsystem_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;SYSTEM_LIBS;POSIX_ONLY" ${ARGN})
  qelo_platform_sources(sources ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(WIN32)
    foreach(file IN LISTS ARG_POSIX_ONLY)
      list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${file})
    endforeach()
  endif()
  if(NOT sources)
    # A subsystem that is header-only so far.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS} ${ARG_SYSTEM_LIBS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} ${ARG_SYSTEM_LIBS})
endfunction()
