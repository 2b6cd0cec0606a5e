#include "db/statements.h"

#include "db/dbengine.h"

using namespace Qt::StringLiterals;

namespace statements {

QString literal(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\'', u"''"_s);
    return u'\'' + escaped + u'\'';
}

QString judgeTable(const QString &letter)
{
    return u"select * from judge"_s + letter;
}

QString reference()
{
    return u"select * from judgep"_s;
}

QString claimSeat(const QString &letter)
{
    return u"update judge"_s + letter + u" set ent='True' where ent='False'"_s;
}

QString releaseSeat(const QString &letter)
{
    return u"update judge"_s + letter + u" set ent='False'"_s;
}

QStringList registration(const QString &letter, const QString &flight, const QString &landing,
                         const QString &outrun, const QString &mark, const QString &bib)
{
    return {u"update judge"_s + letter + u" set ap='"_s + flight + u"',op='"_s + landing + u"',"_s,
            u"lp='"_s + outrun + u"',tp='"_s + mark + u"',sumi='T' where zek="_s + literal(bib)};
}

namespace {

bool seatIsFree(Database &db, const QString &letter)
{
    Query query(&db);
    query.sql().add(judgeTable(letter));
    query.open();
    return query.fieldAsString(u"ent"_s) == u"False";
}

} // namespace

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

} // namespace statements
