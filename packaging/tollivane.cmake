# What a station gets: install rules for the two programs and their files, and the Debian
# package built from them by CPack (`cpack -G DEB` in the build folder; ./setup.sh package).
# A Windows build makes the Windows installer instead (windows/tollivane-windows.cmake).
if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/windows/tollivane-windows.cmake)
    return()
endif()

include(GNUInstallDirs)

set(_pkg ${CMAKE_CURRENT_LIST_DIR})
set(_doc ${CMAKE_INSTALL_DATADIR}/doc/tollivane)

# One component, so that an install rule added elsewhere (a test, a benchmark) stays out.
install(TARGETS tollivane jumpdb RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT station)
install(FILES ${_pkg}/tollivane.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT station)
install(FILES ${_pkg}/tollivane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT station)
install(FILES ${_pkg}/tollivane-256.png RENAME tollivane.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps COMPONENT station)
# The windows' font family resolves through this alias for every account on the station.
install(FILES ${PROJECT_SOURCE_DIR}/resources/fontconfig/65-tollivane-gothic.conf
        DESTINATION /etc/fonts/conf.d COMPONENT station)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${_pkg}/aliases.ini.example ${_pkg}/copyright
        DESTINATION ${_doc} COMPONENT station)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tollivane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR VELMOR)
set(CPACK_PACKAGE_CONTACT "Tollivane maintainers <maintainers@users.noreply.c-seed-a5684ea5.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "judge's scoring terminal for ski jumping")
set(CPACK_PACKAGE_DESCRIPTION
    "Each judge scores every jump at a station of their own: the terminal follows the\n"
    "competition in a shared database (Firebird, MariaDB over ODBC or SQLite), shows the\n"
    "competitor about to jump and takes the flight, landing and outrun deductions.\n"
    "Also holds jumpdb, which creates a competition database and plays the operator.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};station;/")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # tollivane_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries the binaries link come from dpkg-shlibdeps; Qt loads the SQL drivers and
# fontconfig reads the alias at run time, so those are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, libqt6sql6-ibase, libqt6sql6-odbc, fonts-ipafont-gothic, fontconfig")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "odbc-mariadb, unixodbc")
# dpkg keeps a conffile on remove and asks before replacing one the station's admin changed.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${_pkg}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
