#!/usr/bin/env bash
# Runs the terminal's benchmarks from a build folder and prints one Markdown table, with the
# date and the machine. It builds nothing: build the targets tollivane-bench (which brings
# tollivane-probe, bare-window and tollivane) first, preferably in a Release build.
#
#   bench/run.sh <build folder> [--quick] [more tollivane-bench options]
#
# Routes: SQLite always; Firebird and MariaDB/ODBC when their servers answer (start them with
# scripts/servers.sh start). The bench uses databases of its own there, tollivane_bench.fdb
# and JumpBench, created on first use, so it never touches the test databases. With Xvfb and
# xdotool installed it runs everything on an X display of its own and also times and drives
# the real program; without them it runs offscreen.
set -euo pipefail

[[ $# -ge 1 ]] || { sed -n '2,13s/^# \{0,1\}//p' "$0" >&2; exit 2; }
build=$(cd "$1" && pwd)
shift
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bench=$build/bench/tollivane-bench
[[ -x $bench ]] || { echo "run.sh: $bench is missing: build the target tollivane-bench" >&2; exit 2; }

state=$(mktemp -d "${TMPDIR:-/tmp}/tollivane-bench.XXXXXX")
xvfb=
cleanup() {
    if [[ -n $xvfb ]]; then kill "$xvfb" 2>/dev/null || true; fi
    rm -rf "$state"
}
trap cleanup EXIT

export FONTCONFIG_FILE=$root/resources/fontconfig/fonts.conf
unset TOLLIVANE_ALIASES QT_QPA_PLATFORM
# shellcheck source=scripts/lib.sh
. "$root/scripts/lib.sh"

args=()
fb_db=$FIREBIRD_DATA/tollivane_bench.fdb
# firebird_database says why when it fails; the bench then goes on without that route.
if firebird_answers && firebird_database "$fb_db"; then
    args+=(--firebird "localhost:$fb_db")
fi
if mariadb_port_answers; then
    if mariadb --protocol=tcp -h "$MARIADB_HOST" -P "$MARIADB_PORT" -u root \
        -p"$MARIADB_PASSWORD" -e 'create database if not exists JumpBench character set utf8mb4' \
        2>"$state/mariadb.log"; then
        odbc_source JumpBench JumpBench >"$state/odbc.ini"
        export ODBCINI=$state/odbc.ini
        args+=(--odbc-dsn JumpBench)
    else
        echo "run.sh: no MariaDB database JumpBench: $(cat "$state/mariadb.log")" >&2
    fi
fi

if command -v Xvfb >/dev/null; then
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 3>"$state/display" \
        >"$state/xvfb.log" 2>&1 &
    xvfb=$!
    wait_until 5 test -s "$state/display" || { echo "run.sh: Xvfb did not start" >&2; exit 1; }
    DISPLAY=:$(head -1 "$state/display")
    export DISPLAY
else
    export QT_QPA_PLATFORM=offscreen
fi

build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
echo "## Tollivane benchmarks"
echo
echo "- Date: $(date '+%Y-%m-%d %H:%M %Z')"
echo "- Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo) RAM, $(uname -sr)"
echo "- Load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "- Qt: $(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || echo unknown) (Debian package libqt6core6)"
echo "- Build: ${build_type:-unknown} ($build)"
echo "- Display: ${DISPLAY:+Xvfb $DISPLAY}${QT_QPA_PLATFORM:-}"
echo
"$bench" "${args[@]}" "$@"
