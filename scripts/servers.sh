#!/usr/bin/env bash
# The competition database servers for the tests and the demo: Firebird 3 and MariaDB, run
# without an init system and stopped by PID.
#
#   scripts/servers.sh install   install the server packages when they are missing
#   scripts/servers.sh start     start both servers, wait until they answer, create the
#                                databases and the ODBC data sources (idempotent)
#   scripts/servers.sh stop      stop what start started
#   scripts/servers.sh env       print the export lines the tests and the tools read:
#                                eval "$(scripts/servers.sh env)"
#   scripts/servers.sh status    say what answers
#
# Run it as root or with sudo. State (PID files, logs, odbc.ini, aliases.ini) lives in
# $TOLLIVANE_SERVERS_DIR, default build-servers/ in the working tree.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
STATE=${TOLLIVANE_SERVERS_DIR:-$ROOT/build-servers}

FB_PASSWORD=pewtergum
FB_DATA=/var/lib/firebird/3.0/data
FB_DATABASES=(jump.fdb tollivane_test.fdb)
FB_RUN=/run/firebird3.0
FB_PIDFILE=$FB_RUN/tollivane-firebird.pid

MY_PASSWORD=rusko
MY_RUN=/run/mysqld
MY_PIDFILE=$MY_RUN/mysqld.pid
MY_DATABASES=(Jump JumpTest)

PACKAGES=(firebird3.0-server firebird3.0-utils mariadb-server mariadb-client odbc-mariadb
    unixodbc libqt6sql6-ibase libqt6sql6-odbc libqt6sql6-sqlite iproute2)

SUDO=()
if [[ $(id -u) -ne 0 ]]; then
    SUDO=(sudo)
fi

say() { echo "servers.sh: $*" >&2; }
die() {
    say "$*"
    exit 1
}

port_answers() { # address port
    timeout 1 bash -c "exec 3<>/dev/tcp/$1/$2" 2>/dev/null
}

# The first address of a host name that answers on a port, in the resolver's order; fails when
# none does. Firebird binds where "localhost" resolves first (RemoteBindAddress = localhost):
# [::1] on a standard Debian /etc/hosts, 127.0.0.1 where there is no ::1 line.
answering_address() { # name port
    local address
    for address in $(getent ahosts "$1" | awk '$2 == "STREAM" { print $1 }'); do
        if port_answers "$address" "$2"; then
            echo "$address"
            return 0
        fi
    done
    return 1
}

firebird_answers() {
    answering_address localhost 3050 >/dev/null
}

# MariaDB listens where bind-address says (127.0.0.1 in Debian's 50-server.cnf), whatever
# "localhost" resolves to; its clients take "localhost" for the Unix socket.
MY_HOST=127.0.0.1

wait_until() { # seconds command...
    local limit=$(($1 * 10))
    shift
    for ((i = 0; i < limit; i++)); do
        if "$@"; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Whether a process runs. One that ended but was not reaped (its parent is gone and PID 1, say a
# container's, does not reap) is a zombie: it no longer runs, though kill -0 still finds it.
running() { # pid
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    [[ ${stat%% *} != Z ]]
}

pid_alive() { # pidfile
    [[ -r $1 ]] && running "$(cat "$1")"
}

cmd_install() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    if [[ ${#missing[@]} -eq 0 ]]; then
        say "server packages already installed"
        return 0
    fi
    say "installing ${missing[*]}"
    echo "firebird3.0-server shared/firebird/sysdba_password/first_install password $FB_PASSWORD" |
        "${SUDO[@]}" debconf-set-selections
    "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# Runs SQL from standard input as SYSDBA with the given password, on a database if given.
fb_run() { # password [database]
    isql-fb -q -bail -user SYSDBA -password "$1" ${2:+"$2"} >/dev/null 2>>"$STATE/isql.log"
}

# The password the package chose when it was installed without the preseed.
packaged_password() {
    sed -n 's/^ISC_PASSWORD="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' /etc/firebird/3.0/SYSDBA.password 2>/dev/null
}

start_firebird() {
    if firebird_answers; then
        say "Firebird already answers on localhost port 3050"
    else
        install -d -o firebird -g firebird -m 0770 "$FB_RUN"
        rm -f "$FB_PIDFILE"
        start-stop-daemon --start --quiet --chuid firebird --background --make-pidfile \
            --pidfile "$FB_PIDFILE" --exec /usr/sbin/firebird
        wait_until 15 firebird_answers ||
            die "Firebird did not answer on localhost port 3050; see RemoteBindAddress in" \
                "/etc/firebird/3.0/firebird.conf and /var/log/firebird/firebird3.0.log"
        say "Firebird started (PID $(cat "$FB_PIDFILE")) on $(answering_address localhost 3050)"
    fi
}

setup_firebird() {
    local old name path first=localhost:$FB_DATA/${FB_DATABASES[0]}
    old=$(packaged_password)
    for name in "${FB_DATABASES[@]}"; do
        path=$FB_DATA/$name
        [[ -f $path ]] && continue
        # Through the server, so that the file belongs to the firebird user.
        local sql="create database 'localhost:$path' default character set UTF8;"
        echo "$sql" | fb_run "$FB_PASSWORD" || echo "$sql" | fb_run "$old" ||
            die "cannot create localhost:$path; see $STATE/isql.log"
        say "created Firebird database localhost:$path"
    done
    if ! echo 'select 1 from rdb$database;' | fb_run "$FB_PASSWORD" "$first"; then
        say "setting the SYSDBA password"
        echo "alter user SYSDBA password '$FB_PASSWORD';" | fb_run "$old" "$first" ||
            die "Firebird does not accept SYSDBA/$FB_PASSWORD; see $STATE/isql.log"
    fi
}

mariadb_answers() {
    mariadb-admin --protocol=socket ping >/dev/null 2>&1
}

start_mariadb() {
    if mariadb_answers; then
        say "MariaDB already answers"
    else
        install -d -o mysql -g mysql -m 0755 "$MY_RUN"
        setsid /usr/sbin/mariadbd --user=mysql --pid-file="$MY_PIDFILE" \
            >"$STATE/mariadb.log" 2>&1 </dev/null &
        wait_until 30 mariadb_answers || die "MariaDB did not answer; see $STATE/mariadb.log"
        say "MariaDB started (PID $(cat "$MY_PIDFILE"))"
    fi
}

setup_mariadb() {
    local sql="ALTER USER root@localhost IDENTIFIED VIA unix_socket OR mysql_native_password USING PASSWORD('$MY_PASSWORD');"
    for name in "${MY_DATABASES[@]}"; do
        sql+=" CREATE DATABASE IF NOT EXISTS \`$name\` CHARACTER SET utf8mb4;"
    done
    mariadb --protocol=socket -u root -e "$sql"
}

write_config() {
    local dsn
    {
        for dsn in JumpLocal JumpServer; do
            printf '[%s]\nDriver = MariaDB Unicode\nServer = %s\nPort = 3306\nDatabase = Jump\nCharSet = utf8mb4\n\n' "$dsn" "$MY_HOST"
        done
        printf '[JumpTest]\nDriver = MariaDB Unicode\nServer = %s\nPort = 3306\nDatabase = JumpTest\nCharSet = utf8mb4\n' "$MY_HOST"
    } >"$STATE/odbc.ini"
    # Both InterBase locations of the station reach the one local server.
    cat >"$STATE/aliases.ini" <<EOF
[Jump]
Driver=InterBase
C:\\IB_data\\Jump.GDB=localhost:$FB_DATA/jump.fdb
G:\\Jump.GDB=localhost:$FB_DATA/jump.fdb

[JumpLocal]
Driver=ODBC

[JumpServer]
Driver=ODBC
EOF
}

cmd_start() {
    [[ $(id -u) -eq 0 ]] || exec sudo env TOLLIVANE_SERVERS_DIR="$STATE" "$0" start
    [[ -x /usr/sbin/firebird && -x /usr/sbin/mariadbd ]] ||
        die "server packages missing: run $0 install"
    mkdir -p "$STATE"
    start_firebird
    setup_firebird
    start_mariadb
    setup_mariadb
    write_config
    ODBCINI=$STATE/odbc.ini isql -b JumpTest root "$MY_PASSWORD" </dev/null >/dev/null ||
        die "ODBC data source JumpTest does not connect"
    say "ready; eval \"\$($0 env)\" for the tests"
}

stop_pid() { # name pidfile
    pid_alive "$2" || return 0
    local pid
    pid=$(cat "$2")
    kill -TERM "$pid"
    if ! wait_until 15 eval "! running $pid"; then
        say "$1 (PID $pid) ignores SIGTERM; killing it"
        kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -f "$2"
    say "$1 stopped"
}

cmd_stop() {
    [[ $(id -u) -eq 0 ]] || exec sudo env TOLLIVANE_SERVERS_DIR="$STATE" "$0" stop
    stop_pid Firebird "$FB_PIDFILE"
    stop_pid MariaDB "$MY_PIDFILE"
}

cmd_env() {
    cat <<EOF
export TOLLIVANE_FIREBIRD_DB=localhost:$FB_DATA/tollivane_test.fdb
export TOLLIVANE_FIREBIRD_USER=SYSDBA
export TOLLIVANE_FIREBIRD_PASSWORD=$FB_PASSWORD
export ODBCINI=$STATE/odbc.ini
export TOLLIVANE_ODBC_DSN=JumpTest
export TOLLIVANE_ODBC_USER=root
export TOLLIVANE_ODBC_PASSWORD=$MY_PASSWORD
export TOLLIVANE_ALIASES=$STATE/aliases.ini
EOF
}

cmd_status() {
    local rc=0
    local address
    if address=$(answering_address localhost 3050); then
        say "Firebird answers on $address port 3050"
    else
        say "Firebird down" && rc=1
    fi
    if port_answers "$MY_HOST" 3306; then say "MariaDB answers on $MY_HOST port 3306"; else say "MariaDB down" && rc=1; fi
    return $rc
}

case "${1:-}" in
install) cmd_install ;;
start) cmd_start ;;
stop) cmd_stop ;;
env) cmd_env ;;
status) cmd_status ;;
*)
    sed -n '2,14s/^# \{0,1\}//p' "$0" >&2
    exit 2
    ;;
esac
