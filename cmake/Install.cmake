# Where `cmake --install` puts things. The layout is the usual one of a Linux program:
# bin/ for the programs, lib/ for the folder-tree library, share/echofind/ for the shipped
# documents. Nothing goes into a user's folders: the program lays out its application
# folder itself on its first start.
set(ECHOFIND_INSTALL_DATADIR share/echofind)
set(ECHOFIND_TREEWELL_SONAME "libtreewell.so.${PROJECT_VERSION_MAJOR}")

# Start-up compares the program's folder with the install prefix, and looks for the
# library by this name beside the program or in ../lib.
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/app/modCommon.cpp TARGET_DIRECTORY echofind_core PROPERTIES
  COMPILE_DEFINITIONS
  "ECHOFIND_INSTALL_BINDIR=\"${CMAKE_INSTALL_PREFIX}/bin\";ECHOFIND_TREEWELL_SONAME=\"${ECHOFIND_TREEWELL_SONAME}\"")

install(TARGETS echofind echofind-cli RUNTIME DESTINATION bin)
if(ECHOFIND_TREEWELL)
  # The programs load the library by its full path and soname, so they need no run path
  # for it; the unversioned name is only for linking against and is left out.
  install(TARGETS treewell LIBRARY DESTINATION lib NAMELINK_SKIP)
endif()
