#pragma once

#include <QString>
#include <QStringList>

// A station's alias file written from what the volunteer knows: where the server's database
// is, and the station's account. Lines already in the file stay as they are, but for those
// named here.
namespace stationalias {

struct Wanted
{
    QString firebird;     // host[/port]:path, the Interbase Server button's database
    QString dsn;          // the MySQL Server button's ODBC data source
    QString user;         // the station's account, for both
    QString passwordFile; // its password's file, from the home folder of the judge's account
    QString encoding;     // as the alias file spells it; empty leaves the file's
};

struct Written
{
    QString error;     // why nothing was written, or empty
    QStringList lines; // "[section] key=value", each line written
};

// Checks everything before it writes anything; the folder is made when missing.
Written write(const Wanted &wanted, const QString &path);

} // namespace stationalias
