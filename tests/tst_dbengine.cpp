#include "db/dbengine.h"
#include "db/pollreads.h"
#include "db/serverconnection.h"
#include "db/statements.h"
#include "tst_dbbackends.h"

#include <QRegularExpression>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>

using namespace Qt::StringLiterals;
using support::Route;

namespace {

// A judge's table as a club's console may define it: the short values in CHAR columns, the
// texts in VARCHAR ones; `column` of the type given instead.
QString judgeColumns(const QString &column = {}, const QString &type = {})
{
    QStringList columns;
    for (const auto &[name, declared] : {std::pair{u"ent"_s, u"char(10)"_s},
                                         {u"zek"_s, u"char(5)"_s},
                                         {u"hon"_s, u"char(2)"_s},
                                         {u"sumi"_s, u"char(2)"_s},
                                         {u"ap"_s, u"char(8)"_s},
                                         {u"op"_s, u"char(8)"_s},
                                         {u"lp"_s, u"char(8)"_s},
                                         {u"tp"_s, u"char(8)"_s},
                                         {u"tstno"_s, u"varchar(100)"_s},
                                         {u"name"_s, u"varchar(100)"_s},
                                         {u"team"_s, u"varchar(100)"_s}})
        columns << name + u' ' + (name == column ? type : declared);
    return columns.join(u", "_s);
}

// The other tables a poll reads: the run going, judgep's row and race's row of 001.
void otherTables(Database &db)
{
    dbtest::recreate(db, u"judgeent"_s, u"jikko char(2)"_s);
    dbtest::exec(db, u"insert into judgeent (jikko) values ('1 ')"_s);
    QStringList reference;
    for (const QString &column : statements::referenceColumns())
        reference << column + u" char(8)"_s;
    dbtest::recreate(db, u"judgep"_s, reference.join(u", "_s));
    dbtest::exec(db, u"insert into judgep (TDap) values ('1')"_s);
    dbtest::recreate(db, u"race"_s,
                     u"zno char(5), Aa1 char(8), Ao1 char(8), Al1 char(8), Aa2 char(8), "
                     "Ao2 char(8), Al2 char(8)"_s);
    dbtest::exec(db, u"insert into race (zno, Aa1, Ao1, Al1) values ('001', '1.5', '2', '0.5')"_s);
}

} // namespace

class TestDbEngine : public QObject
{
    Q_OBJECT

private:
    dbtest::Backends m_backends;

private Q_SLOTS:
    void missingColumnRaises_data() { support::routeRows(); }
    void missingColumnRaises()
    {
        QFETCH(Route, route);
        DBTEST_REQUIRE(m_backends, route);
        auto db = m_backends.connection(route);
        dbtest::recreate(*db, u"tvt_fields"_s, u"zek varchar(10), name varchar(500)"_s);
        dbtest::exec(*db, u"insert into tvt_fields (zek, name) values ('007', 'Aksel')"_s);

        Query query(db.get());
        query.sql().add(u"select * from tvt_fields"_s);
        query.open();
        QCOMPARE(query.fieldAsString(u"ZEK"_s), u"007"_s); // names match without case
        try {
            query.fieldAsString(u"team"_s);
            QFAIL("a missing column was read");
        } catch (const DbError &e) {
            QCOMPARE(e.text(), u"Field 'team' not found"_s);
        }

        // A column the reader needs must be there when the query opens.
        query.addRequiredField(u"name"_s);
        query.open();
        QVERIFY(query.active());
        query.addRequiredField(u"TDap"_s);
        try {
            query.open();
            QFAIL("the query opened without the bound column");
        } catch (const DbError &e) {
            QCOMPARE(e.text(), u"Field 'TDap' not found"_s);
        }
        QVERIFY(!query.active());
    }

    void simultaneousClaimsOfOneSeatHaveOneWinner_data() { support::routeRows(); }
    void simultaneousClaimsOfOneSeatHaveOneWinner()
    {
        QFETCH(Route, route);
        DBTEST_REQUIRE(m_backends, route);
        auto db = m_backends.connection(route);
        dbtest::recreate(*db, u"judgeC"_s, u"ent varchar(10), zek varchar(10)"_s);
        dbtest::exec(*db, u"insert into judgeC (ent, zek) values ('False', '')"_s);
        for (int round = 0; round < 20; ++round) {
            dbtest::exec(*db, u"update judgeC set ent='False'"_s);
            QSemaphore arrived;
            QSemaphore both;
            std::atomic<int> wins = 0;
            std::atomic<int> failures = 0;
            // Two stations, each on a connection of its own, claim as soon as both are in. Qt's
            // threads: a Qt object in a thread Qt did not start crashes MinGW's build at the
            // thread's end.
            auto station = [&] {
                auto own = m_backends.connection(route);
                bool opened = false;
                try {
                    own->open();
                    opened = true;
                } catch (const DbError &) {
                    ++failures;
                }
                arrived.release();
                both.acquire();
                try {
                    if (opened)
                        wins += statements::claim(*own, u"C"_s, [] { return true; }) ? 1 : 0;
                } catch (const DbError &) {
                    ++failures;
                }
            };
            std::unique_ptr<QThread> first(QThread::create(station));
            std::unique_ptr<QThread> second(QThread::create(station));
            first->start();
            second->start();
            arrived.acquire(2);
            both.release(2);
            first->wait();
            second->wait();
            QCOMPARE(failures.load(), 0);
            QCOMPARE(wins.load(), 1);
        }
        // A seat that is not exactly 'False' is taken, also where the server ignores case.
        dbtest::exec(*db, u"update judgeC set ent='false'"_s);
        QVERIFY(!statements::claim(*db, u"C"_s, [] { return true; }));
        Query query(db.get());
        query.sql().setText(u"select * from judgeC"_s);
        query.open();
        QCOMPARE(query.fieldAsString(u"ent"_s), u"false"_s);
    }

    // A connection's number may belong to another connection later (a server restarted, a
    // database restored): the server ends a connection only while all its marks are the same.
    void endingAConnectionTakesItsOwnMarks_data() { support::serverRows(); }
    void endingAConnectionTakesItsOwnMarks()
    {
        QFETCH(Route, route);
        DBTEST_REQUIRE(m_backends, route);
        auto victim = m_backends.connection(route);
        auto other = m_backends.connection(route);
        victim->open();
        const std::optional<serverconnection::ServerConnection> id =
            serverconnection::identify(*victim);
        QVERIFY(id && id->id > 0 && !id->marks.isEmpty());
        QVERIFY(serverconnection::stillOpen(*other, *id));
        for (qsizetype mark = 0; mark < id->marks.size(); ++mark) {
            serverconnection::ServerConnection later = *id;
            later.marks[mark] += u"0"_s;
            QVERIFY(!serverconnection::end(*other, later));
        }
        QVERIFY(serverconnection::stillOpen(*other, *id));
        QVERIFY(serverconnection::end(*other, *id));
        QTRY_VERIFY(!serverconnection::stillOpen(*other, *id));
    }

    // Over MariaDB's local socket every connection of a user looks alike ("localhost"), and
    // numbers start again after a restart: a number that now belongs to another connection is
    // never ended, however alike the two look.
    void aNumberTakenOverByAnotherConnectionIsNeverEnded()
    {
        DBTEST_REQUIRE(m_backends, Route::Odbc);
        auto checker = m_backends.connection(Route::Odbc);
        Query where(checker.get());
        where.sql().add(u"select @@socket as path"_s);
        where.open();
        aliases::Route socket = support::serverRoute(Route::Odbc);
        socket.database = u"DSN="_s + socket.database + u";SERVER=localhost;SOCKET="_s +
                          where.fieldAsString(u"path"_s);
        auto connect = [&socket] {
            auto db = std::make_unique<Database>(u"db"_s);
            db->setRoute(socket);
            db->open();
            return db;
        };
        auto station = connect();
        auto console = connect();
        const auto ours = serverconnection::identify(*station);
        const auto theirs = serverconnection::identify(*console);
        QVERIFY(ours && theirs);
        serverconnection::ServerConnection restarted = *ours;
        restarted.id = theirs->id; // our number, as if the server had given it away since
        QVERIFY(!serverconnection::stillOpen(*checker, restarted));
        QVERIFY(!serverconnection::end(*checker, restarted));
        Query alive(console.get());
        alive.sql().add(u"select 1 as one"_s);
        alive.open();
        QCOMPARE(alive.fieldAsString(u"one"_s), u"1"_s);
        QVERIFY(serverconnection::end(*checker, *ours));
        QTRY_VERIFY(!serverconnection::stillOpen(*checker, *ours));
    }

    void missingTableRaisesTheEngineText_data() { support::routeRows(); }
    void missingTableRaisesTheEngineText()
    {
        QFETCH(Route, route);
        DBTEST_REQUIRE(m_backends, route);
        auto db = m_backends.connection(route);
        Query query(db.get());
        query.sql().add(u"select * from tvt_nosuch"_s);
        try {
            query.open();
            QFAIL("a select on a missing table succeeded");
        } catch (const DbError &e) {
            QVERIFY2(e.text().contains(u"tvt_nosuch"_s, Qt::CaseInsensitive), qPrintable(e.text()));
        }
        QVERIFY(!query.active());
    }

    // A row that fails at its fetch is a failure with the engine's text, never an empty row,
    // an empty competitor or a seat that looks taken: 髙 (a CP932 extension) in a SJIS_0208
    // column, which Firebird cannot convert for its UTF8 attachment, or a value computed when
    // it is fetched.
    void aFetchThatFailsIsAFailure_data()
    {
        QTest::addColumn<QString>("column"); // the column that fails
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QString>("says");
        const QString sjis = u"varchar(10) character set sjis_0208"_s;
        const QString transliterate = u"Cannot transliterate"_s;
        QTest::newRow("a query of a name") << u"name"_s << sjis << u"query"_s << transliterate;
        QTest::newRow("the poll, of a bib") << u"zek"_s << sjis << u"poll"_s << transliterate;
        QTest::newRow("the seat claim, of its flag")
            << u"ent"_s
            << u"computed by (cast(1 / (current_transaction - current_transaction) as varchar(10)))"_s
            << u"claim"_s << u"divide by zero"_s;
    }
    void aFetchThatFailsIsAFailure()
    {
        QFETCH(QString, column);
        QFETCH(QString, type);
        QFETCH(QString, reader);
        QFETCH(QString, says);
        REQUIRE_ROUTE(Route::InterBase);
        auto db = m_backends.connection(Route::InterBase);
        dbtest::recreate(*db, u"judgeA"_s, judgeColumns(column, type));
        dbtest::exec(*db, u"insert into judgeA (name, hon) values ('Ito', '1')"_s);
        if (type.contains(u"sjis"_s))
            dbtest::exec(*db, u"update judgeA set "_s + column +
                                  u" = cast(x'FBFC' as varchar(2) character set octets)"_s);
        try {
            if (reader == u"query") {
                Query query(db.get());
                query.read(u"select * from judgeA"_s);
            } else if (reader == u"poll") {
                pollreads::read(*db, u"A"_s, std::nullopt, true);
            } else {
                statements::claim(*db, u"A"_s, [] { return true; });
            }
            QFAIL("the row was read");
        } catch (const DbError &e) {
            QVERIFY2(e.text().contains(says), qPrintable(e.text()));
        }
    }

    // A judge's table of CHAR columns, as the console pads its values ("001  ", "1 ", "X "):
    // the seat is free, the competitor and the registered notice read, the registration
    // lands on the row whatever its padding, the marks are found when read back, and the next
    // poll sees the same competitor.
    void aPaddedRowServesTheStation_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<QString>("hon");
        for (const Route route : {Route::Sqlite, Route::InterBase, Route::Odbc}) {
            for (const QString &hon : {u"1 "_s, u"X "_s})
                QTest::addRow("%s, round '%s'", qPrintable(support::label(route)), qPrintable(hon))
                    << route << hon;
        }
    }
    void aPaddedRowServesTheStation()
    {
        QFETCH(Route, route);
        QFETCH(QString, hon);
        DBTEST_REQUIRE(m_backends, route);
        auto db = m_backends.connection(route);
        otherTables(*db);
        dbtest::recreate(*db, u"judgeA"_s, judgeColumns());
        dbtest::exec(*db, u"insert into judgeA (ent, zek, hon, sumi, ap, op, lp, tp, name) values "
                          "('False     ', '001  ', '"_s +
                              hon +
                              u"', 'T ', '1.5     ', '2       ', '0.5     ', '16.0    ', 'Ito')"_s);
        QVERIFY(statements::claim(*db, u"A"_s, [] { return true; }));

        const gateway::PollResult first = pollreads::read(*db, u"A"_s, std::nullopt, false);
        QCOMPARE(int(first.state), int(gateway::PollResult::State::NewCompetitor));
        QCOMPARE(first.competitor.bibShown, u"001"_s);
        QCOMPARE(first.registeredBefore, hon == u"1 "_s); // race keeps round 1, not X
        QCOMPARE(first.competitor.round.notReady(), hon == u"X "_s);

        // As the journal holds it: without the blanks.
        Competitor competitor;
        competitor.bibAsRead = u"001"_s;
        competitor.bibShown = u"001"_s;
        competitor.round = Round(u"1"_s);
        const Marks marks{u"1"_s, u"1"_s, u"1"_s, u"17.0"_s};
        QCOMPARE(statements::write(
                     *db, u"A"_s,
                     statements::registration(statements::Server(*db), u"A"_s, marks, competitor),
                     [] { return true; }),
                 1);
        QCOMPARE(int(statements::registered(*db, u"A"_s, competitor, marks)),
                 int(Outcome::Registered));
        QCOMPARE(int(pollreads::read(*db, u"A"_s, first.competitor, false).state),
                 int(gateway::PollResult::State::Unchanged));
    }

    void nullAndEmptyResultReadEmpty_data() { support::routeRows(); }
    void nullAndEmptyResultReadEmpty()
    {
        QFETCH(Route, route);
        DBTEST_REQUIRE(m_backends, route);
        auto db = m_backends.connection(route);
        dbtest::recreate(*db, u"tvt_null"_s, u"zek varchar(10), tstno varchar(10)"_s);
        dbtest::exec(*db, u"insert into tvt_null (zek, tstno) values ('001', NULL)"_s);

        Query query(db.get());
        query.sql().add(u"select * from tvt_null"_s);
        query.open();
        QCOMPARE(query.fieldAsString(u"tstno"_s), QString());

        query.sql().clear();
        query.sql().add(u"select * from tvt_null where zek='999'"_s);
        query.open();
        QVERIFY(query.active());
        QCOMPARE(query.fieldAsString(u"zek"_s), QString());
        QVERIFY(query.hasField(u"tstno"_s));
        QVERIFY_THROWS_EXCEPTION(DbError, query.fieldAsString(u"name"_s));
    }

    void fieldAsInteger_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("three-digit bib '007' -> 7") << u"007"_s << true << 7;
        QTest::newRow("leading blank ' 7' -> 7") << u" 7"_s << true << 7;
        QTest::newRow("sign '-12' -> -12") << u"-12"_s << true << -12;
        QTest::newRow("'abc' raises") << u"abc"_s << false << 0;
        QTest::newRow("empty text raises") << QString() << false << 0;
        QTest::newRow("trailing blank '7 ' raises") << u"7 "_s << false << 0;
        QTest::newRow("decimal '1.5' raises") << u"1.5"_s << false << 0;
        QTest::newRow("sign alone '-' raises") << u"-"_s << false << 0;
        QTest::newRow("beyond int '99999999999' raises") << u"99999999999"_s << false << 0;
    }
    void fieldAsInteger()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        auto db = m_backends.connection(Route::Sqlite);
        dbtest::recreate(*db, u"tvt_int"_s, u"zek varchar(20)"_s);
        dbtest::exec(*db, u"insert into tvt_int (zek) values ('"_s + text + u"')"_s);
        Query query(db.get());
        query.sql().add(u"select * from tvt_int"_s);
        query.open();
        if (valid) {
            QCOMPARE(query.fieldAsInteger(u"zek"_s), value);
            return;
        }
        try {
            query.fieldAsInteger(u"zek"_s);
            QFAIL("no failure");
        } catch (const DbError &e) {
            QCOMPARE(e.text(), u"'%1' is not a valid integer value"_s.arg(text));
        }
    }

    // The registration statement is two lines; another station must see it when the call
    // returns, also one that read the table before (no snapshot or lock stays behind).
    void twoLineUpdateIsVisibleAtOnce_data() { support::routeRows(); }
    void twoLineUpdateIsVisibleAtOnce()
    {
        QFETCH(Route, route);
        DBTEST_REQUIRE(m_backends, route);
        auto station = m_backends.connection(route);
        auto console = m_backends.connection(route);
        dbtest::recreate(*station, u"tvt_judge"_s,
                         u"ap varchar(10), op varchar(10), lp varchar(10), tp varchar(10),"
                         " sumi varchar(10)"_s);
        dbtest::exec(*station, u"insert into tvt_judge (ap, op, lp, tp, sumi)"
                               " values ('', '', '', '', '')"_s);

        Query reader(console.get());
        reader.sql().add(u"select * from tvt_judge"_s);
        reader.open();
        QCOMPARE(reader.fieldAsString(u"sumi"_s), QString());

        Query edit(station.get());
        edit.sql().add(u"update tvt_judge set ap='1.5',op='0.5',"_s);
        edit.sql().add(u"lp='2',tp='16.0',sumi='T'"_s);
        QCOMPARE(edit.sql().text(),
                 u"update tvt_judge set ap='1.5',op='0.5',\nlp='2',tp='16.0',sumi='T'"_s);
        edit.execSQL();

        reader.open();
        QCOMPARE(reader.fieldAsString(u"ap"_s), u"1.5"_s);
        QCOMPARE(reader.fieldAsString(u"lp"_s), u"2"_s);
        QCOMPARE(reader.fieldAsString(u"tp"_s), u"16.0"_s);
        QCOMPARE(reader.fieldAsString(u"sumi"_s), u"T"_s);

        // And the other way: the station's write goes through while the console's result is open.
        dbtest::exec(*console, u"update tvt_judge set sumi='F'"_s);
        Query check(station.get());
        check.sql().add(u"select sumi from tvt_judge"_s);
        check.open();
        QCOMPARE(check.fieldAsString(u"sumi"_s), u"F"_s);
    }

    void textRoundTrips_data() { support::routeRows(); }
    void textRoundTrips()
    {
        QFETCH(Route, route);
        DBTEST_REQUIRE(m_backends, route);
        auto db = m_backends.connection(route);
        dbtest::recreate(*db, u"tvt_text"_s, u"name varchar(500), team varchar(500)"_s);
        const QString name = u"山川 翔太"_s;
        const QString team = u"Liam O''Connor"_s; // quote doubled in the literal
        dbtest::exec(*db, u"insert into tvt_text (name, team) values ('"_s + name + u"', '"_s +
                              team + u"')"_s);
        Query query(db.get());
        query.sql().add(u"select * from tvt_text"_s);
        query.open();
        QCOMPARE(query.fieldAsString(u"name"_s), name);
        QCOMPARE(query.fieldAsString(u"team"_s), u"Liam O'Connor"_s);
    }

    void queryOnClosedConnectionOpensIt_data() { support::routeRows(); }
    void queryOnClosedConnectionOpensIt()
    {
        QFETCH(Route, route);
        DBTEST_REQUIRE(m_backends, route);
        auto db = m_backends.connection(route);
        QVERIFY(!db->connected());
        dbtest::recreate(*db, u"tvt_state"_s, u"jikko varchar(10)"_s);
        QVERIFY(db->connected());
        dbtest::exec(*db, u"insert into tvt_state (jikko) values ('1')"_s);

        db->close();
        Query query(db.get());
        query.sql().add(u"select jikko from tvt_state"_s);
        query.open();
        QVERIFY(db->connected());
        QCOMPARE(query.fieldAsString(u"jikko"_s), u"1"_s);
    }

    void changingSqlClosesTheResult_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("clear") << 0;
        QTest::newRow("append a line") << 1;
        QTest::newRow("replace a line") << 2;
        QTest::newRow("set the whole text") << 3;
    }
    void changingSqlClosesTheResult()
    {
        QFETCH(int, change);
        auto db = m_backends.connection(Route::Sqlite);
        dbtest::recreate(*db, u"tvt_sql"_s, u"zek varchar(10)"_s);
        Query query(db.get());
        query.sql().add(u"select * from tvt_sql"_s);
        query.open();
        QSignalSpy changed(&query, &Query::dataChanged);
        switch (change) {
        case 0:
            query.sql().clear();
            break;
        case 1:
            query.sql().add(u"where zek='001'"_s);
            break;
        case 2:
            query.sql().setLine(0, u"select zek from tvt_sql"_s);
            break;
        default:
            query.sql().setText(u"select\nzek from tvt_sql\n"_s);
            QCOMPARE(query.sql().lines(), QStringList({u"select"_s, u"zek from tvt_sql"_s}));
            break;
        }
        QVERIFY(!query.active());
        QCOMPARE(changed.count(), 1);
        QVERIFY_THROWS_EXCEPTION(DbError, query.fieldAsString(u"zek"_s));
    }

    void closeIsHarmlessWhenClosed()
    {
        auto db = m_backends.connection(Route::Sqlite);
        dbtest::recreate(*db, u"tvt_close"_s, u"zek varchar(10)"_s);
        Query first(db.get());
        Query second(db.get());
        first.sql().add(u"select * from tvt_close"_s);
        second.sql().add(u"select zek from tvt_close"_s);
        first.open();
        second.open();

        db->close();
        QVERIFY(!db->connected());
        QVERIFY(!first.active());
        QVERIFY(!second.active());
        db->close();
        first.close();
        first.close();
        QVERIFY(!db->connected());

        // The statement survives: the next open connects again.
        first.open();
        QVERIFY(first.active());
    }

    void queriesOutliveTheirConnection()
    {
        auto db = m_backends.connection(Route::Sqlite);
        Query query(db.get());
        query.sql().add(u"select 1 as one"_s);
        query.open();
        db.reset();
        QVERIFY(!query.active());
        QVERIFY_THROWS_EXCEPTION(DbError, query.open());
    }

    // A failed attempt raises, leaves the connection closed and the next attempt tries again.
    void connectionFailureIsDbError_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<QString>("aliasSection");
        QTest::addColumn<QStringList>("params");
        QTest::newRow("SQLite file in a missing folder")
            << Route::Sqlite << u"Driver=SQLite\nDatabase=/nonexistent/folder/x.sqlite"_s
            << QStringList();
        QTest::newRow("Firebird database that does not exist")
            << Route::InterBase
            << u"Driver=InterBase\nGONE=localhost:/nonexistent/folder/gone.fdb"_s
            << QStringList({u"SERVER NAME=GONE"_s, u"USER NAME=SYSDBA"_s,
                            u"PASSWORD="_s + support::serverRoute(Route::InterBase).password});
        QTest::newRow("ODBC data source that does not exist")
            << Route::Odbc << u"Driver=ODBC\nDSN=TvNoSuchDataSource"_s
            << QStringList({u"USER NAME=root"_s});
    }
    void connectionFailureIsDbError()
    {
        QFETCH(Route, route);
        QFETCH(QString, aliasSection);
        QFETCH(QStringList, params);
        DBTEST_REQUIRE(m_backends, route);
        const QString file = m_backends.dir() + u"/failing.ini"_s;
        QFile ini(file);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write((u"[Failing]\n"_s + aliasSection + u'\n').toUtf8());
        ini.close();
        qputenv("TOLLIVANE_ALIASES", file.toLocal8Bit());
        const auto restore = qScopeGuard(
            [this] { qputenv("TOLLIVANE_ALIASES", m_backends.aliasFile().toLocal8Bit()); });

        Database db(u"db"_s);
        db.setAliasName(u"Failing"_s);
        for (const QString &line : params)
            db.params().add(line);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                db.open();
                QFAIL("the connection opened");
            } catch (const DbError &e) {
                QVERIFY(!e.text().isEmpty());
                if (attempt == 0)
                    qInfo("%s", qPrintable(e.text()));
            }
            QVERIFY(!db.connected());
        }
    }

    // A profile change moves the one connection to another driver and back.
    void profileChangeSwitchesTheDriver()
    {
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        const QString file = m_backends.dir() + u"/switch.ini"_s;
        QFile ini(file);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Lite]\nDriver=SQLite\nDatabase=switch.sqlite\n"
                  "[Remote]\nDriver=ODBC\nDSN=TvNoSuchDataSource\n");
        ini.close();
        qputenv("TOLLIVANE_ALIASES", file.toLocal8Bit());
        const auto restore = qScopeGuard(
            [this] { qputenv("TOLLIVANE_ALIASES", m_backends.aliasFile().toLocal8Bit()); });

        Database db(u"db"_s);
        Query query(&db);
        query.sql().add(u"select 'lite' as route"_s);
        db.setAliasName(u"Lite"_s);
        query.open();
        db.setAliasName(u"Remote"_s);
        QVERIFY(!query.active());
        QVERIFY_THROWS_EXCEPTION(DbError, query.open());
        db.setAliasName(u"Lite"_s);
        query.open();
        QCOMPARE(query.fieldAsString(u"route"_s), u"lite"_s);
    }
};

QTEST_GUILESS_MAIN(TestDbEngine)
#include "tst_dbengine.moc"
