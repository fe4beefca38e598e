# The release archives, made by CPack (`cmake --build <build> --target package`):
#   Windows: qeloweather-<version>-win64.zip           (ZIP)
#   Linux:   qeloweather-<version>-linux-x86_64.tar.gz  (TGZ)
# Each holds one folder with the stripped program, README.txt, LICENSE, the host guides in docs/
# and the host example of its system in examples/. Only the shipped program is installed: no
# test program, test variant, emulator or library.
#
# The archives are reproducible: the same commit built in any folder gives the same bytes.
#  - Source and build folders are mapped to fixed names in everything the compiler writes (the
#    last matching map counts, so a build folder inside the sources becomes "build").
#  - The Windows linker writes no time stamp into the PE header.
#  - The archive entries get the commit's time (SOURCE_DATE_EPOCH; a zip entry's local time is
#    written as UTC), owner root, fixed modes and a sorted order, and the gzip header no time at
#    all (CPack leaves it out when SOURCE_DATE_EPOCH is set).
# Included from the top-level CMakeLists.txt before the subdirectories, so that the compile
# options reach every library the program is made of; the top-level file calls
# qelo_add_release_package() once the program's target exists.

add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}=." "-ffile-prefix-map=${PROJECT_BINARY_DIR}=build")
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()

# The archive's text files as its system reads them, made at configure time (qelo_ship_texts).
set(QELO_SHIPPED_DIR ${PROJECT_BINARY_DIR}/shipped)

# In the Markdown text TEXT_VAR of the archive's FOLDER, a link "[label](target)" to a file that
# is not in the list SHIPPED_VAR becomes its label alone, so that every link left leads to a file
# of the unpacked folder: the guides tell of both systems' examples, each archive holds one.
function(qelo_unlink_unshipped text_var folder shipped_var)
  set(text "${${text_var}}")
  set(done "")
  while(text MATCHES "\\[([^]\n]*)\\]\\(([^)\n]*)\\)")
    set(link "${CMAKE_MATCH_0}")
    set(label "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "#.*" "" target "${CMAKE_MATCH_2}")
    string(FIND "${text}" "${link}" at)
    string(SUBSTRING "${text}" 0 ${at} before)
    string(LENGTH "${link}" length)
    math(EXPR at "${at} + ${length}")
    string(SUBSTRING "${text}" ${at} -1 text)
    cmake_path(SET path NORMALIZE "${folder}/${target}")
    if(target STREQUAL "" OR target MATCHES "^[a-z]+:" OR path IN_LIST ${shipped_var})
      string(APPEND done "${before}${link}")
    else()
      string(APPEND done "${before}${label}")
    endif()
  endwhile()
  set(${text_var} "${done}${text}" PARENT_SCOPE)
endfunction()

# qelo_ship_texts(FILES_VAR): writes the archive's text files into QELO_SHIPPED_DIR and lists
# their paths in the archive. README.txt is made from docs/README.txt.in: a line marked @WINDOWS@
# or @LINUX@ is kept, without its mark, in that system's archive only. On Windows every text
# file gets CR LF line ends, as Notepad before Windows 10 1809 shows nothing else as lines, and
# README.txt a UTF-8 byte-order mark, without which Notepad reads it in the ANSI code page.
function(qelo_ship_texts files_var)
  set(files LICENSE docs/host-guide.md docs/host-guide.zh-CN.md)
  if(WIN32)
    set(system Windows)
    set(this WINDOWS)
    set(other LINUX)
    set(program qeloweather.exe)
    list(APPEND files examples/windows/forecast.cmd examples/windows/show-ini.js
                      examples/windows/host-key.c)
  else()
    set(system Linux)
    set(this LINUX)
    set(other WINDOWS)
    set(program qeloweather)
    list(APPEND files examples/linux/forecast.sh examples/linux/host-key.sh)
  endif()
  set(shipped ${program} README.txt ${files})
  foreach(file README.txt ${files})
    set(source ${PROJECT_SOURCE_DIR}/${file})
    if(file STREQUAL README.txt)
      set(source ${PROJECT_SOURCE_DIR}/docs/README.txt.in)
    endif()
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    file(READ ${source} text)
    if(file STREQUAL README.txt)
      string(REGEX REPLACE "@${other}@[^\n]*\n" "" text "${text}")
      string(REPLACE "@${this}@" "" text "${text}")
      string(REPLACE "@VERSION@" "${PROJECT_VERSION}" text "${text}")
      string(REPLACE "@SYSTEM@" "${system}" text "${text}")
    elseif(file MATCHES "\\.md$")
      cmake_path(GET file PARENT_PATH folder)
      qelo_unlink_unshipped(text "${folder}" shipped)
    endif()
    if(WIN32)
      string(REPLACE "\r\n" "\n" text "${text}")
      string(REPLACE "\n" "\r\n" text "${text}")
      if(file STREQUAL README.txt)
        string(ASCII 239 187 191 bom)
        string(PREPEND text "${bom}")
      endif()
    endif()
    file(WRITE ${QELO_SHIPPED_DIR}/${file} "${text}")
  endforeach()
  set(${files_var} README.txt ${files} PARENT_SCOPE)
endfunction()

function(qelo_add_release_package)
  if(WIN32)
    # Stripped by the linker, which writes no time stamp: binutils' strip would put the time of
    # the packaging into the PE header.
    target_link_options(qeloweather PRIVATE -s)
  elseif(NOT QELO_SANITIZE AND NOT QELO_FUZZ)
    # The C++ runtime and libgcc inside the program: it needs only the C library, so it runs on
    # other distributions with the same or a newer C library, and the loader has less to do.
    target_link_options(qeloweather PRIVATE -static-libstdc++ -static-libgcc)
  endif()

  set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  install(TARGETS qeloweather RUNTIME DESTINATION . COMPONENT program)
  qelo_ship_texts(texts)
  foreach(file IN LISTS texts)
    cmake_path(GET file PARENT_PATH folder)
    if(folder STREQUAL "")
      set(folder .)
    endif()
    if(file MATCHES "\\.sh$")
      install(PROGRAMS ${QELO_SHIPPED_DIR}/${file} DESTINATION ${folder} COMPONENT program)
    else()
      install(FILES ${QELO_SHIPPED_DIR}/${file} DESTINATION ${folder} COMPONENT program)
    endif()
  endforeach()

  if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_GENERATOR TGZ)
    string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" CPACK_SYSTEM_NAME)
  endif()
  set(CPACK_PACKAGE_NAME qeloweather)
  set(CPACK_PACKAGE_VENDOR "the qeloweather developers")
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_FILE_NAME "qeloweather-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME}")
  set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
  if(NOT WIN32)
    set(CPACK_STRIP_FILES ON)
  endif()
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  # A component archive takes its entries from the list of installed files, sorted by name; a
  # plain archive would list the staging folder in the file system's own order (on ext4, by a
  # hash with the file system's own seed).
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENTS_ALL program)
  set(CPACK_SOURCE_GENERATOR "")
  set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
  set(CPACK_OUTPUT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackConfig.cmake)
  # Read by the staging script: where the sources (and their git history) are.
  set(CPACK_QELO_SOURCE_DIR ${PROJECT_SOURCE_DIR})
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package_staging.cmake)
  include(CPack)
endfunction()
