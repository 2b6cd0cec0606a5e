#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error                                                                                             \
    "db/odbctext.h is internal to the db layer: reach the database through db/competitiongateway.h"
#endif

#include <QSqlRecord>
#include <QString>

// MariaDB's ODBC driver (3.1) takes every UTF-16 unit whose low byte is D8..DB (高 U+9AD8,
// Ø U+00D8) for the first half of a surrogate pair: it reports such a text one unit short for
// each of them, so 高橋 reads as 高. A row holding such a unit is read again with its texts as
// hex of their UTF-8 bytes, which the driver passes untouched.
namespace odbctext {

// Whether a text of the row may have been cut.
bool mayBeCut(const QSqlRecord &row);

// The statement that reads the same row with its texts in hex (MySQL and MariaDB syntax).
QString hexStatement(const QString &statement, const QSqlRecord &row);

// The row read by hexStatement with its texts decoded.
QSqlRecord decoded(const QSqlRecord &row, const QSqlRecord &hexRow);

} // namespace odbctext
