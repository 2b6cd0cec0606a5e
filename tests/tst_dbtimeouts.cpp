// How long a failed connection attempt holds the station, on both server routes: with the
// server down (nothing listens) and with a port that drops every connection request, as a host
// behind a dead link does. Nothing leaves the machine, and no privilege is needed.
#include "db/dbengine.h"
#include "db/reachable.h"
#include "support/relay.h"
#include "support/routes.h"
#include "support/sockets.h"
#include "tst_dbbackends.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <future>
#include <memory>

#ifdef Q_OS_WIN
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

using support::Listener;
using support::Route;

} // namespace

class TstDbTimeouts : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_targets = 0;

    // A connection to the host and port on the route, through an alias file of the test's own;
    // ODBC without a data source file (a Windows program under Wine could not be given one
    // after its start), the driver and the server named in the connection text.
    std::unique_ptr<Database> connectionTo(Route route, const QString &host, quint16 port)
    {
        ++m_targets;
        const QString aliasFile = m_dir.filePath(u"aliases%1.ini"_s.arg(m_targets));
        QFile aliasesOut(aliasFile);
        aliasesOut.open(QIODevice::WriteOnly);
        aliasesOut.write(u"[Target]\nDriver=%1\nTARGET=%2/%3:/var/lib/firebird/3.0/data/x.fdb\n"
                         "DSN=DRIVER={MariaDB Unicode};SERVER=%2;PORT=%3;DATABASE=Jump\n"_s
                             .arg(route == Route::InterBase ? u"InterBase"_s : u"ODBC"_s, host,
                                  QString::number(port))
                             .toUtf8());
        aliasesOut.close();
        qputenv("TOLLIVANE_ALIASES", aliasFile.toLocal8Bit());

        auto db = std::make_unique<Database>(u"db"_s);
        db->setAliasName(u"Target"_s);
        db->params().add(u"SERVER NAME=TARGET"_s);
        db->params().add(u"USER NAME=root"_s);
        db->params().add(u"PASSWORD=rusko"_s);
        return db;
    }

    // Milliseconds until the open failed; -1 (after a failure of the test) if it opened.
    static qint64 failingOpen(Database &db, QString *text)
    {
        QElapsedTimer clock;
        clock.start();
        try {
            db.open();
        } catch (const DbError &e) {
            *text = e.text();
            return clock.elapsed();
        }
        return -1;
    }

    static QString missingDriver(Route route)
    {
        if (route == Route::InterBase)
            return QSqlDatabase::isDriverAvailable(u"QIBASE"_s)
                       ? QString()
                       : u"Qt's QIBASE driver is missing"_s;
        if (!QSqlDatabase::isDriverAvailable(u"QODBC"_s))
            return u"Qt's QODBC driver is missing"_s;
        QFile odbcinst(u"/etc/odbcinst.ini"_s);
        if (!odbcinst.open(QIODevice::ReadOnly) ||
            !odbcinst.readAll().contains("[MariaDB Unicode]"))
            return u"the MariaDB ODBC driver is not registered; run scripts/servers.sh install"_s;
        return QString();
    }

private Q_SLOTS:
    void serverDown_data()
    {
        QTest::addColumn<Route>("route");
        QTest::newRow("Firebird route, nothing listens") << Route::InterBase;
        QTest::newRow("ODBC route, nothing listens") << Route::Odbc;
    }
    void serverDown()
    {
        QFETCH(Route, route);
        SKIP_WITHOUT_CLIENT(route);
        const QString missing = missingDriver(route);
        if (!missing.isEmpty()) {
            SKIP_OR_FAIL(missing);
        }
        auto db = connectionTo(route, u"127.0.0.1"_s, support::closedPort());
        QString text;
        const qint64 ms = failingOpen(*db, &text);
        QVERIFY2(ms >= 0, "the connection opened");
        qInfo("%s: DbError after %lld ms: %s", QTest::currentDataTag(), ms, qPrintable(text));
        QVERIFY(!text.isEmpty());
        QVERIFY2(ms < 1000, qPrintable(u"took %1 ms"_s.arg(ms)));
    }

    void numericAddress_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("listening");
        QTest::newRow("127.0.0.1, listening") << u"127.0.0.1"_s << true;
        QTest::newRow("::1, listening") << u"::1"_s << true;
        QTest::newRow("127.0.0.1, nothing listens") << u"127.0.0.1"_s << false;
    }
    void numericAddress()
    {
        QFETCH(QString, host);
        QFETCH(bool, listening);
        Listener server(host);
        if (server.port() == 0) {
            if (host.contains(u':'))
                QSKIP("no IPv6 loopback on this machine");
            QFAIL(qPrintable(server.error()));
        }
        const quint16 port = server.port();
        if (!listening)
            server.close();
        const QString why = reachable::tcpConnect(host, port, Database::reachabilityTimeoutMs);
        QVERIFY2(why.isEmpty() == listening, qPrintable(why));
    }

    // A name service that does not answer holds the check no longer than its timeout.
    void silentNameService()
    {
        std::promise<void> answer;
        auto ended = std::make_shared<std::promise<void>>();
        auto lookupEnded = ended->get_future();
        reachable::setLookup([asked = answer.get_future().share(),
                              ended](const std::string &, const std::string &service,
                                     const addrinfo &hints, addrinfo **result) {
            asked.wait();
            const int status = ::getaddrinfo("127.0.0.1", service.c_str(), &hints, result);
            ended->set_value();
            return status;
        });
        QElapsedTimer clock;
        clock.start();
        const QString why = reachable::tcpConnect(u"jumpdb.invalid"_s, 3050, 200);
        const qint64 ms = clock.elapsed();
        reachable::setLookup({});
        answer.set_value();
        QVERIFY2(ms >= 150 && ms < 1000, qPrintable(u"took %1 ms"_s.arg(ms)));
        QCOMPARE(why, u"Host name lookup timed out"_s);
        // The late answer still ends the lookup; its own thread frees the addresses.
        QCOMPARE(lookupEnded.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    }

    // A name service that does not answer holds one lookup per host, however often the
    // station asks; once it answers, the next attempt asks it afresh.
    void oneLookupPerHostAtATime()
    {
        std::promise<void> answer;
        auto asked = std::make_shared<std::atomic<int>>(0);
        reachable::setLookup([held = answer.get_future().share(),
                              asked](const std::string &, const std::string &service,
                                     const addrinfo &hints, addrinfo **result) {
            ++*asked;
            held.wait();
            return ::getaddrinfo("127.0.0.1", service.c_str(), &hints, result);
        });
        for (int attempt = 0; attempt < 4; ++attempt)
            QCOMPARE(reachable::tcpConnect(u"scoring-server"_s, 3050, 50),
                     u"Host name lookup timed out"_s);
        reachable::tcpConnect(u"other-server"_s, 3050, 50);
        QCOMPARE(asked->load(), 2);
        answer.set_value();
        QTRY_VERIFY(reachable::tcpConnect(u"scoring-server"_s, 3050, 50) !=
                    u"Host name lookup timed out"_s);
        const int answered = asked->load();
        reachable::tcpConnect(u"scoring-server"_s, 3050, 50);
        reachable::setLookup({});
        QCOMPARE(asked->load(), answered + 1);
    }

    // A name with an address that drops every packet before one that answers (a broken IPv6
    // route before a good IPv4 one): the good one is reached within the bound.
    void everyAddressIsTriedWithinTheBound()
    {
        const Listener dropping(u"127.0.0.1"_s, Listener::Queue::Full);
        QVERIFY2(dropping.port() != 0, qPrintable(dropping.error()));
        const Listener listening(u"127.0.0.1"_s);
        QVERIFY2(listening.port() != 0, qPrintable(listening.error()));
        const std::string good = std::to_string(listening.port());
        const std::string dropped = std::to_string(dropping.port());
        reachable::setLookup([good, dropped](const std::string &, const std::string &,
                                             const addrinfo &hints, addrinfo **result) {
            addrinfo *first = nullptr;
            addrinfo *second = nullptr;
            if (::getaddrinfo("127.0.0.1", dropped.c_str(), &hints, &first) != 0)
                return EAI_FAIL;
            if (::getaddrinfo("127.0.0.1", good.c_str(), &hints, &second) != 0) {
                ::freeaddrinfo(first);
                return EAI_FAIL;
            }
            addrinfo *last = first;
            while (last->ai_next)
                last = last->ai_next;
            last->ai_next = second;
            *result = first;
            return 0;
        });
        QElapsedTimer clock;
        clock.start();
        const QString why = reachable::tcpConnect(u"scoring-server"_s, 3050, 1000);
        reachable::setLookup({});
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QVERIFY2(clock.elapsed() < 500, qPrintable(u"took %1 ms"_s.arg(clock.elapsed())));
    }

    void droppingHost_data()
    {
        QTest::addColumn<Route>("route");
        QTest::newRow("Firebird route, requests dropped") << Route::InterBase;
        QTest::newRow("ODBC route, requests dropped") << Route::Odbc;
    }
    void droppingHost()
    {
        QFETCH(Route, route);
        SKIP_WITHOUT_CLIENT(route);
        const QString missing = missingDriver(route);
        if (!missing.isEmpty()) {
            SKIP_OR_FAIL(missing);
        }
        const Listener dropping(u"127.0.0.1"_s, Listener::Queue::Full);
        QVERIFY2(dropping.port() != 0, qPrintable(dropping.error()));
        auto db = connectionTo(route, u"127.0.0.1"_s, dropping.port());
        QString text;
        const qint64 ms = failingOpen(*db, &text);
        QVERIFY2(ms >= 0, "the connection opened");
        qInfo("%s: DbError after %lld ms: %s", QTest::currentDataTag(), ms, qPrintable(text));
        QVERIFY(!text.isEmpty());
        // At least a second: the packets really went unanswered, not refused.
        QVERIFY2(ms >= 1000, qPrintable(u"failed after %1 ms: %2"_s.arg(ms).arg(text)));
        QVERIFY2(ms < Database::connectTimeoutSeconds * 1000 + 500,
                 qPrintable(u"took %1 ms"_s.arg(ms)));
    }

    // A peer that keeps sending (another service on the port) holds the probe no longer than
    // its bound, however it sends.
    void aPeerThatKeepsSendingHoldsTheProbeNoLonger_data()
    {
        QTest::addColumn<int>("pauseMs");
        QTest::newRow("as fast as it can") << 0;
        QTest::newRow("a byte every 50 ms") << 50;
    }
    void aPeerThatKeepsSendingHoldsTheProbeNoLonger()
    {
        QFETCH(int, pauseMs);
        Relay peer(u"127.0.0.1"_s, support::closedPort());
        peer.talkWithoutEnd(pauseMs);
        QElapsedTimer clock;
        clock.start();
        const QString why = reachable::tcpConnect(u"127.0.0.1"_s, peer.port(), 1000, "hello");
        QVERIFY2(why.isEmpty(), qPrintable(why)); // it answered
        QVERIFY2(clock.elapsed() < 1500, qPrintable(u"took %1 ms"_s.arg(clock.elapsed())));
    }

    // An ODBC session that does not take NO_BACKSLASH_ESCAPES (a server, or a path, that drops
    // it) is refused as it opens: no statement runs on it.
    void aSessionWithBackslashEscapesIsRefused()
    {
        REQUIRE_ROUTE(Route::Odbc);
        Relay relay(u"127.0.0.1"_s, 3306);
        relay.rewrite("NO_BACKSLASH_ESCAPES", "EMPTY_STRING_IS_NULL");
        aliases::Route route = support::serverRoute(Route::Odbc);
        route.database = u"DSN=%1;SERVER=127.0.0.1;PORT=%2"_s.arg(route.database).arg(relay.port());
        Database db(u"db"_s);
        db.setRoute(route);
        try {
            Query session(&db);
            session.read(u"select @@sql_mode as mode"_s);
            QFAIL(qPrintable(u"ran with sql_mode "_s + session.fieldAsString(u"mode"_s)));
        } catch (const DbError &e) {
            QVERIFY2(e.text().contains(u"NO_BACKSLASH_ESCAPES"_s), qPrintable(e.text()));
        }
    }
};

QTEST_GUILESS_MAIN(TstDbTimeouts)
#include "tst_dbtimeouts.moc"
