# The release archives, made by CPack (`cmake --build <build> --target package`):
#   Windows: qeloweather-<version>-win64.zip           (ZIP)
#   Linux:   qeloweather-<version>-linux-x86_64.tar.gz  (TGZ)
# Each holds one folder with the stripped program, LICENSE and the host guides in docs/. Only the
# shipped program is installed: no test program, test variant, emulator or library.
#
# The archives are reproducible: the same commit built in any folder gives the same bytes.
#  - Source and build folders are mapped to fixed names in everything the compiler writes (the
#    last matching map counts, so a build folder inside the sources becomes "build").
#  - The Windows linker writes no time stamp into the PE header.
#  - The archive entries get the commit's time (SOURCE_DATE_EPOCH; a zip entry's local time is
#    written as UTC), owner root, fixed modes and a sorted order, and the gzip header no time at
#    all (CPack leaves it out when SOURCE_DATE_EPOCH is set).
# Included from the top-level CMakeLists.txt before the subdirectories, so that the compile
# options reach every library the program is made of; the install rules follow at the end of
# the top-level directory, once the program's target exists.

add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}=." "-ffile-prefix-map=${PROJECT_BINARY_DIR}=build")
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()

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
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . COMPONENT program)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/host-guide.md ${PROJECT_SOURCE_DIR}/docs/host-guide.zh-CN.md
    DESTINATION docs COMPONENT program)

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

cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL qelo_add_release_package)
