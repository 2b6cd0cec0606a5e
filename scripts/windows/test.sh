#!/usr/bin/env bash
# The Windows build tested under Wine on this Debian machine; ./setup.sh windows-test runs it
# once the packages, both builds and the MariaDB server are there.
#
#   scripts/windows/test.sh INSTALLER WINDOWS-BUILD LINUX-BUILD
#
# 1. installs INSTALLER silently (/S) into a Wine prefix of its own, a Windows 10 PC, and checks
#    what it put there: the programs, the libraries and plugins each of them loads, the start
#    menu entry and the uninstaller's registry entry;
# 2. runs the Qt Test programs of WINDOWS-BUILD with CTest under Wine, in a second prefix
#    (offscreen; on MariaDB database JumpWine through an ODBC data source file of its own; on
#    the Firebird database TOLLIVANE_FIREBIRD_DB, by default tollivane_wine.fdb of the local
#    server, made here through the server), and lets no test row skip;
# 3. runs the acceptance flow (tests/acceptance/accept.py --wine) with five Windows stations,
#    each in a copy of the first prefix, on each route of acceptance_routes below: SQLite,
#    MariaDB over ODBC (database TOLLIVANE_ACCEPT_MARIADB, by default TollivaneWine) and
#    Firebird (TOLLIVANE_ACCEPT_FDB beside TOLLIVANE_FIREBIRD_DB, by default
#    tollivane_wine_accept.fdb); the operator, the checks and the audit of every station's
#    journal are LINUX-BUILD's jumpdb and accept_selection;
# 4. uninstalls and checks that the programs, the entry and the registry entry are gone.
#
# Work folder: WINDOWS-BUILD/wine-test (prefixes, logs); a failed acceptance run leaves its
# screenshots and logs in WINDOWS-BUILD/acceptance/flow_<route>/. MariaDB must answer on
# 127.0.0.1:3306 for root with the profiles' password, and Firebird on localhost for SYSDBA with
# TOLLIVANE_FIREBIRD_PASSWORD or the profiles' password (scripts/servers.sh start).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=scripts/lib.sh
. "$root/scripts/lib.sh"
# shellcheck source=scripts/windows/wine.sh
. "$here/wine.sh"

[[ $# -eq 3 ]] || {
    sed -n '5p' "$0" >&2
    exit 2
}
installer=$(realpath "$1")
windows_build=$(realpath "$2")
linux_build=$(realpath "$3")
work=$windows_build/wine-test
say() { echo "windows-test: $*" >&2; }
die() {
    say "$*"
    exit 1
}

qt_paths=$("$root/scripts/windows-qt.sh" env)
eval "$qt_paths"
failures=()
step_failed() { # what
    failures+=("$1")
    say "FAILED: $1"
}

rm -rf "$work"
mkdir -p "$work"
xvfb_pid=
cleanup() {
    set +e
    for prefix in "$work/tests" "$work/station"; do
        [[ -d $prefix ]] && WINEPREFIX=$prefix wine_server -k 2>/dev/null
    done
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
start_xvfb "$work/xvfb.log"
xvfb_pid=$XVFB_PID
export DISPLAY=$XVFB_DISPLAY
say "X display $DISPLAY"

# --- 1. the installer -------------------------------------------------------------------------
started=$SECONDS
station=$work/station
wine_prefix "$station"
WINEPREFIX=$station wine_run "$installer" /S >"$work/install.log" 2>&1 ||
    die "the installer failed (see $work/install.log)"
WINEPREFIX=$station wine_server -w
installed="$station/drive_c/Program Files/VELMOR/Tollivane"
check_installation() {
    local file missing=() import dll
    for file in tollivane.exe jumpdb.exe Uninstall.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
        Qt6Sql.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll sqldrivers/qsqlite.dll \
        sqldrivers/qsqlodbc.dll sqldrivers/qsqlibase.dll libgcc_s_seh-1.dll libstdc++-6.dll \
        libwinpthread-1.dll fbclient.dll "Firebird client/README.txt" \
        "Firebird client/IPLicense.txt" "Firebird client/IDPLicense.txt" \
        "Firebird client/sha2-BSD.txt" "Firebird client/enc-BSD.txt" \
        "Firebird client/libtommath-LICENSE.txt" aliases.ini.example; do
        [[ -f $installed/$file ]] || missing+=("$file")
    done
    # Every library a program or plugin loads is installed beside it, or is Windows' own (Wine
    # has them in system32, API sets aside).
    while IFS= read -r file; do
        while read -r dll; do
            import=${dll,,}
            # API sets: names the loader of Windows (and Wine's) resolves, not files.
            [[ $import == api-ms-win-* || $import == ext-ms-* ]] && continue
            [[ -n $(find "$installed" -maxdepth 1 -iname "$import" -print -quit) ]] && continue
            [[ -n $(find "$station/drive_c/windows/system32" -maxdepth 1 -iname "$import" \
                -print -quit) ]] && continue
            missing+=("$dll (loaded by ${file#"$installed"/})")
        done < <(x86_64-w64-mingw32-objdump -p "$file" | awk '/DLL Name:/ { print $3 }')
    done < <(find "$installed" -iname '*.exe' -o -iname '*.dll')
    for entry in "Tollivane" "この端末の確認 Check this station"; do
        [[ -f "$station/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tollivane/$entry.lnk" ]] ||
            missing+=("the start menu entry $entry")
    done
    [[ -f $installed/check-station.cmd ]] || missing+=("check-station.cmd")
    WINEPREFIX=$station wine_run reg query \
        'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tollivane' /v UninstallString \
        >/dev/null 2>&1 || missing+=("the uninstaller's registry entry")
    if [[ ${#missing[@]} -gt 0 ]]; then
        printf 'windows-test:   missing: %s\n' "${missing[@]}" >&2
        return 1
    fi
    say "installed: $(find "$installed" -type f | wc -l) files, $(du -sh "$installed" | cut -f1)," \
        "every library each program loads, the start menu entries, the uninstaller"
}
check_installation || step_failed "the installation"
# The club guide's alias step as it stands there: the installed jumpdb writes the PC's alias
# file where the station looks for it; gone again before the prefix becomes the stations'.
guide_alias() {
    local file="$station/drive_c/ProgramData/VELMOR/Tollivane/aliases.ini"
    local line='G:\Jump.GDB=192.168.1.10:/var/lib/firebird/3.0/data/jump.fdb'
    WINEPREFIX=$station wine_run "$installed/jumpdb.exe" alias \
        --firebird 192.168.1.10:/var/lib/firebird/3.0/data/jump.fdb >"$work/alias.log" 2>&1 &&
        grep -qF "$line" "$file" && grep -qF 'C:\ProgramData\VELMOR\Tollivane\aliases.ini' "$work/alias.log"
    local found=$?
    rm -f "$file"
    return $found
}
guide_alias || step_failed "jumpdb alias (see $work/alias.log)"
# The start menu's check as a double click runs it, on a PC without an alias file: each
# profile's line, and the verdict.
WINEPREFIX=$station env -u TOLLIVANE_ALIASES WINEDEBUG=-all "$(wine_loader)" cmd /c \
    'C:\Program Files\VELMOR\Tollivane\check-station.cmd' </dev/null >"$work/check.log" 2>&1 || true
grep -q "the station cannot judge on any of them" "$work/check.log" ||
    step_failed "the start menu's check (see $work/check.log)"
say "installation checked in $((SECONDS - started)) s"
started=$SECONDS

# --- 2. the Qt Test programs ----------------------------------------------------------------
tests=$work/tests
wine_prefix "$tests"
# Wine hands no QT_ variable of the host to a Windows program (they would be the host Qt's): the
# prefix's own environment runs the tests offscreen on the screen their CTest environment asks
# for. The file's path without a drive letter, whose colon the platform's argument would take
# for its own separator: the tests run in a folder of the drive Z:, which is the host's root.
WINEPREFIX=$tests wine_run reg add 'HKCU\Environment' /v QT_QPA_PLATFORM \
    /d "offscreen:configfile=$root/tests/offscreen-screen.json" /f >/dev/null 2>&1
# The prefix's server and services run from here on, outside CTest: a test program's own start
# would make them hold CTest's output open.
(WINEPREFIX=$tests setsid "$(dirname "$(wine_loader)")/wineserver" -p >"$work/wineserver.log" 2>&1 </dev/null &)
WINEPREFIX=$tests wine_run wineboot >>"$work/wineserver.log" 2>&1 || true

mariadb_wine() { # sql
    mariadb --protocol=tcp -h "$MARIADB_HOST" -P "$MARIADB_PORT" -u root -p"$MARIADB_PASSWORD" -e "$1"
}
mariadb_wine "CREATE DATABASE IF NOT EXISTS JumpWine CHARACTER SET utf8mb4" ||
    die "MariaDB does not take root with the profiles' password on $MARIADB_HOST:$MARIADB_PORT"
odbc_source JumpWine JumpWine >"$work/odbc.ini"
# The Firebird database of the tests: the one given, else one of its own made through the
# server. Always through the server: a bare path would be opened by an embedded engine.
firebird_user=${TOLLIVANE_FIREBIRD_USER:-SYSDBA}
firebird_password=${TOLLIVANE_FIREBIRD_PASSWORD:-$FIREBIRD_PASSWORD}
if [[ -n ${TOLLIVANE_FIREBIRD_DB:-} ]]; then
    firebird_db=$TOLLIVANE_FIREBIRD_DB
else
    firebird_db=localhost:$FIREBIRD_DATA/tollivane_wine.fdb
    firebird_database "$FIREBIRD_DATA/tollivane_wine.fdb" "$firebird_password" ||
        die "Firebird does not take SYSDBA with the password on localhost"
fi
[[ $firebird_db =~ ^[^/:\\][^:\\]+: ]] ||
    die "TOLLIVANE_FIREBIRD_DB=$firebird_db names no server (host:path)"
runtime_dirs=
IFS=';' read -ra runtime <<<"$TOLLIVANE_MINGW_RUNTIME_DLLS"
for dll in "${runtime[@]}"; do
    runtime_dirs+=";$(wine_path "$(dirname "$dll")")"
done
say "Qt Test programs under Wine (log: $work/ctest.log)"
if ! (
    export WINEPREFIX=$tests
    WINEPATH="$(wine_path "$TOLLIVANE_QT_WINDOWS/bin")$runtime_dirs"
    export WINEPATH
    export ODBCINI=$work/odbc.ini TOLLIVANE_ODBC_DSN=JumpWine TOLLIVANE_ODBC_USER=root
    export TOLLIVANE_ODBC_PASSWORD=$MARIADB_PASSWORD
    export TOLLIVANE_FIREBIRD_DB=$firebird_db TOLLIVANE_FIREBIRD_USER=$firebird_user
    export TOLLIVANE_FIREBIRD_PASSWORD=$firebird_password
    export CI=true
    ctest --test-dir "$windows_build" --output-on-failure -j1 >"$work/ctest.log" 2>&1
); then
    step_failed "Qt Test programs (see $work/ctest.log)"
fi
grep -E '^ *[0-9]+/[0-9]+ Test|tests passed|did not end' "$work/ctest.log" >&2 || true
# Every route runs under Wine, Firebird's too: no test row may skip.
ctest_log=$windows_build/Testing/Temporary/LastTest.log
skipped=$(grep '^SKIP' "$ctest_log" || true)
passed_rows=$(grep -c '^PASS' "$ctest_log" || true)
say "$passed_rows test rows passed, $(grep -c . <<<"$skipped" || true) skipped"
if [[ -n $skipped ]]; then
    echo "$skipped" >&2
    step_failed "test rows skipped under Wine"
fi
WINEPREFIX=$tests wine_server -k || true
say "Qt Test programs done in $((SECONDS - started)) s"

# --- 3. the acceptance flow with Windows stations ----------------------------------------------
# One line a route: its name for accept.py --route, then its own options.
acceptance_routes=(
    "sqlite"
    "odbc --odbc-database ${TOLLIVANE_ACCEPT_MARIADB:-TollivaneWine}"
    "firebird"
)
for entry in "${acceptance_routes[@]}"; do
    read -ra options <<<"$entry"
    route=${options[0]}
    started=$SECONDS
    say "acceptance flow on $route: five Windows stations under Wine"
    if ! TOLLIVANE_FIREBIRD_DB=$firebird_db TOLLIVANE_FIREBIRD_USER=$firebird_user \
        TOLLIVANE_FIREBIRD_PASSWORD=$firebird_password \
        TOLLIVANE_ACCEPT_FDB=${TOLLIVANE_ACCEPT_FDB:-tollivane_wine_accept.fdb} \
        python3 "$root/tests/acceptance/accept.py" --scenario flow --route "$route" \
        "${options[@]:1}" --wine "$station" --tollivane "$installed/tollivane.exe" \
        --jumpdb "$linux_build/tools/jumpdb" --selection "$linux_build/tests/accept_selection" \
        --fontconfig "$root/resources/fontconfig/fonts.conf" \
        --displays-from 60 --workdir "$windows_build/acceptance/flow_$route" \
        >"$work/acceptance_$route.log" 2>&1; then
        tail -n 5 "$work/acceptance_$route.log" >&2
        step_failed "acceptance flow on $route (see $work/acceptance_$route.log)"
    else
        tail -n 4 "$work/acceptance_$route.log" >&2
        say "acceptance flow on $route passed in $((SECONDS - started)) s"
    fi
done

# --- 4. the uninstaller -----------------------------------------------------------------------
WINEPREFIX=$station wine_run "$installed/Uninstall.exe" /S >"$work/uninstall.log" 2>&1 || true
WINEPREFIX=$station wine_server -w
left=0
[[ -d $installed ]] && left=$(find "$installed" -type f | wc -l)
if [[ $left -ne 0 ||
    -e "$station/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tollivane" ]] ||
    WINEPREFIX=$station wine_run reg query \
        'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tollivane' >/dev/null 2>&1; then
    step_failed "the uninstaller left $left files, the start menu entry or the registry entry"
else
    say "uninstalled: no file, start menu entry or registry entry left"
fi

if [[ ${#failures[@]} -gt 0 ]]; then
    printf 'windows-test: FAILED: %s\n' "${failures[@]}" >&2
    exit 1
fi
say "passed"
