#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error "db/dialect.h is internal to the db layer"
#endif

#include "db/aliases.h"

#include <QString>
#include <QStringList>

// What differs between the engines' SQL, by the Qt driver of the open connection (QIBASE,
// QODBC, QSQLITE). Knows no table.
namespace dialect {

// What a new connection is told first: no backslash escapes in literals (MySQL takes them by
// default, which would let a value end its literal early), and how long a statement waits
// for a row lock another program holds (0: the server's own setting; a server that lacks it
// waits as it always did).
QStringList sessionSetup(const QString &driver, int lockWaitMs);
// What reads back the escapes' setting, and whether its answer shows it set: a connection
// without it is not used. Empty where nothing is to be checked.
QString sessionCheck(const QString &driver);
bool sessionHolds(const QString &driver, const QString &answer);

// A statement that any open connection answers: tells a dead connection from a failing one.
QString probe(const QString &driver);

// The names of the database's tables and views, one a row.
QString tables(const QString &driver);

// At most `length` characters of a text column, cut on the server.
QString leftOf(const QString &driver, const QString &column, int length);

// A text column read in the database's encoding, cut on the server to `length` (0: whole).
// UTF-8: the text, cut to characters. CP932: its bytes whatever the column's declared
// character set, cut to bytes, which the query decodes: the server converts nothing (a
// Firebird SJIS_0208 column holding an IBM extension code fails any conversion).
QString textOf(const QString &driver, aliases::Encoding encoding, const QString &column,
               int length);
// A column compared without trailing blanks: Firebird and MySQL ignore them in comparisons,
// SQLite does not.
QString withoutTrailingBlanks(const QString &driver, const QString &column);

// A text column's whole length as stored, and the same measure of a text as read: in
// characters, or on SQLite in UTF-8 bytes (its character functions stop at a NUL); in CP932
// bytes for that encoding.
QString lengthOf(const QString &driver, aliases::Encoding encoding, const QString &column);
qsizetype measure(const QString &driver, aliases::Encoding encoding, const QString &text);

} // namespace dialect
