#include "db/competition.h"

using namespace Qt::StringLiterals;

namespace {

QString withoutTrailingBlanks(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    return text.left(end);
}

} // namespace

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
    if (withoutTrailingBlanks(bibAsRead) != withoutTrailingBlanks(shown.bibAsRead))
        return false;
    return round == shown.round || round.notReady() || shown.round.notReady();
}
