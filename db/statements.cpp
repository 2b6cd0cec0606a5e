#include "db/statements.h"

#include "db/dbengine.h"
#include "db/dialect.h"

#include <QRandomGenerator>
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

QString runState()
{
    return u"select jikko from judgeent"_s;
}

QString judgeTable(const QString &driver, const QString &letter)
{
    // The bib and the round also with their lengths: what the connection cut of them (a
    // driver that stops at a NUL, a text longer than any bib) shows as a difference.
    return u"select "_s +
           columns(driver,
                   {u"ent"_s, u"zek"_s, u"hon"_s, u"sumi"_s, u"ap"_s, u"op"_s, u"lp"_s, u"tp"_s},
                   shortLength) +
           u", "_s + columns(driver, {u"tstno"_s, u"name"_s, u"team"_s}, shownLength) + u", "_s +
           dialect::lengthOf(driver, u"zek"_s) + u" as zek_length, "_s +
           dialect::lengthOf(driver, u"hon"_s) + u" as hon_length from judge"_s + letter;
}

QString seatState(const QString &driver, const QString &letter)
{
    return u"select "_s + column(driver, u"ent"_s, shortLength) + u" from judge"_s + letter;
}

QString reference(const QString &driver, const QStringList &bound)
{
    return u"select "_s + columns(driver, bound, shortLength) + u" from judgep"_s;
}

QString raceRow(const QString &driver, const QString &bibShown, const QString &letter,
                const QString &round)
{
    QStringList marks;
    for (int row = 0; row < 3; ++row)
        marks << raceColumn(letter, row, round);
    return u"select "_s + columns(driver, marks, shortLength) + u" from race where zno="_s +
           literal(bibShown);
}

QString raceColumn(const QString &letter, int row, const QString &round)
{
    static constexpr char16_t components[] = {u'a', u'o', u'l'};
    return letter + components[row] + round;
}

QString claimSeat(const QString &letter)
{
    return u"update judge"_s + letter + u" set ent='True' where ent='False'"_s;
}

QString releaseSeat(const QString &letter)
{
    return u"update judge"_s + letter + u" set ent='False'"_s;
}

// The row holds the competitor: the bib, and the round or "X" (no round) on either side. A
// round the console left NULL reads as empty, and is the empty round here too.
QString sameCompetitor(const QString &bib, const QString &round)
{
    const QString onBib = u"zek="_s + literal(bib);
    if (round == u"X")
        return onBib;
    return onBib + u" and (coalesce(hon,'')="_s + literal(round) + u" or hon='X')"_s;
}

QStringList registration(const QString &letter, const QString &flight, const QString &landing,
                         const QString &outrun, const QString &mark, const QString &bib,
                         const QString &round)
{
    return {u"update judge"_s + letter + u" set ap='"_s + flight + u"',op='"_s + landing + u"',"_s,
            u"lp='"_s + outrun + u"',tp='"_s + mark + u"',sumi='T' where "_s +
                sameCompetitor(bib, round)};
}

namespace {

void readRow(Query &query, const QString &statement)
{
    query.close();
    query.sql().clear();
    query.sql().add(statement);
    query.open();
}

bool seatIsFree(Database &db, const QString &letter)
{
    return seatFlag(db, letter) == u"False";
}

} // namespace

QString seatFlag(Database &db, const QString &letter)
{
    Query query(&db);
    readRow(query, seatState(driverOf(db), letter));
    return query.fieldAsString(u"ent"_s);
}

int write(Database &db, const QStringList &lines, const std::function<bool()> &mayCommit)
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
    if (rows == 0 || !mayCommit()) {
        db.rollback();
        return 0;
    }
    db.commit();
    return rows;
}

bool claim(Database &db, const QString &letter, const std::function<bool()> &mayCommit)
{
    // The read keeps the exact comparison ('false' is taken, also where the server compares
    // without case); the conditional update makes the claim one step.
    if (!seatIsFree(db, letter))
        return false;
    try {
        return write(db, {claimSeat(letter)}, mayCommit) > 0;
    } catch (const DbError &) {
        // Firebird refuses the later of two concurrent updates of a row ("update conflicts
        // with concurrent update"): the seat went to the other station.
        if (!seatIsFree(db, letter))
            return false;
        throw;
    }
}

QString bibShown(const QString &bibAsRead)
{
    return QString::asprintf("%.3d", toInteger(bibAsRead.trimmed()));
}

Found registered(Database &db, const SentMarks &sent)
{
    Query query(&db);
    const QString driver = driverOf(db);
    readRow(query, judgeTable(driver, sent.letter));
    const QString hon = query.fieldAsString(u"hon"_s);
    if (query.fieldAsString(u"zek"_s) == sent.bib &&
        (hon == sent.round || hon == u"X" || sent.round == u"X")) {
        const bool same = query.fieldAsString(u"ap"_s) == sent.deductions[0] &&
                          query.fieldAsString(u"op"_s) == sent.deductions[1] &&
                          query.fieldAsString(u"lp"_s) == sent.deductions[2] &&
                          query.fieldAsString(u"tp"_s) == sent.mark;
        return same ? Found::Yes : Found::No;
    }
    // The operator moved on: the console keeps rounds 1 and 2 in race.
    if (sent.round != u"1" && sent.round != u"2")
        return Found::Unknowable;
    readRow(query, raceRow(driver, bibShown(sent.bib), sent.letter, sent.round));
    for (int row = 0; row < int(sent.deductions.size()); ++row) {
        if (query.fieldIfAny(raceColumn(sent.letter, row, sent.round)) != sent.deductions[row])
            return Found::No;
    }
    return Found::Yes;
}

// --- connections ---------------------------------------------------------------------------

namespace {

const QString firebird = u"QIBASE"_s;
const QString odbc = u"QODBC"_s;

// The columns that tell a connection from a later one with the same number, as texts.
QString firebirdMarks()
{
    return u"mon$user as usr, mon$remote_address as address, mon$remote_pid as process, "
           u"cast(mon$timestamp as varchar(30)) as started from mon$attachments"_s;
}

QString firebirdCondition(const ServerConnection &c)
{
    return u" where mon$attachment_id = %1 and mon$user = %2 and mon$remote_address = %3 and "
           u"mon$remote_pid = %4 and cast(mon$timestamp as varchar(30)) = %5"_s.arg(
               QString::number(c.id), literal(c.marks.value(0)), literal(c.marks.value(1)),
               literal(c.marks.value(2)), literal(c.marks.value(3)));
}

// MariaDB tells a connection by its number alone, and numbers start again after a restart:
// each station's connection holds a named lock no other can hold, and a number counts as this
// connection's only while it holds that lock.
QString mariadbHolder(const ServerConnection &c)
{
    return u"select is_used_lock("_s + literal(c.marks.value(0)) + u") as holder"_s;
}

QString newLockName()
{
    const quint64 high = QRandomGenerator::system()->generate64();
    const quint64 low = QRandomGenerator::system()->generate64();
    return u"tollivane-%1%2"_s.arg(high, 16, 16, QChar(u'0')).arg(low, 16, 16, QChar(u'0'));
}

} // namespace

std::optional<ServerConnection> identify(Database &db)
{
    const QString driver = db.driverName();
    Query query(&db);
    ServerConnection c;
    c.driver = driver;
    try {
        if (driver == firebird) {
            readRow(query, u"select mon$attachment_id as id, "_s + firebirdMarks() +
                               u" where mon$attachment_id = current_connection"_s);
            c.marks = {query.fieldAsString(u"usr"_s), query.fieldAsString(u"address"_s),
                       query.fieldAsString(u"process"_s), query.fieldAsString(u"started"_s)};
        } else if (driver == odbc) {
            const QString lock = newLockName();
            readRow(query, u"select connection_id() as id, get_lock("_s + literal(lock) +
                               u", 0) as locked"_s);
            if (query.fieldAsString(u"locked"_s) != u"1")
                return std::nullopt; // no mark that proves it: never cancelled
            c.marks = {lock};
        } else {
            return std::nullopt;
        }
        bool ok = false;
        c.id = query.fieldAsString(u"id"_s).toLongLong(&ok);
        if (!ok)
            return std::nullopt;
    } catch (const DbError &) {
        if (!db.connected())
            throw;
        return std::nullopt; // a server without these lists: nothing can be cancelled there
    }
    return c;
}

bool stillOpen(Database &db, const ServerConnection &c)
{
    Query query(&db);
    if (c.driver == firebird) {
        readRow(query, u"select count(*) as n from mon$attachments"_s + firebirdCondition(c));
        return query.fieldAsString(u"n"_s).toInt() > 0;
    }
    readRow(query, mariadbHolder(c));
    return query.fieldAsString(u"holder"_s) == QString::number(c.id);
}

bool end(Database &db, const ServerConnection &c)
{
    if (c.driver != db.driverName())
        return false; // its number means nothing on another kind of server
    Query query(&db);
    if (c.driver == firebird) {
        query.sql().add(u"delete from mon$attachments"_s + firebirdCondition(c));
        return query.execSQL() > 0;
    }
    // KILL takes no condition: the check comes just before it.
    if (!stillOpen(db, c))
        return false;
    query.sql().add(u"kill "_s + QString::number(c.id));
    try {
        query.execSQL();
    } catch (const DbError &) {
        if (!db.connected())
            throw;
        return false; // gone between the check and the kill ("unknown thread id")
    }
    return true;
}

} // namespace statements
