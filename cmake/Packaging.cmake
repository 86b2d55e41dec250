# The Debian package of kovraplotter and kovra-devsim: `cpack` in the build directory (or
# scripts/package.sh) writes kovraplotter_<version>_<arch>.deb.

# Man pages, compressed as Debian keeps them.
set(KOVRA_MAN_PAGES kovraplotter.1 kovra-devsim.1)
set(kovra_compressed_pages)
foreach(page IN LISTS KOVRA_MAN_PAGES)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(
        OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
        COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" gzip ${PROJECT_SOURCE_DIR}/man/${page}
                ${compressed}
        DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}
        COMMENT "Compressing man page ${page}"
        VERBATIM)
    list(APPEND kovra_compressed_pages ${compressed})
endforeach()
add_custom_target(kovra_man_pages ALL DEPENDS ${kovra_compressed_pages})
install(FILES ${kovra_compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kovraplotter)
# The version the program prints.
set(CPACK_PACKAGE_VERSION ${KOVRA_VERSION_TEXT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live plots of numbers arriving on a serial port")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "KovraPlotter turns numbers that a microcontroller board or an instrument prints on a\n\
serial port into live plots of up to ten channels, to watch, scroll through, export as\n\
CSV and capture as pictures. kovra-devsim, a simulated board on a pseudo-terminal, is\n\
included for trying it without hardware.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KovraPlotter developers <maintainers@kovraplotter.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The libraries the programs link, found by dpkg-shlibdeps: the Qt 6 runtime, ALSA and the C++
# runtime. The platform plugins (xcb, wayland) are loaded at run time, so no library names them:
# libqt6gui6 only recommends them, and without them the program cannot open a window.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
include(CPack)
