#!/usr/bin/env bash
# The club's guide (docs/club-guide.md, with docs/station-account.md) typed as the volunteer
# types it, on one fresh Debian 12 PC that is the scoring server and a Debian station at once:
#
#   ../shared/tools/fresh-debian.sh . 'scripts/club-guide-walk.sh'
#
# Every command run here is first looked up, as it stands, in the guide; a command the guide
# no longer has stops the walk. Three things stand in for what a root without systemd or a
# judges' network cannot do, each said where it happens:
#   - `systemctl restart X`: the unit X is checked to exist, and `service X restart` restarts;
#   - 192.168.1.10, the guide's server: this PC's own address, and scoring-server names it too;
#   - the questions of apt (the Firebird password, "Do you want to continue?") are answered
#     beforehand.
# Needs root; changes the machine's packages and servers: run it on a fresh root only.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
guides=(docs/club-guide.md docs/station-account.md)
say() { echo "walk: $*" >&2; }
die() {
    say "FAILED: $*"
    exit 1
}
[[ $(id -u) == 0 ]] || die "run it as root, on a fresh Debian 12 root"
db= # the rehearsal's database, once it is made

# The command, found in the guide as written.
written() {
    local line
    while IFS= read -r line; do
        grep -qF -- "$line" "${guides[@]}" || die "not in the guide as written: $line"
    done <<<"$1"
}
# A command of the guide as it runs here: 192.168.1.10 is this PC, DB the rehearsal's database.
here() {
    local command=${1//192.168.1.10/$address}
    printf '%s' "${command// DB/ $db}"
}
# Runs a command of the guide.
run() {
    written "$1"
    local command
    command=$(here "$1")
    say "\$ $command"
    bash -euo pipefail -c "$command"
}
# Runs a command as it runs here, and wants that exit code and that text in what it printed.
outcome() { # code text command
    local output code=0
    say "\$ $3"
    output=$(bash -c "$3" 2>&1) || code=$?
    printf '%s\n' "$output" >&2
    [[ $code == "$1" ]] || die "exit code $code, not $1: $3"
    grep -qF -- "$2" <<<"$output" || die "no \"$2\" in what it printed: $3"
}
# The same for a command of the guide.
expect() { # code text command
    written "$3"
    outcome "$1" "$2" "$(here "$3")"
}
# The guide's text block (indented by four or more) that starts with this line, unindented.
block() {
    awk -v first="$1" '
        !found && index($0, first) && $0 ~ /^    / { found = 1; indent = match($0, /[^ ]/) - 1 }
        found && /^[[:space:]]*$/ { exit }
        found { print substr($0, indent + 1) }' "${guides[0]}"
}
# Whether a TCP port takes connections on an address.
listens() { # address port
    python3 -c 'import socket,sys; socket.create_connection((sys.argv[1], int(sys.argv[2])), 3)' "$1" "$2" 2>/dev/null
}
restarted() { # unit: the systemctl line's unit exists; the init script stands in for it
    local unit=$1
    [[ -f /lib/systemd/system/$unit.service ]] || die "no systemd unit $unit: systemctl restart $unit would fail"
    say "(no systemd here: service $unit restart, for systemctl restart $unit)"
    service "$unit" restart >&2
}

# This PC's address on its network, the server's 192.168.1.10 in the guide.
address=$(python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.connect(("10.255.255.255", 1)); print(s.getsockname()[0])')
[[ $address != 127.* ]] || die "this PC has no address but loopback"
echo "$address scoring-server" >>/etc/hosts
say "this PC: $address (the guide's 192.168.1.10, and scoring-server)"
export DEBIAN_FRONTEND=noninteractive
echo 'APT::Get::Assume-Yes "true";' >/etc/apt/apt.conf.d/90walk-yes
apt-get update -q >/dev/null
apt-get install -q sudo >/dev/null

# --- 2. the server ------------------------------------------------------------------------
run './setup.sh package'
run 'sudo apt install ./tollivane_3.1_amd64.deb'

# 2.1 Firebird: the password the package asks for, answered beforehand.
echo "firebird3.0-server shared/firebird/sysdba_password/first_install password ADMIN-PASSWORD" |
    debconf-set-selections
run 'sudo apt-get install firebird3.0-server firebird3.0-utils'
listens 127.0.0.1 3050 || service firebird3.0 start >&2
run "echo \"CREATE DATABASE 'localhost:/var/lib/firebird/3.0/data/jump.fdb' DEFAULT CHARACTER SET UTF8;\" |
    isql-fb -q -user SYSDBA -password 'ADMIN-PASSWORD'"
fdb="--firebird localhost:/var/lib/firebird/3.0/data/jump.fdb --user SYSDBA --password 'ADMIN-PASSWORD'"
run "jumpdb create $fdb"
expect 1 "nothing changed; --replace drops them" "jumpdb create $fdb"
! listens "$address" 3050 || die "Firebird takes connections from the network before the guide lets it"
run "sudo sed -i 's/^RemoteBindAddress = localhost\$/RemoteBindAddress =/' /etc/firebird/3.0/firebird.conf"
grep -q '^RemoteBindAddress =$' /etc/firebird/3.0/firebird.conf || die "firebird.conf kept its bind address"
written 'sudo systemctl restart firebird3.0'
restarted firebird3.0
listens "$address" 3050 || die "Firebird does not listen on $address:3050"
# The station account, as docs/station-account.md makes it, through the network.
run "(umask 077; echo 'STATION-PASSWORD' > tollivane.pw)"
cp tollivane.pw ~/tollivane.pw
run "jumpdb grant tv_hill --run --account-password-file tollivane.pw \\
          --firebird scoring-server:/var/lib/firebird/3.0/data/jump.fdb \\
          --user SYSDBA --password 'ADMIN-PASSWORD'"
apt-get install -q ufw >/dev/null
expect 0 "Rules updated" 'sudo ufw allow from 192.168.1.0/24 to any port 3050 proto tcp'

# 2.2 MariaDB
run 'sudo apt-get install mariadb-server odbc-mariadb unixodbc'
listens 127.0.0.1 3306 || service mariadb start >&2
run 'sudo mariadb -e "CREATE DATABASE Jump CHARACTER SET utf8mb4;"'
block '[JumpAdmin]' >/etc/odbc.ini
grep -q '^Socket = /run/mysqld/mysqld.sock$' /etc/odbc.ini || die "no [JumpAdmin] block in the guide"
run "sudo jumpdb create --dsn JumpAdmin --user root --password ''"
# The station account's page prints the MariaDB statements; --run runs them, as for Firebird.
written 'jumpdb grant tv_hill --dsn JumpServer'
jumpdb grant tv_hill --dsn JumpAdmin --user root --password '' --run --account-password-file tollivane.pw >&2
! listens "$address" 3306 || die "MariaDB takes connections from the network before the guide lets it"
run "sudo sed -i 's/^bind-address\\s*=.*/bind-address = 0.0.0.0/' /etc/mysql/mariadb.conf.d/50-server.cnf"
written 'sudo systemctl restart mariadb'
restarted mariadb
listens "$address" 3306 || die "MariaDB does not listen on $address:3306"
expect 0 "Rules updated" 'sudo ufw allow from 192.168.1.0/24 to any port 3306 proto tcp'

# --- 4. a Debian station (this PC) and 5.1 the check --------------------------------------
run 'sudo jumpdb alias --firebird 192.168.1.10:/var/lib/firebird/3.0/data/jump.fdb'
expect 0 "[JumpServer] DSN=JumpServer" 'sudo jumpdb alias --dsn JumpServer'
# The station's account in both sections, as the station account's page says.
jumpdb alias --firebird "$address:/var/lib/firebird/3.0/data/jump.fdb" --user tv_hill --password-file tollivane.pw >&2
jumpdb alias --dsn JumpServer --user tv_hill --password-file tollivane.pw >&2
block '[JumpServer]' | sed "s/192.168.1.10/$address/" >>/etc/odbc.ini
grep -q "^Server = $address\$" /etc/odbc.ini || die "no [JumpServer] block with its server in the guide"
expect 0 "the station can judge on: InterBase Server, MySQL Server" 'jumpdb check'

# --- 5.2 the rehearsal, on a database of its own made as in 2.1 ---------------------------
echo "CREATE DATABASE 'localhost:/var/lib/firebird/3.0/data/rehearsal.fdb' DEFAULT CHARACTER SET UTF8;" |
    isql-fb -q -user SYSDBA -password 'ADMIN-PASSWORD'
db="--firebird localhost:/var/lib/firebird/3.0/data/rehearsal.fdb --user SYSDBA --password 'ADMIN-PASSWORD'"
written "$db"
bash -c "jumpdb create $db" >&2
block 'bib,name,team' >startlist.csv
[[ $(wc -l <startlist.csv) == 4 ]] || die "the guide's start list is not four lines"
expect 0 "seeding the Firebird database" 'jumpdb seed --start-list startlist.csv DB'
expect 0 "entries: COMPETITORS=3" 'jumpdb state DB'
# The stand-in console puts up the first competitor and waits for the judges; five seconds.
written 'jumpdb operator DB'
outcome 124 "competitor 001 round 1" "timeout 5 $(here 'jumpdb operator DB')"
# The start list's first name, as the stations show it.
expect 0 "NAME=山川 翔太" 'jumpdb state DB'

# --- 8. the audit, on the stations' journal folders (none has judged here) --------------------
mkdir A B C D E
expect 3 "the journals hold no entry" 'jumpdb audit --journal A --journal B --journal C --journal D --journal E DB'

# --- 4. step 4: the terminal starts on the installed package (no screen here: offscreen) ----
useradd -m judge
cp tollivane.pw /home/judge/ && chown judge: /home/judge/tollivane.pw
code=0
sudo -u judge env QT_QPA_PLATFORM=offscreen timeout 10 tollivane >&2 || code=$?
[[ $code == 124 ]] || die "tollivane ended by itself (exit $code) within 10 s"
say "every command of the guide ran as written"
