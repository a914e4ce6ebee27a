# The Debian package: `cpack -G DEB` in the build folder (scripts/package does it all).
set(QMV_DEB_MAINTAINER "QMVwin maintainers <qmvwin@brasketon.com>"
    CACHE STRING "Maintainer field of the Debian package")

# Debian's own files of the package: copyright and changelog in the documentation folder.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(QMV_DEB_CHANGELOG ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(OUTPUT ${QMV_DEB_CHANGELOG}
    COMMAND ${GZIP_PROGRAM} -9n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${QMV_DEB_CHANGELOG}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(qmvdebchangelog ALL DEPENDS ${QMV_DEB_CHANGELOG})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${QMV_DEB_CHANGELOG}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qmvwin)

# Installing and packaging need only what is installed, not the test programs: the package
# script builds those targets itself.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qmvwin)
set(CPACK_PACKAGE_VERSION ${QMV_VERSION_TEXT})
set(CPACK_PACKAGE_VENDOR Brasketon)
set(CPACK_PACKAGE_CONTACT ${QMV_DEB_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sound level records of QMV-27 and GZN-4P instruments")
# The long description below the summary line; CPack indents it and marks the empty line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "QMVwin downloads the minimum sound levels recorded by a QMV-27 logger or a
PLX01 device with the GZN-4P sensor over the instrument's USB-serial bridge
(Silicon Labs CP210x), and shows each set of records as a list and a chart.
Records can be edited, moved between documents, saved in q27 data files,
merged, exported as text and printed; the instrument's memory can be cleared
and its clock set.

The package also holds qmvtool, the same operations on the command line,
qmvsim, a simulated instrument on a pseudo-terminal, and a udev rule that
lets the user at the computer open the bridge.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QMV_DEB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Japanese texts show only with a Japanese font; the printout takes its Latin text from
# DejaVu Sans and its Japanese from IPAGothic, so that both stay text through any print queue.
# Qt's translations give its dialogs the user's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-dejavu-core, fonts-ipafont-gothic, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
