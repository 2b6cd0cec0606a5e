"""The competition database as the test sees it: read and written with each server's own client
(Python's sqlite3, isql-fb, the mariadb client), never through the terminal's database layer,
and the alias and ODBC files that send the stations to it."""

import os
import socket
import sqlite3
import subprocess

SEP = "\x1f"
NULL = "~N"  # stands for SQL NULL in the concatenated rows

JUDGE_COLUMNS = ["ent", "zek", "hon", "tstno", "name", "team", "sumi", "ap", "op", "lp", "tp"]


def port_answers(host, port, timeout=1.0):
    # create_connection tries every address of the name: Firebird listens where "localhost"
    # resolves first, ::1 on a standard Debian /etc/hosts, 127.0.0.1 without a ::1 line.
    try:
        with socket.create_connection((host, port), timeout):
            return True
    except OSError:
        return False


def literal(value):
    if value is None:
        return "NULL"
    return "'" + value.replace("'", "''") + "'"


class Database:
    name = ""

    def execute(self, statements):
        raise NotImplementedError

    def _concat(self, parts):
        raise NotImplementedError

    def _query(self, sql):
        raise NotImplementedError

    def rows(self, table, columns, order=None):
        """Every row of a table as dicts of text, None for NULL."""
        parts = []
        for i, column in enumerate(columns):
            if i:
                parts.append(self.separator)
            parts.append(f"coalesce({column}, '{NULL}')")
        sql = "select " + self._concat(["'R:'"] + parts) + f" as x from {table}"
        if order:
            sql += f" order by {order}"
        result = []
        for line in self._query(sql):
            values = line.split(SEP)
            if len(values) != len(columns):
                raise RuntimeError(f"{self.name}: cannot read a row of {table}: {line!r}")
            result.append({c: (None if v == NULL else v) for c, v in zip(columns, values)})
        return result

    def judge(self, seat):
        rows = self.rows("judge" + seat, JUDGE_COLUMNS)
        if len(rows) != 1:
            raise RuntimeError(f"judge{seat} holds {len(rows)} rows")
        return rows[0]

    def count(self, table, column):
        return len(self.rows(table, [column]))


class SqliteDatabase(Database):
    name = "SQLite"
    separator = "char(31)"

    def __init__(self, path):
        self.path = path

    def _connect(self):
        return sqlite3.connect(self.path, timeout=20, isolation_level=None)

    def _concat(self, parts):
        return " || ".join(parts)

    def execute(self, statements):
        connection = self._connect()
        try:
            for statement in statements:
                connection.execute(statement)
        finally:
            connection.close()

    def _query(self, sql):
        connection = self._connect()
        try:
            return [row[0][2:] for row in connection.execute(sql)]
        finally:
            connection.close()


class FirebirdDatabase(Database):
    name = "Firebird"
    separator = "ascii_char(31)"

    def __init__(self, location, user, password):
        self.location = location
        self.user = user
        self.password = password

    def _isql(self, script, database=True):
        command = ["isql-fb", "-q", "-bail", "-ch", "UTF8", "-user", self.user,
                   "-password", self.password]
        if database:
            command.append(self.location)
        result = subprocess.run(command, input=script, capture_output=True, text=True,
                                timeout=60)
        if result.returncode != 0:
            raise RuntimeError(f"isql-fb: {result.stderr.strip() or result.stdout.strip()}")
        return result.stdout

    def _concat(self, parts):
        return " || ".join(parts)

    def execute(self, statements):
        self._isql("".join(s + ";\n" for s in statements) + "commit;\n")

    def _query(self, sql):
        out = self._isql("set list on;\n" + sql + ";\n")
        lines = []
        for line in out.splitlines():
            at = line.find("R:")
            if line.startswith("X ") and at > 0:
                lines.append(line[at + 2:])
        return lines

    def exists(self):
        try:
            self._isql("select 1 from rdb$database;\n")
            return True
        except RuntimeError:
            return False

    def create(self):
        self._isql(f"create database '{self.location}' default character set UTF8;\n",
                   database=False)


class MariaDatabase(Database):
    name = "MariaDB"
    separator = "char(31 using utf8mb4)"

    def __init__(self, host, port, user, password, database):
        self.host = host
        self.port = port
        self.user = user
        self.password = password
        self.database = database

    def _client(self, sql, database=True):
        command = ["mariadb", "--protocol=tcp", "-h", self.host, "-P", str(self.port), "-u",
                   self.user, f"-p{self.password}", "--default-character-set=utf8mb4", "-B",
                   "-N", "-r"]
        if database:
            command += ["-D", self.database]
        result = subprocess.run(command + ["-e", sql], capture_output=True, text=True,
                                timeout=60)
        if result.returncode != 0:
            raise RuntimeError(f"mariadb: {result.stderr.strip()}")
        return result.stdout

    def _concat(self, parts):
        return "concat(" + ", ".join(parts) + ")"

    def execute(self, statements):
        # Backslashes in the test's values are plain characters, as for the other servers.
        self._client("set session sql_mode = concat(@@sql_mode, ',NO_BACKSLASH_ESCAPES'); " +
                     "".join(s + "; " for s in statements))

    def _query(self, sql):
        return [line[2:] for line in self._client(sql).split("\n") if line.startswith("R:")]

    def create(self):
        self._client(f"create database if not exists `{self.database}` character set utf8mb4",
                     database=False)


class Route:
    """How the stations, the operator and the checks reach one competition database."""

    # Settings of the five stations (DbType, Dbdir), None for no settings file.
    settings = {}

    def __init__(self, workdir):
        self.workdir = workdir

    def unavailable(self):
        """Why this route cannot run here, or None."""
        return None

    def server_missing(self, server, client, package):
        """Why the server or its command-line client cannot be used, or None."""
        if not port_answers(self.host, self.port):
            return f"no {server} server answers on {self.host}:{self.port} " \
                   "(scripts/servers.sh start)"
        if subprocess.run(["which", client], capture_output=True).returncode != 0:
            return f"{client} is missing ({package})"
        return None

    def prepare(self):
        pass

    def jumpdb_args(self):
        """How jumpdb reaches the database directly, bypassing the alias file."""
        raise NotImplementedError

    def jumpdb_env(self):
        return {}

    def server_address(self):
        """(host, port) of the server, for a proxy in front of it; None without a server."""
        return None

    def write_station_files(self, via=None):
        """Writes the alias file (and ODBC file) of the stations; returns their environment.
        via: (address, port) of a relay the stations reach the server through."""
        raise NotImplementedError

    def expected_settings_after(self, seat):
        given = self.settings.get(seat)
        return given if given else ("Interbase", "server")


class SqliteRoute(Route):
    name = "sqlite"
    settings = {"A": None, "B": ("Interbase", "local"), "C": ("MySQL", "local"),
                "D": ("MySQL", "server"), "E": ("Interbase", "server")}

    def __init__(self, workdir):
        super().__init__(workdir)
        self.path = os.path.join(workdir, "jump.sqlite")
        self.db = SqliteDatabase(self.path)

    def prepare(self):
        for suffix in ("", "-journal", "-wal", "-shm"):
            if os.path.exists(self.path + suffix):
                os.remove(self.path + suffix)

    def jumpdb_args(self):
        return ["--sqlite", self.path]

    def write_station_files(self, via=None):
        path = os.path.join(self.workdir, "aliases.ini")
        with open(path, "w") as f:
            for alias in ("Jump", "JumpLocal", "JumpServer"):
                f.write(f"[{alias}]\nDriver=SQLite\nDatabase=jump.sqlite\n\n")
        return {"TOLLIVANE_ALIASES": path}


class FirebirdRoute(Route):
    name = "firebird"
    settings = {"A": None, "B": ("Interbase", "local"), "C": ("Interbase", "server"),
                "D": None, "E": ("Interbase", "local")}

    def __init__(self, workdir):
        super().__init__(workdir)
        given = os.environ.get("TOLLIVANE_FIREBIRD_DB",
                               "localhost:/var/lib/firebird/3.0/data/tollivane_test.fdb")
        host_part, _, path = given.partition(":")
        self.host = host_part.split("/")[0] or "localhost"
        self.port = int(host_part.split("/")[1]) if "/" in host_part else 3050
        # A database of its own beside the tests' one; runs side by side may name others.
        self.path = os.path.join(os.path.dirname(path),
                                 os.environ.get("TOLLIVANE_ACCEPT_FDB", "tollivane_accept.fdb"))
        self.user = os.environ.get("TOLLIVANE_FIREBIRD_USER", "SYSDBA")
        self.password = os.environ.get("TOLLIVANE_FIREBIRD_PASSWORD", "pewtergum")
        self.db = FirebirdDatabase(f"{self.host}/{self.port}:{self.path}", self.user,
                                   self.password)

    def unavailable(self):
        return self.server_missing("Firebird", "isql-fb", "firebird3.0-utils")

    def prepare(self):
        if not self.db.exists():
            self.db.create()

    def jumpdb_args(self):
        return ["--firebird", self.db.location, "--user", self.user, "--password", self.password]

    def server_address(self):
        return (self.host, self.port)

    def write_station_files(self, via=None):
        host, port = via or (self.host, self.port)
        location = f"{host}/{port}:{self.path}"
        path = os.path.join(self.workdir, "aliases.ini")
        with open(path, "w") as f:
            f.write("[Jump]\nDriver=InterBase\n"
                    f"C:\\IB_data\\Jump.GDB={location}\nG:\\Jump.GDB={location}\n")
        return {"TOLLIVANE_ALIASES": path}


class OdbcRoute(Route):
    name = "odbc"
    settings = {"A": ("MySQL", "local"), "B": ("MySQL", "server"), "C": ("MySQL", "local"),
                "D": ("MySQL", "server"), "E": ("MySQL", "local")}
    database = "TollivaneAccept"

    def __init__(self, workdir, database=None):
        super().__init__(workdir)
        self.database = database or os.environ.get("TOLLIVANE_ACCEPT_MARIADB", self.database)
        # Where Debian's bind-address puts MariaDB, whatever "localhost" resolves to; to the
        # MariaDB clients "localhost" means the Unix socket, which a relay cannot stand in for.
        self.host = "127.0.0.1"
        self.port = 3306
        self.user = os.environ.get("TOLLIVANE_ODBC_USER", "root")
        self.password = os.environ.get("TOLLIVANE_ODBC_PASSWORD", "rusko")
        self.db = MariaDatabase(self.host, self.port, self.user, self.password, self.database)
        self.odbc_ini = os.path.join(workdir, "odbc.ini")

    def unavailable(self):
        missing = self.server_missing("MariaDB", "mariadb", "mariadb-client")
        if missing:
            return missing
        try:
            with open("/etc/odbcinst.ini") as f:
                if "[MariaDB Unicode]" not in f.read():
                    return "the ODBC driver MariaDB Unicode is not registered (odbc-mariadb)"
        except OSError:
            return "no /etc/odbcinst.ini (unixodbc, odbc-mariadb)"
        return None

    def prepare(self):
        self.db.create()
        self._write_odbc_ini(None)

    def _write_odbc_ini(self, via):
        direct = (self.host, self.port)
        with open(self.odbc_ini, "w") as f:
            for dsn, (host, port) in (("AcceptDirect", direct), ("AcceptStation", via or direct)):
                f.write(f"[{dsn}]\nDriver = MariaDB Unicode\nServer = {host}\n"
                        f"Port = {port}\nDatabase = {self.database}\nCharSet = utf8mb4\n\n")

    def jumpdb_args(self):
        return ["--dsn", "AcceptDirect", "--user", self.user, "--password", self.password]

    def jumpdb_env(self):
        return {"ODBCINI": self.odbc_ini}

    def server_address(self):
        return (self.host, self.port)

    def write_station_files(self, via=None):
        self._write_odbc_ini(via)
        path = os.path.join(self.workdir, "aliases.ini")
        with open(path, "w") as f:
            for alias in ("JumpLocal", "JumpServer"):
                f.write(f"[{alias}]\nDriver=ODBC\nDSN=AcceptStation\n\n")
        return {"TOLLIVANE_ALIASES": path, "ODBCINI": self.odbc_ini}


ROUTES = {"sqlite": SqliteRoute, "firebird": FirebirdRoute, "odbc": OdbcRoute}
