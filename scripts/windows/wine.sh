# Wine for the Windows build's tests, shared by scripts/windows/test.sh and
# scripts/windows/run-test-program.sh; source it, do not run it. It only defines functions;
# each works under set -euo pipefail and reports through its exit status.
# shellcheck shell=bash

# The 64-bit loader itself: Debian's `wine` wrapper asks for wine32 on every start.
wine_loader() {
    if [[ -x /usr/lib/wine/wine64 ]]; then
        echo /usr/lib/wine/wine64
    else
        command -v wine64 || command -v wine
    fi
}

# Runs a Windows program in $WINEPREFIX. Standard input must not be the caller's: a program
# started with a terminal or a pipe there writes its console output nowhere.
wine_run() { # program args...
    WINEDEBUG=${WINEDEBUG:--all} "$(wine_loader)" "$@" </dev/null
}

# A new Wine prefix as a Windows 10 PC with the windows' font: Wine reports Windows 7 unless
# told otherwise, and Qt 6 needs 10; "ＭＳ Ｐゴシック" becomes IPA's P gothic of the host. A
# program that crashes ends without Wine's crash dialog, which nobody would close.
wine_prefix() { # folder
    local prefix=$1
    rm -rf "$prefix"
    mkdir -p "$prefix"
    (
        export WINEPREFIX=$prefix WINEDEBUG=-all
        # No Mono or Gecko: nothing of ours needs .NET or a browser engine, and their
        # installers would be fetched from the network.
        export WINEDLLOVERRIDES=mscoree,mshtml=
        wine_run wineboot --init
        wine_run winecfg -v win10
        wine_run reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' \
            /d IPAPGothic /f
        wine_run reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
        wine_server -w
    ) >"$prefix.log" 2>&1 || {
        echo "wine.sh: cannot make the Wine prefix $prefix (see $prefix.log)" >&2
        return 1
    }
    grep -q '"CurrentBuildNumber"="1[0-9][0-9][0-9][0-9]"' "$prefix/system.reg" || {
        echo "wine.sh: the prefix $prefix does not report Windows 10" >&2
        return 1
    }
}

wine_server() { # arguments...
    "$(dirname "$(wine_loader)")/wineserver" "$@"
}

# The Windows path of a host path, through the drive Z: that Wine maps to /.
wine_path() { # path
    local path
    path=$(realpath -m "$1")
    echo "Z:${path//\//\\}"
}

# Starts Xvfb on the first free display from 60 up: sets XVFB_DISPLAY (":60") and XVFB_PID.
# shellcheck disable=SC2034 # for the caller
start_xvfb() { # log
    local n i
    for ((n = 60; n < 100; n++)); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -dpi 96 -nolisten tcp -noreset >"$1" 2>&1 </dev/null &
        XVFB_PID=$!
        for ((i = 0; i < 100; i++)); do
            if [[ -e /tmp/.X11-unix/X$n ]]; then
                XVFB_DISPLAY=:$n
                return 0
            fi
            kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
    done
    echo "wine.sh: no Xvfb could start (see $1)" >&2
    return 1
}
