# Reproducible builds: the same commit gives the same bytes in any folder at any time.
# The time stamped into packages is SOURCE_DATE_EPOCH: taken from the environment when set,
# else the commit's time, else (a source tree outside git) the time of this file.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(QUIETWATCH_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
    find_package(Git QUIET)
    if(GIT_FOUND)
        execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE QUIETWATCH_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                        RESULT_VARIABLE git_result ERROR_QUIET)
    endif()
    if(NOT GIT_FOUND OR NOT git_result EQUAL 0 OR NOT QUIETWATCH_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
        file(TIMESTAMP ${CMAKE_CURRENT_LIST_FILE} QUIETWATCH_SOURCE_DATE_EPOCH "%s" UTC)
    endif()
endif()

if(NOT MSVC)
    # No folder names in the objects (assertions, debug information): both folders are ".".
    # The build folder's rule comes last: it may lie inside the source folder, and the last
    # rule that matches wins. (moc's includes stay relative to the build folder: debug
    # information is the same only from build folders at the same depth in the source folder.)
    add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)
endif()
# Qt's resource compiler stamps each file's time into the program unless told otherwise.
set(CMAKE_AUTORCC_OPTIONS --format-version 1)
if(MINGW)
    # GNU ld stamps the link time into the PE header unless told not to.
    add_link_options(-Wl,--no-insert-timestamp)
endif()
