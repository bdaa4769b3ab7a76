# Packages made by CPack from the install rules: a Debian package on Linux.
#   cmake --build <build> && (cd <build> && cpack -G DEB)
if(QUIETWATCH_CORE_ONLY)
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

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    # The Qt libraries come from dpkg-shlibdeps; the X11 platform plugin is a separate
    # package that no library names, and the IPA faces stand in for the Japanese UI fonts.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, systemd")
endif()

include(CPack)
