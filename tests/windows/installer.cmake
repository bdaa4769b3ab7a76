# The installer's silent install into a folder of its own (/S /D=), the installed programs
# started (START, a test program), then its uninstaller's silent removal. Run by CTest:
#   cmake -DINSTALLER=... -DSTART=... -DFOLDER=... [-DEMULATOR=<a>|<b>...] -P installer.cmake
# With an emulator (Wine) the folder is given as Wine's drive Z: sees it.
string(REPLACE "|" ";" emulator "${EMULATOR}")
file(REMOVE_RECURSE "${FOLDER}")
file(TO_NATIVE_PATH "${FOLDER}" target)
string(REPLACE "/" "\\" target "${target}")
if(emulator)
    set(target "Z:${target}")
endif()

function(run)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env "QUIETWATCH_INSTALLED=${target}" ${emulator} ${ARGN}
                    RESULT_VARIABLE result TIMEOUT 120)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${ARGN}: ${result}")
    endif()
endfunction()

# Under Wine a copy named windows7-setup.exe is told it runs on Windows 7 (the prefix's setting,
# scripts/cross-test.sh): it must refuse, before uninstalling or installing anything.
if(emulator)
    set(old_windows "${FOLDER}-windows7/windows7-setup.exe")
    file(REMOVE_RECURSE "${FOLDER}-windows7")
    file(MAKE_DIRECTORY "${FOLDER}-windows7")
    file(COPY_FILE "${INSTALLER}" "${old_windows}")
    execute_process(COMMAND ${emulator} "${old_windows}" /S "/D=${target}" RESULT_VARIABLE result TIMEOUT 120)
    if(NOT result EQUAL 1 OR EXISTS "${FOLDER}")
        message(FATAL_ERROR "the installer on Windows 7: exit code ${result}, the folder made: ${FOLDER}")
    endif()
    file(REMOVE_RECURSE "${FOLDER}-windows7")
endif()

run("${INSTALLER}" /S "/D=${target}")
file(GLOB installed RELATIVE "${FOLDER}" "${FOLDER}/*")
list(SORT installed)
if(NOT installed STREQUAL "Quietwatch.exe;Uninstall.exe;quietwatch-timequery.exe")
    message(FATAL_ERROR "installed into ${FOLDER}: ${installed}")
endif()
if(NOT emulator) # Wine's registry is checked by the end-to-end test
    execute_process(COMMAND reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quietwatch"
                    RESULT_VARIABLE no_record OUTPUT_QUIET)
    if(no_record)
        message(FATAL_ERROR "no record in Programs and Features")
    endif()
endif()

run("${START}")

# The uninstaller copies itself away, starts the copy and returns at once: wait for the folder to go.
run("${FOLDER}/Uninstall.exe" /S)
foreach(second RANGE 60)
    if(NOT EXISTS "${FOLDER}")
        message(STATUS "installed into ${target} and uninstalled again")
        return()
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E sleep 1)
endforeach()
file(GLOB left RELATIVE "${FOLDER}" "${FOLDER}/*")
message(FATAL_ERROR "left after uninstalling: ${left}")
