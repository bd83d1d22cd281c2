# Packages: a Debian package from the native Linux build, a zip from the
# Windows build. `cpack` in a configured build folder makes the one that
# fits; packaging/build-packages.sh makes both.

set(CPACK_PACKAGE_NAME plaken)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "plaken maintainers")
set(CPACK_PACKAGE_CONTACT
    "plaken maintainers <maintainers@users.noreply.c-seed-ecaad3fe.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "splice a plain text file into the text areas of an HTML page")
# The long description, in lines short enough for a package listing.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "plaken copies an HTML page line by line and puts the lines of a plain"
  "text file into every text area of the page, closing the text area again"
  "right after them. Every line it writes ends in CR LF. The page and the"
  "text file are only read: an output that names either of them is refused"
  "before anything is written.")
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES TRUE)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGE_FILE_NAME
      ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})
  # One folder in the zip, named like the zip.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  set(CPACK_DEBIAN_PACKAGE_SECTION text)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  # The C++ runtime is linked in, so the C library is all the binary needs.
  # CPack needs `file` as well to find the binaries for dpkg-shlibdeps.
  find_program(PLAKEN_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(PLAKEN_FILE file)
  if(PLAKEN_DPKG_SHLIBDEPS AND PLAKEN_FILE)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS libc6)
  endif()
  # Debian keeps its manual pages gzipped; the staged copy is compressed
  # just before the package is made, so `cmake --install` stays plain.
  set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/gzip-manual.cmake)
endif()

include(CPack)
