#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error                                                                                             \
    "db/statements.h is internal to the db layer: reach the database through db/competitiongateway.h"
#endif

#include "db/aliases.h"
#include "db/competition.h"
#include "db/dbengine.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

// Every SQL text of the terminal, and the small pieces of work that run them. The seat letter
// is always one of "A" to "E"; values that come from the database are quoted.
namespace statements {

// A single-quoted literal of the text, with its quotes doubled.
QString literal(const QString &text);

// --- the competition --------------------------------------------------------------------

// The connection's driver, for the statements that differ between engines; opens the
// connection when it is closed.
QString driverOf(Database &db);

// A table the station cannot use although the server answered: missing, or a judge's table
// without its one row.
class TableError : public DbError
{
public:
    explicit TableError(TableFault fault) : DbError(fault.text()), m_fault(std::move(fault)) {}
    const TableFault &fault() const { return m_fault; }

private:
    TableFault m_fault;
};

// The connection's driver and its tables by the names the server has for them, each asked for
// when a statement first names it; one the server lacks raises TableError.
class Server
{
public:
    explicit Server(Database &db);
    const QString &driver() const { return m_driver; }
    // How the console's texts are stored.
    aliases::Encoding encoding() const { return m_db.encoding(); }
    QString table(const QString &name) const;
    QString judge(const QString &letter) const { return table(QStringLiteral("judge") + letter); }

private:
    Database &m_db;
    QString m_driver;
};

// Reads the run state, a judge's table (its texts cut to what the window shows, those the
// console writes read in the database's encoding), its seat
// flag alone, the reference row (judgep's bound columns) and a judge's marks of a round in a
// competitor's race row.
QString runState(const Server &server);
QString judgeTable(const Server &server, const QString &letter);
QString seatState(const Server &server, const QString &letter);
QString reference(const Server &server, const QStringList &bound);
QString raceRow(const Server &server, const QString &bibShown, const QString &letter,
                const QString &round);
// The columns of judgep that the point input window's mark display binds to.
const QStringList &referenceColumns();
// The race column of a judge's deduction in a round: "Ba2" (judge B, flight, round 2).
QString raceColumn(const QString &letter, int row, const QString &round);

// Of the columns named, those whose declared type is a number's (a console's tables may keep
// deductions, marks and the bib as numbers); the table as the server names it. Reads no row.
QStringList numberColumns(Database &db, const QString &table, const QStringList &columns);

// Reads a statement of a judge's table, which holds one row: none, or more, raises TableError.
void readJudge(Query &query, const QString &statement, const QString &letter);

// Takes a free seat: the update changes the row only while it still says 'False'.
QString claimSeat(const Server &server, const QString &letter);
QString releaseSeat(const Server &server, const QString &letter);

// The marks as two lines. The update lands only while the row still holds the competitor the
// judge saw: its bib and its round, trailing blanks aside on every engine.
QStringList registration(const Server &server, const QString &letter, const Marks &marks,
                         const Competitor &competitor);

// An update of a judge's table in a transaction left open for the commit: the rows it changed,
// or 0 when it matched none (rolled back then). More than one raises TableError.
int change(Database &db, const QString &letter, const QStringList &lines);

// The seat's claim up to its commit: true when the update took the seat, false when it is taken
// ("ent" anything but exactly "False", trailing blanks aside, or another station took it first).
bool claimUncommitted(Database &db, const QString &letter);

// Commits what change() left open, only while mayCommit() says so (the window still waits for
// it); else rolls it back. A commit that fails raises, and its outcome is not known. A template,
// so that the worker's gate is called as it is.
template<class MayCommit> bool commitIf(Database &db, const MayCommit &mayCommit)
{
    if (!mayCommit()) {
        db.rollback();
        return false;
    }
    db.commit();
    return true;
}

// Runs an update of a judge's table, committed only when mayCommit() says so; otherwise, or
// when it matched no row, it is rolled back, and when it matched more than one it raises
// TableError. Returns the rows it changed for good.
template<class MayCommit>
int write(Database &db, const QString &letter, const QStringList &lines, const MayCommit &mayCommit)
{
    const int rows = change(db, letter, lines);
    return rows == 1 && commitIf(db, mayCommit) ? rows : 0;
}

// Claims the seat: true when this station took it. Of two stations claiming the same free seat
// at the same moment exactly one gets it. Committed only when mayCommit() says so (else nothing
// changes and the claim counts as not taken). Raises on a database failure.
template<class MayCommit>
bool claim(Database &db, const QString &letter, const MayCommit &mayCommit)
{
    return claimUncommitted(db, letter) && commitIf(db, mayCommit);
}

// The seat flag as stored, without trailing blanks ("True", "False", or whatever the table
// holds).
QString seatFlag(Database &db, const QString &letter);

// Whether the marks are in the database: on the judge's table while it still holds the
// competitor (bib, round, ap, op, lp and tp as sent, as numbers where the columns hold numbers;
// sumi says nothing), else in race (rounds 1 and 2, where the operator's console keeps them):
// Registered, Failed, or Unverifiable once the operator moved on from a round that race does
// not keep.
Outcome registered(Database &db, const QString &letter, const Competitor &competitor,
                   const Marks &marks);

// The bib as shown and as race keys it: the number with at least three digits ("7" -> "007",
// blanks around it ignored). Raises DbError when the text is no whole number.
QString bibShown(const QString &bibAsRead);

} // namespace statements
