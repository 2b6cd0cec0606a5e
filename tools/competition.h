#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include "db/aliases.h"
#include "journal/markjournal.h"

#include <QByteArrayView>
#include <QList>

class Database;

// The competition database as the operator's console keeps it: the tables, a demo start list
// and the console's part of a run, for the demo and the tests.
namespace competition {

inline constexpr QStringView judgeLetters = u"ABCDE";
inline constexpr int rounds = 2;

// judgep's columns that the point input window binds: TDap, TDop, TDlp, M1ap ... M3lp.
QStringList referenceColumns();

// The tables create makes: judgeent, judgeA..judgeE, race and judgep.
QStringList tables();

// Those of them the database has, as the server names them.
QStringList existingTables(Database &db);

// Drops and creates judgeent, judgeA..judgeE, race and judgep with their single rows.
void create(Database &db);

// Where the database holds marks a judge registered, one line each: a judge's table whose
// marks are registered (sumi 'T'), and race's rows holding marks. Empty for a fresh
// competition; a table that is missing holds none.
QStringList registeredMarks(Database &db);

inline constexpr int startListSize = 30;

struct Competitor
{
    QString bib; // three digits, as the terminal shows it: 007
    QString name;
    QString team;
};

// A club's start list: a CSV file of bib, name and team, a line each (a first line
// "bib,name,team" is a heading), in the encoding given. Fields may be quoted as spreadsheets
// write them. Bibs are numbers from 1 to 999, each once.
struct StartList
{
    QList<Competitor> competitors;
    QString error; // what is wrong, with the line's number; empty when it was read
};
StartList readStartList(QByteArrayView file, aliases::Encoding encoding);

// Replaces the start list (table entries) with the first `competitors` of the 30 (at least one),
// gives each a race row and empties the judges' tables but for the seats, for a new run.
void seed(Database &db, int competitors = startListSize);

// The same with a start list of the club's own.
void seed(Database &db, const QList<Competitor> &competitors);

// Sets the run state: "0" stops the run, anything else starts it.
void setReady(Database &db, const QString &jikko);

// What one step of the console did.
struct Step
{
    QStringList copied; // judge letters whose marks went into race
    bool advanced = false;
    bool finished = false;
    QString bib;   // on the judges' tables after the step
    QString round; // "1", "2", or "X" when the competition is over
};

// One step of the console: copies registered marks (sumi 'T') of the current competitor into
// race, and puts the next competitor on all five judge tables when every seated judge
// (ent 'True') has registered, or when forced. Before the first competitor the run is started
// and the first one is put up. The position lives in the judge tables, so steps may come from
// different processes.
Step step(Database &db, bool force = false);

// The tables as text, one line a row.
QString state(Database &db);

// What the competition database holds of the marks the stations' journals say were
// registered.
struct Audit
{
    int checked = 0;          // (seat, bib, round) registered, or whose outcome was not known
    int checkedNotLanded = 0; // (seat, bib, round) only told not to have landed
    QStringList differences;  // one line each: missing or different marks
    QStringList nowhere;      // one line each: marks of a round race does not keep, not current
    QStringList uncovered;    // one line a seat: marks in race no journal line accounts for
    int uncoveredMarks = 0;   // of all seats
};

// Compares the journals' marks with the judge tables (the competitor on a seat's table now)
// and race (the others: rounds 1 and 2). For each seat, bib and round, in time order over all
// entries: the marks last registered must be there, also when another outcome followed (a
// failed attempt changes nothing); marks whose outcome the station never learnt may be there
// instead, and must be when nothing was registered before them; marks the judge was told did
// not land (failed, competitor changed) must not be there unless registered since. Values are
// compared as numbers where their columns hold numbers. Marks in race that no such line
// accounts for are counted for their seat.
Audit audit(Database &db, const QList<journal::Entry> &entries);

// A text as a literal of the connection's SQL: single-quoted, or on an ODBC server text that
// is not ASCII as UTF-8 bytes in hex.
QString quoted(Database &db, const QString &text);

} // namespace competition
