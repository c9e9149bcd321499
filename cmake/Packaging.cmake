# `cpack -G DEB` in a build folder gives echofind_<version>_amd64.deb. scripts/package
# configures a build with the /usr prefix for it, so the manual pages name the folders
# the package really installs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME echofind)
set(CPACK_PACKAGE_VENDOR "Echofind developers")
set(CPACK_PACKAGE_CONTACT "Echofind developers <support@echofind.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "duplicate file finder")
set(CPACK_PACKAGE_DESCRIPTION
  "Echofind finds duplicate files in the folders you choose, by name, size, dates or\n\
content (CRC-32 or MD5), shows them in groups and removes the extra copies you mark:\n\
to the trash, permanently, moved to another folder or into a zip archive. Saved\n\
profiles keep the folders and rules of a search; every run writes a run log and can\n\
write a report.\n\
\n\
The package holds the desktop program, echofind, and echofind-cli, which runs the\n\
same searches and actions from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://echofind.example/)
# The Qt, libzip, OpenSSL, pugixml, xxhash, SQLite, ISA-L, liburing, zlib and C++ runtime
# packages are
# read from what the programs and the library are linked against (dpkg-shlibdeps), not listed
# by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libtreewell.so.N is a shared library in the linker's path: it gets a shlibs file and
# the ldconfig trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

include(CPack)
