// The competition tables and the simulated console, on every route the terminal meets.
#include "db/dbengine.h"
#include "journal/markjournal.h"
#include "station_account.h"
#include "toolkit/codepage.h"
#include "tools/competition.h"
#include "tst_dbbackends.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;
using support::Route;

namespace {

QString read(Database &db, const QString &table, const QString &column)
{
    Query query(&db);
    query.sql().add(u"select * from "_s + table);
    query.open();
    return query.fieldAsString(column);
}

void exec(Database &db, const QString &statement)
{
    dbtest::exec(db, statement);
}

// A judge's terminal: seat flag and registered marks, as the terminal writes them.
void seat(Database &db, QChar letter)
{
    exec(db, u"update judge"_s + letter + u" set ent='True'"_s);
}

void registerMarks(Database &db, QChar letter, const QString &ap, const QString &op,
                   const QString &lp)
{
    exec(db, u"update judge"_s + letter + u" set ap='"_s + ap + u"',op='"_s + op + u"',\nlp='"_s +
                 lp + u"',tp='x',sumi='T'"_s);
}

// A journal line of judge B, in round 1 unless told: "flight landing outrun mark"; the later
// ones after midnight.
QString line(const QString &bib, const QString &marks, Outcome outcome, int day = 0,
             const QString &round = u"1"_s)
{
    const QStringList m = marks.split(u' ');
    journal::Entry e;
    e.time = QDateTime(QDate(2026, 12, 8 + day), QTime(23, 59, 50).addSecs(day * 20));
    e.seat = u"B"_s;
    e.bib = bib;
    e.round = round;
    e.name = u"Test"_s;
    e.flight = m[0];
    e.landing = m[1];
    e.outrun = m[2];
    e.mark = m[3];
    e.outcome = outcome;
    return journal::line(e);
}

} // namespace

class TstDbCompetition : public QObject
{
    Q_OBJECT

private:
    dbtest::Backends m_backends;

    // jumpdb on the route's database, named on its command line: exit code, what it printed.
    std::pair<int, QString> jumpdb(Route route, const QStringList &args)
    {
        const aliases::Route s = support::serverRoute(route);
        // The file of the tests' SQLite alias, which the connections here reach.
        const QStringList where =
            route == Route::Sqlite
                ? QStringList{u"--sqlite"_s, m_backends.dir() + u"/test.sqlite"_s}
                : QStringList{route == Route::InterBase ? u"--firebird"_s : u"--dsn"_s,
                              s.database,
                              u"--user"_s,
                              s.userName,
                              u"--password"_s,
                              s.password};
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(JUMPDB), args + where);
        process.waitForFinished(30000);
        return {process.exitCode(), QString::fromUtf8(process.readAll())};
    }

    std::unique_ptr<Database> freshCompetition(Route route)
    {
        auto db = m_backends.connection(route);
        competition::create(*db);
        competition::seed(*db);
        return db;
    }

private Q_SLOTS:
    // A station's journal against the tables: bib 001 registered in round 1 and copied into
    // race by the operator, bib 002 registered and still on the judge's table.
    void auditFindsMissingAndDifferentMarks_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("differences");
        for (Route route : {Route::Sqlite, Route::InterBase, Route::Odbc}) {
            const QByteArray name = support::label(route).toUtf8();
            QTest::addRow("%s, all there", name.constData()) << route << QString() << 0;
            QTest::addRow("%s, a mark changed in race", name.constData())
                << route << u"update race set Bo1='3' where zno='001'"_s << 1;
            QTest::addRow("%s, marks missing from the judge's table", name.constData())
                << route << u"update judgeB set ap='', sumi=''"_s << 1;
        }
        QTest::newRow("Firebird, race's bib in a CHAR column")
            << Route::InterBase
            << u"alter table race add zno2 char(10); update race set zno2 = zno; alter table race "
               "drop zno; alter table race alter zno2 to zno"_s
            << 0;
    }
    void auditFindsMissingAndDifferentMarks()
    {
        QFETCH(Route, route);
        QFETCH(QString, change);
        QFETCH(int, differences);
        DBTEST_REQUIRE(m_backends, route);
        auto db = freshCompetition(route);
        seat(*db, u'B');
        competition::step(*db, true); // 001 up
        registerMarks(*db, u'B', u"1.5"_s, u"2"_s, u"0.5"_s);
        competition::step(*db); // copied into race; 002 up
        registerMarks(*db, u'B', u"1"_s, u"1"_s, u"1"_s);
        exec(*db, u"update judgeB set tp='17.0'"_s);
        auto mark = [](const QString &bib, const QString &flight, const QString &landing,
                       const QString &outrun, const QString &total, Outcome outcome) {
            journal::Entry e;
            e.seat = u"B"_s;
            e.bib = bib;
            e.round = u"1"_s;
            e.flight = flight;
            e.landing = landing;
            e.outrun = outrun;
            e.mark = total;
            e.outcome = outcome;
            return e;
        };
        const QList<journal::Entry> journal = {
            mark(u"001"_s, u"3"_s, u"3"_s, u"3"_s, u"11.0"_s, Outcome::Failed),
            mark(u"001"_s, u"1.5"_s, u"2"_s, u"0.5"_s, u"16.0"_s, Outcome::Registered),
            mark(u"002"_s, u"1"_s, u"1"_s, u"1"_s, u"17.0"_s, Outcome::Registered),
            // A failed attempt after a registration leaves the registered marks to check.
            mark(u"002"_s, u"2"_s, u"2"_s, u"2"_s, u"14.0"_s, Outcome::Failed),
        };
        for (const QString &statement : change.split(u"; "_s, Qt::SkipEmptyParts))
            exec(*db, statement);
        const competition::Audit audit = competition::audit(*db, journal);
        QCOMPARE(audit.checked, 2);
        QCOMPARE(audit.uncovered, QStringList()); // race's marks of 001 are the journal's
        QVERIFY2(audit.differences.size() == differences,
                 qPrintable(audit.differences.join(u'\n')));
    }

    // jumpdb audit over the journals of a competition that crossed midnight: 001 was copied
    // into race, 002 is still on judge B's table. Given as files, or as their folder.
    void auditOfSeveralJournals_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        QTest::addColumn<bool>("folder");
        const QString first = line(u"001"_s, u"1.5 2 0.5 16.0"_s, Outcome::Registered);
        const QString second = line(u"002"_s, u"1 1 1 17.0"_s, Outcome::Registered, 1);
        QTest::newRow("two days, all there")
            << QStringList{first} << QStringList{second} << QString() << 0
            << u"2 registered marks checked, 0 missing or different"_s << false;
        QTest::newRow("a mark changed in race")
            << QStringList{first} << QStringList{second}
            << u"update race set Bo1='3' where zno='001'"_s << 1
            << u"B 001 round 1: the journal has 1.5/2/0.5, race has 1.5/3/0.5"_s << false;
        QTest::newRow("the bib as the table stored it: 1 is race's 001")
            << QStringList{line(u"1"_s, u"1.5 2 0.5 16.0"_s, Outcome::Registered)}
            << QStringList{second} << QString() << 0 << u"0 missing or different"_s << false;
        QTest::newRow("a failed attempt after a registration keeps it checked")
            << QStringList{first, line(u"001"_s, u"3 3 3 11.0"_s, Outcome::Failed)}
            << QStringList{second} << u"update race set Ba1='' where zno='001'"_s << 1
            << u"B 001 round 1: the journal has 1.5/2/0.5, race has /2/0.5"_s << false;
        QTest::newRow("an outcome never learnt, landed")
            << QStringList{line(u"001"_s, u"1.5 2 0.5 16.0"_s, Outcome::Unknown)}
            << QStringList{second} << QString() << 0 << u"0 missing or different"_s << false;
        QTest::newRow("an outcome never learnt, not there")
            << QStringList{line(u"001"_s, u"3 3 3 11.0"_s, Outcome::Unknown)} << QStringList{second}
            << QString() << 1
            << u"B 001 round 1: the station never learnt whether 3/3/3 landed, race has "
               "1.5/2/0.5"_s
            << false;
        QTest::newRow("marks told failed, in race after all")
            << QStringList{line(u"001"_s, u"1.5 2 0.5 16.0"_s, Outcome::Failed)}
            << QStringList{second} << QString() << 1
            << u"B 001 round 1: the judge was told 1.5/2/0.5 did not land (failed), race has "
               "them"_s
            << false;
        QTest::newRow("an outcome found out as failed, in race after all")
            << QStringList{line(u"001"_s, u"1.5 2 0.5 16.0"_s, Outcome::Unknown),
                           line(u"001"_s, u"1.5 2 0.5 16.0"_s, Outcome::Failed)}
            << QStringList{second} << QString() << 1
            << u"the judge was told 1.5/2/0.5 did not land (failed), race has them"_s << false;
        QTest::newRow("marks told the competitor changed, on the judge's table after all")
            << QStringList{first}
            << QStringList{line(u"002"_s, u"1 1 1 17.0"_s, Outcome::CompetitorChanged, 1)}
            << QString() << 1
            << u"B 002 round 1: the judge was told 1/1/1 did not land (competitor changed), "
               "judgeB has them"_s
            << false;
        QTest::newRow("a line that is no entry")
            << QStringList{first, u"2026-12-08T23:59:58+09:00,B,0"_s} << QStringList{second}
            << QString() << 2 << u"1 journal lines unreadable"_s << false;
        QTest::newRow("a folder of files named by the date alone, or by host and station")
            << QStringList{first} << QStringList{second} << QString() << 0
            << u"2 registered marks checked, 0 missing or different"_s << true;
        QTest::newRow("an empty journal")
            << QStringList() << QStringList() << QString() << 3
            << u"the journals hold no entry: nothing was checked"_s << true;
        QTest::newRow("marks in race no journal line accounts for")
            << QStringList{second} << QStringList{second} << QString() << 3
            << u"seat B: 1 marks in race that no journal line says were registered"_s << false;
        const QString cleared = u"update race set Ba1=NULL, Bo1=NULL, Bl1=NULL"_s;
        QTest::newRow("round 1 padded by a CHAR column, not in race")
            << QStringList{line(u"001"_s, u"1.5 2 0.5 16.0"_s, Outcome::Registered, 0, u"1 "_s)}
            << QStringList{second} << cleared << 1
            << u"B 001 round 1: the journal has 1.5/2/0.5, race has //"_s << false;
        QTest::newRow("the judge's table pads the round")
            << QStringList{first} << QStringList{second} << u"update judgeB set hon='1 '"_s << 0
            << u"2 registered marks checked, 0 missing or different"_s << false;
        for (const QString &round : {u""_s, u"X"_s}) {
            const QString who = round.isEmpty() ? u"\"\""_s : round;
            QTest::addRow("round '%s' is checked nowhere", qPrintable(round))
                << QStringList{line(u"001"_s, u"1.5 2 0.5 16.0"_s, Outcome::Registered, 0, round)}
                << QStringList{second} << cleared << 3
                << u"B 001 round "_s + who +
                       u": not on judgeB any more, and race keeps no such round, not checked"_s
                << false;
        }
    }
    void auditOfSeveralJournals()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(QString, change);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        QFETCH(bool, folder);
        const QString file = m_backends.dir() + u"/audit.sqlite"_s;
        QFile::remove(file);
        {
            Database db(u"audit"_s);
            db.setRoute({aliases::Driver::Sqlite, file, {}, {}});
            competition::create(db);
            competition::seed(db, 3);
            seat(db, u'B');
            competition::step(db, true); // 001 up
            registerMarks(db, u'B', u"1.5"_s, u"2"_s, u"0.5"_s);
            competition::step(db); // copied into race; 002 up
            registerMarks(db, u'B', u"1"_s, u"1"_s, u"1"_s);
            exec(db, u"update judgeB set tp='17.0'"_s);
            if (!change.isEmpty())
                exec(db, change);
        }
        QStringList args{u"audit"_s, u"--sqlite"_s, file};
        QDir journals(m_backends.dir() + u"/journals"_s);
        QVERIFY(journals.removeRecursively() && journals.mkpath(u"."_s));
        const QStringList names{
            u"2026-12-08.csv"_s,
            QFileInfo(journal::File(journals.path(), u"judge-b"_s).fileFor(QDate(2026, 12, 9)))
                .fileName()};
        for (const auto &[name, lines] :
             {std::pair{names[0], before}, std::pair{names[1], after}}) {
            QFile journal(journals.filePath(name));
            QVERIFY(journal.open(QIODevice::WriteOnly));
            journal.write(
                (journal::columns().join(u',') + u"\r\n"_s + lines.join(u"\r\n"_s) + u"\r\n"_s)
                    .toUtf8());
            if (!folder)
                args << u"--journal"_s << journal.fileName();
        }
        if (folder)
            args << u"--journal"_s << journals.path();
        QProcess jumpdb;
        jumpdb.start(QStringLiteral(JUMPDB), args);
        QVERIFY(jumpdb.waitForFinished(30000));
        const QString output = QString::fromUtf8(jumpdb.readAllStandardOutput());
        QVERIFY2(output.contains(says), qPrintable(output));
        QCOMPARE(jumpdb.exitCode(), exitCode);
    }

    void tablesServeTheTerminal_data() { support::routeRows(); }
    void tablesServeTheTerminal()
    {
        QFETCH(Route, route);
        DBTEST_REQUIRE(m_backends, route);
        auto db = freshCompetition(route);

        QCOMPARE(read(*db, u"judgeent"_s, u"jikko"_s), u"0"_s);
        for (const QChar letter : competition::judgeLetters)
            QCOMPARE(read(*db, u"judge"_s + letter, u"ent"_s), u"False"_s);

        // The columns the point input window binds and reads must all be there.
        Query marks(db.get());
        marks.sql().add(u"select * from judgep"_s);
        Query race(db.get());
        race.sql().add(u"select * from race where zno='030'"_s);
        for (const QChar letter : competition::judgeLetters) {
            for (const QString &component : {u"a"_s, u"o"_s, u"l"_s}) {
                race.addRequiredField(letter + component + u'1');
                race.addRequiredField(letter + component + u'2');
            }
        }
        for (const QString &who : {u"TD"_s, u"M1"_s, u"M2"_s, u"M3"_s}) {
            for (const QString &component : {u"ap"_s, u"op"_s, u"lp"_s})
                marks.addRequiredField(who + component);
        }
        marks.open();
        race.open();
        QCOMPARE(race.fieldAsString(u"zno"_s), u"030"_s);
        QCOMPARE(race.fieldAsString(u"El2"_s), QString());

        Query entries(db.get());
        entries.sql().add(u"select count(*) as n from entries"_s);
        entries.open();
        QCOMPARE(entries.fieldAsInteger(u"n"_s), 30);
    }

    void longNamesFit_data() { support::routeRows(); }
    void longNamesFit()
    {
        QFETCH(Route, route);
        DBTEST_REQUIRE(m_backends, route);
        auto db = m_backends.connection(route);
        competition::create(*db);
        // 高 (U+9AD8) and Ø (U+00D8) end in the byte D8 that MariaDB's ODBC driver misreads.
        const QString name = QString(250, QChar(u'雪')) + QString(250, QChar(u'高'));
        const QString team = u"Ørjan O'Connor Ú"_s;
        // A backslash is a character like any other, on MariaDB too.
        const QString trial = u"x\\' or 1=1 -- "_s;
        exec(*db, u"update judgeB set name="_s + competition::quoted(*db, name) + u",team="_s +
                      competition::quoted(*db, team) + u",tstno="_s +
                      competition::quoted(*db, trial));
        QCOMPARE(read(*db, u"judgeB"_s, u"name"_s), name);
        QCOMPARE(read(*db, u"judgeB"_s, u"team"_s), team);
        QCOMPARE(read(*db, u"judgeB"_s, u"tstno"_s), trial);
    }

    // A competition in a database of CP932 texts, as an old Windows console keeps it: the start
    // list goes in as CP932 bytes, and the tables read back in CP932.
    void competitionInCp932_data() { support::routeRows(); }
    void competitionInCp932()
    {
        QFETCH(Route, route);
        DBTEST_REQUIRE(m_backends, route);
        auto db = m_backends.connection(route, aliases::Encoding::Cp932);
        competition::create(*db);
        competition::seed(*db, 2);
        seat(*db, u'B');
        competition::step(*db); // 001 up: 山川 翔太 of 白馬スキークラブ
        registerMarks(*db, u'B', u"1.5"_s, u"2"_s, u"0.5"_s);
        // Nine bytes in CP932, thirteen in UTF-8.
        Query stored(db.get());
        stored.read(u"select %1 as n from judgeB"_s.arg(
            route == Route::Sqlite ? u"length(cast(name as blob))"_s : u"octet_length(name)"_s));
        QCOMPARE(stored.fieldAsString(u"n"_s), u"9"_s);
        const QString state = competition::state(*db);
        QVERIFY2(state.contains(u"judgeB: ent=True zek=001 hon=1 tstno= name=山川 翔太 "
                                "team=白馬スキークラブ sumi=T"_s,
                                Qt::CaseInsensitive),
                 qPrintable(state));
        journal::Entry e;
        e.seat = u"B"_s;
        e.bib = u"001"_s;
        e.round = u"1"_s;
        e.name = u"山川 翔太"_s;
        e.flight = u"1.5"_s;
        e.landing = u"2"_s;
        e.outrun = u"0.5"_s;
        e.mark = u"x"_s;
        const competition::Audit audit = competition::audit(*db, {e});
        QCOMPARE(audit.checked, 1);
        QCOMPARE(audit.differences, QStringList());
    }

    void firstStepStartsTheRun_data() { support::routeRows(); }
    void firstStepStartsTheRun()
    {
        QFETCH(Route, route);
        DBTEST_REQUIRE(m_backends, route);
        auto db = freshCompetition(route);
        registerMarks(*db, u'D', u"1"_s, u"1"_s, u"1"_s); // left over from a former run

        const competition::Step step = competition::step(*db);
        QVERIFY(step.advanced);
        QCOMPARE(step.bib, u"001"_s);
        QCOMPARE(read(*db, u"judgeent"_s, u"jikko"_s), u"1"_s);
        for (const QChar letter : competition::judgeLetters) {
            const QString table = u"judge"_s + letter;
            QCOMPARE(read(*db, table, u"zek"_s), u"001"_s);
            QCOMPARE(read(*db, table, u"hon"_s), u"1"_s);
            QCOMPARE(read(*db, table, u"name"_s), u"山川 翔太"_s);
            QCOMPARE(read(*db, table, u"team"_s), u"白馬スキークラブ"_s);
            QCOMPARE(read(*db, table, u"sumi"_s), QString());
            QCOMPARE(read(*db, table, u"ap"_s), QString());
            QCOMPARE(read(*db, table, u"ent"_s), u"False"_s); // seats are the judges' business
        }
    }

    void stepWaitsForEverySeatedJudge_data() { support::routeRows(); }
    void stepWaitsForEverySeatedJudge()
    {
        QFETCH(Route, route);
        DBTEST_REQUIRE(m_backends, route);
        auto db = freshCompetition(route);
        competition::step(*db);
        seat(*db, u'A');
        seat(*db, u'C');

        QVERIFY(!competition::step(*db).advanced); // nobody has registered yet

        registerMarks(*db, u'A', u"1.5"_s, u"0.5"_s, u"2"_s);
        competition::Step step = competition::step(*db);
        QCOMPARE(step.copied, QStringList({u"A"_s}));
        QVERIFY(!step.advanced);
        Query race(db.get());
        race.sql().add(u"select * from race where zno='001'"_s);
        race.open();
        QCOMPARE(race.fieldAsString(u"Aa1"_s), u"1.5"_s);
        QCOMPARE(race.fieldAsString(u"Ao1"_s), u"0.5"_s);
        QCOMPARE(race.fieldAsString(u"Al1"_s), u"2"_s);

        registerMarks(*db, u'C', u"0"_s, u"1"_s, u"7"_s);
        step = competition::step(*db);
        QCOMPARE(step.copied, QStringList({u"A"_s, u"C"_s}));
        QVERIFY(step.advanced);
        QCOMPARE(step.bib, u"002"_s);
        race.open();
        QCOMPARE(race.fieldAsString(u"Cl1"_s), u"7"_s);
        QCOMPARE(race.fieldAsString(u"Ba1"_s), QString());
        QCOMPARE(read(*db, u"judgeC"_s, u"sumi"_s), QString());
        QCOMPARE(read(*db, u"judgeC"_s, u"name"_s), u"Aksel Brenna"_s);
    }

    void roundsFollowEachOther()
    {
        auto db = freshCompetition(Route::Sqlite);
        competition::step(*db);
        QVERIFY(!competition::step(*db).advanced); // no judge seated, nobody to wait for
        QCOMPARE(competition::step(*db, true).bib, u"002"_s);

        exec(*db, u"update judgeA set zek='030'"_s);
        competition::Step step = competition::step(*db, true);
        QCOMPARE(step.bib, u"001"_s);
        QCOMPARE(step.round, u"2"_s);
        QCOMPARE(read(*db, u"judgeE"_s, u"hon"_s), u"2"_s);

        exec(*db, u"update judgeA set zek='030'"_s);
        step = competition::step(*db, true);
        QVERIFY(step.finished);
        QCOMPARE(read(*db, u"judgeent"_s, u"jikko"_s), u"0"_s);
        QCOMPARE(read(*db, u"judgeB"_s, u"hon"_s), u"X"_s);
        QVERIFY(competition::step(*db, true).finished);
    }

    // jumpdb check, as a club's volunteer runs it before the first jump: what the station will
    // meet, and 0 only when it can judge; jumpdb state names a table it cannot read.
    void checkSaysWhatTheStationWillMeet_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("says");
        const QString check = u"check"_s;
        QTest::newRow("a fresh competition")
            << Route::Sqlite << check << QStringList() << 0
            << QStringList{u"reached (QSQLITE)"_s,
                           u"tables: judgeent judgep race judgeA judgeB judgeC judgeD judgeE"_s,
                           u"columns of numbers (compared as numbers): none"_s,
                           u"the station shows on judgeA, judgeB, judgeC, judgeD, judgeE: bib "
                           "001, \"1 本目\", \"山川 翔太\", \"白馬スキークラブ\""_s,
                           u"names: read as their bytes say, in UTF-8, the default"_s,
                           u"clock: "_s,
                           u"the station can judge on: the database"_s};
        QTest::newRow("two rows on judgeB")
            << Route::Sqlite << check << QStringList{u"insert into judgeB (ent) values ('False')"_s}
            << 1
            << QStringList{u"The table judgeB holds more than one row"_s,
                           u"the station cannot judge"_s};
        QTest::newRow("no judgeC")
            << Route::Sqlite << check << QStringList{u"drop table judgeC"_s} << 1
            << QStringList{u"The table judgeC is not in the database"_s};
        QTest::newRow("values a CHAR column padded")
            << Route::Sqlite << check << QStringList{u"update judgeA set zek='001  ', hon='1 '"_s}
            << 0
            << QStringList{u"CHAR padding (read without the blanks): judgeA.zek=\"001  \" "
                           "judgeA.hon=\"1 \""_s};
        QTest::newRow("bytes of neither UTF-8 nor CP932")
            << Route::Sqlite << check << QStringList{u"update judgeD set name=x'ff41'"_s} << 1
            << QStringList{
                   u"names: judgeD.name shows \"\uFFFDA\"; its bytes (FF 41) are neither"_s};
        QTest::newRow("UTF-8 names read with Encoding=CP932 by mistake")
            << Route::Sqlite << u"check --encoding CP932"_s << QStringList() << 1
            << QStringList{
                   u"names: judgeA.name shows \"螻ｱ蟾� 鄙泌､ｪ\", but its bytes (E5 B1 B1 "_s,
                   u"are UTF-8, \"山川 翔太\": take Encoding=CP932 out of the alias's "_s};
        QTest::newRow("judgep without TDap")
            << Route::Sqlite << check << QStringList{u"alter table judgep drop column TDap"_s} << 1
            << QStringList{
                   u"columns missing (a poll or registration that needs one fails): judgep: TDap"_s};
        const QStringList numbers{
            u"create table j2 as select * from judgeC"_s, u"drop table judgeC"_s,
            u"create table judgeC (ent varchar(10), zek integer, hon varchar(10), tstno "
            "varchar(10), name varchar(100), team varchar(100), sumi varchar(10), ap real, op "
            "real, lp real, tp real)"_s,
            u"insert into judgeC select * from j2"_s};
        QTest::newRow("numbers in a judge's table")
            << Route::Sqlite << check << numbers << 0
            << QStringList{u"columns of numbers (compared as numbers): judgeC: zek ap op lp tp"_s};
        QTest::newRow("a judge's table the station may not write")
            << Route::Sqlite << check
            << QStringList{u"create trigger nowrite before update on judgeD begin select "
                           "raise(abort, 'judgeD is the console''s'); end"_s}
            << 1 << QStringList{u"judgeD cannot be written: judgeD is the console's"_s};
        QTest::newRow("Firebird, CP932 names in a NONE column")
            << Route::InterBase << check
            << QStringList{u"alter table judgeA drop name"_s,
                           u"alter table judgeA add name varchar(100) character set none"_s,
                           u"update judgeA set name = cast(x'8E52906C' as varchar(4) character "
                           "set octets)"_s}
            << 1
            << QStringList{u"names: judgeA.name shows \"\uFFFDR\uFFFDl\", but its bytes (8E 52 "
                           "90 6C) are CP932, \"山人\": put Encoding=CP932 into the alias's "
                           "section"_s,
                           u"the station cannot judge"_s};
        QTest::newRow("Firebird, CP932 names in a NONE column, Encoding=CP932")
            << Route::InterBase << u"check --encoding CP932"_s
            << QStringList{u"alter table judgeA drop name"_s,
                           u"alter table judgeA add name varchar(100) character set none"_s,
                           u"update judgeA set name = cast(x'8E52906C' as varchar(4) character "
                           "set octets), team = 'JPN', tstno = ''"_s,
                           // the seed's UTF-8 texts elsewhere: ASCII reads the same in both
                           u"update judgeB set name = 'Aksel', team = 'NOR', tstno = ''"_s,
                           u"update judgeC set name = 'Aksel', team = 'NOR', tstno = ''"_s,
                           u"update judgeD set name = 'Aksel', team = 'NOR', tstno = ''"_s,
                           u"update judgeE set name = 'Aksel', team = 'NOR', tstno = ''"_s}
            << 0
            << QStringList{u"names: read as their bytes say, in CP932 (Encoding=CP932)"_s,
                           u"the station can judge"_s};
        QStringList latin1;
        for (const QChar letter : competition::judgeLetters) {
            const QString table = u"judge"_s + letter;
            latin1 << u"update %1 set name='', team='JPN', tstno=''"_s.arg(table)
                   << u"alter table %1 modify name varchar(100) character set latin1"_s.arg(table)
                   << u"update %1 set name=0x8E5290EC20E3C491BE"_s.arg(table);
        }
        QTest::newRow("MariaDB, CP932 names in a latin1 column")
            << Route::Odbc << check << latin1 << 1
            << QStringList{u"names: judgeA.name shows \"Ž"_s,
                           u"but its bytes (8E 52 90 EC 20 E3 C4 91 BE) are CP932, \"山川 "
                           "翔太\": put Encoding=CP932 into the alias's section"_s,
                           u"the station cannot judge"_s};
        QTest::newRow("MariaDB, CP932 names in a latin1 column, Encoding=CP932")
            << Route::Odbc << u"check --encoding CP932"_s << latin1 << 0
            << QStringList{u"the station shows on judgeA, judgeB, judgeC, judgeD, judgeE: bib "
                           "001, \"1 本目\", \"山川 翔太\", \"JPN\""_s,
                           u"names: read as their bytes say, in CP932 (Encoding=CP932)"_s,
                           u"the station can judge"_s};
        const QStringList sjis{
            u"alter table judgeB drop name"_s,
            u"alter table judgeB add name varchar(100) character set sjis_0208"_s,
            u"update judgeB set name = cast(x'FBFC' as varchar(2) character set octets)"_s};
        QTest::newRow("Firebird, 髙 in a SJIS_0208 column")
            << Route::InterBase << check << sjis << 1
            << QStringList{u"judgeB cannot be read: "_s, u"Cannot transliterate"_s};
        QTest::newRow("Firebird, state of a table it cannot read")
            << Route::InterBase << u"state"_s << sjis << 0
            << QStringList{u"judgeC: "_s, u"judgeB: cannot be read: "_s};
        // As the published superusers the check warns and the station judges; a station
        // account made by jumpdb grant (command "... as-station-account") is told as one.
        const QString published = u"warning: connects with the password every copy of the "_s;
        QTest::newRow("Firebird as SYSDBA with the published password")
            << Route::InterBase << check << QStringList() << 0
            << QStringList{u"warning: connects as SYSDBA, the server's superuser"_s, published};
        QTest::newRow("MariaDB as root with the published password")
            << Route::Odbc << check << QStringList() << 0
            << QStringList{u"warning: connects as root, the server's superuser"_s, published};
        const QString station = u"check as-station-account"_s;
        for (const Route route : {Route::InterBase, Route::Odbc}) {
            const QString name = dbtest::stationRoute(route).userName;
            QTest::addRow("%s, a station account", qPrintable(support::label(route)))
                << route << station << QStringList() << 0
                << QStringList{name + u" holds a station's rights only"_s, u"can judge"_s};
        }
        const QString fbName = dbtest::stationRoute(Route::InterBase).userName;
        QTest::newRow("Firebird, a station account that may delete from judgeA")
            << Route::InterBase << station << QStringList{u"grant delete on judgeA to "_s + fbName}
            << 0 << QStringList{fbName + u" holds rights beyond a station's (DELETE on JUDGEA)"_s};
        const QString odbcName = dbtest::stationRoute(Route::Odbc).userName;
        QTest::newRow("MariaDB, a station account that may update judgeB's bib")
            << Route::Odbc << station
            << QStringList{u"grant update (zek) on judgeB to '%1'@'%'"_s.arg(odbcName)} << 0
            << QStringList{odbcName + u" holds rights beyond a station's (UPDATE on judgeB.zek)"_s};
        QTest::newRow("MariaDB, judgea in lower case")
            << Route::Odbc << check
            << QStringList{u"drop table if exists judgea"_s,
                           u"create table judgea as select * from judgeA"_s, u"drop table judgeA"_s}
            << 0 << QStringList{u"letter case of the server: judgeA as judgea"_s};
        QTest::newRow("MariaDB, state of judgea in lower case")
            << Route::Odbc << u"state"_s
            << QStringList{u"drop table if exists judgea"_s,
                           u"create table judgea as select * from judgeA"_s, u"drop table judgeA"_s}
            << 0 << QStringList{u"judgeA: ent=False zek=001"_s};
    }
    void checkSaysWhatTheStationWillMeet()
    {
        QFETCH(Route, route);
        QFETCH(QString, command);
        QFETCH(QStringList, changes);
        QFETCH(int, exitCode);
        QFETCH(QStringList, says);
        DBTEST_REQUIRE(m_backends, route);
        QStringList args = command.split(u' ');
        const bool asStation = args.removeAll(u"as-station-account"_s) > 0;
        const aliases::Route server = support::serverRoute(route);
        const aliases::Route login = asStation ? dbtest::stationRoute(route) : server;
        const QString file = m_backends.dir() + u"/check.sqlite"_s;
        if (route == Route::Sqlite) {
            QFile::remove(file);
            args << u"--sqlite"_s << file;
            Database db(u"check"_s);
            db.setRoute({Route::Sqlite, file, {}, {}});
            competition::create(db);
        } else {
            args << (route == Route::InterBase ? u"--firebird"_s : u"--dsn"_s) << server.database
                 << u"--user"_s << login.userName << u"--password"_s << login.password;
            competition::create(*m_backends.connection(route));
            if (asStation)
                dbtest::makeStationAccount(*m_backends.connection(route), route);
        }
        {
            Database db(u"check"_s);
            db.setRoute(route == Route::Sqlite ? aliases::Route{Route::Sqlite, file, {}, {}}
                                               : server);
            competition::seed(db, 3);
            competition::step(db);
            for (const QString &change : changes)
                exec(db, change);
        }
        QProcess jumpdb;
        jumpdb.start(QStringLiteral(JUMPDB), args);
        QVERIFY(jumpdb.waitForFinished(30000));
        const QString output = QString::fromUtf8(jumpdb.readAllStandardOutput());
        for (const QString &text : says)
            QVERIFY2(output.contains(text), qPrintable(output));
        QCOMPARE(jumpdb.exitCode(), exitCode);
    }

    // A club's tables and marks stay unless the command is told; the refusal says why.
    void commandsKeepACompetition_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<QString>("before"); // tables, marks (on judgeB) or race
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        QTest::addColumn<QString>("sumi"); // judgeB's afterwards
        for (Route route : {Route::Sqlite, Route::InterBase, Route::Odbc}) {
            const QByteArray name = support::label(route).toUtf8();
            QTest::addRow("%s, create over existing tables", name.constData())
                << route << u"marks"_s << u"create"_s << 1
                << u"has the tables judgeent, judgeA, judgeB"_s << u"T"_s;
            QTest::addRow("%s, seed over registered marks", name.constData())
                << route << u"marks"_s << u"seed"_s << 1
                << u"judgeB: marks registered for bib 001 round 1"_s << u"T"_s;
        }
        QTest::newRow("SQLite, create --replace")
            << Route::Sqlite << u"marks"_s << u"create --replace"_s << 0 << QString() << QString();
        QTest::newRow("SQLite, seed on tables without marks")
            << Route::Sqlite << u"tables"_s << u"seed"_s << 0 << u"seeding the SQLite file"_s
            << QString();
        QTest::newRow("SQLite, seed --despite-marks")
            << Route::Sqlite << u"marks"_s << u"seed --despite-marks"_s << 0 << QString()
            << QString();
        QTest::newRow("SQLite, operator over registered marks")
            << Route::Sqlite << u"marks"_s << u"operator"_s << 1 << u"--despite-marks"_s << u"T"_s;
        QTest::newRow("SQLite, seed over marks in race")
            << Route::Sqlite << u"race"_s << u"seed"_s << 1 << u"race: 1 rows holding marks"_s
            << QString();
    }
    void commandsKeepACompetition()
    {
        QFETCH(Route, route);
        QFETCH(QString, before);
        QFETCH(QString, command);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        QFETCH(QString, sumi);
        DBTEST_REQUIRE(m_backends, route);
        for (const QString &step : {u"create --replace"_s, u"seed"_s, u"step"_s})
            QCOMPARE(jumpdb(route, step.split(u' ')).first, 0);
        if (before == u"marks"_s || before == u"race"_s) {
            auto db = m_backends.connection(route);
            seat(*db, u'B');
            registerMarks(*db, u'B', u"1"_s, u"1"_s, u"1"_s);
            if (before == u"race"_s)
                competition::step(*db);
        }
        const auto [code, output] = jumpdb(route, command.split(u' '));
        QVERIFY2(output.contains(says), qPrintable(output));
        QCOMPARE(code, exitCode);
        QCOMPARE(read(*m_backends.connection(route), u"judgeB"_s, u"sumi"_s).trimmed(), sumi);
    }

    // A club's start list, in the database's encoding, as the stations show it.
    void seedsAClubsStartList_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says"); // in the state after a step, or the error
        const QString legacy =
            u"bib,name,team\r\n12,山田 花子,白馬スキークラブ\r\n1,髙橋 ①,長野\r\n"_s;
        QTest::newRow("SQLite, UTF-8, a quoted comma")
            << Route::Sqlite << u"UTF-8"_s
            << QByteArray("\xEF\xBB\xBF"
                          "7,\"Kobayashi, Ryoyu\",Japan\n3,北野 大地,札幌\n")
            << 0 << u"zek=003 hon=1 tstno= name=北野 大地 team=札幌"_s;
        for (Route route : {Route::InterBase, Route::Odbc}) {
            const QByteArray name = support::label(route).toUtf8();
            QTest::addRow("%s, CP932 into a legacy database", name.constData())
                << route << u"CP932"_s << codepage::toCp932(legacy) << 0
                << u"zek=001 hon=1 tstno= name=髙橋 ① team=長野"_s;
        }
        QTest::newRow("Firebird, UTF-8 file into a legacy database")
            << Route::InterBase << u"CP932"_s << legacy.toUtf8() << 2 << u"is not CP932"_s;
        QTest::newRow("SQLite, CP932 file into a UTF-8 database")
            << Route::Sqlite << u"UTF-8"_s << codepage::toCp932(legacy) << 2 << u"is not UTF-8"_s;
        QTest::newRow("SQLite, a bib twice")
            << Route::Sqlite << u"UTF-8"_s << QByteArray("1,A,X\n2,B,Y\n01,C,Z\n") << 2
            << u"line 3: the bib 1 is there twice"_s;
        QTest::newRow("SQLite, a bib that is no number")
            << Route::Sqlite << u"UTF-8"_s << QByteArray("1,A,X\nA2,B,Y\n") << 2
            << u"line 2: the bib \"A2\" is no number"_s;
        QTest::newRow("SQLite, a name without its team")
            << Route::Sqlite << u"UTF-8"_s << QByteArray("1,A\n") << 2 << u"line 1: 2 fields"_s;
    }
    void seedsAClubsStartList()
    {
        QFETCH(Route, route);
        QFETCH(QString, encoding);
        QFETCH(QByteArray, file);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        DBTEST_REQUIRE(m_backends, route);
        const QStringList in = {u"--encoding"_s, encoding};
        const QString list = m_backends.dir() + u"/start.csv"_s;
        QFile csv(list);
        QVERIFY(csv.open(QIODevice::WriteOnly) && csv.write(file) == file.size());
        csv.close();
        for (const QString &step : {u"create --replace"_s, u"seed --competitors 5"_s})
            QCOMPARE(jumpdb(route, step.split(u' ') + in).first, 0);
        const auto [code, output] =
            jumpdb(route, QStringList{u"seed"_s, u"--start-list"_s, list} + in);
        QCOMPARE(code, exitCode);
        QCOMPARE(jumpdb(route, QStringList{u"step"_s} + in).first, 0);
        const QString state = jumpdb(route, QStringList{u"state"_s} + in).second;
        QVERIFY2((code == 0 ? state : output).contains(says, Qt::CaseInsensitive),
                 qPrintable(state + output));
        // Refused: the start list before stays.
        QCOMPARE(state.contains(u"entries: competitors=5"_s, Qt::CaseInsensitive), code != 0);
    }

    void commandLine()
    {
        const QString file = m_backends.dir() + u"/cli.sqlite"_s;
        auto jumpdb = [&](const QStringList &args) {
            QProcess process;
            process.start(QStringLiteral(JUMPDB), args + QStringList({u"--sqlite"_s, file}));
            process.waitForFinished(30000);
            // A Windows console program ends its lines with CR LF.
            return std::pair(process.exitCode(),
                             QString::fromUtf8(process.readAll()).replace(u"\r\n"_s, u"\n"_s));
        };
        QCOMPARE(jumpdb({u"create"_s}).first, 0);
        QCOMPARE(jumpdb({u"seed"_s}).first, 0);
        QCOMPARE(jumpdb({u"step"_s}).second, u"competitor 001 round 1\n"_s);
        QCOMPARE(jumpdb({u"ready"_s, u"0"_s}).first, 0);
        const QString state = jumpdb({u"state"_s}).second;
        QVERIFY2(state.contains(u"judgeent: jikko=0\n"_s), qPrintable(state));
        QVERIFY2(state.contains(u"judgeE: ent=False zek=001 hon=1"_s), qPrintable(state));
        QVERIFY2(state.contains(u"entries: competitors=30"_s), qPrintable(state));

        QProcess bare;
        bare.start(QStringLiteral(JUMPDB), {u"state"_s, u"--alias"_s, u"NoSuchAlias"_s});
        bare.waitForFinished(30000);
        QCOMPARE(bare.exitCode(), 1);
        QVERIFY(bare.readAllStandardError().contains("Unknown alias 'NoSuchAlias'"));
    }
};

QTEST_GUILESS_MAIN(TstDbCompetition)
#include "tst_dbcompetition.moc"
