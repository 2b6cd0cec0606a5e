// One copy per settings file and journal folder: a second copy on the same pair is refused and
// asks the first to come to the front; a lock left by a killed copy refuses nobody.
#include "app/onecopy.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestOneCopy : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString lockFolder() const { return path(u"runtime"_s); }

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void aSecondCopyIsRefusedOnlyOnTheSamePair_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("journal");
        QTest::addColumn<bool>("refused");
        QTest::newRow("same settings and journal -> refused")
            << u"config/Tollivane.ini"_s << u"data/journal"_s << true;
        QTest::newRow("the same paths spelt otherwise -> refused")
            << u"config/../config/Tollivane.ini"_s << u"data/journal/"_s << true;
        QTest::newRow("own settings, same journal -> runs")
            << u"other/Tollivane.ini"_s << u"data/journal"_s << false;
        QTest::newRow("same settings, own journal -> runs")
            << u"config/Tollivane.ini"_s << u"other/journal"_s << false;
    }
    void aSecondCopyIsRefusedOnlyOnTheSamePair()
    {
        QFETCH(QString, settings);
        QFETCH(QString, journal);
        QFETCH(bool, refused);
        OneCopy first({path(u"config/Tollivane.ini"_s), path(u"data/journal"_s)}, lockFolder());
        QVERIFY(first.take());
        QSignalSpy front(&first, &OneCopy::frontAsked);
        OneCopy second({path(settings), path(journal)}, lockFolder());
        QCOMPARE(!second.take(), refused);
        if (!refused)
            return;
        QTRY_VERIFY(!front.isEmpty());
        // The first copy ends: the next one runs.
        first.release();
        QVERIFY(second.take());
    }

    // The real program, killed: its lock names a process that is gone.
    void aKilledCopyLeavesNoLockBehind()
    {
        for (const char *name : {"XDG_CONFIG_HOME", "APPDATA"})
            qputenv(name, path(u"config"_s).toLocal8Bit());
        for (const char *name : {"XDG_DATA_HOME", "LOCALAPPDATA"})
            qputenv(name, path(u"data"_s).toLocal8Bit());
        for (const char *name : {"XDG_RUNTIME_DIR", "TMP", "TEMP"})
            qputenv(name, lockFolder().toLocal8Bit());
        QVERIFY(QDir().mkpath(lockFolder()));
        QFile::setPermissions(lockFolder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner);
        QProcess program;
        program.start(QStringLiteral(TOLLIVANE_PROGRAM), {});
        QVERIFY(program.waitForStarted());
        const QString lock = OneCopy().lockPath();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock), 20000);
        QVERIFY(!OneCopy().take()); // the program holds this station's pair
        program.kill();
        QVERIFY(program.waitForFinished());
        QVERIFY(QFile::exists(lock));
        OneCopy next;
        QVERIFY(next.take());
    }
};

QTEST_GUILESS_MAIN(TestOneCopy)
#include "tst_onecopy.moc"
