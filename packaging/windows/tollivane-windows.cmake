# What a Windows station gets: the two programs, the Qt libraries and the plugins they load, the
# MinGW runtime, Firebird's client and the example alias file, in one folder; and the NSIS installer CPack builds
# from them (`cpack -G NSIS` in the build folder; ./setup.sh windows). qtbase 6.4 has no
# windeployqt for a cross build, so the Qt files are named here.
#
# tollivane.ico was made from ../tollivane-256.png:
#   convert tollivane-256.png -define icon:auto-resize=256,64,48,32,24,16 tollivane.ico

set(_win ${CMAKE_CURRENT_LIST_DIR})

# One component, so that an install rule added elsewhere (a test) stays out.
install(TARGETS tollivane jumpdb RUNTIME DESTINATION . COMPONENT station)
install(IMPORTED_RUNTIME_ARTIFACTS Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Sql
        RUNTIME DESTINATION . COMPONENT station)
# Qt looks for its plugins in these folders beside the program.
foreach(plugin IN ITEMS
        "platforms Qt6::QWindowsIntegrationPlugin"
        "styles Qt6::QWindowsVistaStylePlugin"
        "sqldrivers Qt6::QSQLiteDriverPlugin"
        "sqldrivers Qt6::QODBCDriverPlugin"
        "sqldrivers Qt6::QIBaseDriverPlugin")
    separate_arguments(plugin)
    list(GET plugin 0 folder)
    list(GET plugin 1 target)
    install(FILES $<TARGET_FILE:${target}> DESTINATION ${folder} COMPONENT station)
endforeach()

# The C++ runtime of MinGW's GCC (POSIX threads), which the programs and Qt load.
set(_runtime)
foreach(dll libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "The MinGW runtime ${dll} is not found (${CMAKE_CXX_COMPILER})")
    endif()
    file(REAL_PATH "${path}" path)
    list(APPEND _runtime ${path})
endforeach()
install(FILES ${_runtime} DESTINATION . COMPONENT station)
# They come with their debugging information (libstdc++ alone 23 MB).
foreach(path ${_runtime})
    get_filename_component(name ${path} NAME)
    install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug
                      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${name}\" COMMAND_ERROR_IS_FATAL ANY)"
            COMPONENT station)
endforeach()

# Firebird's client (cmake/windows-fbclient.cmake), which the InterBase driver loads from here
# before a Firebird installation of the PC's own; its licences and the notice of its source.
install(FILES ${TOLLIVANE_FBCLIENT_DLL} DESTINATION . COMPONENT station)
install(DIRECTORY ${TOLLIVANE_FBCLIENT_LICENCE}/ DESTINATION "Firebird client" COMPONENT station)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/aliases.ini.example ${PROJECT_SOURCE_DIR}/README.md
        ${PROJECT_SOURCE_DIR}/packaging/copyright ${_win}/check-station.cmd
        DESTINATION . COMPONENT station)

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Tollivane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR VELMOR)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "judge's scoring terminal for ski jumping")
set(CPACK_PACKAGE_FILE_NAME tollivane-${PROJECT_VERSION}-win64)
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};station;/")
set(CPACK_STRIP_FILES ON)

# $PROGRAMFILES64\VELMOR\Tollivane, the folder of the station's settings file.
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "VELMOR\\\\Tollivane")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Tollivane)
set(CPACK_NSIS_DISPLAY_NAME Tollivane)
set(CPACK_NSIS_PACKAGE_NAME Tollivane)
# A 64-bit installer (Debian's NSIS has its amd64 stubs): 64-bit Windows, registry and folders.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_MUI_ICON ${_win}/tollivane.ico)
set(CPACK_NSIS_MUI_UNIICON ${_win}/tollivane.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME tollivane.exe)
# The start menu entry: Tollivane, with the program's own icon; the programs sit at the top.
set(CPACK_PACKAGE_EXECUTABLES tollivane Tollivane)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# And "Check this station": jumpdb check with the station's alias file, its window kept open.
set(_check "この端末の確認 Check this station.lnk")
set(CPACK_NSIS_CREATE_ICONS_EXTRA
    "CreateShortCut '$SMPROGRAMS\\\\$STARTMENU_FOLDER\\\\${_check}' '$INSTDIR\\\\check-station.cmd' '' '$INSTDIR\\\\tollivane.exe' 0")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "Delete '$SMPROGRAMS\\\\$MUI_TEMP\\\\${_check}'")
# The script holds Japanese: makensis reads it as UTF-8.
set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS -INPUTCHARSET UTF8)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_UNINSTALL_NAME Uninstall)

include(CPack)
