#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error                                                                                             \
    "db/statements.h is internal to the db layer: reach the database through db/competitiongateway.h"
#endif

#include <QString>
#include <QStringList>

#include <functional>

class Database;

// The texts of the terminal's statements on a judge's own table (judgeA to judgeE). The seat
// letter is always one of "A" to "E"; values that come from the database are quoted.
namespace statements {

// A single-quoted literal of the text, with its quotes doubled.
QString literal(const QString &text);

// Reads a judge's table, and the reference row (judgep).
QString judgeTable(const QString &letter);
QString reference();

// Takes a free seat: the update changes the row only while it still says 'False'.
QString claimSeat(const QString &letter);
QString releaseSeat(const QString &letter);

// The marks as two lines. The update lands only while the row still holds the competitor the
// judge saw (its bib as read from the row).
QStringList registration(const QString &letter, const QString &flight, const QString &landing,
                         const QString &outrun, const QString &mark, const QString &bib);

// Runs an update in a transaction that is committed only when mayCommit() says so (the window
// still waits for it); otherwise, or when it matched no row, it is rolled back. Returns the
// rows it changed for good.
int write(Database &db, const QStringList &lines, const std::function<bool()> &mayCommit);

// Claims the seat: true when this station took it, false when it is taken ("ent" anything but
// exactly "False", or another station took it first). Of two stations claiming the same free
// seat at the same moment exactly one gets it. The update runs in a transaction committed
// only when mayCommit() says so (else nothing changes and the claim counts as not taken).
// Raises on a database failure.
bool claim(Database &db, const QString &letter, const std::function<bool()> &mayCommit);

} // namespace statements
