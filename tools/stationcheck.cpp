#include "tools/stationcheck.h"

#include "db/competition.h"
#include "db/dbengine.h"

#include <QStringView>

using namespace Qt::StringLiterals;

namespace stationcheck {

namespace {

// Beyond this the journal's times and the console's disagree enough to be told.
constexpr qint64 clockToleranceSeconds = 5;

struct Tables
{
    QStringList found;   // the tables, as the server has them
    QStringList faults;  // what the station cannot use
    QStringList texts;   // names, teams and trial texts of the judges' rows
    QStringList padded;  // values a CHAR column padded
    QStringList renamed; // tables the server has in another letter case
};

QString quotedValue(const QString &text)
{
    return u'"' + text + u'"';
}

// One table: found, its first row read without failure, one row in a judge's table and in
// judgeent; of a judge's table its texts and padding.
void checkTable(Database &db, const QString &name, bool judge, Tables &tables)
{
    const std::optional<QString> onServer = db.tableName(name);
    if (!onServer) {
        tables.faults << TableFault{TableFault::Kind::Missing, name}.text();
        return;
    }
    if (*onServer != name)
        tables.renamed << name + u" as "_s + *onServer;
    tables.found << *onServer;
    Query query(&db);
    try {
        query.read(u"select * from "_s + *onServer);
    } catch (const DbError &e) {
        tables.faults << name + u" cannot be read: "_s + e.text();
        return;
    }
    // judgep and race may be empty: their columns then read empty.
    const bool single = judge || name == u"judgeent"_s;
    if (single && query.rowsSeen() != 1) {
        const auto kind =
            query.rowsSeen() == 0 ? TableFault::Kind::NoRow : TableFault::Kind::SeveralRows;
        tables.faults << TableFault{kind, name}.text();
        return;
    }
    if (!judge)
        return;
    // The console's texts as the station reads them, in the alias's encoding.
    Query texts(&db);
    try {
        texts.read(u"select "_s + db.textColumn(u"name"_s) + u", "_s + db.textColumn(u"team"_s) +
                   u", "_s + db.textColumn(u"tstno"_s) + u" from "_s + *onServer);
        for (const QString &column : {u"name"_s, u"team"_s, u"tstno"_s})
            tables.texts << texts.fieldAsString(column);
    } catch (const DbError &e) {
        tables.faults << name + u" cannot be read: "_s + e.text();
    }
    for (const QString &column : {u"ent"_s, u"zek"_s, u"hon"_s, u"sumi"_s}) {
        const QString value = query.fieldIfAny(column).value_or(QString());
        if (value != withoutTrailingBlanks(value))
            tables.padded << name + u'.' + column + u'=' + quotedValue(value);
    }
}

QString clockStatement(const QString &driver)
{
    if (driver == u"QIBASE"_s)
        return u"select current_timestamp as now from rdb$database"_s;
    if (driver == u"QODBC"_s)
        return u"select now() as now"_s;
    return QString(); // a file: the station's own clock is the only one
}

// The server's clock against the station's: the journal's times are the station's.
QString clockLine(Database &db, const std::function<QDateTime()> &now)
{
    const QString statement = clockStatement(db.driverName());
    if (statement.isEmpty())
        return u"clock: a database file, the station's clock only"_s;
    Query query(&db);
    query.read(statement);
    const QDateTime server =
        QDateTime::fromString(query.fieldAsString(u"now"_s).left(19), Qt::ISODate);
    if (!server.isValid())
        return u"clock: the server's time reads "_s + query.fieldAsString(u"now"_s);
    const qint64 apart = now().secsTo(server);
    if (qAbs(apart) <= clockToleranceSeconds)
        return u"clock: the server's agrees with this station's"_s;
    return u"clock: the server's is %1 s %2 this station's (the journal has the station's)"_s
        .arg(qAbs(apart))
        .arg(apart > 0 ? u"ahead of"_s : u"behind"_s);
}

} // namespace

QString textVerdict(Database &db, const QStringList &texts, bool &ok)
{
    const bool cp932 = db.encoding() == aliases::Encoding::Cp932;
    const QString encoding = cp932 ? u"CP932"_s : u"UTF-8"_s;
    for (const QString &text : texts) {
        if (text.contains(QChar::ReplacementCharacter)) {
            ok = false;
            return u"names: "_s + quotedValue(text) + u" does not decode as "_s + encoding +
                   (cp932 ? QString()
                          : u" (perhaps CP932: Encoding=CP932 in the alias's section)"_s);
        }
    }
    ok = true;
    return u"names: decoded in "_s + encoding + u" without a replacement character"_s;
}

Report check(Database &db, const std::function<QDateTime()> &now)
{
    Report report;
    try {
        db.open();
    } catch (const DbError &e) {
        report.lines << u"not reached: "_s + e.text();
        return report;
    }
    report.lines << u"reached (%1)"_s.arg(db.driverName());
    Tables tables;
    try {
        for (const QString &name : {u"judgeent"_s, u"judgep"_s, u"race"_s})
            checkTable(db, name, false, tables);
        for (const QChar letter : QStringView(u"ABCDE"))
            checkTable(db, u"judge"_s + letter, true, tables);
    } catch (const DbError &e) {
        report.lines << u"tables cannot be listed: "_s + e.text();
        return report;
    }
    report.lines << u"tables: "_s + tables.found.join(u' ');
    if (!tables.renamed.isEmpty())
        report.lines << u"letter case of the server: "_s + tables.renamed.join(u", "_s);
    report.lines << tables.faults;
    if (!tables.padded.isEmpty())
        report.lines << u"CHAR padding (read without the blanks): "_s + tables.padded.join(u' ');
    bool decoded = false;
    report.lines << textVerdict(db, tables.texts, decoded);
    try {
        report.lines << clockLine(db, now);
    } catch (const DbError &e) {
        report.lines << u"clock: cannot be read: "_s + e.text();
    }
    report.canJudge = tables.faults.isEmpty() && decoded;
    return report;
}

} // namespace stationcheck
