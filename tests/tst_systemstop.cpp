// The real programs asked by the system to stop (SIGTERM at the session's end, SIGINT from
// Ctrl+C) once the Firebird client, which takes both signals for its own when it connects, has
// connected: the terminal ends as when its main window closes, settings written; the stand-in
// console ends with 130.
#include "db/dbengine.h"
#include "support/routes.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;
using support::Route;

class TestSystemStop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void endsAsAsked_data()
    {
        QTest::addColumn<bool>("console"); // jumpdb operator, else the terminal
        QTest::addColumn<int>("signal");
        QTest::newRow("the terminal, SIGTERM") << false << SIGTERM;
        QTest::newRow("the terminal, SIGINT") << false << SIGINT;
        QTest::newRow("the console, SIGTERM") << true << SIGTERM;
    }
    void endsAsAsked()
    {
        QFETCH(bool, console);
        QFETCH(int, signal);
        REQUIRE_ROUTE(Route::InterBase);
        const aliases::Route fdb = support::serverRoute(Route::InterBase);
        QTemporaryDir dir;
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());
        QFile aliases(dir.filePath(u"aliases.ini"_s));
        QVERIFY(aliases.open(QIODevice::WriteOnly) &&
                aliases.write("[Jump]\nDriver=InterBase\nC:\\IB_data\\Jump.GDB=" +
                              fdb.database.toUtf8()) > 0);
        aliases.close();
        qputenv("TOLLIVANE_ALIASES", aliases.fileName().toLocal8Bit());
        const QStringList db{u"--firebird"_s, fdb.database,    u"--user"_s,
                             fdb.userName,    u"--password"_s, fdb.password};
        for (const QString &step : {u"create --replace"_s, u"seed"_s})
            QVERIFY(!console ||
                    QProcess::execute(QStringLiteral(JUMPDB), step.split(u' ') + db) == 0);
        QProcess program;
        if (console)
            program.start(QStringLiteral(JUMPDB), QStringList{u"operator"_s} + db);
        else
            program.start(QStringLiteral(TOLLIVANE_PROGRAM), {});
        Database probe(u"probe"_s);
        probe.setRoute(fdb);
        Query attached(&probe);
        attached.sql().add(u"select count(*) as n from mon$attachments where mon$remote_pid = "_s +
                           QString::number(program.processId()));
        const auto connected = [&attached] {
            try {
                attached.close();
                attached.open();
                return attached.fieldAsString(u"n"_s) != u"0"_s;
            } catch (const DbError &e) {
                qWarning("%s", qPrintable(e.text())); // asked again
                return false;
            }
        };
        QTRY_VERIFY_WITH_TIMEOUT(connected(), 20000);
        ::kill(pid_t(program.processId()), signal);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), console ? 130 : 0);
        QVERIFY(console || QFile::exists(dir.filePath(u"VELMOR/Tollivane/Tollivane.ini"_s)));
    }
};

QTEST_GUILESS_MAIN(TestSystemStop)
#include "tst_systemstop.moc"
