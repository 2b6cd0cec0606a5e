// How long a failed connection attempt holds the station, on both server routes: with the
// server down (nothing listens) and with a port that drops every connection request, as a host
// behind a dead link does. Nothing leaves the machine, and no privilege is needed.
#include "db/dbengine.h"
#include "db/reachable.h"
#include "support/routes.h"
#include "tst_dbbackends.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <future>
#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

using support::Route;

// A port on which nothing listens, found by binding one and letting it go.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

// A port whose accept queue is full and never emptied: the kernel drops every further SYN, so a
// connection attempt hears nothing at all, as from a host behind a dead link.
class DroppingPort
{
public:
    DroppingPort()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto *name = reinterpret_cast<sockaddr *>(&address);
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_listener < 0 || ::bind(m_listener, name, length) != 0 ||
            ::listen(m_listener, 0) != 0 || ::getsockname(m_listener, name, &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        // Never accepted: they fill the queue.
        for (int i = 0; i < 3; ++i) {
            const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (filler >= 0) {
                ::connect(filler, name, length);
                m_fillers.push_back(filler);
            }
        }
    }
    ~DroppingPort()
    {
        for (const int filler : m_fillers)
            ::close(filler);
        if (m_listener >= 0)
            ::close(m_listener);
    }
    DroppingPort(const DroppingPort &) = delete;
    DroppingPort &operator=(const DroppingPort &) = delete;
    quint16 port() const { return m_port; }

private:
    int m_listener = -1;
    std::vector<int> m_fillers;
    quint16 m_port = 0;
};

} // namespace

class TstDbTimeouts : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_targets = 0;

    // A connection to the host and port on the route, through an alias file and, for ODBC,
    // a data source file of the test's own.
    std::unique_ptr<Database> connectionTo(Route route, const QString &host, quint16 port)
    {
        // unixODBC caches what it read of a data source file: a new file for every target.
        ++m_targets;
        const QString aliasFile = m_dir.filePath(u"aliases%1.ini"_s.arg(m_targets));
        const QString odbcFile = m_dir.filePath(u"odbc%1.ini"_s.arg(m_targets));
        QFile aliasesOut(aliasFile);
        aliasesOut.open(QIODevice::WriteOnly);
        aliasesOut.write(u"[Target]\nDriver=%1\nTARGET=%2/%3:/var/lib/firebird/3.0/data/x.fdb\n"_s
                             .arg(route == Route::InterBase ? u"InterBase"_s : u"ODBC"_s, host,
                                  QString::number(port))
                             .toUtf8());
        aliasesOut.close();
        QFile odbcOut(odbcFile);
        odbcOut.open(QIODevice::WriteOnly);
        odbcOut.write(
            u"[TvTarget%3]\nDriver = MariaDB Unicode\nServer = %1\nPort = %2\n"
            "Database = Jump\n"_s.arg(host, QString::number(port), QString::number(m_targets))
                .toUtf8());
        odbcOut.close();
        qputenv("TOLLIVANE_ALIASES", aliasFile.toLocal8Bit());
        qputenv("ODBCINI", odbcFile.toLocal8Bit());

        auto db = std::make_unique<Database>(u"db"_s);
        db->setAliasName(u"Target"_s);
        db->params().add(u"SERVER NAME=TARGET"_s);
        db->params().add(u"ODBC DSN=TvTarget"_s + QString::number(m_targets));
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
        const QString missing = missingDriver(route);
        if (!missing.isEmpty()) {
            SKIP_OR_FAIL(missing);
        }
        auto db = connectionTo(route, u"127.0.0.1"_s, closedPort());
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
        QTcpServer server;
        if (!server.listen(QHostAddress(host))) {
            if (host.contains(u':'))
                QSKIP("no IPv6 loopback on this machine");
            QFAIL(qPrintable(server.errorString()));
        }
        const quint16 port = server.serverPort();
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

    // A name with an address that drops every packet before one that answers (a broken IPv6
    // route before a good IPv4 one): the good one is reached within the bound.
    void everyAddressIsTriedWithinTheBound()
    {
        const DroppingPort dropping;
        QVERIFY(dropping.port() != 0);
        QTcpServer listening;
        QVERIFY(listening.listen(QHostAddress::LocalHost));
        const std::string good = std::to_string(listening.serverPort());
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
        const QString missing = missingDriver(route);
        if (!missing.isEmpty()) {
            SKIP_OR_FAIL(missing);
        }
        const DroppingPort dropping;
        QVERIFY(dropping.port() != 0);
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
};

QTEST_GUILESS_MAIN(TstDbTimeouts)
#include "tst_dbtimeouts.moc"
