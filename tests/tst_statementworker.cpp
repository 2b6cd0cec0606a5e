// The statement worker without a competition: its queue's order, its bounds, what a write
// does once its requester gave up, and what a server that stops answering may cost. Work that
// hangs is work that waits until the test lets it go, or a statement on a path that the relay
// stops.
#include "db/dbengine.h"
#include "db/serverconnection.h"
#include "db/statementworker.h"
#include "support/relay.h"
#include "tst_dbbackends.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace Qt::StringLiterals;
using Work = std::function<void(Database &, const StatementWorker::MayCommit &)>;
using support::Route;

namespace {

// A reply as the test keeps it, with what its ticket says.
struct Answer
{
    bool ok = false;
    Failure failure = Failure::Refused;
    QString error;
    bool attempted = true;
    bool unsettled = false;
};

// Work held until the test opens the gate: a statement on a server that does not answer.
class Gate
{
public:
    void wait()
    {
        std::unique_lock lock(m_mutex);
        ++m_waiting;
        m_changed.wait(lock, [this] { return m_open; });
    }
    void open()
    {
        const std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    int waiting()
    {
        const std::lock_guard lock(m_mutex);
        return m_waiting;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    int m_waiting = 0;
};

} // namespace

class TestStatementWorker : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<StatementWorker> m_worker;
    QList<Answer> m_answers;

    // A request on the test's SQLite file; its answer goes into m_answers.
    StatementWorker::Ticket
    ask(Work work, StatementWorker::Priority priority = StatementWorker::Priority::Read,
        StatementWorker *worker = nullptr)
    {
        StatementWorker::Options options;
        options.priority = priority;
        auto ticket = std::make_shared<StatementWorker::Ticket>();
        StatementWorker &asked = worker ? *worker : *m_worker;
        *ticket = asked.run<Done>(
            options,
            [work = std::move(work)](Database &db, const StatementWorker::MayCommit &mayCommit) {
                work(db, mayCommit);
                return Done{};
            },
            Then<Done>(this, [this, ticket](const Reply<Done> &r) {
                m_answers << Answer{r.ok(), r.ok() ? Failure::Refused : r.failure(), r.error(),
                                    ticket->attempted(), bool(ticket->unsettled())};
            }));
        return *ticket;
    }

    static QString value(Database &db)
    {
        Query q(&db);
        q.sql().add(u"select v from t"_s);
        q.open();
        return q.fieldAsString(u"v"_s);
    }

    // The route's server through the relay as the worker's target (the aliases' defaults: the
    // server as the parameters name it), with a bound that a server through it meets.
    StatementWorker::Target throughRelay(Route route, const Relay &relay)
    {
        const aliases::Route server = support::serverRoute(route);
        const QString path = aliases::parseLocation(server.database).path;
        Bounds bounds = m_worker->bounds();
        bounds.statementMs = 1500;
        m_worker->setBounds(bounds);
        return {route == Route::InterBase ? u"Jump"_s : u"JumpLocal"_s,
                {route == Route::InterBase
                     ? u"SERVER NAME=127.0.0.1/%1:%2"_s.arg(relay.port()).arg(path)
                     : u"ODBC DSN=DSN=%2;SERVER=127.0.0.1;PORT=%1"_s.arg(relay.port())
                           .arg(server.database),
                 u"USER NAME="_s + server.userName, u"PASSWORD="_s + server.password}};
    }

private Q_SLOTS:
    void init()
    {
        qputenv("TOLLIVANE_ALIASES", m_dir.filePath(u"aliases.ini"_s).toLocal8Bit());
        QFile aliases(m_dir.filePath(u"aliases.ini"_s));
        QVERIFY(aliases.open(QIODevice::WriteOnly));
        aliases.write("[Scratch]\nDriver=SQLite\nDatabase=scratch.sqlite\n");
        aliases.close();
        m_worker = std::make_unique<StatementWorker>();
        m_worker->setTarget({u"Scratch"_s, {}});
        Bounds bounds;
        bounds.statementMs = 200;
        bounds.backoffMaxMs = 100;
        m_worker->setBounds(bounds);
        m_answers.clear();
        ask([](Database &db, const StatementWorker::MayCommit &) {
            Query q(&db);
            q.sql().add(u"create table if not exists t (v varchar(10))"_s);
            q.execSQL();
            q.sql().clear();
            q.sql().add(u"delete from t"_s);
            q.execSQL();
            q.sql().clear();
            q.sql().add(u"insert into t (v) values ('before')"_s);
            q.execSQL();
        });
        QTRY_COMPARE(m_answers.size(), 1);
        QVERIFY(m_answers.takeFirst().ok);
    }

    void cleanup()
    {
        m_worker.reset();
        QTRY_COMPARE_WITH_TIMEOUT(StatementWorker::abandonedThreads(), 0, 10000);
    }

    // One at a time, writes before the reads that wait; answered in that order.
    void writesGoBeforeWaitingReads()
    {
        Gate gate;
        QStringList order;
        const auto step = [&order](const QString &name) {
            return
                [&order, name](Database &, const StatementWorker::MayCommit &) { order << name; };
        };
        ask([&gate](Database &, const StatementWorker::MayCommit &) { gate.wait(); });
        ask(step(u"read 1"_s));
        ask(step(u"write 1"_s), StatementWorker::Priority::Write);
        ask(step(u"read 2"_s));
        ask(step(u"write 2"_s), StatementWorker::Priority::Write);
        QTRY_COMPARE(gate.waiting(), 1);
        gate.open();
        QTRY_COMPARE(m_answers.size(), 5);
        QCOMPARE(order, (QStringList{u"write 1"_s, u"write 2"_s, u"read 1"_s, u"read 2"_s}));
        QVERIFY(m_worker->idle());
    }

    // The bound passes: the request fails, its worker is left, its late answer is dropped and
    // it runs nothing more; the next request gets a worker of its own.
    void aRequestThatDoesNotAnswerInTimeFails()
    {
        Gate gate;
        std::atomic<bool> ranOn = false;
        ask([&gate, &ranOn](Database &db, const StatementWorker::MayCommit &) {
            gate.wait();
            value(db); // given up meanwhile: raises instead of running
            ranOn = true;
        });
        QTRY_COMPARE(m_answers.size(), 1);
        QCOMPARE(m_answers[0].failure, Failure::TimedOut);
        QVERIFY(m_answers[0].error.contains(u"did not answer"_s));
        QCOMPARE(StatementWorker::abandonedThreads(), 1);
        ask([](Database &db, const StatementWorker::MayCommit &) {
            QCOMPARE(value(db), u"before"_s);
        });
        QTRY_COMPARE(m_answers.size(), 2);
        QVERIFY(m_answers[1].ok);
        gate.open();
        QTRY_COMPARE(StatementWorker::abandonedThreads(), 0);
        QTest::qWait(20);
        QCOMPARE(m_answers.size(), 2); // the late answer was dropped
        QVERIFY(!ranOn);
    }

    // A write that reaches its commit after the requester gave up rolls back; one whose
    // commit had begun when the bound passed is unknown.
    void aWriteCommitsOnlyWhileItsRequesterWaits_data()
    {
        QTest::addColumn<bool>("commitBegun");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("stored");
        QTest::newRow("given up before the commit: never lands")
            << false << int(Failure::TimedOut) << u"before"_s;
        QTest::newRow("the commit on its way: unknown, and it lands")
            << true << int(Failure::UnknownOutcome) << u"after"_s;
    }
    void aWriteCommitsOnlyWhileItsRequesterWaits()
    {
        QFETCH(bool, commitBegun);
        QFETCH(int, failure);
        QFETCH(QString, stored);
        Gate gate;
        ask(
            [&gate, commitBegun](Database &db, const StatementWorker::MayCommit &mayCommit) {
                db.begin();
                Query q(&db);
                q.sql().add(u"update t set v='after'"_s);
                q.execSQL();
                if (commitBegun && !mayCommit()) {
                    db.rollback();
                    return;
                }
                gate.wait();
                if (!commitBegun && !mayCommit()) {
                    db.rollback();
                    return;
                }
                db.commit();
            },
            StatementWorker::Priority::Write);
        QTRY_COMPARE(m_answers.size(), 1);
        QCOMPARE(int(m_answers[0].failure), failure);
        QCOMPARE(m_answers[0].unsettled, commitBegun);
        gate.open();
        QTRY_COMPARE(StatementWorker::abandonedThreads(), 0);
        ask([stored](Database &db, const StatementWorker::MayCommit &) {
            QCOMPARE(value(db), stored);
        });
        QTRY_COMPARE(m_answers.size(), 2);
        QVERIFY(m_answers[1].ok);
    }

    // Two workers left waiting on a target: the next request fails at once, without a
    // worker or a connection of its own; once they are back, requests run again.
    void workersLeftWaitingAreBounded()
    {
        Gate gate;
        for (int i = 0; i < 2; ++i)
            ask([&gate](Database &, const StatementWorker::MayCommit &) { gate.wait(); });
        QTRY_COMPARE(m_answers.size(), 2);
        QCOMPARE(StatementWorker::abandonedThreads(), 2);
        const int threads = StatementWorker::runningThreads();
        bool ran = false;
        ask([&ran](Database &, const StatementWorker::MayCommit &) { ran = true; });
        QTRY_COMPARE(m_answers.size(), 3);
        QCOMPARE(m_answers[2].failure, Failure::Offline);
        QVERIFY(!m_answers[2].attempted);
        QVERIFY(!ran);
        QCOMPARE(StatementWorker::runningThreads(), threads);
        gate.open();
        QTRY_COMPARE(StatementWorker::abandonedThreads(), 0);
        QTest::qWait(m_worker->bounds().backoffMaxMs); // polls wait a moment after failures
        ask([&ran](Database &, const StatementWorker::MayCommit &) { ran = true; });
        QTRY_COMPARE(m_answers.size(), 4);
        QVERIFY(m_answers[3].ok && ran);
    }

    // Given up (the program closes): what waits never runs, and nothing answers.
    void givenUpNothingRuns()
    {
        Gate gate;
        bool ran = false;
        ask([&gate](Database &, const StatementWorker::MayCommit &) { gate.wait(); });
        const StatementWorker::Ticket waiting =
            ask([&ran](Database &, const StatementWorker::MayCommit &) { ran = true; },
                StatementWorker::Priority::Write);
        QTRY_COMPARE(gate.waiting(), 1);
        m_worker->giveUp();
        QVERIFY(StatementWorker::Ticket(waiting).giveUp()); // it can commit no more
        gate.open();
        QTest::qWait(50);
        QVERIFY(!ran);
        QVERIFY(m_answers.size() <= 1);
    }

    // A job whose connection goes and is opened again inside it: the new connection is known
    // as the first one was, so a commit stranded on it is cut within the bound (Firebird) and
    // its read-back waits until the server has ended that connection.
    void aConnectionOpenedAgainInAJobIsKnown_data() { support::serverRows(); }
    void aConnectionOpenedAgainInAJobIsKnown()
    {
        QFETCH(Route, route);
        REQUIRE_ROUTE(route);
        Database direct(u"direct"_s);
        direct.setRoute(support::serverRoute(route));
        dbtest::recreate(direct, u"t"_s, u"v varchar(10)"_s);
        dbtest::exec(direct, u"insert into t (v) values ('before')"_s);
        const bool firebird = route == Route::InterBase;
        Relay relay(firebird ? u"localhost"_s : u"127.0.0.1"_s, firebird ? 3050 : 3306);
        m_worker->setTarget(throughRelay(route, relay));
        m_worker->setBeforeCommitForTests([&relay] { relay.strand(); });
        std::optional<serverconnection::ServerConnection> reopened;
        const StatementWorker::Ticket ticket = ask(
            [&reopened](Database &db, const StatementWorker::MayCommit &mayCommit) {
                db.close();
                value(db); // opens another connection
                reopened = serverconnection::identify(db);
                db.begin();
                dbtest::exec(db, u"update t set v='after'"_s);
                if (mayCommit())
                    db.commit();
            },
            StatementWorker::Priority::Write);
        QTRY_COMPARE_WITH_TIMEOUT(m_answers.size(), 1, 10000);
        const auto unsettled = ticket.unsettled();
        QVERIFY(unsettled && unsettled->connection && reopened);
        QCOMPARE(unsettled->connection->id, reopened->id);
        if (firebird) // the path keeps the connection open for good
            QTRY_COMPARE_WITH_TIMEOUT(StatementWorker::abandonedThreads(), 0, 2000);
        std::atomic<bool> settled = false;
        m_worker->settle<Done>(
            unsettled,
            [&](Database &db, const StatementWorker::MayCommit &) {
                settled = !serverconnection::stillOpen(db, *reopened) && value(db) == u"before"_s;
                return Done{};
            },
            Then<Done>(this, [](const Reply<Done> &) {}));
        QTRY_VERIFY_WITH_TIMEOUT(settled, 10000);
    }

    // Two Firebird opens at once, an attach stalled after its handshake: each worker's call is
    // cut within the bound, in the attach or in its statement, though the path never closes.
    void aHungFirebirdCallIsCutWhereverItHangs_data()
    {
        QTest::addColumn<int>("stalled");
        QTest::newRow("both attaches stalled") << 2;
        QTest::newRow("one attach stalled, the other's statement stranded") << 1;
    }
    void aHungFirebirdCallIsCutWhereverItHangs()
    {
        QFETCH(int, stalled);
        REQUIRE_ROUTE(Route::InterBase);
        Relay relay(u"localhost"_s, 3050);
        StatementWorker second;
        second.setTarget(throughRelay(Route::InterBase, relay));
        second.setBounds(m_worker->bounds());
        m_worker->setTarget(second.target());
        relay.stallAfterFirstAnswer(stalled);
        const Work stranded = [&relay](Database &db, const StatementWorker::MayCommit &) {
            relay.strand();
            value(db);
        };
        ask(stranded);
        ask(stranded, StatementWorker::Priority::Read, &second);
        QTRY_COMPARE_WITH_TIMEOUT(m_answers.size(), 2, 10000);
        QCOMPARE(m_answers[0].failure, Failure::TimedOut);
        QCOMPARE(m_answers[1].failure, Failure::TimedOut);
        QTRY_COMPARE_WITH_TIMEOUT(StatementWorker::abandonedThreads(), 0, 2000);
    }
};

QTEST_GUILESS_MAIN(TestStatementWorker)
#include "tst_statementworker.moc"
