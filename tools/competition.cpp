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

struct MadeUp
{
    const char16_t *name;
    const char16_t *team;
};

// A start list's bib as the tables hold it: three digits.
QString bibShown(int bib)
{
    return u"%1"_s.arg(bib, 3, 10, QChar(u'0'));
}

// A made-up start list; bibs are the positions, 001 to 030.
const MadeUp startList[] = {
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

QStringList referenceColumns()
{
    QStringList columns;
    for (const char16_t *who : {u"TD", u"M1", u"M2", u"M3"}) {
        for (const char16_t *component : {u"ap", u"op", u"lp"})
            columns.append(QString::fromUtf16(who) + QString::fromUtf16(component));
    }
    return columns;
}

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

// Race keys a competitor by the bib as the terminal shows it ("7" -> "007", "007  " of a CHAR
// column -> "007").
QString raceBib(const QString &bib)
{
    bool number = false;
    const int value = bib.trimmed().toInt(&number);
    return number ? QString::asprintf("%.3d", value) : withoutTrailingBlanks(bib);
}

// What a station's journal says should be in the database for one seat, bib and round: the
// marks last registered, and marks whose outcome the station never learnt (either may be in);
// and the marks the judge was told did not land, which must not be there.
struct Expected
{
    std::optional<journal::Entry> registered;
    std::optional<journal::Entry> unknown;
    QList<journal::Entry> notLanded; // failed, or the competitor had changed
};

using Key = std::tuple<QString, QString, QString>; // seat, bib, round as compared

QStringList deductionsOf(const journal::Entry &e)
{
    return {e.flight, e.landing, e.outrun};
}

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
            if (x.unknown && deductionsOf(*x.unknown) == deductionsOf(e))
                x.unknown.reset();
            x.notLanded << e;
            break;
        }
    }
    return result;
}

// Where a seat's marks of a competitor are now: on the judge's table while it holds the
// competitor (ap, op, lp, tp and sumi), else in race (the seat's columns of the round).
struct Place
{
    enum class Kind
    {
        Table,
        Race,
        NoRaceRow,
        Nowhere // not on the table, and a round race does not keep
    };
    Kind kind = Kind::Nowhere;
    QString name;        // judgeB, race
    QStringList values;  // without the blanks of a CHAR column
    QList<bool> numbers; // of each value: its column holds numbers

    // Whether the place holds the marks (as many as given: the table's sumi may be left out),
    // as numbers where the columns hold numbers.
    bool holds(const QStringList &marks) const
    {
        for (qsizetype i = 0; i < marks.size(); ++i) {
            if (!holdsWritten(values.value(i), marks[i], numbers.value(i)))
                return false;
        }
        return true;
    }
};

// The values of a row's columns, and whether each column holds numbers.
void take(const Query &row, const QStringList &columns, Place &place)
{
    for (const QString &column : columns) {
        place.values << withoutTrailingBlanks(row.fieldAsString(column));
        place.numbers << row.holdsNumbers(column);
    }
}

Place placeOf(Database &db, const journal::Entry &e)
{
    Place place;
    const QString round = comparableRound(e.round);
    Query judge(&db);
    judge.read(judgeRow(db, e.seat.at(0)));
    if (holdsWritten(judge.fieldAsString(u"zek"_s), e.bib, judge.holdsNumbers(u"zek"_s)) &&
        comparableRound(judge.fieldAsString(u"hon"_s)) == round) {
        place.kind = Place::Kind::Table;
        place.name = judgeTable(e.seat.at(0));
        take(judge, {u"ap"_s, u"op"_s, u"lp"_s, u"tp"_s, u"sumi"_s}, place);
        return place;
    }
    if (round != u"1" && round != u"2")
        return place;
    Query race(&db);
    race.read(u"select * from "_s + onServer(db, u"race"_s) + u" where zno="_s +
              quoted(db, raceBib(e.bib)));
    place.name = u"race"_s;
    if (race.rowsSeen() == 0) {
        place.kind = Place::Kind::NoRaceRow;
        return place;
    }
    place.kind = Place::Kind::Race;
    QStringList columns;
    for (const QChar component : QStringView(u"aol"))
        columns << e.seat + component + round;
    take(race, columns, place);
    return place;
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

// The marks race holds (a bib and round of a seat) that are none of the keys accounted for.
void uncoveredInRace(Database &db, const std::set<Key> &accounted, Audit &result)
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
                    held |= !withoutTrailingBlanks(row.value((seat + component + round).toLower()))
                                 .isEmpty();
                marks += held && !accounted.contains({seat, raceBib(row.value(u"zno"_s)), round});
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

// Marks the judge was told did not land but that the place holds: the finding that matters
// most, as the judge did not enter them again.
std::optional<journal::Entry> landedAfterAll(const Expected &x, const Place &place)
{
    for (const journal::Entry &e : x.notLanded) {
        QStringList marks = deductionsOf(e);
        if (place.kind == Place::Kind::Table)
            marks << e.mark;
        if (place.holds(marks))
            return e;
    }
    return std::nullopt;
}

} // namespace

Audit audit(Database &db, const QList<journal::Entry> &entries)
{
    Audit result;
    std::set<Key> inRace; // seat, race's bib and round of the marks accounted for
    const auto all = expected(entries);
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        const Expected &x = it.value();
        const journal::Entry &e = x.unknown      ? *x.unknown
                                  : x.registered ? *x.registered
                                                 : x.notLanded.constFirst();
        const QString round = comparableRound(e.round);
        const QString who =
            u"%1 %2 round %3"_s.arg(e.seat, e.bib, round.isEmpty() ? u"\"\""_s : round);
        const Place place = placeOf(db, e);
        const bool checkable = place.kind == Place::Kind::Table || place.kind == Place::Kind::Race;
        if (!x.registered && !x.unknown) {
            // Only marks the judge was told did not land: they must be nowhere.
            result.checkedNotLanded += checkable;
            const std::optional<journal::Entry> landed =
                checkable ? landedAfterAll(x, place) : std::nullopt;
            if (landed) {
                result.differences
                    << u"%1: the judge was told %2 did not land (%3), %4 has them"_s.arg(
                           who, deductionsOf(*landed).join(u'/'),
                           journal::outcomeText(landed->outcome), place.name);
                if (place.kind == Place::Kind::Race)
                    inRace.insert({e.seat, raceBib(e.bib), round});
            }
            continue;
        }
        if (place.kind != Place::Kind::Nowhere)
            ++result.checked;
        if (place.kind == Place::Kind::Race || place.kind == Place::Kind::NoRaceRow)
            inRace.insert({e.seat, raceBib(e.bib), round});
        if (place.kind == Place::Kind::Nowhere) {
            result.nowhere << u"%1: not on %2 any more, and race keeps no such round, "
                              "not checked"_s.arg(who, judgeTable(e.seat.at(0)));
            continue;
        }
        if (place.kind == Place::Kind::NoRaceRow) {
            result.differences << who + u": no race row"_s;
            continue;
        }
        const bool onTable = place.kind == Place::Kind::Table;
        const auto wanted = [onTable](const journal::Entry &w) {
            QStringList marks = deductionsOf(w);
            if (onTable)
                marks << w.mark << u"T"_s;
            return marks;
        };
        if ((x.registered && place.holds(wanted(*x.registered))) ||
            (x.unknown && place.holds(wanted(*x.unknown))))
            continue;
        const QString found = place.values.join(u'/');
        if (const std::optional<journal::Entry> landed = landedAfterAll(x, place))
            result.differences << u"%1: the judge was told %2 did not land (%3), %4 has them"_s.arg(
                who, deductionsOf(*landed).join(u'/'), journal::outcomeText(landed->outcome),
                place.name);
        else if (x.registered)
            result.differences << u"%1: the journal has %2, %3 has %4"_s.arg(
                who, wanted(*x.registered).join(u'/'), place.name, found);
        else
            result.differences << u"%1: the station never learnt whether %2 landed, %3 has %4"_s
                                      .arg(who, wanted(*x.unknown).join(u'/'), place.name, found);
    }
    uncoveredInRace(db, inRace, result);
    return result;
}

QStringList tables()
{
    QStringList names = {u"judgeent"_s};
    for (const QChar letter : judgeLetters)
        names << judgeTable(letter);
    return names << u"race"_s << u"judgep"_s;
}

QStringList existingTables(Database &db)
{
    QStringList found;
    for (const QString &table : tables()) {
        if (const std::optional<QString> name = db.tableName(table))
            found << *name;
    }
    return found;
}

QStringList registeredMarks(Database &db)
{
    QStringList found;
    for (const QChar letter : judgeLetters) {
        const std::optional<QString> table = db.tableName(judgeTable(letter));
        if (!table)
            continue;
        for (const auto &row : allRows(db, u"select zek, hon, sumi from "_s + *table)) {
            if (withoutTrailingBlanks(row.value(u"sumi"_s)) == u"T"_s)
                found << u"%1: marks registered for bib %2 round %3"_s.arg(
                    *table, withoutTrailingBlanks(row.value(u"zek"_s)),
                    withoutTrailingBlanks(row.value(u"hon"_s)));
        }
    }
    if (const std::optional<QString> race = db.tableName(u"race"_s)) {
        int marked = 0;
        for (const auto &row : allRows(db, u"select * from "_s + *race)) {
            bool marks = false;
            for (auto it = row.cbegin(); it != row.cend(); ++it)
                marks |= it.key() != u"zno"_s && !withoutTrailingBlanks(it.value()).isEmpty();
            marked += marks;
        }
        if (marked > 0)
            found << u"%1: %2 rows holding marks"_s.arg(*race).arg(marked);
    }
    return found;
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

    const QStringList markColumns = referenceColumns();
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
    QList<Competitor> list;
    for (const auto &competitor : std::span(startList, std::size_t(competitors)))
        list.append({bibShown(int(list.size()) + 1), QString::fromUtf16(competitor.name),
                     QString::fromUtf16(competitor.team)});
    seed(db, list);
}

void seed(Database &db, const QList<Competitor> &competitors)
{
    // A new competition on the same tables: nobody up, the run stopped, the seats as they are.
    for (const QChar letter : judgeLetters)
        exec(db,
             u"update "_s + judgeTable(letter) +
                 u" set zek='',hon='',tstno='',name='',team='',sumi='',ap='',op='',lp='',tp=''"_s);
    setReady(db, u"0"_s);
    execIgnoringFailure(db, u"drop table entries"_s);
    const QString longText = textType(db, 500);
    exec(db, u"create table entries (zno varchar(10) not null primary key, name "_s + longText +
                 u", team "_s + longText + u')');
    exec(db, u"delete from race"_s);
    for (const Competitor &competitor : competitors) {
        exec(db, u"insert into entries (zno, name, team) values ("_s + quoted(db, competitor.bib) +
                     u", "_s + quoted(db, competitor.name) + u", "_s + quoted(db, competitor.team) +
                     u')');
        exec(db, u"insert into race (zno) values ("_s + quoted(db, competitor.bib) + u')');
    }
}

namespace {

// The fields of one CSV line, quoted or not; nothing when a quote is left open.
std::optional<QStringList> csvFields(const QString &line)
{
    QStringList fields(1);
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted && c == u'"' && i + 1 < line.size() && line.at(i + 1) == u'"') {
            fields.last() += c;
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (c == u',' && !quoted) {
            fields.append(QString());
        } else {
            fields.last() += c;
        }
    }
    if (quoted)
        return std::nullopt;
    for (QString &field : fields)
        field = field.trimmed();
    return fields;
}

// The file's text, when its bytes are of the encoding given (a spreadsheet's byte order mark
// aside).
std::optional<QString> decoded(QByteArrayView file, aliases::Encoding encoding)
{
    if (file.startsWith("\xEF\xBB\xBF"))
        file = file.sliced(3);
    const codepage::Kind kind = codepage::kindOf(file);
    if (kind == codepage::Kind::Ascii)
        return QString::fromLatin1(file);
    if (encoding == aliases::Encoding::Cp932)
        return kind == codepage::Kind::Cp932 ? std::optional(codepage::fromCp932(file))
                                             : std::nullopt;
    return kind == codepage::Kind::Utf8 ? std::optional(QString::fromUtf8(file)) : std::nullopt;
}

} // namespace

StartList readStartList(QByteArrayView file, aliases::Encoding encoding)
{
    StartList result;
    const std::optional<QString> text = decoded(file, encoding);
    if (!text) {
        result.error = encoding == aliases::Encoding::Cp932
                           ? u"the file is not CP932 (Shift-JIS), as the database's Encoding says"_s
                           : u"the file is not UTF-8: a database of CP932 texts says "
                             "Encoding=CP932 (in its alias, or --encoding CP932)"_s;
        return result;
    }
    std::set<int> bibs;
    const QStringList lines = text->split(u'\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString where = u"line %1: "_s.arg(n + 1);
        const std::optional<QStringList> fields = csvFields(lines[n]);
        if (!fields) {
            result.error = where + u"a quote is not closed"_s;
            return result;
        }
        if (fields->join(QString()).isEmpty())
            continue;
        if (n == 0 && fields->value(0).compare(u"bib"_s, Qt::CaseInsensitive) == 0)
            continue;
        if (fields->size() != 3) {
            result.error = where + u"%1 fields, not bib, name and team"_s.arg(fields->size());
            return result;
        }
        bool number = false;
        const int bib = fields->at(0).toInt(&number);
        if (!number || bib < 1 || bib > 999) {
            result.error =
                where + u"the bib \"%1\" is no number from 1 to 999"_s.arg(fields->at(0));
            return result;
        }
        if (!bibs.insert(bib).second) {
            result.error = where + u"the bib %1 is there twice"_s.arg(bib);
            return result;
        }
        result.competitors.append({bibShown(bib), fields->at(1), fields->at(2)});
    }
    if (result.competitors.isEmpty())
        result.error = u"the file holds no competitor"_s;
    return result;
}

void setReady(Database &db, const QString &jikko)
{
    exec(db, u"update judgeent set jikko="_s + quoted(db, jikko));
}

Step step(Database &db, bool force)
{
    Step result;
    const QHash<QString, QString> first = firstRow(db, judgeRow(db, u'A'));
    // A CHAR column's blanks are no part of them: a blank bib is no competitor yet.
    result.bib = withoutTrailingBlanks(first.value(u"zek"_s));
    result.round = withoutTrailingBlanks(first.value(u"hon"_s));

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
        const bool isSeated = sameText(judge.value(u"ent"_s), u"True"_s);
        const bool done =
            sameText(judge.value(u"zek"_s), result.bib) && sameText(judge.value(u"sumi"_s), u"T"_s);
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
