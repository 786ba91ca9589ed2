# What `cmake --install` puts where, and the packages CPack makes of it
# (scripts/package): a Debian package on Linux, a ZIP on Windows.
#
# Linux (prefix /usr):   bin/vorlo-reg, bin/vorlo-release,
#                        lib/vorlo-update/update and update.ENU (a copy goes
#                        beside Vorlo: the updater works in the folder it lies in)
# Windows (the ZIP):     update.exe, update.ENU, vorlo-reg.exe, vorlo-release.exe, docs/
include(GNUInstallDirs)

if(WIN32)
  # update.exe is UPDATE.EXE: Windows' names ignore case.
  set(VORLO_UPDATER_DIR .)
  set(VORLO_TOOLS_DIR .)
  set(VORLO_DOC_DIR docs)
else()
  set(VORLO_UPDATER_DIR ${CMAKE_INSTALL_LIBDIR}/vorlo-update)
  set(VORLO_TOOLS_DIR ${CMAKE_INSTALL_BINDIR})
  set(VORLO_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/vorlo-update)
endif()
install(TARGETS update RUNTIME DESTINATION ${VORLO_UPDATER_DIR} COMPONENT updater)
install(FILES ${CMAKE_BINARY_DIR}/bin/update.ENU DESTINATION ${VORLO_UPDATER_DIR}
        COMPONENT updater)
install(TARGETS vorlo-reg vorlo-release RUNTIME DESTINATION ${VORLO_TOOLS_DIR} COMPONENT updater)
install(FILES ${PROJECT_SOURCE_DIR}/docs/releasing.md ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${VORLO_DOC_DIR} COMPONENT updater)

set(CPACK_PACKAGE_NAME vorlo-update)
set(CPACK_PACKAGE_VENDOR "Vorlo")
set(CPACK_PACKAGE_CONTACT "Vorlo <updates@vorlo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Vorlo's updater, its English texts, vorlo-reg and vorlo-release")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # The libraries the programs link (GTK 3, SQLite, libcrypto, ...), as
  # dpkg-shlibdeps finds them; xdg-utils opens what is not a program.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
endif()
include(CPack)
