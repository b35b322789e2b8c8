# The Debian package: `cpack -G DEB` in a Release build folder. Its
# dependencies come from dpkg-shlibdeps over the installed programs.
include(GNUInstallDirs)

# The package's documentation folder: the machine-readable copyright file
# (the GPL's text is in /usr/share/common-licenses) and the changelog,
# compressed as Debian ships it.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/trawlex)
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(TRAWLEX_CHANGELOG ${CMAKE_BINARY_DIR}/packaging/changelog)
add_custom_command(OUTPUT ${TRAWLEX_CHANGELOG}.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/packaging/changelog ${TRAWLEX_CHANGELOG}
  COMMAND ${GZIP_EXECUTABLE} -9 -n -f ${TRAWLEX_CHANGELOG}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(trawlex_changelog ALL DEPENDS ${TRAWLEX_CHANGELOG}.gz)
install(FILES ${TRAWLEX_CHANGELOG}.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/trawlex)

set(CPACK_PACKAGE_NAME trawlex)
set(CPACK_PACKAGE_VENDOR "The Trawlex developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Trawlex developers <trawlex@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find every occurrence of a string of bytes in files")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/trawlex/trawlex")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${CPACK_PACKAGE_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# ICU's converters are loaded when a conversion needs them (dlopen), which
# the shared-library scan cannot see: the package names ICU itself.
find_package(ICU REQUIRED COMPONENTS uc)
string(REGEX MATCH "^[0-9]+" trawlex_icu_major "${ICU_VERSION}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libicu${trawlex_icu_major}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The summary above is the description's first line; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Trawlex finds every occurrence of a string of bytes in the contents of files.
A search is saved as a target: the files and folders to look through, the
search string typed as text in one of fifteen encodings or as hexadecimal
bytes, and its options. A viewer steps through every found file and
occurrence as text, decoded text or a hexadecimal dump.
.
The package holds the desktop application (trawlex), the command-line
program (trawlex-cli) and the user guide in English and French.
.
License: GPL-3.0-or-later")
# Qt's translations make the standard dialogs French for French users.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")

include(CPack)
