# Run by CPack after it has installed into its staging folder, before it packs: every file and
# folder gets the time SOURCE_DATE_EPOCH (cmake/cpack-config.cmake), as installing keeps the
# build's file times.
file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
execute_process(COMMAND touch -h -d "@$ENV{SOURCE_DATE_EPOCH}" "${CPACK_TEMPORARY_DIRECTORY}" ${staged}
                RESULT_VARIABLE touched)
if(NOT touched EQUAL 0)
    message(FATAL_ERROR "could not set the staged files' times")
endif()
