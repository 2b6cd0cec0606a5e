// The station against a server that hangs and against a row lock held by another program:
// the windows answer, the judge is told within the bounds, nothing lands behind the judge's
// back, and the station carries on once the path or the lock is back.
#include "app/mainwindow.h"
#include "controls/cutebutton.h"
#include "db/competitiongateway.h"
#include "db/dbengine.h"
#include "db/profiles.h"
#include "journal/markjournal.h"
#include "pointin/pointinputwindow.h"
#include "pointin/stationtexts.h"
#include "station_account.h"
#include "station_fixture.h"
#include "support/relay.h"
#include "support/resources.h"
#include "toolkit/panel.h"
#include "toolkit/radiogroup.h"
#include "tools/competition.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using profiles::Location;

namespace {

const QString notRegistered =
    u"登録できませんでした。データベースが立ち上がっているか確認して、もう一度確定してください。"_s;

// Short bounds, so that a test waits fractions of a second for what takes seconds at a hill.
Bounds testBounds()
{
    Bounds bounds;
    bounds.statementMs = 500;
    bounds.registrationMs = 900;
    bounds.retryPauseMs = 20;
    bounds.lockWaitMs = 200;
    bounds.backoffMaxMs = 200;
    return bounds;
}

void putUp(const QString &zek)
{
    execute(u"update judgeA set zek='"_s + zek +
            u"', hon='1', tstno='', name='Kobayashi Ryoyu', team='Tsuchiya Home', sumi='', "
            u"ap='', op='', lp='', tp=''"_s);
}

// The row of judge A as the operator's side reads it.
QString judgeRow()
{
    const QString table = u"select * from judgeA"_s;
    return QStringList{readColumn(table, u"zek"_s), readColumn(table, u"ap"_s),
                       readColumn(table, u"op"_s),  readColumn(table, u"lp"_s),
                       readColumn(table, u"tp"_s),  readColumn(table, u"sumi"_s)}
        .join(u' ');
}

// Milliseconds a call takes.
template<class F> qint64 timed(F f)
{
    QElapsedTimer clock;
    clock.start();
    f();
    return clock.elapsed();
}

} // namespace

class TestGateway : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestStation> m_station;
    // The station logs in as a station account made by jumpdb grant (openThrough): in the rows
    // named for one.
    bool m_asStation = false;

    // Judge A seated with the window shown, the run going, bib 007 up, the poll timer stopped.
    bool open(const QString &aliases, Route route)
    {
        m_station = std::make_unique<TestStation>(aliases, routeSettings(route));
        if (!m_station->start())
            return false;
        stationGateway()->setBounds(testBounds());
        competition::create(operatorConnection());
        if (m_asStation) // the tables are new: so are their grants
            stationaccount::make(operatorConnection(), dbtest::stationRoute(route).userName,
                                 dbtest::stationRoute(route).password);
        execute(u"update judgeent set jikko='1'"_s);
        putUp(u"007"_s);
        if (!judgeSeat(u"A"_s))
            return false;
        // Polls come when the test makes them: the timer's own, every 3 s, would land anywhere
        // in a fault the test stages (one after the path came back leaves nothing to poll for).
        named<QTimer>(stationSession(), "recallTimer")->stop();
        return named<QLineEdit>(pointInput(), "Edit1")->text() == u"007"_s;
    }

    // A relay to the route's server, and the station opened through it; the operator's side
    // goes to the server directly.
    static Relay serverRelay(Route route)
    {
        return route == Route::InterBase ? Relay(u"localhost"_s, 3050)
                                         : Relay(u"127.0.0.1"_s, 3306);
    }
    bool openThrough(const Relay &relay, Route route, const QString &moreAliases = QString())
    {
        operatorGoesDirect(true);
        if (!m_asStation)
            return open(relayedAliases(route, relay.port()) + moreAliases, route);
        Database superuser(u"superuser"_s);
        superuser.setRoute(support::serverRoute(route));
        dbtest::makeStationAccount(superuser, route);
        const aliases::Route station = dbtest::stationRoute(route);
        const QString login = u"User=%1\nPassword=%2\n"_s.arg(station.userName, station.password);
        const QString seen = route == Route::InterBase
                                 ? u"select count(*) as n from mon$attachments where mon$user = "
                                   "upper('%1')"_s
                                 : u"select count(*) as n from information_schema.processlist "
                                   "where user = '%1'"_s;
        return open(relayedAliases(route, relay.port()) + login + moreAliases, route) &&
               readColumn(seen.arg(station.userName), u"n"_s) != u"0"_s;
    }

    // Server routes, as the published superuser and as a station account.
    static void accountRows()
    {
        QTest::addColumn<Route>("route");
        for (const QString &login : {QString(), u", a station account"_s}) {
            for (const Route route : {Route::InterBase, Route::Odbc})
                QTest::newRow(qPrintable(support::label(route) + login)) << route;
        }
    }

    // Another station's alias "Other", straight to the server.
    static QString otherStationAlias(Route route)
    {
        if (route == Route::InterBase)
            return u"\n[Other]\nDriver=InterBase\nG:\\Jump.GDB="_s +
                   support::serverRoute(route).database + u"\n"_s;
        return u"\n[Other]\nDriver=ODBC\nDSN="_s + support::serverRoute(route).database + u"\n"_s;
    }

    void choose(int flight, int landing, int outrun)
    {
        QTest::mouseClick(pointInput()->forTests().valueButton(PointInputWindow::Flight, flight),
                          Qt::LeftButton);
        QTest::mouseClick(pointInput()->forTests().valueButton(PointInputWindow::Landing, landing),
                          Qt::LeftButton);
        QTest::mouseClick(pointInput()->forTests().valueButton(PointInputWindow::Outrun, outrun),
                          Qt::LeftButton);
    }

    // 確定 and はい; the time until the outcome is in, and what the window says then.
    qint64 confirm(int flight, int landing, int outrun)
    {
        choose(flight, landing, outrun);
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton10"), Qt::LeftButton);
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton4"), Qt::LeftButton);
        QElapsedTimer clock;
        clock.start();
        if (!pointInput()->forTests().registering())
            return -1;
        settle();
        return clock.elapsed();
    }

    QStringList messages() const { return m_station->texts(); }

    // Whether another program holds judge A's row: an update of it from a connection of the
    // test's own gives up on the lock.
    static bool rowLocked()
    {
        Database probe(u"probe"_s);
        probe.setAliasName(stationGateway()->alias());
        for (const QString &line : stationGateway()->params())
            probe.params().add(line);
        probe.setLockWaitMs(100);
        Query update(&probe);
        update.sql().add(u"update judgeA set tstno=tstno"_s);
        try {
            probe.begin();
            update.execSQL();
        } catch (const DbError &) {
            probe.rollback();
            return true;
        }
        probe.rollback();
        return false;
    }

private Q_SLOTS:
    void init()
    {
        m_asStation = QString::fromUtf8(QTest::currentDataTag()).contains(u"a station account"_s);
    }
    void cleanup()
    {
        m_station.reset();
        // Workers left on a hung path end once it answers again.
        QTRY_COMPARE_WITH_TIMEOUT(CompetitionGateway::runningWorkers(), 0, 15000);
    }

    void windowAnswersWhileTheServerHangs_data() { support::serverRows(); }
    void windowAnswersWhileTheServerHangs()
    {
        QFETCH(Route, route);
        REQUIRE_ROUTE(route);
        Relay relay = serverRelay(route);
        QVERIFY(openThrough(relay, route));
        const QString before = judgeRow();

        relay.hold(); // the path stops: nothing answers, nothing closes
        choose(2, 3, 4);
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton10"), Qt::LeftButton);
        QVERIFY(named<Panel>(pointInput(), "Panel10")->isVisible());
        qint64 slowest = timed([] { pointInput()->forTests().pollTick(); });
        QVERIFY(pointInput()->forTests().pollInFlight());
        // The judge works on while the poll waits.
        slowest = std::max(slowest, timed([] {
                               QTest::mouseClick(pointInput()->forTests().valueButton(
                                                     PointInputWindow::Landing, 5),
                                                 Qt::LeftButton);
                           }));
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Landing), u"2.5"_s);
        QVERIFY(settle());
        QCOMPARE(messages().size(), 1); // the outage, told once
        // The health line says so too, and since when.
        QLabel *health = named<QLabel>(pointInput(), "healthLine");
        QVERIFY2(health->text().contains(u"Offline since "_s), qPrintable(health->text()));
        const QString since = health->text().right(8);
        for (int tick = 0; tick < 2; ++tick) {
            slowest = std::max(slowest, timed([] { pointInput()->forTests().pollTick(); }));
            QVERIFY(settle());
        }
        QCOMPARE(messages().size(), 1);
        QVERIFY(health->text().endsWith(since)); // since the first failure, not the last

        // はい during the hang: the registering notice, then the failure within the bound.
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton10"), Qt::LeftButton);
        const qint64 yes = timed([] {
            QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton4"), Qt::LeftButton);
        });
        slowest = std::max(slowest, yes);
        // An outcome that does not come at once is announced.
        QTRY_VERIFY(named<Panel>(pointInput(), "Panel5")->isVisible());
        QCOMPARE(named<QLabel>(pointInput(), "Label22")->text(), u"登録中です。"_s);
        QVERIFY(!named<Panel>(pointInput(), "Panel10")->isVisible());
        QElapsedTimer outcome;
        outcome.start();
        QVERIFY(settle());
        QVERIFY2(outcome.elapsed() < testBounds().registrationMs + 500,
                 qPrintable(QString::number(outcome.elapsed())));
        QCOMPARE(messages().size(), 2);
        QCOMPARE(messages().last(), notRegistered);
        QVERIFY(!named<Panel>(pointInput(), "Panel5")->isVisible());
        QVERIFY2(slowest < 100, qPrintable(u"a click took %1 ms"_s.arg(slowest)));
        QCOMPARE(judgeRow(), before);

        // The path comes back with what waited in it: nothing of the failed はい lands.
        relay.release();
        QTRY_COMPARE_WITH_TIMEOUT(CompetitionGateway::abandonedWorkers(), 0, 15000);
        QCOMPARE(judgeRow(), before);

        putUp(u"008"_s);
        // The first poll may find the connection that waited gone, or the backoff still on:
        // the next one loads the competitor, without a word to the judge.
        for (int tick = 0; tick < 3 && !health->text().startsWith(u"● 接続中"_s); ++tick) {
            QTest::qWait(testBounds().backoffMaxMs);
            pointInput()->forTests().pollTick();
            QVERIFY(settle());
        }
        QVERIFY2(health->text().startsWith(u"● 接続中 Connected "_s), qPrintable(health->text()));
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"008"_s);
        QVERIFY(confirm(1, 1, 1) >= 0);
        QCOMPARE(named<QLabel>(pointInput(), "Label22")->text(), u"登録しました。"_s);
        QCOMPARE(judgeRow(), u"008 0.5 0.5 0.5 18.5 T"_s);
        QCOMPARE(messages().size(), 2);
    }

    void registrationAgainstARowLock_data() { support::routeRows(); }
    void registrationAgainstARowLock()
    {
        QFETCH(Route, route);
        REQUIRE_ROUTE(route);
        QVERIFY(open(routeAliases(route), route));
        const QString before = judgeRow();

        // Another program holds the judge's row in a transaction it does not end.
        Database holder(u"holder"_s);
        holder.setAliasName(stationGateway()->alias());
        for (const QString &line : stationGateway()->params())
            holder.params().add(line);
        holder.begin();
        Query lock(&holder);
        lock.sql().add(u"update judgeA set tstno=tstno"_s);
        QCOMPARE(lock.execSQL(), 1);

        const int bound = testBounds().registrationMs;
        for (const int value : {2, 4}) {
            const qint64 took = confirm(value, value, value);
            QVERIFY2(took >= 0 && took < bound + 500, qPrintable(QString::number(took)));
            QCOMPARE(messages().last(), notRegistered);
        }
        QCOMPARE(messages().size(), 2);
        holder.rollback();
        // The attempts that waited for the lock end now; none of them lands.
        QTRY_COMPARE_WITH_TIMEOUT(CompetitionGateway::abandonedWorkers(), 0, 15000);
        QCOMPARE(judgeRow(), before);

        QVERIFY(confirm(6, 6, 6) >= 0);
        QCOMPARE(named<QLabel>(pointInput(), "Label22")->text(), u"登録しました。"_s);
        QCOMPARE(judgeRow(), u"007 3 3 3 11.0 T"_s);
        QCOMPARE(messages().size(), 2);
    }

    // A poll still on its way when a tick comes: the tick does nothing.
    void oneRequestOfAKindAtATime()
    {
        QVERIFY(open(sqliteAliases(), Route::Sqlite));
        pointInput()->forTests().pollTick();
        QVERIFY(pointInput()->forTests().pollInFlight());
        QVERIFY(!stationGateway()->idle());
        pointInput()->forTests().pollTick();
        pointInput()->forTests().pollTick();
        QVERIFY(settle());
        // A second 確定 while the first registration waits does nothing either.
        choose(1, 1, 1);
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton10"), Qt::LeftButton);
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton4"), Qt::LeftButton);
        QVERIFY(pointInput()->forTests().registering());
        QTest::keyClick(named<CuteButton>(pointInput(), "CuteButton10"), Qt::Key_Return);
        QVERIFY(settle());
        QVERIFY(!named<Panel>(pointInput(), "Panel10")->isVisible());
        QCOMPARE(stationGateway()->registrationAttempts(), 1);
        QVERIFY(messages().isEmpty());
    }

    // Closing the program never waits for a connection that hangs.
    void closingLeavesAHungConnectionBehind()
    {
        REQUIRE_ROUTE(Route::Odbc);
        Relay relay = serverRelay(Route::Odbc);
        QVERIFY(openThrough(relay, Route::Odbc));
        relay.hold();
        pointInput()->forTests().pollTick();
        QVERIFY(pointInput()->forTests().pollInFlight());
        const qint64 closing = timed([this] { m_station.reset(); });
        QVERIFY2(closing < 1000, qPrintable(QString::number(closing)));
        QVERIFY(CompetitionGateway::runningWorkers() > 0);
        relay.release(); // cleanup waits for the worker to end
    }

    // A path that accepts connections and never answers, for as long as it likes: what the
    // station holds stays the same after the first polls, and it follows the run again within
    // two polls of the path coming back.
    void aLongSilentPathHoldsABoundedAmount_data() { support::serverRows(); }
    void aLongSilentPathHoldsABoundedAmount()
    {
        QFETCH(Route, route);
        REQUIRE_ROUTE(route);
        Relay relay = serverRelay(route);
        QVERIFY(openThrough(relay, route));
        dropOtherConnections(route); // the station's next poll opens a connection anew
        // Polls as the timer makes them: each after the backoff, so each may try the server.
        Bounds bounds = testBounds();
        bounds.statementMs = 200;
        bounds.backoffMaxMs = 50;
        stationGateway()->setBounds(bounds);
        relay.hold();
        auto poll = [] {
            QTest::qWait(50);
            pointInput()->forTests().pollTick();
            return settle();
        };
        for (int tick = 0; tick < 6; ++tick)
            QVERIFY(poll());
        const int threads = support::threadCount();
        const int files = support::openFileCount();
        for (int tick = 0; tick < 30; ++tick)
            QVERIFY(poll());
        QVERIFY2(support::threadCount() <= threads + 2,
                 qPrintable(u"threads %1 -> %2"_s.arg(threads).arg(support::threadCount())));
        QVERIFY2(support::openFileCount() <= files + 2,
                 qPrintable(u"files %1 -> %2"_s.arg(files).arg(support::openFileCount())));
        QVERIFY(CompetitionGateway::abandonedWorkers() <= bounds.abandonedPerTarget);

        // The server works through the connections that waited on the path, so recovery is
        // timed as the poll timer would see it (two of its 3 s), with the station's own bound.
        putUp(u"008"_s);
        relay.release();
        bounds.statementMs = Bounds().statementMs;
        stationGateway()->setBounds(bounds);
        const int twoPolls =
            2 * stationSession()->findChild<QTimer *>(u"recallTimer"_s)->interval();
        QElapsedTimer back;
        back.start();
        while (back.elapsed() < twoPolls &&
               !named<QLineEdit>(pointInput(), "Edit1")->text().endsWith(u'8'))
            QVERIFY(poll());
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"008"_s);
    }

    // The path hangs, then comes back for new connections while the old ones, and those that
    // waited to be taken, stay unanswered and unclosed for good (a server's PC reset behind a
    // switch, a NAT that forgot its flows): within two polls the station follows the run and
    // registers again, and what it holds stays bounded.
    void strandedConnectionsNeverLockAStationOut_data() { accountRows(); }
    void strandedConnectionsNeverLockAStationOut()
    {
        QFETCH(Route, route);
        REQUIRE_ROUTE(route);
        Relay relay = serverRelay(route);
        QVERIFY(openThrough(relay, route));
        const int threads = support::threadCount();
        relay.hold();
        QCOMPARE(confirm(2, 3, 4) >= 0, true);
        QCOMPARE(messages().last(), notRegistered);
        for (int tick = 0; tick < 4; ++tick) {
            QTest::qWait(testBounds().backoffMaxMs);
            pointInput()->forTests().pollTick();
            QVERIFY(settle());
        }
        relay.strand();
        putUp(u"008"_s);
        Bounds bounds = testBounds();
        bounds.statementMs = Bounds().statementMs;
        stationGateway()->setBounds(bounds);
        const int twoPolls =
            2 * stationSession()->findChild<QTimer *>(u"recallTimer"_s)->interval();
        QElapsedTimer back;
        back.start();
        while (back.elapsed() < twoPolls &&
               named<QLineEdit>(pointInput(), "Edit1")->text() != u"008"_s) {
            QTest::qWait(testBounds().backoffMaxMs);
            pointInput()->forTests().pollTick();
            QVERIFY(settle());
        }
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"008"_s);
        QVERIFY(confirm(1, 1, 1) >= 0);
        QCOMPARE(named<QLabel>(pointInput(), "Label22")->text(), u"登録しました。"_s);
        QCOMPARE(judgeRow(), u"008 0.5 0.5 0.5 18.5 T"_s);
        QVERIFY2(support::threadCount() <= threads + bounds.abandonedPerTarget + 2,
                 qPrintable(u"threads %1 -> %2"_s.arg(threads).arg(support::threadCount())));
    }

    // The commit reaches the server and its answer is lost: the window says it is checking,
    // and once the server answers again the row tells what landed.
    void anAnswerLostAfterTheCommitIsFoundOut_data() { accountRows(); }
    void anAnswerLostAfterTheCommitIsFoundOut()
    {
        QFETCH(Route, route);
        REQUIRE_ROUTE(route);
        Relay relay = serverRelay(route);
        QVERIFY(openThrough(relay, route));
        stationGateway()->setBeforeCommitForTests([&relay] { relay.holdAnswers(); });
        QVERIFY(confirm(2, 3, 4) >= 0);
        stationGateway()->setBeforeCommitForTests({});
        QCOMPARE(named<QLabel>(pointInput(), "Label22")->text(), u"登録を確認中です。"_s);
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join(u'\n')));
        QCOMPARE(judgeRow(), u"007 1 1.5 2 15.5 T"_s); // it did land

        relay.release(); // the lost answers arrive, their workers close
        QTRY_COMPARE_WITH_TIMEOUT(CompetitionGateway::abandonedWorkers(), 0, 10000);
        QTest::qWait(testBounds().backoffMaxMs);
        pointInput()->forTests().pollTick();
        QVERIFY(settle());
        QTRY_COMPARE(named<QLabel>(pointInput(), "Label22")->text(), u"登録しました。"_s);
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join(u'\n')));
        QFile file(m_station->journalFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QList<Outcome> recorded;
        for (const journal::Entry &e : journal::readAll(QString::fromUtf8(file.readAll())).entries)
            recorded << e.outcome;
        QCOMPARE(recorded, (QList<Outcome>{Outcome::Unknown, Outcome::Registered}));
    }

    // The answer to a seat claim or to End's release is lost after its commit: once the path
    // is back, the seat flag tells what it can. A "True" that may be another station's is
    // never taken for this one's, and nothing is written again without the judge.
    void aSeatWriteWhoseAnswerIsLostIsFoundOut_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<bool>("claim");    // else End's release
        QTest::addColumn<QString>("fault"); // late: the answer comes after the bound; cut: the
                                            // connection goes with it; stranded: never
        QTest::addColumn<bool>("other");    // another station claims meanwhile
        QTest::addColumn<QString>("told");
        QTest::addColumn<QString>("entAfter");
        const QString claimUnproven = stationtexts::text(stationtexts::Text::ClaimUnproven);
        const QString releaseUnproven =
            stationtexts::text(stationtexts::Text::ReleaseUnproven).arg(u"A"_s);
        for (const Route route : {Route::InterBase, Route::Odbc}) {
            const QByteArray r = support::label(route).toUtf8();
            QTest::addRow("%s: a claim that landed, its answer late", r.data())
                << route << true << u"late"_s << false << claimUnproven << u"True"_s;
            QTest::addRow("%s: a claim that landed, its connection cut", r.data())
                << route << true << u"cut"_s << false << claimUnproven << u"True"_s;
            // Its read-back finds the other's "True", or a free seat just before the other's
            // commit, and then the claim sent again finds it taken.
            QTest::addRow("%s: a claim stranded while another station claims", r.data())
                << route << true << u"stranded"_s << true << claimUnproven << u"True"_s;
            QTest::addRow("%s: a release that landed, its answer late", r.data())
                << route << false << u"late"_s << false << QString() << u"False"_s;
            QTest::addRow("%s: a release that landed, then another station claims", r.data())
                << route << false << u"late"_s << true << releaseUnproven << u"True"_s;
            QTest::addRow("%s, a station account: a claim stranded while another station claims",
                          r.data())
                << route << true << u"stranded"_s << true << claimUnproven << u"True"_s;
            QTest::addRow("%s, a station account: a release that landed, its answer late", r.data())
                << route << false << u"late"_s << false << QString() << u"False"_s;
        }
    }
    void aSeatWriteWhoseAnswerIsLostIsFoundOut()
    {
        QFETCH(Route, route);
        QFETCH(bool, claim);
        QFETCH(QString, fault);
        QFETCH(bool, other);
        QFETCH(QString, told);
        QFETCH(QString, entAfter);
        REQUIRE_ROUTE(route);
        Relay relay = serverRelay(route);
        QVERIFY(openThrough(relay, route, otherStationAlias(route)));
        Bounds bounds = testBounds();
        bounds.registrationMs = 5000; // room for the path to come back within it
        stationGateway()->setBounds(bounds);
        // The other station waits for the row as long as it takes.
        CompetitionGateway otherStation;
        Bounds patient = bounds;
        patient.statementMs = 15000;
        patient.lockWaitMs = 10000;
        otherStation.setBounds(patient);
        otherStation.prepare(u"Other"_s, route == Route::InterBase
                                             ? profiles::interbaseParams(Location::Server)
                                             : profiles::mysqlParams(Location::Local));
        std::optional<Reply<gateway::Claim>> othersClaim;
        const auto otherClaims = [&] {
            otherStation.claimSeat(u"A"_s, Then<gateway::Claim>(this, [&](const auto &reply) {
                                       othersClaim = reply;
                                   }));
        };
        if (claim) {
            pointInput()->forTests().closeWindow();
            execute(u"update judgeA set ent='False'"_s);
        }
        stationGateway()->setBeforeCommitForTests([&] {
            if (fault == u"cut") {
                relay.loseAnswers();
            } else if (fault == u"stranded") {
                // The claim's update holds the row: the other station's waits for it, and gets
                // it once the read-back ends this one's connection.
                QMetaObject::invokeMethod(qApp, otherClaims, Qt::QueuedConnection);
                relay.strand();
            } else {
                relay.holdAnswers();
            }
        });
        if (claim)
            QTest::mouseClick(named<CuteButton>(mainWindow(), "CuteButton1"), Qt::LeftButton);
        else
            QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton3"), Qt::LeftButton);
        if (fault == u"late") {
            // The commit landed; its answer comes once the station gave up waiting for it.
            QTRY_COMPARE(readColumn(u"select * from judgeA"_s, u"ent"_s),
                         claim ? u"True"_s : u"False"_s);
            QTRY_VERIFY(CompetitionGateway::abandonedWorkers() > 0);
            if (other)
                otherClaims();
            QTRY_VERIFY(!other || othersClaim);
            relay.release();
        }
        QTRY_VERIFY_WITH_TIMEOUT(stationSession()->state() != StationSession::Seat::Claiming &&
                                     stationSession()->state() != StationSession::Seat::Releasing,
                                 10000);
        stationGateway()->setBeforeCommitForTests({});
        QTRY_VERIFY_WITH_TIMEOUT(!other || othersClaim, 15000);
        QVERIFY(settle());
        const QStringList toldAs = told.isEmpty() ? QStringList() : QStringList{told};
        QVERIFY2(messages() == toldAs || (claim && other && messages().isEmpty()),
                 qPrintable(messages().join(u'\n')));
        // Never two stations on one seat; a seat that may be held is offered to be freed.
        QCOMPARE(stationSession()->state() == StationSession::Seat::Judging, false);
        QCOMPARE(pointInput()->isVisible(), false);
        QCOMPARE(stationSession()->notice().has_value(), claim);
        if (other)
            QCOMPARE(int(othersClaim->value().result), int(gateway::Claim::Result::Claimed));
        QCOMPARE(readColumn(u"select * from judgeA"_s, u"ent"_s), entAfter);
    }

    // Another program holds the judge's row and ends without letting it go: once its process
    // is gone, the judge's next confirmation lands.
    void aLockHeldByAnotherProgramEndsWithIt_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<int>("bounds");
        const struct
        {
            const char *name;
            int bounds;
        } bounds[] = {{"short bounds", 0},
                      {"the station's bounds", 1},
                      {"each attempt given up on while it waits for the lock", 2}};
        for (const Route route : {Route::InterBase, Route::Odbc}) {
            for (const auto &b : bounds)
                QTest::addRow("%s, %s", qPrintable(support::label(route)), b.name)
                    << route << b.bounds;
        }
    }
    void aLockHeldByAnotherProgramEndsWithIt()
    {
        QFETCH(Route, route);
        QFETCH(int, bounds);
        REQUIRE_ROUTE(route);
        QVERIFY(open(routeAliases(route), route));
        if (bounds == 1) {
            stationGateway()->setBounds({});
            named<QTimer>(stationSession(), "recallTimer")->start(); // polls come between attempts
        } else if (bounds == 2) {
            Bounds waiting = testBounds();
            waiting.lockWaitMs = 5000; // the bound on the lock comes after the statement's
            stationGateway()->setBounds(waiting);
        }
        const aliases::Route server = support::serverRoute(route);
        QProcess holder;
        if (route == Route::InterBase) {
            holder.start(u"isql-fb"_s, {u"-user"_s, server.userName, u"-password"_s,
                                        server.password, server.database});
            holder.write("update judgeA set tstno=tstno;\n");
        } else {
            holder.start(u"isql"_s, {u"-v"_s, server.database, server.userName, server.password});
            holder.write("start transaction\nupdate judgeA set tstno=tstno\n");
        }
        QVERIFY2(holder.waitForStarted(), qPrintable(holder.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(rowLocked(), 10000);
        QLabel *health = named<QLabel>(pointInput(), "healthLine");
        for (const int value : {2, 4}) {
            QVERIFY(confirm(value, value, value) >= 0);
            QCOMPARE(messages().last(), notRegistered);
            // A row another program holds is no outage: the server answered (with the short
            // bounds it may not answer in time, which tells nothing either way).
            QVERIFY2(bounds != 1 || health->text().startsWith(u"● 接続中 Connected "_s),
                     qPrintable(health->text()));
        }
        holder.kill(); // its transaction ends with its process, not with a rollback
        QVERIFY(holder.waitForFinished());
        QTRY_VERIFY_WITH_TIMEOUT(!rowLocked(), 10000);
        // The judge's next confirmation lands, the first one.
        QVERIFY(confirm(6, 6, 6) >= 0);
        QCOMPARE(named<QLabel>(pointInput(), "Label22")->text(), u"登録しました。"_s);
        QCOMPARE(judgeRow(), u"007 3 3 3 11.0 T"_s);
        QVERIFY2(health->text().startsWith(u"● 接続中 Connected "_s), qPrintable(health->text()));
    }

    // The program closes while a seat claim waits on a hung path: the claim never commits.
    void closingGivesUpAClaimThatHasNotCommitted()
    {
        REQUIRE_ROUTE(Route::Odbc);
        Relay relay(u"127.0.0.1"_s, 3306);
        operatorGoesDirect(true);
        m_station = std::make_unique<TestStation>(relayedAliases(Route::Odbc, relay.port()),
                                                  routeSettings(Route::Odbc));
        QVERIFY(m_station->start());
        competition::create(operatorConnection());
        relay.hold();
        named<QRadioButton>(mainWindow(), "RbC")->setChecked(true);
        QTest::mouseClick(named<CuteButton>(mainWindow(), "CuteButton1"), Qt::LeftButton);
        QTest::qWait(50);
        m_station.reset(); // the program closes
        relay.release();
        QTRY_COMPARE_WITH_TIMEOUT(CompetitionGateway::runningWorkers(), 0, 15000);
        Database server(u"server"_s);
        server.setRoute(support::serverRoute(Route::Odbc));
        Query seat(&server);
        seat.sql().add(u"select * from judgeC"_s);
        seat.open();
        QCOMPARE(seat.fieldAsString(u"ent"_s), u"False"_s);
    }

    // The program closes while the marks wait on a hung path: they never land, and the journal
    // says they failed.
    void closingWhileTheMarksWaitRecordsThem()
    {
        REQUIRE_ROUTE(Route::Odbc);
        Relay relay = serverRelay(Route::Odbc);
        QVERIFY(openThrough(relay, Route::Odbc));
        const QString journal = m_station->journalFile();
        relay.hold();
        choose(2, 3, 4);
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton10"), Qt::LeftButton);
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton4"), Qt::LeftButton);
        QVERIFY(pointInput()->forTests().registering());
        m_station->stop(); // the program closes; its folders stay for the test
        QFile file(journal);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<journal::Entry> entries =
            journal::readAll(QString::fromUtf8(file.readAll())).entries;
        relay.release();
        QTRY_COMPARE_WITH_TIMEOUT(CompetitionGateway::runningWorkers(), 0, 15000);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].outcome, Outcome::Failed);
        Database server(u"server"_s);
        server.setRoute(support::serverRoute(Route::Odbc));
        Query row(&server);
        row.sql().add(u"select * from judgeA"_s);
        row.open();
        QCOMPARE(row.fieldAsString(u"sumi"_s), QString());
    }

    // A poll that times out is over for the window: its result, which the worker given up on
    // still writes once its statement returns, is never read (ThreadSanitizer watches).
    void aTimedOutPollIsNeverReadAgain()
    {
        QVERIFY(open(sqliteAliases(), Route::Sqlite));
        // The judge's table answers slowly: its read is the poll's last statement.
        execute(u"alter table judgeA rename to judgeA_rows"_s);
        execute(u"create view judgeA as select j.* from judgeA_rows j, (with recursive n(i) as "
                u"(select 1 union all select i + 1 from n where i < 3000000) "
                u"select count(*) from n) slow"_s);
        Bounds bounds = testBounds();
        bounds.statementMs = 100;
        stationGateway()->setBounds(bounds);
        pointInput()->forTests().pollTick();
        QVERIFY(settle());
        QCOMPARE(messages().size(), 1);
        // The worker given up on ends with its statement: SQLite's count runs to its end (half
        // a second here, far longer under the sanitizers on a busy machine).
        QTRY_COMPARE_WITH_TIMEOUT(CompetitionGateway::abandonedWorkers(), 0, 60000);
        execute(u"drop view judgeA"_s);
        execute(u"alter table judgeA_rows rename to judgeA"_s);
        // The next poll has the usual bound: under ThreadSanitizer 100 ms is not enough for it.
        stationGateway()->setBounds(testBounds());
        putUp(u"008"_s);
        QTest::qWait(bounds.backoffMaxMs);
        pointInput()->forTests().pollTick();
        QVERIFY(settle());
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"008"_s);
    }

    // A judge's table without its one row, or with two: the judge is told once, with the
    // table's name, and marks confirmed then land on no row.
    void aJudgeTableWithoutItsOneRowIsToldOnce_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("kind");
        for (const Route route : {Route::Sqlite, Route::InterBase, Route::Odbc}) {
            const QByteArray name = support::label(route).toUtf8();
            QTest::addRow("%s, no row", name.constData())
                << route << u"delete from judgeA"_s << int(TableFault::Kind::NoRow);
            QTest::addRow("%s, two rows", name.constData())
                << route << u"insert into judgeA (ent, zek, hon) values ('True', '007', '1')"_s
                << int(TableFault::Kind::SeveralRows);
        }
    }
    void aJudgeTableWithoutItsOneRowIsToldOnce()
    {
        QFETCH(Route, route);
        QFETCH(QString, change);
        QFETCH(int, kind);
        REQUIRE_ROUTE(route);
        QVERIFY(open(route == Route::Sqlite ? sqliteAliases() : routeAliases(route), route));
        execute(change);
        for (int tick = 0; tick < 3; ++tick) {
            pointInput()->forTests().pollTick();
            QVERIFY(settle());
        }
        const QString told = stationtexts::tableFault({TableFault::Kind(kind), u"judgeA"_s});
        QCOMPARE(messages(), QStringList{told});
        QVERIFY(confirm(1, 1, 1) >= 0);
        QCOMPARE(readColumn(u"select count(*) as n from judgeA where sumi='T'"_s, u"n"_s), u"0"_s);
    }

    // The marks land only on the bib and the round the window shows.
    void registrationNamesBibAndRound()
    {
        QVERIFY(open(sqliteAliases(), Route::Sqlite));
        CompetitionGateway *gateway = stationGateway();
        execute(u"update judgeA set hon='2'"_s); // 007 opens round 2; no poll saw it yet
        QList<Outcome> outcomes;
        const Marks marks{u"1"_s, u"1"_s, u"1"_s, u"17.0"_s};
        for (const QString &round : {u"1"_s, u"2"_s}) {
            Competitor shown;
            shown.bibAsRead = u"007"_s;
            shown.round = Round(round);
            gateway->registerMarks(
                u"A"_s, shown, marks,
                Then<Outcome>(this, [&](const auto &reply) { outcomes << reply.value(); }));
        }
        QVERIFY(settle());
        QCOMPARE(outcomes, (QList<Outcome>{Outcome::CompetitorChanged, Outcome::Registered}));
        QCOMPARE(judgeRow(), u"007 1 1 1 17.0 T"_s);
    }
};

QTEST_MAIN(TestGateway)
#include "tst_gateway.moc"
