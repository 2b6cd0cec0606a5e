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

QString judgeTable(const QString &driver, const QString &letter, aliases::Encoding encoding)
{
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
           u" as hon_length from judge"_s + letter;
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
QString competitorCondition(const Competitor &c)
{
    const QString onBib = u"zek="_s + literal(c.bibAsRead);
    if (c.round.notReady())
        return onBib;
    return onBib + u" and (coalesce(hon,'')="_s + literal(c.round.asRead()) + u" or hon='X')"_s;
}

QStringList registration(const QString &letter, const Marks &marks, const Competitor &competitor)
{
    return {u"update judge"_s + letter + u" set ap='"_s + marks.flight + u"',op='"_s +
                marks.landing + u"',"_s,
            u"lp='"_s + marks.outrun + u"',tp='"_s + marks.mark + u"',sumi='T' where "_s +
                competitorCondition(competitor)};
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
    query.read(seatState(driverOf(db), letter));
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

Found registered(Database &db, const QString &letter, const Competitor &competitor,
                 const Marks &marks)
{
    Query query(&db);
    const QString driver = driverOf(db);
    query.read(judgeTable(driver, letter, db.encoding()));
    const Round round(query.fieldAsString(u"hon"_s));
    if (sameCompetitor(competitor, query.fieldAsString(u"zek"_s), round)) {
        const bool same = query.fieldAsString(u"ap"_s) == marks.flight &&
                          query.fieldAsString(u"op"_s) == marks.landing &&
                          query.fieldAsString(u"lp"_s) == marks.outrun &&
                          query.fieldAsString(u"tp"_s) == marks.mark;
        return same ? Found::Yes : Found::No;
    }
    // The operator moved on: the console keeps rounds 1 and 2 in race.
    if (!competitor.round.keptInRace())
        return Found::Unknowable;
    const QString roundKey = competitor.round.text();
    query.read(raceRow(driver, competitor.bibShown, letter, roundKey));
    const std::array<QString, 3> deductions = {marks.flight, marks.landing, marks.outrun};
    for (int row = 0; row < int(deductions.size()); ++row) {
        if (query.fieldIfAny(raceColumn(letter, row, roundKey)) != deductions[row])
            return Found::No;
    }
    return Found::Yes;
}

} // namespace statements
