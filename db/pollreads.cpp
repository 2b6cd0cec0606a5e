#include "db/pollreads.h"

#include "db/dbengine.h"
#include "db/dialect.h"
#include "db/statements.h"

using namespace Qt::StringLiterals;
using gateway::PollResult;

namespace {

// The bib and the round go into the registration's condition, so they must be read as they
// are stored: one cut on its way (longer than any bib, or stopped at a NUL by a driver) or
// holding a control character is a row the station cannot read.
QString readKey(const Query &query, const QString &driver, aliases::Encoding encoding,
                const QString &column, const QString &letter, const QString &what)
{
    const QString text = query.fieldAsString(column);
    const auto unreadable = [&](const QString &why) {
        return DbError(u"The %1 on judge%2 %3"_s.arg(what, letter, why));
    };
    // A NULL reads as an empty text, and its length as nothing.
    const QString stored = query.fieldAsString(column + u"_length"_s);
    if (dialect::measure(driver, encoding, text) != (stored.isEmpty() ? 0 : toInteger(stored)))
        throw unreadable(u"is longer than a %1 can be, or was cut on its way"_s.arg(what));
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            throw unreadable(u"holds a control character (U+%1)"_s.arg(
                u"%1"_s.arg(c.unicode(), 4, 16, QChar(u'0')).toUpper()));
    }
    return text;
}

void readReference(Database &db, const statements::Server &server, PollResult &result)
{
    Query reference(&db);
    const QStringList &columns = statements::referenceColumns();
    for (const QString &column : columns)
        reference.addRequiredField(column);
    result.referenceStatement = statements::reference(server, columns);
    reference.read(result.referenceStatement);
    result.reference.clear();
    for (const QString &column : columns)
        result.reference.append({column, reference.fieldAsString(column)});
}

// The judge's marks as race keeps them, unless the table went back to the bib on display.
void readRegisteredMarks(Query &query, const statements::Server &server, const QString &letter,
                         const std::optional<Competitor> &shown, PollResult &result)
{
    const Competitor &c = result.competitor;
    statements::readJudge(query, statements::judgeTable(server, letter), letter);
    if (shown && sameText(query.fieldAsString(u"zek"_s), shown->bibAsRead))
        return;
    query.read(statements::raceRow(server, c.bibShown, letter, c.round.text()));
    std::array<QString, 3> marks;
    for (int row = 0; row < int(marks.size()); ++row)
        marks[row] = query.fieldAsString(statements::raceColumn(letter, row, c.round.text()));
    result.registeredMarks = marks;
}

} // namespace

namespace pollreads {

PollResult read(Database &db, const QString &letter, const std::optional<Competitor> &shown,
                bool checkOnly)
{
    PollResult result;
    Query query(&db);
    const statements::Server server(db);
    const QString &driver = server.driver();
    if (!checkOnly) {
        query.read(statements::runState(server));
        if (sameText(query.fieldAsString(u"jikko"_s), u"0"_s))
            return result;
    }
    result.judgeStatement = statements::judgeTable(server, letter);
    statements::readJudge(query, result.judgeStatement, letter);
    Competitor &c = result.competitor;
    // The bib is digits in any encoding; the round is read as the console's texts are.
    c.bibAsRead = readKey(query, driver, aliases::Encoding::Utf8, u"zek"_s, letter, u"bib"_s);
    c.round = Round(readKey(query, driver, db.encoding(), u"hon"_s, letter, u"round"_s));
    // Nothing shown yet: an empty bib loads nothing, any other does.
    if (shown ? sameCompetitor(*shown, c.bibAsRead, c.round) : c.bibAsRead.isEmpty()) {
        result.state = PollResult::State::Unchanged;
        return result;
    }
    c.trialText = query.fieldAsString(u"tstno"_s);
    result.registeredBefore =
        sameText(query.fieldAsString(u"sumi"_s), u"T"_s) && c.round.keptInRace();
    result.stored = {query.fieldAsString(u"ap"_s), query.fieldAsString(u"op"_s),
                     query.fieldAsString(u"lp"_s)};
    c.bibShown = statements::bibShown(c.bibAsRead);
    c.name = query.fieldAsString(u"name"_s);
    c.team = query.fieldAsString(u"team"_s);

    readReference(db, server, result);
    if (result.registeredBefore)
        readRegisteredMarks(query, server, letter, shown, result);
    if (c.round.reopensReference())
        readReference(db, server, result);
    result.state = PollResult::State::NewCompetitor;
    return result;
}

} // namespace pollreads
