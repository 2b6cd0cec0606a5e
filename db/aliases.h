#pragma once

// The alias file: how a connection alias ("Jump", "JumpLocal", "JumpServer", or any other)
// becomes a real database. It is an INI file, found at the first of
//
//   $TOLLIVANE_ALIASES                          (when set, the only place looked at)
//   $XDG_CONFIG_HOME/VELMOR/Tollivane/aliases.ini  (XDG_CONFIG_HOME defaults to ~/.config)
//   /etc/tollivane/aliases.ini
//
// and on Windows at %TOLLIVANE_ALIASES%, %APPDATA%\VELMOR\Tollivane\aliases.ini, then
// %PROGRAMDATA%\VELMOR\Tollivane\aliases.ini.
//
// One section per alias; section and key names match without regard to letter case.
//
//   [Jump]
//   Driver=InterBase
//   ; the "SERVER NAME" line of the parameter list -> a Firebird database on a server
//   C:\IB_data\Jump.GDB=localhost:/var/lib/firebird/3.0/data/jump.fdb
//   G:\Jump.GDB=scoring-server/3050:/var/lib/firebird/3.0/data/jump.fdb
//
//   [JumpLocal]
//   Driver=ODBC
//   ; optional: the ODBC data source, else the "ODBC DSN" line, else the alias name
//   DSN=JumpLocal
//
//   [Demo]
//   Driver=SQLite
//   ; a relative path is taken from the folder of the alias file
//   Database=/home/judge/jump.sqlite
//   ; optional, any driver: how the database's texts are stored
//   Encoding=CP932
//
// InterBase: a "SERVER NAME" that has no key of its own is used as given. The database must
// name its server (host:/path or host/port:/path): a bare path would make the Firebird client
// open the file itself and lock the server out, so it is refused; on Windows a bare path
// (C:\IB_data\Jump.GDB) is a database of the station's own Firebird server instead, reached
// as localhost:<path>.
// InterBase and ODBC: the user and password are the parameter list's "USER NAME" and
// "PASSWORD" lines, unless the alias's section gives its own:
//
//   User=tv_hill                ; replaces "USER NAME"
//   Password=...                ; replaces "PASSWORD"
//   PasswordFile=tollivane.pw   ; or: its first line is the password; a relative name is
//                               ; taken from the home folder of the account the station runs
//                               ; under (on Windows C:\Users\<account>), which only it reads
//
// Password and PasswordFile together are an error. The alias file itself is read by every
// account of the PC.
// Without an alias file, or without a section for the alias, "Jump" takes the InterBase route
// with the "SERVER NAME" as given and "JumpLocal" and "JumpServer" the ODBC route. Any other
// alias is an error. Parameter lines a driver does not use are ignored.
// Encoding: UTF-8 (the default) or CP932 (Shift-JIS as Windows writes it, also called
// Shift_JIS or SJIS), for a database whose texts an old Windows program wrote; any other value
// is an error.

#include <QString>

#include <optional>

class TextLines;

namespace aliases {

enum class Driver
{
    InterBase,
    Odbc,
    Sqlite
};

// How a database's texts are stored, whatever the character set its columns declare.
enum class Encoding
{
    Utf8,
    Cp932
};

// Where a connection goes, once the alias and the parameter list are resolved.
struct Route
{
    Driver driver = Driver::Sqlite;
    QString database; // InterBase: host[/port]:path; ODBC: data source name; SQLite: file
    QString userName;
    QString password;
    Encoding encoding = Encoding::Utf8;
};

// A Firebird database location text split into its server and its path.
struct ServerLocation
{
    QString host; // empty for a bare path: no server named
    quint16 port = 3050;
    QString path;
};

// The alias file in use; it may not exist.
QString filePath();
// The one every account of the PC reads (the last place looked at).
QString machineFilePath();

// The password a password file holds: its first line without its line end; nothing when the
// file cannot be read, error saying why.
std::optional<QString> passwordInFile(const QString &path, QString *error);

// The database a Firebird path that names no server stands for, or an empty text when such a
// path is refused (everywhere but on Windows).
QString onLocalServer(const QString &path);

// Raises DbError for an unknown alias or driver, a missing database or a refused bare
// InterBase path.
Route resolve(const QString &alias, const TextLines &params);

ServerLocation parseLocation(const QString &location);

// An Encoding value as the alias file gives it (letter case and blanks around it ignored);
// nothing for an unknown one.
std::optional<Encoding> parseEncoding(const QString &value);
// What an unknown Encoding value is told with: the key and the values it takes.
QString unknownEncoding(const QString &value);

} // namespace aliases
