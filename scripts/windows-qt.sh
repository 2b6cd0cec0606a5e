#!/usr/bin/env bash
# Qt 6.4.2 for 64-bit Windows, cross-built once with MinGW-w64 from Debian's own qt6-base source
# (the version of the Linux build, Debian's patches included) and kept in a cache outside the
# checkout, for the Windows build of the terminal.
#
#   scripts/windows-qt.sh        install the packages that are missing, build the cache unless it
#                                is complete (about 20 minutes on 2 cores), print its paths
#   scripts/windows-qt.sh env    print the paths of the complete cache as export lines:
#                                eval "$(scripts/windows-qt.sh env)"
#   . scripts/windows-qt.sh      the same paths into the calling shell; fails without a complete cache
#
# The cache, $TOLLIVANE_WINDOWS_CACHE (default ${XDG_CACHE_HOME:-$HOME/.cache}/tollivane-windows):
#   qt-6.4.2-mingw64/            Qt: Core, Gui, Widgets, Sql (QSQLITE, QODBC, QIBASE drivers), Test
#   firebird/include/            Firebird's ibase.h, for the InterBase driver
#   firebird/lib/libfbclient.a   import library of fbclient.dll (scripts/windows/fbclient.def)
#   mingw-w64-x86_64.cmake       the toolchain file Qt was built with (Qt's own toolchain loads it)
#   qt-config.summary            Qt's configure summary
#   complete.stamp               written last: without it, or when it is stale, the cache is rebuilt
#
# Run it as root or as a user with sudo: only apt-get install needs root. Sources come only from
# the Debian archive this machine installs from, checked by apt against the archive's signature.

if (return 0 2>/dev/null); then
    # Sourced: take the paths into the caller's shell, and change nothing else there.
    if __tollivane_windows_env=$(bash "${BASH_SOURCE[0]}" env); then
        eval "$__tollivane_windows_env"
        unset __tollivane_windows_env
        return 0
    fi
    unset __tollivane_windows_env
    return 1
fi
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=scripts/lib.sh
. "$ROOT/scripts/lib.sh"

QT_VERSION=6.4.2
SQLITE_VERSION=3.40.1
TRIPLET=x86_64-w64-mingw32
CACHE=$(realpath -m "${TOLLIVANE_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tollivane-windows}")
PREFIX=$CACHE/qt-$QT_VERSION-mingw64
FIREBIRD=$CACHE/firebird
TOOLCHAIN=$CACHE/mingw-w64-x86_64.cmake
SUMMARY=$CACHE/qt-config.summary
STAMP=$CACHE/complete.stamp
# Sources, build tree and logs; removed once Qt is installed. Downloads survive a failed run.
WORK=$CACHE/work
DEF=$ROOT/scripts/windows/fbclient.def

PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64 ninja-build perl tcl dpkg-dev firebird-dev cmake
    qt6-base-dev qt6-base-dev-tools xz-utils ca-certificates
    # SQLite's configure and the host programs that generate its amalgamation (lemon and others)
    gcc make)

say() { echo "windows-qt.sh: $*" >&2; }
die() {
    say "$*"
    exit 1
}

# The Debian version of the Linux build's Qt, e.g. 6.4.2+dfsg-10; the Windows build takes the same.
host_qt_version() {
    dpkg-query -W -f='${source:Version}' qt6-base-dev 2>/dev/null || echo none
}

# One argument a line, for Qt's configure. Only what the terminal uses is built. Debian's +dfsg
# tarball leaves out wintab, which tablet events need.
qt_configure_options() {
    printf '%s\n' \
        -prefix "$PREFIX" -release -xplatform win32-g++ -qt-host-path /usr \
        -nomake examples -nomake tests \
        -no-opengl -no-dbus -no-feature-network -no-feature-printsupport -no-feature-concurrent \
        -no-feature-xml -no-feature-tabletevent \
        -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-harfbuzz -qt-freetype \
        -sql-sqlite -qt-sqlite -sql-odbc -sql-ibase -no-sql-mysql -no-sql-psql -no-sql-db2 -no-sql-oci \
        -- -G Ninja \
        "-DCMAKE_TOOLCHAIN_FILE=$TOOLCHAIN" \
        "-DQT_HOST_PATH_CMAKE_DIR=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
        "-DInterbase_INCLUDE_DIR=$FIREBIRD/include" \
        "-DInterbase_LIBRARY=$FIREBIRD/lib/libfbclient.a"
}

# What the cache is built from: when any of it changes, the cache is stale.
recipe() {
    echo "qt6-base $(host_qt_version)"
    sha256sum "$DEF" "$ROOT/cmake/mingw-w64-x86_64.cmake" | awk '{ print $1 }'
    qt_configure_options | sha256sum | awk '{ print $1 }'
}

cache_complete() {
    [[ -f $STAMP ]] && [[ $(sed -n '/^built /q;p' "$STAMP") == "$(recipe)" ]]
}

# The MinGW runtime a Windows program of ours needs beside it, as a CMake list.
runtime_dlls() {
    local dll path list=
    for dll in libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll; do
        path=$(realpath -e "$("$TRIPLET-g++-posix" -print-file-name="$dll")") ||
            die "the MinGW runtime $dll is missing"
        list+=${list:+;}$path
    done
    echo "$list"
}

print_env() {
    local dlls
    dlls=$(runtime_dlls)
    printf 'export %s=%q\n' \
        TOLLIVANE_WINDOWS_CACHE "$CACHE" \
        TOLLIVANE_QT_WINDOWS "$PREFIX" \
        TOLLIVANE_QT_WINDOWS_CMAKE "$PREFIX/bin/qt-cmake" \
        TOLLIVANE_WINDOWS_TOOLCHAIN "$PREFIX/lib/cmake/Qt6/qt.toolchain.cmake" \
        TOLLIVANE_FIREBIRD_WINDOWS_INCLUDE "$FIREBIRD/include" \
        TOLLIVANE_FIREBIRD_WINDOWS_LIBRARY "$FIREBIRD/lib/libfbclient.a" \
        TOLLIVANE_MINGW_RUNTIME_DLLS "$dlls"
}

private_apt "$WORK/apt"

fetch_sources() { # debian-version-of-qt6-base
    mkdir -p "$APT_DIR"/{sources.list.d,lists/partial,cache/archives/partial} "$WORK/downloads"
    debian_source_lines >"$APT_DIR/sources.list"
    [[ -s $APT_DIR/sources.list ]] || die "no Debian archive found in /etc/apt/sources.list*"
    say "source archives: $(awk '{ printf "%s%s %s", sep, $(NF - 2), $(NF - 1); sep = ", " }' "$APT_DIR/sources.list")"
    logged "$WORK/logs/apt-update.log" apt-get "${APT_OPTIONS[@]}" update
    # apt-get source checks every file against the archive's signed Sources index.
    (cd "$WORK/downloads" && apt-get "${APT_OPTIONS[@]}" source --download-only "qt6-base=$1" sqlite3) \
        >"$WORK/logs/apt-source.log" 2>&1 || {
        tail -n 5 "$WORK/logs/apt-source.log" >&2
        die "Debian's archive does not serve qt6-base $1 (the Linux build's Qt) or sqlite3; if" \
            "qt6-base-dev has an update, install it (apt-get upgrade) and run this again"
    }
}

unpack_sources() { # debian-version-of-qt6-base
    local dsc
    rm -rf "$WORK/src"
    mkdir -p "$WORK/src"
    # --no-check: apt-get has checked the files; dpkg-source would only miss Debian's keyring.
    logged "$WORK/logs/unpack-qt.log" \
        dpkg-source --no-check -x "$WORK/downloads/qt6-base_${1#*:}.dsc" "$WORK/src/qtbase"
    dsc=$(find "$WORK/downloads" -maxdepth 1 -name "sqlite3_$SQLITE_VERSION-*.dsc" | sort -V | tail -n 1)
    [[ -n $dsc ]] || die "Debian's sqlite3 source is not $SQLITE_VERSION: $(ls "$WORK/downloads")"
    logged "$WORK/logs/unpack-sqlite.log" dpkg-source --no-check -x "$dsc" "$WORK/src/sqlite"
    say "unpacked qt6-base $1 and $(basename "$dsc" .dsc) with Debian's patches"
}

# The +dfsg tarball has no SQLite; Qt's bundled-SQLite driver wants the amalgamation in its tree.
sqlite_amalgamation() {
    local build=$WORK/sqlite-build to=$WORK/src/qtbase/src/3rdparty/sqlite
    mkdir -p "$build" "$to"
    logged "$WORK/logs/sqlite-configure.log" in_dir "$build" "$WORK/src/sqlite/configure" --disable-tcl
    logged "$WORK/logs/sqlite-make.log" in_dir "$build" make sqlite3.c
    grep -q "^#define SQLITE_VERSION *\"$SQLITE_VERSION\"" "$build/sqlite3.h" ||
        die "the amalgamation is not SQLite $SQLITE_VERSION"
    cp "$build/sqlite3.c" "$build/sqlite3.h" "$to/"
}

# The names of fbclient functions a file calls, among those ibase.h declares.
fbclient_calls() { # ibase.h file...
    local header=$1
    shift
    comm -12 <(grep -ohE '\b(isc|fb)_[A-Za-z0-9_]+' "$@" | sort -u) \
        <(grep -oE 'ISC_EXPORT(_VARARG)? +(isc|fb)_[A-Za-z0-9_]+' "$header" | awk '{ print $2 }' | sort -u)
}

# ibase.h in a folder of its own (never /usr/include on the MinGW path) and fbclient's import library.
firebird_client() {
    local header missing unknown
    header=$(dpkg -L firebird-dev | grep '/include/ibase\.h$') || die "firebird-dev has no ibase.h"
    header=${header%%$'\n'*}
    mkdir -p "$FIREBIRD/include" "$FIREBIRD/lib"
    # iberror.h names the error codes a caller compares a status vector with.
    cp "$header" "$(dirname "$header")/iberror.h" "$FIREBIRD/include/"
    # It must stand alone on MinGW's include path: any other header it wanted would fail here.
    echo '#include <ibase.h>' | logged "$WORK/logs/ibase-h.log" \
        "$TRIPLET-g++-posix" -fsyntax-only -x c++ -I"$FIREBIRD/include" -
    # The import library must name every function Qt's InterBase driver calls.
    missing=$(comm -23 <(fbclient_calls "$header" "$WORK"/src/qtbase/src/plugins/sqldrivers/ibase/*.{cpp,h}) \
        <(awk '/^EXPORTS/ { e = 1; next } e && NF && $1 !~ /^;/ { print $1 }' "$DEF" | sort -u))
    [[ -z $missing ]] || die "scripts/windows/fbclient.def lacks what Qt's driver calls: ${missing//$'\n'/ }"
    unknown=$(comm -23 <(awk '/^EXPORTS/ { e = 1; next } e && NF && $1 !~ /^;/ { print $1 }' "$DEF" | sort -u) \
        <(grep -oE 'ISC_EXPORT(_VARARG)? +(isc|fb)_[A-Za-z0-9_]+' "$header" | awk '{ print $2 }' | sort -u))
    [[ -z $unknown ]] || die "scripts/windows/fbclient.def names functions ibase.h lacks: ${unknown//$'\n'/ }"
    # dlltool writes its temporary files into the current folder.
    in_dir "$WORK" "$TRIPLET-dlltool" --input-def "$DEF" --dllname fbclient.dll \
        --output-lib "$FIREBIRD/lib/libfbclient.a"
}

configure_qt() {
    local build=$WORK/build options
    mapfile -t options < <(qt_configure_options)
    mkdir -p "$build"
    say "configuring Qt (log: $WORK/logs/configure.log)"
    logged "$WORK/logs/configure.log" in_dir "$build" "$WORK/src/qtbase/configure" "${options[@]}"
    cp "$build/config.summary" "$SUMMARY"
    awk '/^Qt Sql Drivers:/ { s = 1; print; next } s && /^[^ ]/ { exit } s' "$SUMMARY" >&2
    local driver
    for driver in InterBase ODBC SQLite; do
        grep -qE "^  $driver \.+ yes\$" "$SUMMARY" || die "Qt's $driver driver is not configured (see $SUMMARY)"
    done
}

build_qt() {
    local build=$WORK/build start=$SECONDS
    say "building Qt on $(nproc) cores (log: $WORK/logs/build.log)"
    if ! cmake --build "$build" --parallel "$(nproc)" 2>&1 | tee "$WORK/logs/build.log" |
        awk -F'[][/]' '/^\[[0-9]+\/[0-9]+\]/ && ($2 % 100 == 0 || $2 == $3) {
            print "windows-qt.sh: step " $2 " of " $3 > "/dev/stderr"; fflush("/dev/stderr") }'; then
        grep -v '^\[' "$WORK/logs/build.log" | tail -n 30 >&2
        die "the Qt build failed (whole log: $WORK/logs/build.log)"
    fi
    say "Qt built in $(((SECONDS - start) / 60)) min $(((SECONDS - start) % 60)) s"
    # Stripped: the DLLs go into the installer as they are.
    logged "$WORK/logs/install.log" cmake --install "$build" --strip
}

check_install() {
    local file
    for file in bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/Qt6Sql.dll bin/Qt6Test.dll \
        plugins/platforms/qwindows.dll plugins/sqldrivers/qsqlite.dll plugins/sqldrivers/qsqlodbc.dll \
        plugins/sqldrivers/qsqlibase.dll bin/qt-cmake lib/cmake/Qt6/qt.toolchain.cmake; do
        [[ -f $PREFIX/$file ]] || die "the installed Qt lacks $file"
    done
    # Read whole: with pipefail, a grep that stops early would fail the pipe.
    [[ $("$TRIPLET-objdump" -p "$PREFIX/plugins/sqldrivers/qsqlibase.dll") == *"DLL Name: fbclient.dll"* ]] ||
        die "qsqlibase.dll does not load fbclient.dll"
}

build_cache() {
    local version
    version=$(host_qt_version)
    # The host's moc, rcc and uic serve the Windows build: the versions must be the same.
    [[ $version == "$QT_VERSION"+* || $version == "$QT_VERSION"-* ]] ||
        die "the Linux build's Qt is $version, not $QT_VERSION"
    mkdir -p "$CACHE"
    exec 9>"$CACHE/.lock"
    flock -n 9 || die "another run is building $CACHE"
    cache_complete && return 0
    say "building the cache in $CACHE"
    # Anything an earlier run left, except what it downloaded, goes: the cache is built anew.
    rm -rf "$STAMP" "$PREFIX" "$FIREBIRD" "$TOOLCHAIN" "$SUMMARY" "$WORK/src" "$WORK/sqlite-build" \
        "$WORK/build" "$WORK/logs"
    mkdir -p "$WORK/logs"
    fetch_sources "$version"
    unpack_sources "$version"
    sqlite_amalgamation
    firebird_client
    cp "$ROOT/cmake/mingw-w64-x86_64.cmake" "$TOOLCHAIN"
    configure_qt
    build_qt
    check_install
    rm -rf "$WORK"
    { recipe; echo "built $(date -u +%Y-%m-%dT%H:%M:%SZ) from qt6-base $version"; } >"$STAMP.new"
    mv "$STAMP.new" "$STAMP"
    say "cache complete: $(du -sh "$CACHE" | cut -f1) in $CACHE"
}

case "${1:-}" in
'')
    # Only the paths go to standard output, which callers evaluate: apt's and the build's
    # chatter goes to standard error.
    {
        install_packages "${PACKAGES[@]}"
        if cache_complete; then
            say "cache complete in $CACHE"
        else
            build_cache
        fi
    } >&2
    print_env
    ;;
env)
    cache_complete || die "no complete cache in $CACHE: run scripts/windows-qt.sh"
    print_env
    ;;
*)
    echo "usage: $0 [env]" >&2
    exit 2
    ;;
esac
