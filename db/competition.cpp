#include "db/competition.h"

using namespace Qt::StringLiterals;

QString withoutTrailingBlanks(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    return text.left(end);
}

bool sameText(const QString &a, const QString &b)
{
    return withoutTrailingBlanks(a) == withoutTrailingBlanks(b);
}

QString Round::text() const
{
    return withoutTrailingBlanks(m_text);
}

bool Round::keptInRace() const
{
    const QString t = text();
    return t == u"1" || t == u"2";
}

QString Round::label() const
{
    return isTrial() ? u"試技"_s : text() + u" 本目"_s;
}

bool sameCompetitor(const Competitor &shown, const QString &bibAsRead, const Round &round)
{
    if (!sameText(bibAsRead, shown.bibAsRead))
        return false;
    return round == shown.round || round.notReady() || shown.round.notReady();
}

bool sameCompetitor(const Competitor &a, const Competitor &b)
{
    return sameCompetitor(a, b.bibAsRead, b.round);
}

Outcome outcomeOf(const Reply<Outcome> &reply)
{
    if (reply.ok())
        return reply.value();
    return reply.failure() == Failure::UnknownOutcome ? Outcome::Unknown : Outcome::Failed;
}

QString TableFault::text() const
{
    switch (kind) {
    case Kind::Missing:
        return u"The table %1 is not in the database, in no letter case"_s.arg(table);
    case Kind::NoRow:
        return u"The table %1 holds no row; it should hold one"_s.arg(table);
    case Kind::SeveralRows:
        break;
    }
    return u"The table %1 holds more than one row; it should hold one"_s.arg(table);
}
