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
# shellcheck source=scripts/lib.sh
. "$ROOT/scripts/lib.sh"

FB_DATABASES=(jump.fdb tollivane_test.fdb)
FB_RUN=/run/firebird3.0
FB_PIDFILE=$FB_RUN/tollivane-firebird.pid

MY_RUN=/run/mysqld
MY_PIDFILE=$MY_RUN/tollivane-mariadb.pid
MY_DATABASES=(Jump JumpTest)

say() { echo "servers.sh: $*" >&2; }
die() {
    say "$*"
    exit 1
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
    if [[ -z $(missing_packages "${SERVER_PACKAGES[@]}") ]]; then
        say "server packages already installed"
        return 0
    fi
    install_packages "${SERVER_PACKAGES[@]}" >/dev/null
}

# The password the package chose when it was installed without the preseed.
packaged_password() {
    sed -n 's/^ISC_PASSWORD="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' /etc/firebird/3.0/SYSDBA.password 2>/dev/null
}

start_firebird() {
    if firebird_answers; then
        say "Firebird already answers on localhost port $FIREBIRD_PORT"
    else
        install -d -o firebird -g firebird -m 0770 "$FB_RUN"
        rm -f "$FB_PIDFILE"
        start-stop-daemon --start --quiet --chuid firebird --background --make-pidfile \
            --pidfile "$FB_PIDFILE" --exec /usr/sbin/firebird
        wait_until 15 firebird_answers ||
            die "Firebird did not answer on localhost port $FIREBIRD_PORT; see RemoteBindAddress in" \
                "/etc/firebird/3.0/firebird.conf and /var/log/firebird/firebird3.0.log"
        say "Firebird started (PID $(cat "$FB_PIDFILE")) on $(answering_address localhost "$FIREBIRD_PORT")"
    fi
}

setup_firebird() {
    local old name first=localhost:$FIREBIRD_DATA/${FB_DATABASES[0]}
    old=$(packaged_password) || true
    for name in "${FB_DATABASES[@]}"; do
        # The packaged password until it is set below.
        firebird_database "$FIREBIRD_DATA/$name" "$FIREBIRD_PASSWORD" "$old" || exit 1
    done
    # shellcheck disable=SC2016 # rdb$database is Firebird's own table
    if ! echo 'select 1 from rdb$database;' | firebird_sql "$FIREBIRD_PASSWORD" "$first" 2>>"$STATE/isql.log"; then
        say "setting the SYSDBA password"
        echo "alter user SYSDBA password '$FIREBIRD_PASSWORD';" |
            firebird_sql "$old" "$first" 2>>"$STATE/isql.log" ||
            die "Firebird does not accept SYSDBA/$FIREBIRD_PASSWORD; see $STATE/isql.log"
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
    local name sql="ALTER USER root@localhost IDENTIFIED VIA unix_socket OR mysql_native_password USING PASSWORD('$MARIADB_PASSWORD');"
    for name in "${MY_DATABASES[@]}"; do
        sql+=" CREATE DATABASE IF NOT EXISTS \`$name\` CHARACTER SET utf8mb4;"
    done
    mariadb --protocol=socket -u root -e "$sql"
}

write_config() {
    {
        odbc_source JumpLocal Jump
        odbc_source JumpServer Jump
        odbc_source JumpTest JumpTest
    } >"$STATE/odbc.ini"
    # Both InterBase locations of the station reach the one local server.
    cat >"$STATE/aliases.ini" <<EOF
[Jump]
Driver=InterBase
C:\\IB_data\\Jump.GDB=localhost:$FIREBIRD_DATA/jump.fdb
G:\\Jump.GDB=localhost:$FIREBIRD_DATA/jump.fdb

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
    # unixODBC takes a user data source file it cannot write for none at all and falls back to
    # /etc/odbc.ini, so the files belong to whoever asked for them through sudo.
    if [[ -n ${SUDO_UID:-} ]]; then
        chown "$SUDO_UID:${SUDO_GID:-$SUDO_UID}" "$STATE" "$STATE/odbc.ini" "$STATE/aliases.ini"
    fi
    ODBCINI=$STATE/odbc.ini isql -b JumpTest root "$MARIADB_PASSWORD" </dev/null >/dev/null ||
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
export TOLLIVANE_FIREBIRD_DB=localhost:$FIREBIRD_DATA/tollivane_test.fdb
export TOLLIVANE_FIREBIRD_USER=SYSDBA
export TOLLIVANE_FIREBIRD_PASSWORD=$FIREBIRD_PASSWORD
export ODBCINI=$STATE/odbc.ini
export TOLLIVANE_ODBC_DSN=JumpTest
export TOLLIVANE_ODBC_USER=root
export TOLLIVANE_ODBC_PASSWORD=$MARIADB_PASSWORD
export TOLLIVANE_ALIASES=$STATE/aliases.ini
EOF
}

cmd_status() {
    local rc=0
    local address
    if address=$(answering_address localhost "$FIREBIRD_PORT"); then
        say "Firebird answers on $address port $FIREBIRD_PORT"
    else
        say "Firebird down" && rc=1
    fi
    if mariadb_port_answers; then
        say "MariaDB answers on $MARIADB_HOST port $MARIADB_PORT"
    else
        say "MariaDB down" && rc=1
    fi
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
