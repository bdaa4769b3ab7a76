# Packages made by CPack from the install rules: a Debian package on Linux; on Windows (the
# MinGW cross build) a portable zip and an NSIS installer.
#   cmake --build <build> && (cd <build> && cpack)
if(QUIETWATCH_CORE_ONLY AND NOT WIN32)
    return()
endif()

set(CPACK_PACKAGE_NAME quietwatch)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quietwatch developers")
set(CPACK_PACKAGE_CONTACT "The Quietwatch developers <quietwatch@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Power off or restart the computer at a chosen time")
set(CPACK_PACKAGE_DESCRIPTION
    "Quietwatch switches the computer off, or restarts it, at the date and second you choose, or at once from its menu. Its user interface is Japanese.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quietwatch.example.org/")
set(CPACK_STRIP_FILES ON)
# The same bytes from every build of a commit: files packed with its time (cmake/reproducible.cmake).
set(CPACK_QUIETWATCH_SOURCE_DATE_EPOCH ${QUIETWATCH_SOURCE_DATE_EPOCH})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack-config.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack-fixed-times.cmake)

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    # The Qt libraries come from dpkg-shlibdeps; the X11 platform plugin is a separate
    # package that no library names, and the IPA faces stand in for the Japanese UI fonts.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, systemd")
elseif(WIN32)
    # The two programs at the top of the zip and of the installed folder; each needs no DLL.
    set(CPACK_GENERATOR "ZIP;NSIS")
    set(CPACK_PACKAGE_FILE_NAME "Quietwatch-${PROJECT_VERSION}-win64")
    set(CPACK_PACKAGE_INSTALL_DIRECTORY Quietwatch)
    set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Quietwatch)
    set(CPACK_NSIS_PACKAGE_NAME Quietwatch)
    set(CPACK_NSIS_DISPLAY_NAME Quietwatch) # the name in Programs and Features
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
    # A 64-bit Unicode installer: the 32-bit stub needs a 32-bit Windows subsystem, which a
    # Windows (or Wine) without WOW64 lacks. No file times stored: CPack writes a page's
    # settings file as it packs, with the time of packing; installed files take the time of
    # installing. After the product's key the uninstaller removes the vendor's key when
    # nothing else is left in it (in a function of its own: CPack deletes the product's key
    # only after every hook it offers). CPack copies this text into its configuration
    # unescaped: NSIS's single quotes, and the backslash doubled.
    set(CPACK_NSIS_DEFINES
        "Target amd64-unicode
SetDateSave off
Function un.onUninstSuccess
  DeleteRegKey /ifempty SHCTX 'Software\\\\${CPACK_PACKAGE_VENDOR}'
FunctionEnd")
    set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
    set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
    set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
    set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/quietwatch.ico)
    set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/quietwatch.ico)
    set(CPACK_NSIS_INSTALLED_ICON_NAME Quietwatch.exe)
    set(CPACK_NSIS_URL_INFO_ABOUT ${CPACK_PACKAGE_HOMEPAGE_URL})
    set(CPACK_NSIS_CONTACT quietwatch@example.org)
    # Start-menu entries: the scheduler, and the time query under its window's title.
    set(CPACK_PACKAGE_EXECUTABLES Quietwatch Quietwatch quietwatch-timequery "時刻合わせ")
    set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
    # An older Windows than the programs need is refused before the first page. CPack's template
    # has its own .onInit and no hook at its start: a copy of it, made here, calls the check
    # first (cmake/nsis-minimum-windows.nsh; the template is UTF-8, so are the Japanese texts).
    file(READ ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in nsis_template)
    file(READ ${PROJECT_SOURCE_DIR}/cmake/nsis-minimum-windows.nsh nsis_check)
    string(REPLACE "\nFunction .onInit\n" "\n${nsis_check}\nFunction .onInit\n  Call QuietwatchRefuseOldWindows\n"
                   nsis_checked "${nsis_template}")
    if(nsis_checked STREQUAL nsis_template)
        message(FATAL_ERROR "CPack's NSIS template has no .onInit to put the Windows version check in")
    endif()
    file(WRITE ${PROJECT_BINARY_DIR}/cpack-nsis/NSIS.template.in "${nsis_checked}")
    set(CPACK_MODULE_PATH ${PROJECT_BINARY_DIR}/cpack-nsis ${CMAKE_MODULE_PATH})
endif()

include(CPack)
