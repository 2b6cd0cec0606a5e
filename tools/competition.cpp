#include "tools/competition.h"

#include "db/competition.h"
#include "db/dbengine.h"
#include "toolkit/codepage.h"

#include <QHash>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <iterator>
#include <optional>
#include <set>
#include <span>

using namespace Qt::StringLiterals;

namespace competition {

namespace {

struct Competitor
{
    const char16_t *name;
    const char16_t *team;
};

// A made-up start list; bibs are the positions, 001 to 030.
const Competitor startList[] = {
    {u"山川 翔太", u"白馬スキークラブ"},
    {u"Aksel Brenna", u"Norway"},
    {u"北野 大地", u"札幌ジャンプ団"},
    {u"Tobias Lindqvist", u"Sweden"},
    {u"Matej Horvat", u"Slovenia"},
    {u"雪村 航", u"長野チーム"},
    {u"Jonas Keller", u"Germany"},
    {u"Eero Salminen", u"Finland"},
    {u"風間 陸", u"蔵王ジャンプクラブ"},
    {u"Lukas Gruber", u"Austria"},
    {u"Kacper Wilk", u"Poland"},
    {u"高嶺 颯", u"白馬スキークラブ"},
    {u"Pavel Novak", u"Czechia"},
    {u"Simon Ammerli", u"Switzerland"},
    {u"大空 悠真", u"札幌ジャンプ団"},
    {u"Henrik Dahl", u"Norway"},
    {u"Marco Lanz", u"Italy"},
    {u"飛田 蒼", u"長野チーム"},
    {u"Ivan Petrenko", u"Ukraine"},
    {u"Jean-Luc Moreau", u"France"},
    {u"坂上 隼人", u"蔵王ジャンプクラブ"},
    {u"Liam O'Connor", u"Canada"},
    {u"Ole Rasmussen", u"Denmark"},
    {u"春日 湊", u"白馬スキークラブ"},
    {u"Andrej Kralj", u"Slovenia"},
    {u"Felix Brandt", u"Germany"},
    {u"森田 樹", u"札幌ジャンプ団"},
    {u"Mikael Aho", u"Finland"},
    {u"Daniel Winter", u"Austria"},
    {u"岩崎 光", u"長野チーム"},
};

QString judgeTable(QChar letter)
{
    return u"judge"_s + letter;
}

// A table by the name the server has for it (a MySQL database that lived on Windows: "judgea"
// for "judgeA"); a missing one keeps its name, for the engine to say so.
QString onServer(Database &db, const QString &table)
{
    return db.tableName(table).value_or(table);
}

// A judge's row, the console's texts read in the database's encoding.
QString judgeRow(Database &db, QChar letter)
{
    QStringList columns = {u"ent"_s, u"zek"_s};
    for (const QString &text : {u"hon"_s, u"tstno"_s, u"name"_s, u"team"_s})
        columns << db.textColumn(text);
    columns << QStringList{u"sumi"_s, u"ap"_s, u"op"_s, u"lp"_s, u"tp"_s};
    return u"select "_s + columns.join(u", "_s) + u" from "_s + onServer(db, judgeTable(letter));
}

// A text column of the console's tables: in a database of CP932 texts, of a character set
// that keeps the bytes written (as an old Windows console's database has them).
QString textType(Database &db, int length)
{
    db.open();
    const QString type = u"varchar(%1)"_s.arg(length);
    if (db.encoding() != aliases::Encoding::Cp932)
        return type;
    if (db.driverName() == u"QIBASE"_s)
        return type + u" character set none"_s;
    if (db.driverName() == u"QODBC"_s)
        return type + u" character set cp932"_s;
    return type;
}

void exec(Database &db, const QString &statement)
{
    Query query(&db);
    query.sql().add(statement);
    query.execSQL();
}

void execIgnoringFailure(Database &db, const QString &statement)
{
    try {
        exec(db, statement);
    } catch (const DbError &) {
    }
}

// The first row of a select, by lower-case column name; empty values when there is no row.
QHash<QString, QString> firstRow(Database &db, const QString &statement)
{
    Query query(&db);
    query.sql().add(statement);
    query.open();
    QHash<QString, QString> row;
    for (const QString &name : query.fieldNames())
        row.insert(name.toLower(), query.fieldAsString(name));
    return row;
}

// The smallest bib after the given one ("" for the first); empty when there is none.
QString bibAfter(Database &db, const QString &bib)
{
    return firstRow(db, u"select min(zno) as nxt from entries where zno > "_s + quoted(db, bib))
        .value(u"nxt"_s);
}

void putUp(Database &db, const QString &bib, const QString &round)
{
    // The start list's texts go over as stored, in whatever encoding (a literal beside them
    // would have Firebird convert them to the connection's).
    const auto entry = [&](const QString &column) -> QString {
        return u"(select "_s + column + u" from entries where zno="_s + quoted(db, bib) + u')';
    };
    for (const QChar letter : judgeLetters) {
        exec(db, u"update "_s + judgeTable(letter) + u" set zek="_s + quoted(db, bib) + u",hon="_s +
                     quoted(db, round) + u",tstno='',name="_s + entry(u"name"_s) + u",team="_s +
                     entry(u"team"_s) + u",sumi='',ap='',op='',lp='',tp=''"_s);
    }
}

void finish(Database &db)
{
    setReady(db, u"0"_s);
    for (const QChar letter : judgeLetters)
        exec(db, u"update "_s + judgeTable(letter) + u" set hon='X'"_s);
}

} // namespace

QString quoted(Database &db, const QString &text)
{
    const bool ascii =
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (!ascii) {
        db.open();
        // As an old Windows console writes: the CP932 bytes, which no client converts.
        if (db.encoding() == aliases::Encoding::Cp932)
            return u"x'"_s + QString::fromLatin1(codepage::toCp932(text).toHex()) + u'\'';
        // MariaDB's ODBC driver (3.1) takes a UTF-16 unit whose low byte is D8..DB (高, Ø)
        // for the start of a surrogate pair and reads past the end of the statement, which
        // then fails at random. The text goes as UTF-8 bytes, so the statement stays ASCII.
        if (db.overOdbc())
            return u"_utf8mb4 x'"_s + QString::fromLatin1(text.toUtf8().toHex()) + u'\'';
    }
    return sqlLiteral(text);
}

namespace {

// A round as the terminal compares it: the blanks a CHAR column pads it with are no part of
// it ("1 " is round 1).
QString comparableRound(const QString &round)
{
    return Round(round).text();
}

// Race keys a competitor by the bib as the terminal shows it ("7" -> "007").
QString raceBib(const QString &bib)
{
    bool number = false;
    const int value = bib.trimmed().toInt(&number);
    return number ? QString::asprintf("%.3d", value) : bib;
}

QStringList marksOf(const journal::Entry &e)
{
    return {e.flight, e.landing, e.outrun};
}

// What a station's journal says should be in the database for one seat, bib and round: the
// marks last registered, and marks whose outcome the station never learnt (either may be in).
struct Expected
{
    std::optional<journal::Entry> registered;
    std::optional<journal::Entry> unknown;
};

using Key = std::tuple<QString, QString, QString>; // seat, bib, round as compared

QMap<Key, Expected> expected(QList<journal::Entry> entries)
{
    // Several files (a day that crossed midnight, every station of a competition): in time.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto &a, const auto &b) { return a.time < b.time; });
    QMap<Key, Expected> result;
    for (const journal::Entry &e : std::as_const(entries)) {
        Expected &x = result[{e.seat, e.bib, comparableRound(e.round)}];
        switch (e.outcome) {
        case Outcome::Registered:
            x.registered = e;
            x.unknown.reset();
            break;
        case Outcome::Unknown:
        case Outcome::Unverifiable: // a journal line says "unknown" for both
            x.unknown = e;
            break;
        case Outcome::Failed:
        case Outcome::CompetitorChanged:
            // Found out later: those marks never landed. A failed new attempt leaves the marks
            // registered before in place.
            if (x.unknown && marksOf(*x.unknown) == marksOf(e))
                x.unknown.reset();
            break;
        }
    }
    return result;
}

// Every row of a select, by lower-case column name.
QList<QHash<QString, QString>> allRows(Database &db, const QString &statement)
{
    db.open();
    QSqlQuery query(QSqlDatabase::database(db.qtConnectionName(), false));
    query.setForwardOnly(true);
    if (!query.exec(statement))
        throw DbError(query.lastError().text());
    QList<QHash<QString, QString>> rows;
    while (query.next()) {
        const QSqlRecord record = query.record();
        QHash<QString, QString> row;
        for (int i = 0; i < record.count(); ++i)
            row.insert(record.fieldName(i).toLower(), record.value(i).toString());
        rows << row;
    }
    // A row that could not be fetched ends the rows too: it is a failure, not the end.
    if (query.lastError().type() != QSqlError::NoError)
        throw DbError(query.lastError().text());
    return rows;
}

// The marks race holds (a bib and round of a seat) that are none of the keys checked.
void uncoveredInRace(Database &db, const std::set<Key> &checked, Audit &result)
{
    const QList<QHash<QString, QString>> race =
        allRows(db, u"select * from "_s + onServer(db, u"race"_s));
    for (const QChar letter : judgeLetters) {
        const QString seat = letter;
        int marks = 0;
        for (const auto &row : race) {
            for (const QString &round : {u"1"_s, u"2"_s}) {
                bool held = false;
                for (const QChar component : QStringView(u"aol"))
                    held |= !row.value((seat + component + round).toLower()).isEmpty();
                marks += held && !checked.contains({seat, row.value(u"zno"_s), round});
            }
        }
        result.uncoveredMarks += marks;
        if (marks > 0)
            result.uncovered
                << u"seat %1: %2 marks in race that no journal line says were registered, "
                   "not checked"_s.arg(seat)
                       .arg(marks);
    }
}

} // namespace

Audit audit(Database &db, const QList<journal::Entry> &entries)
{
    Audit result;
    std::set<Key> inRace; // seat, race's bib and round of the marks checked
    const auto all = expected(entries);
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        const Expected &x = it.value();
        if (!x.registered && !x.unknown)
            continue;
        const journal::Entry &e = x.unknown ? *x.unknown : *x.registered;
        const QString round = comparableRound(e.round);
        const QString who =
            u"%1 %2 round %3"_s.arg(e.seat, e.bib, round.isEmpty() ? u"\"\""_s : round);
        const QString table = judgeTable(e.seat.at(0));
        const bool raceRound = round == u"1" || round == u"2";
        if (raceRound)
            inRace.insert({e.seat, raceBib(e.bib), round});
        const QHash<QString, QString> judge = firstRow(db, judgeRow(db, e.seat.at(0)));
        QStringList found;
        QString where;
        bool withMark = false;
        if (sameText(judge.value(u"zek"_s), e.bib) &&
            comparableRound(judge.value(u"hon"_s)) == round) {
            found = {judge.value(u"ap"_s), judge.value(u"op"_s), judge.value(u"lp"_s),
                     judge.value(u"tp"_s), judge.value(u"sumi"_s)};
            where = table;
            withMark = true;
        } else if (raceRound) {
            const QHash<QString, QString> race =
                firstRow(db, u"select * from "_s + onServer(db, u"race"_s) + u" where zno="_s +
                                 quoted(db, raceBib(e.bib)));
            if (race.value(u"zno"_s).isEmpty()) {
                result.differences << who + u": no race row"_s;
                ++result.checked;
                continue;
            }
            for (const QChar component : QStringView(u"aol"))
                found << race.value((e.seat + component + round).toLower());
            where = u"race"_s;
        } else {
            result.nowhere << who + u": not on %1 any more, and race keeps no such round, "
                                    "not checked"_s.arg(table);
            continue;
        }
        for (QString &value : found)
            value = withoutTrailingBlanks(value); // CHAR columns pad the marks too
        ++result.checked;
        auto wanted = [withMark](const journal::Entry &w) {
            QStringList marks = marksOf(w);
            if (withMark)
                marks << w.mark << u"T"_s;
            return marks;
        };
        if ((x.registered && found == wanted(*x.registered)) ||
            (x.unknown && found == wanted(*x.unknown)))
            continue;
        if (x.registered)
            result.differences << u"%1: the journal has %2, %3 has %4"_s.arg(
                who, wanted(*x.registered).join(u'/'), where, found.join(u'/'));
        else
            result.differences
                << u"%1: the station never learnt whether %2 landed, %3 has %4"_s.arg(
                       who, wanted(*x.unknown).join(u'/'), where, found.join(u'/'));
    }
    uncoveredInRace(db, inRace, result);
    return result;
}

void create(Database &db)
{
    const QString text = textType(db, 10);
    const QString longText = textType(db, 500);

    execIgnoringFailure(db, u"drop table judgeent"_s);
    exec(db, u"create table judgeent (jikko "_s + text + u')');
    exec(db, u"insert into judgeent (jikko) values ('0')"_s);

    for (const QChar letter : judgeLetters) {
        const QString table = judgeTable(letter);
        execIgnoringFailure(db, u"drop table "_s + table);
        exec(db, u"create table "_s + table + u" (ent "_s + text + u", zek "_s + text +
                     u", hon "_s + text + u", tstno "_s + longText + u", name "_s + longText +
                     u", team "_s + longText + u", sumi "_s + text + u", ap "_s + text +
                     u", op "_s + text + u", lp "_s + text + u", tp "_s + text + u')');
        exec(db, u"insert into "_s + table +
                     u" (ent, zek, hon, tstno, name, team, sumi, ap, op, lp, tp)"
                     u" values ('False', '', '', '', '', '', '', '', '', '', '')"_s);
    }

    QString raceColumns = u"zno "_s + text + u" not null primary key"_s;
    for (const QChar letter : judgeLetters) {
        for (const QChar round : QStringView(u"12")) {
            for (const QChar component : QStringView(u"aol"))
                raceColumns += u", "_s + letter + component + round + u' ' + text;
        }
    }
    execIgnoringFailure(db, u"drop table race"_s);
    exec(db, u"create table race ("_s + raceColumns + u')');

    QStringList markColumns;
    for (const char16_t *who : {u"TD", u"M1", u"M2", u"M3"}) {
        for (const char16_t *component : {u"ap", u"op", u"lp"})
            markColumns.append(QString::fromUtf16(who) + QString::fromUtf16(component));
    }
    execIgnoringFailure(db, u"drop table judgep"_s);
    exec(db,
         u"create table judgep ("_s + markColumns.join(u' ' + text + u", "_s) + u' ' + text + u')');
    exec(db, u"insert into judgep ("_s + markColumns.join(u", "_s) + u") values ("_s +
                 QStringList(markColumns.size(), u"''"_s).join(u", "_s) + u')');
}

void seed(Database &db, int competitors)
{
    static_assert(std::size(startList) == startListSize);
    competitors = std::clamp(competitors, 1, startListSize);
    execIgnoringFailure(db, u"drop table entries"_s);
    const QString longText = textType(db, 500);
    exec(db, u"create table entries (zno varchar(10) not null primary key, name "_s + longText +
                 u", team "_s + longText + u')');
    exec(db, u"delete from race"_s);
    int number = 0;
    for (const Competitor &competitor : std::span(startList, std::size_t(competitors))) {
        const QString bib = u"%1"_s.arg(++number, 3, 10, QChar(u'0'));
        exec(db, u"insert into entries (zno, name, team) values ("_s + quoted(db, bib) + u", "_s +
                     quoted(db, QString::fromUtf16(competitor.name)) + u", "_s +
                     quoted(db, QString::fromUtf16(competitor.team)) + u')');
        exec(db, u"insert into race (zno) values ("_s + quoted(db, bib) + u')');
    }
}

void setReady(Database &db, const QString &jikko)
{
    exec(db, u"update judgeent set jikko="_s + quoted(db, jikko));
}

Step step(Database &db, bool force)
{
    Step result;
    const QHash<QString, QString> first = firstRow(db, judgeRow(db, u'A'));
    result.bib = first.value(u"zek"_s);
    result.round = first.value(u"hon"_s);

    if (result.round == u"X"_s) {
        result.finished = true;
        return result;
    }
    if (result.bib.isEmpty()) {
        result.bib = bibAfter(db, QString());
        if (result.bib.isEmpty())
            throw DbError(u"The start list is empty"_s);
        result.round = u"1"_s;
        setReady(db, u"1"_s);
        putUp(db, result.bib, result.round);
        result.advanced = true;
        return result;
    }

    int seated = 0;
    int registered = 0;
    const bool raceRound = result.round == u"1"_s || result.round == u"2"_s;
    for (const QChar letter : judgeLetters) {
        const QHash<QString, QString> judge = firstRow(db, judgeRow(db, letter));
        const bool isSeated = judge.value(u"ent"_s) == u"True"_s;
        const bool done = judge.value(u"zek"_s) == result.bib && judge.value(u"sumi"_s) == u"T"_s;
        seated += isSeated;
        registered += isSeated && done;
        if (done && raceRound) {
            const QString prefix = letter;
            exec(db, u"update race set "_s + prefix + u'a' + result.round + u'=' +
                         quoted(db, judge.value(u"ap"_s)) + u", "_s + prefix + u'o' + result.round +
                         u'=' + quoted(db, judge.value(u"op"_s)) + u", "_s + prefix + u'l' +
                         result.round + u'=' + quoted(db, judge.value(u"lp"_s)) + u" where zno="_s +
                         quoted(db, result.bib));
            result.copied.append(prefix);
        }
    }
    if (!force && (seated == 0 || registered < seated))
        return result;

    QString next = bibAfter(db, result.bib);
    if (next.isEmpty() && result.round.toInt() < rounds) {
        result.round = QString::number(result.round.toInt() + 1);
        next = bibAfter(db, QString());
    }
    if (next.isEmpty()) {
        finish(db);
        result.round = u"X"_s;
        result.finished = true;
        return result;
    }
    result.bib = next;
    putUp(db, result.bib, result.round);
    result.advanced = true;
    return result;
}

QString state(Database &db)
{
    db.open();
    QSqlQuery query(QSqlDatabase::database(db.qtConnectionName(), false));
    query.setForwardOnly(true);
    QStringList lines;
    auto dump = [&](const QString &table, const QString &statement, bool onlyMarked) {
        if (!query.exec(statement)) {
            lines.append(table + u": "_s + query.lastError().text());
            return;
        }
        while (query.next()) {
            const QSqlRecord record = query.record();
            QStringList values;
            for (int i = 0; i < record.count(); ++i) {
                const QString value = textOf(record.value(i), db.encoding());
                if (i == 0 || !onlyMarked || !value.isEmpty())
                    values.append(record.fieldName(i) + u'=' + value);
            }
            if (!onlyMarked || values.size() > 1)
                lines.append(table + u": "_s + values.join(u' '));
        }
        if (query.lastError().type() != QSqlError::NoError)
            lines.append(table + u": cannot be read: "_s + query.lastError().text());
        query.finish();
    };
    const auto all = [&](const QString &table) -> QString {
        return u"select * from "_s + onServer(db, table);
    };
    dump(u"judgeent"_s, all(u"judgeent"_s), false);
    for (const QChar letter : judgeLetters)
        dump(judgeTable(letter), judgeRow(db, letter), false);
    dump(u"judgep"_s, all(u"judgep"_s), false);
    dump(u"race"_s, all(u"race"_s) + u" order by zno"_s, true);
    dump(u"entries"_s, u"select count(*) as competitors from entries"_s, false);
    return lines.join(u'\n');
}

} // namespace competition
