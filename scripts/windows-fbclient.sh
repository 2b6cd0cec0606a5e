#!/usr/bin/env bash
# Firebird's client library for 64-bit Windows, fbclient.dll, cross-built once with MinGW-w64
# from Debian's own firebird3.0 source (the version of the Linux build's client, Debian's patches
# included) and kept in the cache beside Qt for Windows, for the Windows installer.
#
#   scripts/windows-fbclient.sh        install the packages that are missing, build the client
#                                      unless the cache has it (about 2 minutes on 2 cores),
#                                      print its folder as an export line (TOLLIVANE_FBCLIENT_WINDOWS)
#   scripts/windows-fbclient.sh env    print the folder of the complete cache
#
# The cache, $TOLLIVANE_WINDOWS_CACHE/fbclient-3.0.11 (the folder of scripts/windows-qt.sh):
#   bin/fbclient.dll     the client, stripped; it exports every name of builds/win32/defs/
#                        firebird.def, so scripts/windows/fbclient.def's too
#   licence/             what goes into the installer beside it: Firebird's IPL and IDPL, the
#                        BSD notices of sha2.cpp and enc.cpp, libtommath's licence, README.txt
#                        (what the client is, where its source is) and our one source patch
#   source/              the exact source it was built from: Debian's firebird3.0 and libtommath
#                        source packages as fetched, and our build files (scripts/windows/fbclient)
#   build.txt            build time, size, exports
#   complete.stamp       written last: without it, or when it is stale, the client is rebuilt
#
# The build never talks to the system's Firebird server: gpre and isql-fb, which make two of the
# client's sources from .epp files, run on a database file of their own through the embedded
# engine, with a Firebird root, security database and lock folder of their own. An embedded
# engine on the system's security3.fdb would lock the running server out of it.
#
# Sources come only from the Debian archive this machine installs from, checked by apt against
# the archive's signature. Run it as root or as a user with sudo: only apt-get install needs root.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=scripts/lib.sh
. "$ROOT/scripts/lib.sh"

FB_VERSION=3.0.11
TOMMATH_VERSION=1.2.0
TRIPLET=x86_64-w64-mingw32
SELF=$ROOT/scripts/windows-fbclient.sh
FILES=$ROOT/scripts/windows/fbclient
CACHE=$(realpath -m "${TOLLIVANE_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tollivane-windows}")
OUT=$CACHE/fbclient-$FB_VERSION
STAMP=$OUT/complete.stamp
# Sources, build tree, logs; removed once the client is in the cache. Downloads survive a failure.
WORK=$OUT/work
DEF=$ROOT/scripts/windows/fbclient.def

PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64 binutils-mingw-w64-x86-64 dpkg-dev patch make
    g++ gcc xz-utils ca-certificates
    # gpre (array.epp, blob.epp), isql-fb and the embedded engine they run on
    firebird3.0-utils firebird3.0-server-core
    # headers only: the client loads ICU and zlib at run time, if at all
    libicu-dev zlib1g-dev
    # the Debian versions of the sources are those of the installed client
    libfbclient2 libtommath1)

say() { echo "windows-fbclient.sh: $*" >&2; }
die() {
    say "$*"
    exit 1
}

source_version() { # installed binary package
    dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null || echo none
}

# What the cache is built from: when any of it changes, it is stale. The steps count as bash
# reads them, without comments.
recipe() {
    echo "firebird3.0 $(source_version libfbclient2), libtommath $(source_version libtommath1)"
    sha256sum "$FILES"/* "$DEF" | awk '{ print $1 }'
    declare -f unpack_sources host_tools preprocess_epp headers build_client check_client \
        keep_licence_and_source | sha256sum | awk '{ print $1 }'
}

cache_complete() {
    [[ -f $STAMP ]] && [[ $(sed -n '/^built /q;p' "$STAMP") == "$(recipe)" ]]
}

print_env() {
    printf 'export %s=%q\n' TOLLIVANE_FBCLIENT_WINDOWS "$OUT"
}

private_apt "$WORK/apt"

fetch_sources() { # firebird-version tommath-version
    mkdir -p "$APT_DIR"/{sources.list.d,lists/partial,cache/archives/partial} "$WORK/downloads"
    debian_source_lines >"$APT_DIR/sources.list"
    [[ -s $APT_DIR/sources.list ]] || die "no Debian archive found in /etc/apt/sources.list*"
    logged "$WORK/logs/apt-update.log" apt-get "${APT_OPTIONS[@]}" update
    # apt-get source checks every file against the archive's signed Sources index.
    (cd "$WORK/downloads" && apt-get "${APT_OPTIONS[@]}" source --download-only \
        "firebird3.0=$1" "libtommath=$2") >"$WORK/logs/apt-source.log" 2>&1 || {
        tail -n 5 "$WORK/logs/apt-source.log" >&2
        die "Debian's archive does not serve firebird3.0 $1 (the installed client's source) or" \
            "libtommath $2; if libfbclient2 has an update, install it and run this again"
    }
}

unpack_sources() { # firebird-version tommath-version
    rm -rf "$WORK/src"
    mkdir -p "$WORK/src"
    # --no-check: apt-get has checked the files. Debian's patches are applied here.
    logged "$WORK/logs/unpack-firebird.log" \
        dpkg-source --no-check -x "$WORK/downloads/firebird3.0_${1#*:}.dsc" "$WORK/src/firebird"
    logged "$WORK/logs/unpack-tommath.log" \
        dpkg-source --no-check -x "$WORK/downloads/libtommath_${2#*:}.dsc" "$WORK/src/tommath"
    grep -q "^#define PRODUCT_VER_STRING \"$FB_VERSION\." "$WORK/src/firebird/src/jrd/build_no.h" ||
        die "Debian's firebird3.0 source is not Firebird $FB_VERSION"
    grep -qx "VERSION=$TOMMATH_VERSION" "$WORK/src/tommath/makefile_include.mk" ||
        die "Debian's libtommath source is not $TOMMATH_VERSION"
    logged "$WORK/logs/patch.log" in_dir "$WORK/src/firebird" patch -p1 --forward \
        -i "$FILES/inet-posix-only.patch"
    say "unpacked firebird3.0 $1 and libtommath $2 with Debian's patches and ours"
}

# cloop (the C++ interface header) and btyacc (the parser's token header) for this machine.
host_tools() {
    local fb=$WORK/src/firebird tools=$WORK/host
    mkdir -p "$tools" "$WORK/gen/include/gen" "$WORK/gen/yacc"
    logged "$WORK/logs/cloop.log" g++ -O2 -w "$fb"/extern/cloop/src/cloop/*.cpp -o "$tools/cloop"
    logged "$WORK/logs/btyacc.log" in_dir "$fb/extern/btyacc" gcc -O2 -w closure.c error.c \
        lalr.c lr0.c main.c mkpar.c output.c mstring.c reader.c readskel.c skeleton.c symtab.c \
        verbose.c warshall.c -o "$tools/btyacc"
    logged "$WORK/logs/cloop.log" "$tools/cloop" "$fb/src/include/firebird/FirebirdInterface.idl" \
        c++ "$WORK/gen/include/IdlFbInterfaces.h" IDL_FB_INTERFACES_H Firebird I
    # As Firebird's own builds do (builds/posix/make.shared.targets, builds/win32/parse.bat).
    sed -n '/%type .*/p' <"$fb/src/dsql/parse.y" >"$WORK/gen/yacc/types.y"
    sed 's/%type .*//' <"$fb/src/dsql/parse.y" >"$WORK/gen/yacc/y.y"
    logged "$WORK/logs/btyacc.log" in_dir "$WORK/gen/yacc" "$tools/btyacc" -l -d \
        -S "$fb/src/dsql/btyacc_fb.ske" y.y
    mv "$WORK/gen/yacc/y_tab.h" "$WORK/gen/include/gen/parse.h"
}

# array.cpp and blob.cpp from their .epp files: gpre reads the system tables of a database, any
# empty one. Everything the embedded engine opens is in WORK: its root (configuration, an own
# security database), its lock files and the database. Nothing here names a server.
preprocess_epp() {
    local fb=$WORK/src/firebird root=$WORK/fbroot lib file
    lib=$(dirname "$(dpkg -L firebird3.0-server-core | grep '/plugins/libEngine12\.so$')")
    lib=$(dirname "$lib")
    [[ -f $lib/plugins/libEngine12.so ]] || die "firebird3.0-server-core has no embedded engine"
    mkdir -p "$root/lock" "$WORK/gen/yvalve"
    ln -sfn "$lib/plugins" "$root/plugins"
    ln -sfn "$lib/intl" "$root/intl"
    ln -sfn "$lib/firebird.msg" "$root/firebird.msg"
    printf 'SecurityDatabase = %s\n' "$root/security3.fdb" >"$root/firebird.conf"
    printf 'security.db = %s\n' "$root/security3.fdb" >"$root/databases.conf"
    : >"$root/plugins.conf"
    (
        export FIREBIRD=$root FIREBIRD_LOCK=$root/lock FIREBIRD_TMP=$root/lock ISC_USER=SYSDBA
        unset ISC_PASSWORD FIREBIRD_MSG
        cd "$WORK/gen/yvalve"
        rm -f yachts.lnk
        # The .epp files name their database yachts.lnk, as Firebird's own build makes it.
        echo "create database '$WORK/gen/yvalve/yachts.lnk';" | isql-fb -q
        for file in array blob; do
            gpre -m -z -n "$fb/src/yvalve/$file.epp" "$file.cpp"
        done
        rm -f yachts.lnk
    ) >"$WORK/logs/gpre.log" 2>&1 || {
        tail -n 20 "$WORK/logs/gpre.log" >&2
        die "gpre failed (whole log: $WORK/logs/gpre.log)"
    }
}

# The MSVC config header in MinGW's words; Windows headers that Firebird names in capitals
# (MinGW's are lower-case, and Linux file names are case-sensitive); ICU's and zlib's headers in
# a folder of their own (never /usr/include on the MinGW path).
headers() {
    local fb=$WORK/src/firebird mingw header lower file
    sed -e 's/defined(_M_IX86)/defined(__i386__)/' -e 's/defined(_M_AMD64)/defined(__x86_64__)/' \
        -e '/^#pragma warning/d' "$fb/src/include/gen/autoconfig_msvc.h" \
        >"$WORK/gen/include/gen/autoconfig.h"
    grep -q '^#define WIN_NT' "$WORK/gen/include/gen/autoconfig.h" ||
        die "autoconfig_msvc.h does not define WIN_NT"
    mingw=/usr/$TRIPLET/include
    mkdir -p "$WORK/gen/shims" "$WORK/include"
    grep -rhoE '#[[:space:]]*include[[:space:]]*[<"][A-Za-z0-9_]*[A-Z][A-Za-z0-9_]*\.h[>"]' \
        "$fb/src" | sed -E 's/.*[<"]([^>"]+)[>"]/\1/' | sort -u |
        while read -r header; do
            lower=${header,,}
            if [[ ! -e $mingw/$header && -e $mingw/$lower ]]; then
                echo "#include <$lower>" >"$WORK/gen/shims/$header"
            fi
        done
    cp -r "$(dirname "$(dpkg -L libicu-dev | grep '/unicode/ucnv\.h$')")" "$WORK/include/unicode"
    for file in zlib.h zconf.h; do
        cp "$(dpkg -L zlib1g-dev | grep "/$file\$" | head -n 1)" "$WORK/include/"
    done
}

build_client() {
    local start=$SECONDS
    say "building fbclient.dll on $(nproc) cores (log: $WORK/logs/build.log)"
    logged "$WORK/logs/build.log" make -f "$FILES/Makefile" -j"$(nproc)" \
        FB="$WORK/src/firebird" TOMMATH="$WORK/src/tommath" GEN="$WORK/gen" \
        INCLUDE="$WORK/include" OUT="$WORK/out"
    BUILD_SECONDS=$((SECONDS - start))
}

# The names a DLL exports.
exports() { # dll
    local dump
    # Read whole: with pipefail, an awk that stops early would fail the pipe.
    dump=$("$TRIPLET-objdump" -p "$1")
    awk '/\[Ordinal\/Name Pointer\] Table/ { t = 1; next } t && /^[[:space:]]*\[/ { print $NF } t && /^$/ { t = 0 }' \
        <<<"$dump" | sort -u
}

def_names() { # .def file ; "name=internal" exports name
    awk '/^EXPORTS/ { e = 1; next } e && NF && $1 !~ /^;/ { sub(/=.*/, "", $1); print $1 }' "$1" |
        sort -u
}

check_client() {
    local dll=$WORK/out/fbclient.dll missing imports
    [[ -f $dll ]] || die "no fbclient.dll built"
    # Every name of Firebird's own export list, so every name our import library takes from it.
    missing=$(comm -23 <(def_names "$WORK/src/firebird/builds/win32/defs/firebird.def") <(exports "$dll"))
    [[ -z $missing ]] || die "fbclient.dll lacks exports of Firebird's firebird.def: ${missing//$'\n'/ }"
    missing=$(comm -23 <(def_names "$DEF") <(exports "$dll"))
    [[ -z $missing ]] || die "fbclient.dll lacks what scripts/windows/fbclient.def names: ${missing//$'\n'/ }"
    # Windows' own libraries, and MinGW's thread library that the installer carries anyway.
    imports=$("$TRIPLET-objdump" -p "$dll" | awk '/DLL Name:/ { print $3 }' |
        grep -viE '^(kernel32|advapi32|user32|shell32|ole32|ws2_32|mpr|psapi|msvcrt|libwinpthread-1)\.dll$' || true)
    [[ -z $imports ]] || die "fbclient.dll loads libraries a station lacks: ${imports//$'\n'/ }"
}

# The licence texts and notices the installer carries beside the client, and the source.
keep_licence_and_source() { # firebird-version tommath-version
    local fb=$WORK/src/firebird licence=$OUT/licence source=$OUT/source
    mkdir -p "$licence" "$source/tollivane"
    cp "$fb/builds/install/misc/IPLicense.txt" "$fb/builds/install/misc/IDPLicense.txt" "$licence/"
    # The first comment holding "Redistribution", as the files carry it.
    awk '/^\/\*/ { block = "" } { block = block $0 "\n" }
        /\*\// { if (block ~ /Redistribution/) { printf "%s", block; exit } }' \
        "$fb/src/common/sha2/sha2.cpp" >"$licence/sha2-BSD.txt"
    awk '/^\/\*/ { block = "" } { block = block $0 "\n" }
        /\*\// { if (block ~ /Redistribution/) { printf "%s", block; exit } }' \
        "$fb/src/common/enc.cpp" >"$licence/enc-BSD.txt"
    [[ -s $licence/sha2-BSD.txt && -s $licence/enc-BSD.txt ]] ||
        die "the BSD notices of sha2.cpp and enc.cpp were not found"
    cp "$WORK/src/tommath/LICENSE" "$licence/libtommath-LICENSE.txt"
    cp "$FILES/inet-posix-only.patch" "$licence/"
    sed -e "s/@FB_VERSION@/$FB_VERSION/g" -e "s/@FB_DEBIAN@/$1/g" -e "s/@TOMMATH_DEBIAN@/$2/g" \
        "$FILES/README.txt.in" >"$licence/README.txt"
    cp "$WORK/downloads/"firebird3.0_* "$WORK/downloads/"libtommath_* "$source/"
    cp "$FILES"/* "$SELF" "$source/tollivane/"
}

build_cache() {
    local firebird tommath size
    firebird=$(source_version libfbclient2)
    tommath=$(source_version libtommath1)
    [[ $firebird == "$FB_VERSION".* ]] || die "the installed Firebird client is $firebird, not $FB_VERSION"
    [[ $tommath == "$TOMMATH_VERSION"-* ]] || die "the installed libtommath is $tommath, not $TOMMATH_VERSION"
    mkdir -p "$OUT"
    exec 9>"$OUT.lock"
    flock -n 9 || die "another run is building $OUT"
    cache_complete && return 0
    say "building Firebird's client $FB_VERSION for Windows in $OUT"
    # Anything an earlier run left, except what it downloaded, goes.
    rm -rf "$STAMP" "${OUT:?}/bin" "$OUT/licence" "$OUT/source" "$OUT/build.txt" "$WORK/src" \
        "$WORK/gen" "$WORK/host" "$WORK/fbroot" "$WORK/include" "$WORK/out" "$WORK/logs"
    mkdir -p "$WORK/logs"
    local start=$SECONDS
    fetch_sources "$firebird" "$tommath"
    unpack_sources "$firebird" "$tommath"
    host_tools
    preprocess_epp
    headers
    build_client
    check_client
    mkdir -p "$OUT/bin"
    cp "$WORK/out/fbclient.dll" "$OUT/bin/"
    keep_licence_and_source "$firebird" "$tommath"
    size=$(stat -c %s "$OUT/bin/fbclient.dll")
    {
        echo "fbclient.dll $FB_VERSION for 64-bit Windows from firebird3.0 $firebird"
        echo "size: $size bytes, $(exports "$OUT/bin/fbclient.dll" | wc -l) exports"
        echo "compiled in $BUILD_SECONDS s on $(nproc) cores; $((SECONDS - start)) s in all"
        echo "imports: $("$TRIPLET-objdump" -p "$OUT/bin/fbclient.dll" | awk '/DLL Name:/ { printf "%s ", $3 }')"
    } >"$OUT/build.txt"
    rm -rf "$WORK"
    { recipe; echo "built $(date -u +%Y-%m-%dT%H:%M:%SZ) from firebird3.0 $firebird"; } >"$STAMP.new"
    mv "$STAMP.new" "$STAMP"
    sed 's/^/windows-fbclient.sh: /' "$OUT/build.txt" >&2
}

case "${1:-}" in
'')
    # Only the paths go to standard output, which callers evaluate.
    {
        install_packages "${PACKAGES[@]}"
        if cache_complete; then
            say "Firebird's client in the cache: $(sed -n 2p "$OUT/build.txt")"
        else
            build_cache
        fi
    } >&2
    print_env
    ;;
env)
    cache_complete || die "no Firebird client for Windows in $OUT: run scripts/windows-fbclient.sh"
    print_env
    ;;
*)
    echo "usage: $0 [env]" >&2
    exit 2
    ;;
esac
