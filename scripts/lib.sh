# Shared by setup.sh, scripts/servers.sh and bench/run.sh; source it, do not run it:
#   . "$root/scripts/lib.sh"
# It only defines variables and functions. Every function works under set -euo pipefail and
# reports through its exit status; messages go to standard error, named after the script.
# shellcheck shell=bash

# The package lists, for Debian 12.
# Building and running the terminal on every route.
# shellcheck disable=SC2034 # used by the scripts that source this file
BASE_PACKAGES=(cmake g++ make qt6-base-dev libqt6sql6-ibase libqt6sql6-odbc libqt6sql6-sqlite
    unixodbc odbc-mariadb fonts-ipafont-gothic fontconfig)
# The acceptance tests (Xvfb, xdotool, screenshots) and the benchmarks' display.
# shellcheck disable=SC2034
TEST_PACKAGES=(python3 xvfb xauth xdotool imagemagick)
# The database servers, the command-line clients the scripts and tests use on them, and the
# drivers the terminal reaches them with.
# shellcheck disable=SC2034
SERVER_PACKAGES=(firebird3.0-server firebird3.0-utils mariadb-server mariadb-client odbc-mariadb
    unixodbc libqt6sql6-ibase libqt6sql6-odbc libqt6sql6-sqlite)

# The Windows installer (scripts/windows-qt.sh installs what the cross build itself needs).
# shellcheck disable=SC2034
WINDOWS_PACKAGES=(cmake nsis)
# The Windows build's tests under Wine: Wine itself, its display, the host's ODBC driver that
# Wine's ODBC hands on to, the font it takes for "ＭＳ Ｐゴシック", and MinGW's objdump.
# shellcheck disable=SC2034
WINE_PACKAGES=(wine wine64 xvfb xauth xdotool imagemagick python3 unixodbc odbc-mariadb
    fonts-ipafont-gothic binutils-mingw-w64-x86-64)

# The accounts of the terminal's connection profiles: the servers must carry these.
FIREBIRD_PASSWORD=pewtergum
# shellcheck disable=SC2034
MARIADB_PASSWORD=rusko
# shellcheck disable=SC2034
FIREBIRD_DATA=/var/lib/firebird/3.0/data
FIREBIRD_PORT=3050
# MariaDB listens where bind-address says (127.0.0.1 in Debian's 50-server.cnf), whatever
# "localhost" resolves to; its clients would take "localhost" for the Unix socket.
MARIADB_HOST=127.0.0.1
MARIADB_PORT=3306

lib_say() { echo "${0##*/}: $*" >&2; }

as_root() { # command...
    if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi
}

missing_packages() { # package... ; prints those not installed, once each
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
    done | awk '!seen[$0]++'
}

# Installs the packages that are missing; nothing when all are there.
install_packages() { # package...
    local missing
    mapfile -t missing < <(missing_packages "$@")
    [[ ${#missing[@]} -gt 0 ]] || return 0
    lib_say "installing ${missing[*]}"
    if [[ " ${missing[*]} " == *" firebird3.0-server "* ]]; then
        # Its only question; unanswered, the package picks a random password.
        echo "firebird3.0-server shared/firebird/sysdba_password/first_install password $FIREBIRD_PASSWORD" |
            as_root debconf-set-selections
    fi
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

port_answers() { # host port ; a numeric IPv6 address goes without brackets
    timeout 1 bash -c "exec 3<>/dev/tcp/$1/$2" 2>/dev/null
}

# Prints the first address of a host name that answers on a port, in the resolver's order.
# Firebird binds where "localhost" resolves first (RemoteBindAddress = localhost): ::1 on a
# standard Debian /etc/hosts, 127.0.0.1 where there is no ::1 line.
answering_address() { # host port
    local address
    for address in $(getent ahosts "$1" | awk '$2 == "STREAM" { print $1 }'); do
        if port_answers "$address" "$2"; then
            echo "$address"
            return 0
        fi
    done
    return 1
}

localhost_answers() { # port
    answering_address localhost "$1" >/dev/null
}

firebird_answers() { localhost_answers "$FIREBIRD_PORT"; }
mariadb_port_answers() { port_answers "$MARIADB_HOST" "$MARIADB_PORT"; }

wait_until() { # seconds command... ; tries every 0.1 s
    local i limit=$(($1 * 10))
    shift
    for ((i = 0; i < limit; i++)); do
        if "$@"; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# One ODBC data source on the MariaDB server, for an odbc.ini.
odbc_source() { # name database
    printf '[%s]\nDriver = MariaDB Unicode\nServer = %s\nPort = %s\nDatabase = %s\nCharSet = utf8mb4\n\n' \
        "$1" "$MARIADB_HOST" "$MARIADB_PORT" "$2"
}

# Runs SQL from standard input as SYSDBA, on a database if one is given. isql's own messages
# go to standard error.
firebird_sql() { # password [database]
    isql-fb -q -bail -user SYSDBA -password "$1" ${2:+"$2"} >/dev/null
}

# Makes sure the Firebird database localhost:PATH exists, creating it through the server (a
# file made by root itself would be one the server cannot open). Tries each SYSDBA password
# given in turn, by default the profiles' one; empty ones are skipped.
firebird_database() { # path [password...]
    local database=localhost:$1 password errors=
    shift
    [[ $# -gt 0 ]] || set -- "$FIREBIRD_PASSWORD"
    for password in "$@"; do
        [[ -n $password ]] || continue
        # shellcheck disable=SC2016 # rdb$database is Firebird's own table
        if echo 'select 1 from rdb$database;' | firebird_sql "$password" "$database" 2>/dev/null; then
            return 0
        fi
        if errors+=$(echo "create database '$database' default character set UTF8;" |
            firebird_sql "$password" 2>&1); then
            lib_say "created Firebird database $database"
            return 0
        fi
    done
    lib_say "cannot create Firebird database $database: ${errors:-no password}"
    return 1
}

# Runs a command with its output in a log; on failure shows the log's end and stops (the
# calling script's die).
logged() { # log command...
    local log=$1
    shift
    if ! "$@" >"$log" 2>&1; then
        tail -n 30 "$log" >&2
        die "failed: $* (whole log: $log)"
    fi
}

in_dir() ( # folder command...
    cd "$1" && shift && "$@"
)

# apt on a private list of source archives in the folder, so that the machine's own apt set-up
# stays as it is: sets APT_DIR and APT_OPTIONS.
private_apt() { # folder
    APT_DIR=$1
    APT_OPTIONS=(-q -o "Dir::Etc::SourceList=$APT_DIR/sources.list"
        -o "Dir::Etc::SourceParts=$APT_DIR/sources.list.d" -o "Dir::State::Lists=$APT_DIR/lists"
        -o "Dir::Cache=$APT_DIR/cache"
        # As root, apt downloads as user _apt, who cannot write into a home folder; the files
        # are checked against the signed index all the same.
        -o APT::Sandbox::User=root)
}

# deb-src lines for the Debian archive this machine installs from, same mirror, same suites: the
# Windows builds take their sources from it (scripts/windows-qt.sh, scripts/windows-fbclient.sh).
debian_source_lines() {
    local codename options='' keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [[ -n $codename ]] || {
        lib_say "/etc/os-release names no Debian release"
        return 1
    }
    # Trust only Debian's keys for these, whatever else apt trusts.
    [[ -r $keyring ]] && options="[signed-by=$keyring] "
    # shellcheck disable=SC2016 # apt's own format fields
    apt-get indextargets --format '$(TARGET_OF) $(REPO_URI) $(RELEASE) $(COMPONENT) $(ORIGIN)' \
        'Created-By: Packages' |
        awk -v codename="$codename" -v options="$options" '
            # The origin is known once apt has read the archive; before that, go by the suite.
            $1 == "deb" && $4 == "main" &&
            ($5 == "Debian" || ($5 ~ /^\$\(/ && ($3 == codename || index($3, codename "-") == 1))) {
                line = "deb-src " options $2 " " $3 " main"
                if (!seen[line]++) print line
            }'
}
