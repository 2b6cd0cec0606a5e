#include "statements.h"

#include "dbengine.h"

using namespace Qt::StringLiterals;

namespace statements {

QString literal(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\'', u"''"_s);
    return u'\'' + escaped + u'\'';
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

bool seatIsFree(TQuery &query, const QString &letter)
{
    query.sql().clear();
    query.sql().add(u"select * from judge"_s + letter);
    query.open();
    return query.fieldAsString(u"ent"_s) == u"False";
}

} // namespace

bool claim(TQuery &query, const QString &letter)
{
    // The read keeps the exact comparison ('false' is taken, also where the server compares
    // without case); the conditional update makes the claim one step.
    if (!seatIsFree(query, letter))
        return false;
    query.sql().clear();
    query.sql().add(claimSeat(letter));
    try {
        return query.execSQL() > 0;
    } catch (const DbError &) {
        // Firebird refuses the later of two concurrent updates of a row ("update conflicts
        // with concurrent update"): the seat went to the other station.
        if (!seatIsFree(query, letter))
            return false;
        throw;
    }
}

} // namespace statements
