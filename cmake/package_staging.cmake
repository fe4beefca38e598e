# Run by CPack after it has installed the files into its staging folder and before it packs
# them: gives every staged file and folder a fixed mode and the sources' time, and sets
# SOURCE_DATE_EPOCH for CPack's archive writer (with it set, the gzip header carries no time),
# so that the archive's bytes depend only on the sources, not on when or where they were built.
#
# The time is SOURCE_DATE_EPOCH where the caller set it, else the time of the last commit, else
# (sources without their git history) the time of the LICENSE file as unpacked.
set(epoch "$ENV{SOURCE_DATE_EPOCH}")
if(NOT epoch)
  find_program(QELO_GIT git)
  if(QELO_GIT)
    execute_process(COMMAND ${QELO_GIT} -C ${CPACK_QELO_SOURCE_DIR} log -1 --format=%ct
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      set(epoch "")
    endif()
  endif()
endif()
if(NOT epoch)
  file(TIMESTAMP ${CPACK_QELO_SOURCE_DIR}/LICENSE epoch "%s" UTC)
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "no usable time for the archive entries (SOURCE_DATE_EPOCH='${epoch}')")
endif()
set(ENV{SOURCE_DATE_EPOCH} ${epoch})
# A zip entry holds its time as a local date and time: the same in every time zone.
set(ENV{TZ} UTC0)

# Everything under the staging folder, the package's top folder included.
file(GLOB_RECURSE entries LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
list(APPEND entries ${CPACK_TEMPORARY_DIRECTORY})
foreach(entry IN LISTS entries)
  if(IS_DIRECTORY ${entry} OR entry MATCHES "/qeloweather(\\.exe)?$|\\.sh$")
    file(CHMOD ${entry} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
      WORLD_READ WORLD_EXECUTE)
  else()
    file(CHMOD ${entry} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
endforeach()
execute_process(COMMAND touch -h -d @${epoch} ${entries} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot set the time of the staged files")
endif()
message(STATUS "archive entries dated ${epoch} (SOURCE_DATE_EPOCH)")
