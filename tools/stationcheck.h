#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

class Database;

// What a station will meet on a competition database, told before the first jump: reached or
// not, the tables in their letter case with their rows, the texts of the current rows, the
// blanks of CHAR columns and the server's clock.
namespace stationcheck {

struct Report
{
    QStringList lines; // a few, for the club's volunteer
    bool canJudge = false;
};

// The database of one profile, connected as the station connects (alias and parameter list)
// or by a route of its own; `now` is the station's clock.
Report check(Database &db, const std::function<QDateTime()> &now = &QDateTime::currentDateTime);

// HOOK, the texts' encoding: the verdict on the texts of the current rows (names, teams, trial
// texts), decoded as the alias says. Until the alias names an encoding they come as the
// driver decodes them (UTF-8): a replacement character means bytes of another encoding.
// Returns the line to show; ok says whether the texts decoded.
QString textVerdict(Database &db, const QStringList &texts, bool &ok);

} // namespace stationcheck
