#include "db/statements.h"

#include "db/dbengine.h"
#include "db/dialect.h"

#include <QThread>

using namespace Qt::StringLiterals;

namespace statements {

QString literal(const QString &text)
{
    return sqlLiteral(text);
}

QString driverOf(Database &db)
{
    db.open();
    return db.driverName();
}

Server::Server(Database &db) : m_db(db), m_driver(driverOf(db)) {}

QString Server::table(const QString &name) const
{
    const std::optional<QString> found = m_db.tableName(name);
    if (!found)
        throw TableError({TableFault::Kind::Missing, name});
    return *found;
}

// --- the competition --------------------------------------------------------------------

namespace {

// What a poll reads of a text, cut on the server: as much as the window shows of a name, a
// team or a trial text, and of the short values (bib, round, flags, deductions) more than any
// real one holds. A console that stores a megabyte costs a poll no more than a name does.
constexpr int shownLength = 256;
constexpr int shortLength = 64;

QString column(const QString &driver, const QString &name, int length)
{
    return dialect::leftOf(driver, name, length) + u" as "_s + name;
}

QString columns(const QString &driver, const QStringList &names, int length)
{
    QStringList list;
    for (const QString &name : names)
        list << column(driver, name, length);
    return list.join(u", "_s);
}

} // namespace

QString runState(const Server &server)
{
    return u"select jikko from "_s + server.table(u"judgeent"_s);
}

QString judgeTable(const Server &server, const QString &letter)
{
    const QString &driver = server.driver();
    const aliases::Encoding encoding = server.encoding();
    const auto text = [&](const QString &name, int length) -> QString {
        return dialect::textOf(driver, encoding, name, length) + u" as "_s + name;
    };
    // The bib and the round also with their lengths: what the connection cut of them (a
    // driver that stops at a NUL, a text longer than any bib) shows as a difference.
    return u"select "_s +
           columns(driver, {u"ent"_s, u"zek"_s, u"sumi"_s, u"ap"_s, u"op"_s, u"lp"_s, u"tp"_s},
                   shortLength) +
           u", "_s + text(u"hon"_s, shortLength) + u", "_s + text(u"tstno"_s, shownLength) +
           u", "_s + text(u"name"_s, shownLength) + u", "_s + text(u"team"_s, shownLength) +
           u", "_s + dialect::lengthOf(driver, aliases::Encoding::Utf8, u"zek"_s) +
           u" as zek_length, "_s + dialect::lengthOf(driver, encoding, u"hon"_s) +
           u" as hon_length from "_s + server.judge(letter);
}

QString seatState(const Server &server, const QString &letter)
{
    return u"select "_s + column(server.driver(), u"ent"_s, shortLength) + u" from "_s +
           server.judge(letter);
}

QString reference(const Server &server, const QStringList &bound)
{
    return u"select "_s + columns(server.driver(), bound, shortLength) + u" from "_s +
           server.table(u"judgep"_s);
}

QString raceRow(const Server &server, const QString &bibShown, const QString &letter,
                const QString &round)
{
    QStringList marks;
    for (int row = 0; row < 3; ++row)
        marks << raceColumn(letter, row, round);
    return u"select "_s + columns(server.driver(), marks, shortLength) + u" from "_s +
           server.table(u"race"_s) + u" where zno="_s + literal(bibShown);
}

const QStringList &referenceColumns()
{
    static const QStringList columns = {u"TDap"_s, u"TDop"_s, u"TDlp"_s, u"M1ap"_s,
                                        u"M1op"_s, u"M1lp"_s, u"M2ap"_s, u"M2op"_s,
                                        u"M2lp"_s, u"M3ap"_s, u"M3op"_s, u"M3lp"_s};
    return columns;
}

QStringList numberColumns(Database &db, const QString &table, const QStringList &columns)
{
    Query shape(&db);
    shape.read(u"select "_s + columns.join(u", "_s) + u" from "_s + table + u" where 1=0"_s);
    QStringList numbers;
    for (const QString &column : columns) {
        if (shape.holdsNumbers(column))
            numbers << column;
    }
    return numbers;
}

void readJudge(Query &query, const QString &statement, const QString &letter)
{
    query.read(statement);
    if (query.rowsSeen() != 1)
        throw TableError(
            {query.rowsSeen() == 0 ? TableFault::Kind::NoRow : TableFault::Kind::SeveralRows,
             u"judge"_s + letter});
}

QString raceColumn(const QString &letter, int row, const QString &round)
{
    static constexpr char16_t components[] = {u'a', u'o', u'l'};
    return letter + components[row] + round;
}

QString claimSeat(const Server &server, const QString &letter)
{
    return u"update "_s + server.judge(letter) + u" set ent='True' where "_s +
           dialect::withoutTrailingBlanks(server.driver(), u"ent"_s) + u"='False'"_s;
}

QString releaseSeat(const Server &server, const QString &letter)
{
    return u"update "_s + server.judge(letter) + u" set ent='False'"_s;
}

// The row holds the competitor: the bib, and the round or "X" (no round) on either side,
// whatever blanks the console or its CHAR columns put after them. A round the console left
// NULL reads as empty, and is the empty round here too.
QString competitorCondition(const QString &driver, const Competitor &c)
{
    const auto cut = [&](const QString &column) {
        return dialect::withoutTrailingBlanks(driver, column);
    };
    const QString onBib = cut(u"zek"_s) + u'=' + literal(withoutTrailingBlanks(c.bibAsRead));
    if (c.round.notReady())
        return onBib;
    return onBib + u" and ("_s + cut(u"coalesce(hon,'')"_s) + u'=' + literal(c.round.text()) +
           u" or "_s + cut(u"hon"_s) + u"='X')"_s;
}

QStringList registration(const Server &server, const QString &letter, const Marks &marks,
                         const Competitor &competitor)
{
    return {u"update "_s + server.judge(letter) + u" set ap='"_s + marks.flight + u"',op='"_s +
                marks.landing + u"',"_s,
            u"lp='"_s + marks.outrun + u"',tp='"_s + marks.mark + u"',sumi='T' where "_s +
                competitorCondition(server.driver(), competitor)};
}

namespace {

bool seatIsFree(Database &db, const QString &letter)
{
    return seatFlag(db, letter) == u"False";
}

} // namespace

QString seatFlag(Database &db, const QString &letter)
{
    Query query(&db);
    readJudge(query, seatState(Server(db), letter), letter);
    return withoutTrailingBlanks(query.fieldAsString(u"ent"_s));
}

int change(Database &db, const QString &letter, const QStringList &lines)
{
    Query query(&db);
    for (const QString &line : lines)
        query.sql().add(line);
    db.begin();
    int rows = 0;
    try {
        rows = query.execSQL();
    } catch (const DbError &) {
        db.rollback();
        throw;
    }
    if (rows != 1) {
        db.rollback();
        if (rows > 1) // the console's table has a row too many: none of them is the seat's
            throw TableError({TableFault::Kind::SeveralRows, u"judge"_s + letter});
    }
    return rows;
}

bool claimUncommitted(Database &db, const QString &letter)
{
    // The read keeps the exact comparison ('false' is taken, also where the server compares
    // without case); the conditional update makes the claim one step.
    if (!seatIsFree(db, letter))
        return false;
    int rows = 0;
    try {
        rows = change(db, letter, {claimSeat(Server(db), letter)});
    } catch (const TableError &) {
        throw;
    } catch (const DbError &) {
        // Firebird refuses the later of two concurrent updates of a row ("update conflicts
        // with concurrent update"): the seat went to the other station. Only the update's
        // failure says so; a commit's failure leaves its outcome unknown.
        if (db.connected() && !seatIsFree(db, letter))
            return false;
        throw;
    }
    return rows == 1;
}

QString bibShown(const QString &bibAsRead)
{
    return QString::asprintf("%.3d", toInteger(bibAsRead.trimmed()));
}

namespace {

// Values read back against those written. The columns' types are asked only when a text
// differs: what the terminal wrote into a text column comes back as it was written.
class ReadBack
{
public:
    ReadBack(Database &db, QString table, QStringList columns)
        : m_db(db), m_table(std::move(table)), m_columns(std::move(columns))
    {
    }
    bool holds(const QString &column, const std::optional<QString> &read, const QString &written)
    {
        if (!read)
            return false;
        if (sameText(*read, written))
            return true;
        if (!m_numbers)
            m_numbers = numberColumns(m_db, m_table, m_columns);
        return holdsWritten(*read, written, m_numbers->contains(column, Qt::CaseInsensitive));
    }

private:
    Database &m_db;
    QString m_table;
    QStringList m_columns;
    std::optional<QStringList> m_numbers;
};

} // namespace

Outcome registered(Database &db, const QString &letter, const Competitor &competitor,
                   const Marks &marks)
{
    Query query(&db);
    const Server server(db);
    readJudge(query, judgeTable(server, letter), letter);
    const Round round(query.fieldAsString(u"hon"_s));
    if (sameCompetitor(competitor, query.fieldAsString(u"zek"_s), round)) {
        ReadBack judge(db, server.judge(letter), {u"ap"_s, u"op"_s, u"lp"_s, u"tp"_s});
        const auto holds = [&](const QString &column, const QString &value) {
            return judge.holds(column, query.fieldAsString(column), value);
        };
        const bool same = holds(u"ap"_s, marks.flight) && holds(u"op"_s, marks.landing) &&
                          holds(u"lp"_s, marks.outrun) && holds(u"tp"_s, marks.mark);
        return same ? Outcome::Registered : Outcome::Failed;
    }
    // The operator moved on: the console keeps rounds 1 and 2 in race.
    if (!competitor.round.keptInRace())
        return Outcome::Unverifiable;
    const QString roundKey = competitor.round.text();
    QStringList columns;
    for (int row = 0; row < 3; ++row)
        columns << raceColumn(letter, row, roundKey);
    query.read(raceRow(server, competitor.bibShown, letter, roundKey));
    ReadBack race(db, server.table(u"race"_s), columns);
    const std::array<QString, 3> deductions = {marks.flight, marks.landing, marks.outrun};
    for (int row = 0; row < int(deductions.size()); ++row) {
        if (!race.holds(columns[row], query.fieldIfAny(columns[row]), deductions[row]))
            return Outcome::Failed;
    }
    return Outcome::Registered;
}

} // namespace statements
