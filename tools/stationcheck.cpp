#include "tools/stationcheck.h"

#include "db/competition.h"
#include "db/dbengine.h"
#include "db/profiles.h"
#include "tools/competition.h"
#include "tools/stationaccount.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringView>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace stationcheck {

namespace {

// Beyond this the journal's times and the console's disagree enough to be told.
constexpr qint64 clockToleranceSeconds = 5;
// A row another program holds fails the check of the right to write, not holds it.
constexpr int lockWaitMs = 1000;

const QStringList judgeColumns = {u"ent"_s,  u"zek"_s, u"hon"_s, u"tstno"_s, u"name"_s, u"team"_s,
                                  u"sumi"_s, u"ap"_s,  u"op"_s,  u"lp"_s,    u"tp"_s};
// What the console writes in its own encoding.
const QStringList consoleTexts = {u"hon"_s, u"tstno"_s, u"name"_s, u"team"_s};
// What the station writes: the seat flag and the marks.
const QString unchangedUpdate = u" set ent=ent, sumi=sumi, ap=ap, op=op, lp=lp, tp=tp"_s;

// The columns the station reads or writes in a table: every seat's of race, since the station
// may take any seat.
QStringList usedColumns(const QString &table)
{
    if (table == u"judgeent"_s)
        return {u"jikko"_s};
    if (table == u"judgep")
        return competition::referenceColumns();
    if (table == u"race") {
        QStringList columns = {u"zno"_s};
        for (const QChar letter : QStringView(u"ABCDE")) {
            for (const QChar round : QStringView(u"12")) {
                for (const QChar component : QStringView(u"aol"))
                    columns << letter + component + round;
            }
        }
        return columns;
    }
    return judgeColumns;
}

using PerTable = QList<std::pair<QString, QStringList>>;

struct Findings
{
    QStringList found;   // the tables, as the server has them
    QStringList faults;  // what the station cannot use
    QStringList padded;  // values a CHAR column padded
    QStringList renamed; // tables the server has in another letter case
    PerTable missing, numbers, chars;
    PerTable shows;      // the competitor each judge's table puts up, as the station shows it
    QStringList written; // judges' tables that took the station's update
    QList<Text> texts;
};

QString quotedValue(const QString &text)
{
    return u'"' + text + u'"';
}

// Tables with the same columns together, and what they have: the columns, or every one the
// station uses.
QList<std::pair<QStringList, QString>> groups(const PerTable &perTable)
{
    QList<std::pair<QStringList, QString>> result;
    for (const auto &[table, columns] : perTable) {
        if (columns.isEmpty())
            continue;
        const QString has = columns == usedColumns(table) && columns.size() > 1
                                ? u"every column the station uses"_s
                                : columns.join(u' ');
        const auto same = std::find_if(result.begin(), result.end(),
                                       [&](const auto &group) { return group.second == has; });
        if (same != result.end())
            same->first << table;
        else
            result.append({{table}, has});
    }
    return result;
}

// "judgeA, judgeB: ap op; race: every column the station uses"
QString grouped(const PerTable &perTable)
{
    QStringList parts;
    for (const auto &[tables, has] : groups(perTable))
        parts << tables.join(u", "_s) + u": "_s + has;
    return parts.join(u"; "_s);
}

// The first column of every row of a select.
QStringList firstColumn(Database &db, const QString &statement)
{
    QSqlQuery query(QSqlDatabase::database(db.qtConnectionName(), false));
    query.setForwardOnly(true);
    if (!query.exec(statement))
        throw DbError(query.lastError().text());
    QStringList values;
    while (query.next())
        values << query.value(0).toString().trimmed();
    query.finish();
    return values;
}

// The table's CHAR columns, which pad their values with blanks; SQLite pads nothing.
QStringList charColumns(Database &db, const QString &table)
{
    const QString driver = db.driverName();
    if (driver == u"QIBASE"_s)
        return firstColumn(db, u"select r.rdb$field_name from rdb$relation_fields r join "
                               "rdb$fields f on f.rdb$field_name = r.rdb$field_source where "
                               "r.rdb$relation_name = upper("_s +
                                   sqlLiteral(table) + u") and f.rdb$field_type = 14"_s);
    if (driver == u"QODBC"_s)
        return firstColumn(db, u"select column_name from information_schema.columns where "
                               "table_schema = database() and data_type = 'char' and "
                               "table_name = "_s +
                                   sqlLiteral(table));
    return {};
}

// A text column's bytes as stored, whatever its character set declares (the README's hex()
// and octets queries): a value every driver hands over as bytes.
QString bytesOf(const QString &driver, const QString &column)
{
    if (driver == u"QIBASE"_s)
        return u"cast(cast(%1 as varchar(32765) character set octets) as blob sub_type 0)"_s.arg(
            column);
    if (driver == u"QODBC"_s)
        return u"cast(%1 as binary)"_s.arg(column);
    return u"cast(%1 as blob)"_s.arg(column);
}

// The console's texts of a judge's row: their bytes, and what the connection makes of them.
void readTexts(Database &db, const QString &name, const QString &onServer, Findings &findings)
{
    const QStringList columns = {u"name"_s, u"team"_s, u"tstno"_s};
    QStringList selected;
    for (const QString &column : columns)
        selected << bytesOf(db.driverName(), column);
    QSqlQuery bytes(QSqlDatabase::database(db.qtConnectionName(), false));
    bytes.setForwardOnly(true);
    if (!bytes.exec(u"select "_s + selected.join(u", "_s) + u" from "_s + onServer) ||
        !bytes.next()) {
        if (bytes.lastError().type() != QSqlError::NoError)
            findings.faults << name + u" cannot be read: "_s + bytes.lastError().text();
        return;
    }
    QList<Text> texts;
    for (int i = 0; i < int(columns.size()); ++i)
        texts.append({name + u'.' + columns[i], bytes.value(i).toByteArray(), std::nullopt});
    bytes.finish();
    Query plain(&db);
    try {
        plain.read(u"select "_s + columns.join(u", "_s) + u" from "_s + onServer);
        for (int i = 0; i < int(columns.size()); ++i)
            texts[i].plain = plain.fieldAsString(columns[i]);
    } catch (const DbError &) {
        // A text the connection cannot convert: only the bytes can be read.
    }
    findings.texts << texts;
}

// What the station would put up of the row's competitor, its texts as the alias decodes them.
QString shown(const Query &row, QStringList &faults, const QString &name)
{
    const QString bib = row.fieldAsString(u"zek"_s);
    if (withoutTrailingBlanks(bib).isEmpty())
        return u"no competitor yet (the bib is empty)"_s;
    QString bibShown;
    try {
        bibShown = QString::asprintf("%.3d", toInteger(bib.trimmed()));
    } catch (const DbError &) {
        faults << name + u": the bib "_s + quotedValue(bib) + u" is no number"_s;
        return u"bib "_s + quotedValue(bib) + u", which the station cannot show"_s;
    }
    const Round round(row.fieldAsString(u"hon"_s));
    const QString roundText =
        round.notReady() ? u"round X (the operator is not ready)"_s : quotedValue(round.label());
    return u"bib %1, %2, %3, %4"_s.arg(bibShown, roundText,
                                       quotedValue(row.fieldAsString(u"name"_s)),
                                       quotedValue(row.fieldAsString(u"team"_s)));
}

// The right to write the seat flag and the marks: an update of the row that changes nothing,
// rolled back, so that nothing of a running competition moves.
void checkWrite(Database &db, const QString &name, const QString &onServer, Findings &findings)
{
    Query update(&db);
    update.sql().add(u"update "_s + onServer + unchangedUpdate);
    try {
        db.begin();
        update.execSQL();
        db.rollback();
        findings.written << name;
    } catch (const DbError &e) {
        db.rollback();
        findings.faults << name + u" cannot be written: "_s + e.text();
    }
}

// A judge's row read as the station reads it: the console's texts in the alias's encoding.
QString judgeRow(Database &db, const QStringList &present, const QString &onServer)
{
    QStringList selected;
    for (const QString &column : present)
        selected << (consoleTexts.contains(column) ? db.textColumn(column) : column);
    return u"select "_s + selected.join(u", "_s) + u" from "_s + onServer;
}

void checkJudgeRow(Database &db, const QString &name, const QString &onServer, const Query &row,
                   bool complete, Findings &findings)
{
    for (const QString &column : {u"ent"_s, u"zek"_s, u"hon"_s, u"sumi"_s}) {
        const QString value = row.fieldIfAny(column).value_or(QString());
        if (value != withoutTrailingBlanks(value))
            findings.padded << name + u'.' + column + u'=' + quotedValue(value);
    }
    if (!complete)
        return; // the missing columns are told; the row cannot show nor be written
    findings.shows.append({name, {shown(row, findings.faults, name)}});
    readTexts(db, name, onServer, findings);
    checkWrite(db, name, onServer, findings);
}

// One table: found, its columns, their types, its row read as the station reads it (one row in
// a judge's table and in judgeent), and of a judge's table what the station would show and
// write.
void checkTable(Database &db, const QString &name, Findings &findings)
{
    const std::optional<QString> onServer = db.tableName(name);
    if (!onServer) {
        findings.faults << TableFault{TableFault::Kind::Missing, name}.text();
        return;
    }
    if (*onServer != name)
        findings.renamed << name + u" as "_s + *onServer;
    findings.found << *onServer;
    Query shape(&db);
    try {
        shape.read(u"select * from "_s + *onServer + u" where 1=0"_s);
    } catch (const DbError &e) {
        findings.faults << name + u" cannot be read: "_s + e.text();
        return;
    }
    const QStringList names = shape.fieldNames();
    QStringList present, missing, numbers;
    for (const QString &column : usedColumns(name)) {
        if (!names.contains(column, Qt::CaseInsensitive)) {
            missing << column;
            continue;
        }
        present << column;
        if (shape.holdsNumbers(column))
            numbers << column;
    }
    findings.missing.append({name, missing});
    findings.numbers.append({name, numbers});
    try {
        QStringList chars;
        const QStringList padding = charColumns(db, *onServer);
        for (const QString &column : std::as_const(present)) {
            if (padding.contains(column, Qt::CaseInsensitive))
                chars << column;
        }
        findings.chars.append({name, chars});
    } catch (const DbError &) {
        // The catalog is no business of the station's: its blanks are seen in the values.
    }
    const bool judge = usedColumns(name) == judgeColumns;
    Query row(&db);
    try {
        row.read(judge ? judgeRow(db, present, *onServer) : u"select * from "_s + *onServer);
    } catch (const DbError &e) {
        findings.faults << name + u" cannot be read: "_s + e.text();
        return;
    }
    // judgep and race may be empty: their columns then read empty.
    if ((judge || name == u"judgeent") && row.rowsSeen() != 1) {
        const auto kind =
            row.rowsSeen() == 0 ? TableFault::Kind::NoRow : TableFault::Kind::SeveralRows;
        findings.faults << TableFault{kind, name}.text();
        return;
    }
    if (judge)
        checkJudgeRow(db, name, *onServer, row, missing.isEmpty(), findings);
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

QString hexOf(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// What the bytes say the text is; nothing for bytes of neither encoding.
std::optional<QString> meant(const QByteArray &bytes, codepage::Kind kind)
{
    switch (kind) {
    case codepage::Kind::Ascii:
    case codepage::Kind::Utf8:
        return QString::fromUtf8(bytes);
    case codepage::Kind::Cp932:
        return codepage::fromCp932(bytes);
    case codepage::Kind::Neither:
        break;
    }
    return std::nullopt;
}

// The line for a text the station would not show as its bytes say.
QString misread(bool cp932, const Text &text, codepage::Kind kind)
{
    const QString now = cp932 ? codepage::fromCp932(text.bytes) : text.plain.value_or(QString());
    const QString shows = cp932 || text.plain ? QString(u"shows "_s + quotedValue(now))
                                              : QString(u"cannot be read without the key"_s);
    const std::optional<QString> meaning = meant(text.bytes, kind);
    if (!meaning)
        return u"names: %1 %2; its bytes (%3) are neither UTF-8 nor CP932"_s.arg(text.where, shows,
                                                                                 hexOf(text.bytes));
    const bool inCp932 = kind == codepage::Kind::Cp932;
    const QString encoding = inCp932 ? u"CP932"_s : u"UTF-8"_s;
    // The other setting of the key: what it would show.
    const std::optional<QString> other =
        cp932 ? text.plain : std::optional(codepage::fromCp932(text.bytes));
    const QString advice =
        other == meaning ? (cp932 ? u": take Encoding=CP932 out of the alias's section (UTF-8 is "
                                    "the default)"_s
                                  : u": put Encoding=CP932 into the alias's section"_s)
                         : u": no setting of Encoding reads them right (the column's character "
                           "set does not say what its bytes are)"_s;
    return u"names: %1 %2, but its bytes (%3) are %4, %5%6"_s.arg(
        text.where, shows, hexOf(text.bytes), encoding, quotedValue(*meaning), advice);
}

// The passwords every copy of the terminal carries in its profiles.
QStringList publishedPasswords()
{
    QStringList lines = profiles::interbaseParams(profiles::Location::Local);
    lines << profiles::mysqlParams(profiles::Location::Local);
    QStringList passwords;
    for (const QString &line : std::as_const(lines)) {
        if (line.startsWith(u"PASSWORD="_s))
            passwords << line.mid(9);
    }
    return passwords;
}

// The account's own grants as (right, table, column); a global or database-wide right names
// no table of the competition.
QList<QStringList> grants(Database &db)
{
    QString statement;
    if (db.driverName() == u"QIBASE"_s) {
        statement = u"select trim(rdb$privilege), trim(rdb$relation_name), "
                    "trim(coalesce(rdb$field_name, '')) from rdb$user_privileges where rdb$user "
                    "= current_user union all select 'owner of the database', '', '' from "
                    "mon$database where mon$owner = current_user"_s;
    } else {
        const QString grantee = u"concat('''', substring_index(current_user(), '@', 1), "
                                "'''@''', substring_index(current_user(), '@', -1), '''')"_s;
        statement = u"select privilege_type, '*', '' from information_schema.user_privileges "
                    "where grantee = %1 union all select privilege_type, concat(table_schema, "
                    "'.*'), '' from information_schema.schema_privileges where grantee = %1 "
                    "union all select privilege_type, table_name, '' from "
                    "information_schema.table_privileges where grantee = %1 and table_schema = "
                    "database() union all select privilege_type, table_name, column_name from "
                    "information_schema.column_privileges where grantee = %1 and table_schema = "
                    "database()"_s.arg(grantee);
    }
    QSqlQuery query(QSqlDatabase::database(db.qtConnectionName(), false));
    query.setForwardOnly(true);
    if (!query.exec(statement))
        throw DbError(query.lastError().text());
    QList<QStringList> rows;
    while (query.next())
        rows.append({query.value(0).toString().trimmed(), query.value(1).toString().trimmed(),
                     query.value(2).toString().trimmed()});
    query.finish();
    return rows;
}

QString rightName(const QString &right)
{
    static const QHash<QString, QString> firebird = {
        {u"S"_s, u"SELECT"_s}, {u"I"_s, u"INSERT"_s},     {u"U"_s, u"UPDATE"_s},
        {u"D"_s, u"DELETE"_s}, {u"R"_s, u"REFERENCES"_s}, {u"M"_s, u"member of"_s}};
    return firebird.value(right, right);
}

// Whether a station account needs the right: what jumpdb grant gives.
bool stationRight(const QString &right, const QString &table, const QString &column)
{
    const auto is = [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    };
    const bool judge = table.size() == 6 && is(table.left(5), u"judge"_s) &&
                       QStringView(u"ABCDE").contains(table.at(5).toUpper());
    if (right == u"USAGE"_s)
        return table == u"*"_s;
    if (right == u"SELECT"_s)
        return column.isEmpty() && (judge || is(table, u"judgeent"_s) || is(table, u"judgep"_s) ||
                                    is(table, u"race"_s));
    if (right == u"UPDATE"_s)
        return judge && stationaccount::writtenColumns().contains(column, Qt::CaseInsensitive);
    return right == u"DELETE"_s && is(table, u"MON$ATTACHMENTS"_s);
}

// The rights beyond a station account's, as "DELETE on judgeA".
QStringList beyondStation(Database &db)
{
    QStringList beyond;
    for (const QStringList &g : grants(db)) {
        const QString right = rightName(g[0]);
        if (stationRight(right, g[1], g[2]))
            continue;
        QString text = right;
        if (!g[1].isEmpty())
            text += (right == u"member of"_s ? u" "_s : u" on "_s) + g[1];
        if (!g[2].isEmpty())
            text += u'.' + g[2];
        if (!beyond.contains(text))
            beyond << text;
    }
    return beyond;
}

// Warnings about the account the profile connects as: a superuser, the published password,
// rights beyond judging. They leave the verdict alone: an old club server may need them.
QStringList accountLines(Database &db)
{
    const QSqlDatabase handle = QSqlDatabase::database(db.qtConnectionName(), false);
    const QString user = handle.userName();
    QStringList lines;
    const bool superuser = user.compare(u"SYSDBA"_s, Qt::CaseInsensitive) == 0 ||
                           user.compare(u"root"_s, Qt::CaseInsensitive) == 0;
    const QString advice = u"make a station account with jumpdb grant and name it in the "
                           "alias's section (User=, PasswordFile=); see docs/station-account.md"_s;
    if (superuser)
        lines << u"warning: connects as %1, the server's superuser, which can drop any table of "
                 "any database there: %2"_s.arg(user, advice);
    if (publishedPasswords().contains(handle.password()))
        lines << u"warning: connects with the password every copy of the terminal carries, "
                 "which anyone who reaches the server can use: give every account there a "
                 "password of the club's own"_s;
    if (superuser)
        return lines;
    QStringList beyond;
    try {
        beyond = beyondStation(db);
    } catch (const DbError &e) {
        return lines << u"account: the rights of %1 cannot be read: %2"_s.arg(user, e.text());
    }
    if (beyond.isEmpty())
        return lines << u"account: %1 holds a station's rights only"_s.arg(user);
    const QStringList shown = beyond.mid(0, 6);
    lines << u"warning: the account %1 holds rights beyond a station's (%2%3): %4"_s.arg(
        user, shown.join(u", "_s), beyond.size() > shown.size() ? u", ..."_s : QString(), advice);
    return lines;
}

} // namespace

QString textVerdict(bool cp932, const QList<Text> &texts, bool &ok)
{
    bool nonAscii = false;
    for (const Text &text : texts) {
        const codepage::Kind kind = codepage::kindOf(text.bytes);
        nonAscii |= kind != codepage::Kind::Ascii;
        const std::optional<QString> now =
            cp932 ? std::optional(codepage::fromCp932(text.bytes)) : text.plain;
        const std::optional<QString> meaning = meant(text.bytes, kind);
        if (!meaning || now != meaning) {
            ok = false;
            return misread(cp932, text, kind);
        }
    }
    ok = true;
    const QString encoding = cp932 ? u"CP932 (Encoding=CP932)"_s : u"UTF-8, the default"_s;
    if (!nonAscii)
        return u"names: ASCII only, which reads alike in either Encoding"_s;
    return u"names: read as their bytes say, in "_s + encoding;
}

Report check(Database &db, const std::function<QDateTime()> &now)
{
    Report report;
    db.setLockWaitMs(lockWaitMs);
    try {
        db.open();
    } catch (const DbError &e) {
        report.lines << u"not reached: "_s + e.text();
        return report;
    }
    report.lines << u"reached (%1)"_s.arg(db.driverName());
    if (db.driverName() != u"QSQLITE"_s)
        report.lines << accountLines(db);
    Findings findings;
    try {
        for (const QString &name : {u"judgeent"_s, u"judgep"_s, u"race"_s})
            checkTable(db, name, findings);
        for (const QChar letter : QStringView(u"ABCDE"))
            checkTable(db, u"judge"_s + letter, findings);
    } catch (const DbError &e) {
        report.lines << u"tables cannot be listed: "_s + e.text();
        return report;
    }
    report.lines << u"tables: "_s + findings.found.join(u' ');
    if (!findings.renamed.isEmpty())
        report.lines << u"letter case of the server: "_s + findings.renamed.join(u", "_s);
    report.lines << findings.faults;
    const QString missing = grouped(findings.missing);
    if (!missing.isEmpty())
        report.lines << u"columns missing (a poll or registration that needs one fails): "_s +
                            missing;
    const QString numbers = grouped(findings.numbers);
    if (!findings.found.isEmpty())
        report.lines << u"columns of numbers (compared as numbers): "_s +
                            (numbers.isEmpty() ? u"none, every column holds texts"_s : numbers);
    const QString chars = grouped(findings.chars);
    if (!chars.isEmpty())
        report.lines << u"CHAR columns (read without their blanks): "_s + chars;
    if (!findings.padded.isEmpty())
        report.lines << u"CHAR padding (read without the blanks): "_s + findings.padded.join(u' ');
    if (!findings.written.isEmpty())
        report.lines << u"writing: "_s + findings.written.join(u", "_s) +
                            u" took an update of the seat flag and the marks that changes nothing "
                            "(rolled back)"_s;
    for (const auto &[tables, competitor] : groups(findings.shows))
        report.lines << u"the station shows on "_s + tables.join(u", "_s) + u": "_s + competitor;
    bool decoded = false;
    const QString verdict =
        textVerdict(db.encoding() == aliases::Encoding::Cp932, findings.texts, decoded);
    if (!findings.texts.isEmpty())
        report.lines << verdict;
    try {
        report.lines << clockLine(db, now);
    } catch (const DbError &e) {
        report.lines << u"clock: cannot be read: "_s + e.text();
    }
    const bool complete = std::all_of(findings.missing.cbegin(), findings.missing.cend(),
                                      [](const auto &table) { return table.second.isEmpty(); });
    report.canJudge = findings.faults.isEmpty() && complete && decoded;
    return report;
}

} // namespace stationcheck
