# Cross-compiles for 64-bit Windows on Debian with MinGW-w64 (packages g++-mingw-w64-x86-64-posix
# and mingw-w64). Used to build Qt itself (scripts/windows-qt.sh) and, through Qt's own
# qt.toolchain.cmake or directly, the terminal:
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The POSIX thread model: std::thread, std::mutex and Qt's threads need it (the win32 one lacks them).
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# The Qt that scripts/windows-qt.sh installs. The copy of this file in that script's cache sits
# beside the Qt it built; elsewhere the same rule as the script finds it, unless told with
# -DTOLLIVANE_QT_WINDOWS=... or the environment variable of that name.
if(NOT TOLLIVANE_QT_WINDOWS)
    if(DEFINED ENV{TOLLIVANE_QT_WINDOWS})
        set(TOLLIVANE_QT_WINDOWS "$ENV{TOLLIVANE_QT_WINDOWS}")
    elseif(EXISTS "${CMAKE_CURRENT_LIST_DIR}/qt-6.4.2-mingw64")
        set(TOLLIVANE_QT_WINDOWS "${CMAKE_CURRENT_LIST_DIR}/qt-6.4.2-mingw64")
    elseif(DEFINED ENV{TOLLIVANE_WINDOWS_CACHE})
        set(TOLLIVANE_QT_WINDOWS "$ENV{TOLLIVANE_WINDOWS_CACHE}/qt-6.4.2-mingw64")
    elseif(DEFINED ENV{XDG_CACHE_HOME})
        set(TOLLIVANE_QT_WINDOWS "$ENV{XDG_CACHE_HOME}/tollivane-windows/qt-6.4.2-mingw64")
    else()
        set(TOLLIVANE_QT_WINDOWS "$ENV{HOME}/.cache/tollivane-windows/qt-6.4.2-mingw64")
    endif()
endif()
# try_compile projects read this file again; they get the same Qt.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TOLLIVANE_QT_WINDOWS)

# Libraries, headers and CMake packages come from the Windows side only (MinGW's files and that
# Qt), never from the Debian host's /usr; programs (moc, rcc, uic of the host Qt) from the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 "${TOLLIVANE_QT_WINDOWS}")
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
