// The real program asked by the system to stop (SIGTERM at the session's end, SIGINT from
// Ctrl+C) ends as when its main window closes, settings written: also once the Firebird
// client, which takes both signals for its own when it connects, has connected.
#include "app/onecopy.h"
#include "db/dbengine.h"
#include "support/routes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;
using support::Route;

class TestSystemStop : public QObject
{
    Q_OBJECT

    static int attachments(qint64 pid)
    {
        Database probe(u"probe"_s);
        probe.setRoute(support::serverRoute(Route::InterBase));
        Query query(&probe);
        query.sql().add(u"select count(*) as n from mon$attachments where mon$remote_pid = "_s +
                        QString::number(pid));
        query.open();
        return query.fieldAsString(u"n"_s).toInt();
    }

private Q_SLOTS:
    void endsAsClosed_data()
    {
        QTest::addColumn<bool>("firebird"); // else no database reached
        QTest::addColumn<int>("signal");
        for (const bool firebird : {false, true}) {
            for (const int signal : {SIGTERM, SIGINT})
                QTest::addRow("%s, %s", firebird ? "Firebird" : "no database",
                              signal == SIGTERM ? "SIGTERM" : "SIGINT")
                    << firebird << signal;
        }
    }
    void endsAsClosed()
    {
        QFETCH(bool, firebird);
        QFETCH(int, signal);
        if (firebird)
            REQUIRE_ROUTE(Route::InterBase);
        QTemporaryDir dir;
        qputenv("XDG_CONFIG_HOME", dir.filePath(u"config"_s).toLocal8Bit());
        qputenv("XDG_DATA_HOME", dir.filePath(u"data"_s).toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
        QFile aliases(dir.filePath(u"aliases.ini"_s));
        const QString fdb = support::serverRoute(Route::InterBase).database;
        QVERIFY(
            aliases.open(QIODevice::WriteOnly) &&
            aliases.write(
                firebird
                    ? u"[Jump]\nDriver=InterBase\nC:\\IB_data\\Jump.GDB=%1\n"_s.arg(fdb).toUtf8()
                    : "") >= 0);
        aliases.close();
        qputenv("TOLLIVANE_ALIASES", aliases.fileName().toLocal8Bit());
        QProcess program;
        program.start(QStringLiteral(TOLLIVANE_PROGRAM), {});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(OneCopy().lockPath()), 20000);
        if (firebird)
            QTRY_VERIFY_WITH_TIMEOUT(attachments(program.processId()) > 0, 20000);
        ::kill(pid_t(program.processId()), signal);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(QFile::exists(dir.filePath(u"config/VELMOR/Tollivane/Tollivane.ini"_s)));
    }
};

QTEST_GUILESS_MAIN(TestSystemStop)
#include "tst_systemstop.moc"
