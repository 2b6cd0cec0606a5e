#pragma once

#include "toolkit/codepage.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Database;

// What a station will meet on a competition database, told before the first jump: reached or
// not, the tables in their letter case with their rows, every column the station reads or
// writes and which hold numbers or CHAR padding, the right to write the seat's row, the
// current competitor as the station would show it, whether the texts' bytes are read in the
// encoding they are in, and the server's clock.
namespace stationcheck {

struct Report
{
    QStringList lines; // a few, for the club's volunteer
    bool canJudge = false;
};

// The database of one profile, connected as the station connects (alias and parameter list)
// or by a route of its own; `now` is the station's clock.
Report check(Database &db, const std::function<QDateTime()> &now = &QDateTime::currentDateTime);

// One of the console's texts of a judge's row: its bytes as stored, and what the connection
// makes of it without Encoding=CP932 (nothing when that read fails, as a Firebird SJIS_0208
// column with an IBM code does).
struct Text
{
    QString where; // judgeA.name
    QByteArray bytes;
    std::optional<QString> plain;
};

// The verdict on the texts, decided from their bytes: a text the station would show otherwise
// than its bytes say (mojibake either way) makes it fail, with the Encoding the alias needs.
// Returns the line to show; ok says whether the station reads them right.
QString textVerdict(bool cp932, const QList<Text> &texts, bool &ok);

} // namespace stationcheck
