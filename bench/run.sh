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
# The passwords the servers were set up with.
eval "$("$root/scripts/servers.sh" env)"
unset TOLLIVANE_ALIASES

port_answers() { timeout 1 bash -c "exec 3<>/dev/tcp/$1/$2" 2>/dev/null; }
# Firebird listens where "localhost" resolves first: ::1 or 127.0.0.1, depending on /etc/hosts.
localhost_answers() { # port
    local address
    for address in $(getent ahosts localhost | awk '$2 == "STREAM" { print $1 }'); do
        port_answers "$address" "$1" && return 0
    done
    return 1
}
# MariaDB listens on 127.0.0.1 (bind-address), whatever localhost resolves to.
my_host=127.0.0.1

args=()
fb_data=/var/lib/firebird/3.0/data
fb_db=localhost:$fb_data/tollivane_bench.fdb
if localhost_answers 3050; then
    fb() { isql-fb -q -bail -user SYSDBA -password "$TOLLIVANE_FIREBIRD_PASSWORD" "$@" >/dev/null 2>>"$state/isql.log"; }
    if echo 'select 1 from rdb$database;' | fb "$fb_db" ||
        echo "create database '$fb_db' default character set UTF8;" | fb; then
        args+=(--firebird "$fb_db")
    else
        echo "run.sh: no Firebird database $fb_db: $(cat "$state/isql.log")" >&2
    fi
fi
if port_answers "$my_host" 3306; then
    if mariadb --protocol=tcp -h "$my_host" -u "$TOLLIVANE_ODBC_USER" -p"$TOLLIVANE_ODBC_PASSWORD" \
        -e 'create database if not exists JumpBench character set utf8mb4' 2>"$state/mariadb.log"; then
        printf '[JumpBench]\nDriver = MariaDB Unicode\nServer = %s\nPort = 3306\nDatabase = JumpBench\nCharSet = utf8mb4\n' "$my_host" >"$state/odbc.ini"
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
    for _ in $(seq 50); do [[ -s $state/display ]] && break; sleep 0.1; done
    [[ -s $state/display ]] || { echo "run.sh: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=:$(head -1 "$state/display")
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
