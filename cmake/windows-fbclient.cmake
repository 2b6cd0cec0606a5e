# Firebird's client for 64-bit Windows, which scripts/windows-fbclient.sh builds into the cache
# beside Qt for Windows: the installer carries fbclient.dll beside the programs with its licence
# folder, and the tests run beside a copy of it. -DTOLLIVANE_FBCLIENT_WINDOWS=<folder>, or the
# environment variable of that name, names the build (its bin/fbclient.dll and licence/).
if(NOT TOLLIVANE_FBCLIENT_WINDOWS)
    if(DEFINED ENV{TOLLIVANE_FBCLIENT_WINDOWS})
        set(TOLLIVANE_FBCLIENT_WINDOWS "$ENV{TOLLIVANE_FBCLIENT_WINDOWS}")
    elseif(DEFINED ENV{TOLLIVANE_WINDOWS_CACHE})
        set(TOLLIVANE_FBCLIENT_WINDOWS "$ENV{TOLLIVANE_WINDOWS_CACHE}/fbclient-3.0.11")
    elseif(DEFINED ENV{XDG_CACHE_HOME})
        set(TOLLIVANE_FBCLIENT_WINDOWS "$ENV{XDG_CACHE_HOME}/tollivane-windows/fbclient-3.0.11")
    else()
        set(TOLLIVANE_FBCLIENT_WINDOWS "$ENV{HOME}/.cache/tollivane-windows/fbclient-3.0.11")
    endif()
endif()
set(TOLLIVANE_FBCLIENT_WINDOWS "${TOLLIVANE_FBCLIENT_WINDOWS}" CACHE PATH
    "Firebird's client for Windows (scripts/windows-fbclient.sh)")
set(TOLLIVANE_FBCLIENT_DLL "${TOLLIVANE_FBCLIENT_WINDOWS}/bin/fbclient.dll")
set(TOLLIVANE_FBCLIENT_LICENCE "${TOLLIVANE_FBCLIENT_WINDOWS}/licence")
if(NOT EXISTS "${TOLLIVANE_FBCLIENT_DLL}" OR NOT EXISTS "${TOLLIVANE_FBCLIENT_LICENCE}/README.txt")
    message(FATAL_ERROR "Firebird's client for Windows is not in ${TOLLIVANE_FBCLIENT_WINDOWS}: "
                        "run scripts/windows-fbclient.sh (./setup.sh windows does)")
endif()
