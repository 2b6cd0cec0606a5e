// Firebird's client on a Windows station: the installer's copy beside the program is taken
// first, else the PC's own Firebird installation; Qt's InterBase driver then uses the client
// loaded. Where there is none, the judge is told so plainly, and nothing else of the station
// suffers. Built for Windows only: on Linux the Debian package brings the client. This program
// runs from a folder without the client (the build puts it beside the other tests): each layout
// of the client's places is tried by fbclient_probe in a process of its own.
#include "app/mainwindow.h"
#include "controls/cutebutton.h"
#include "db/competitiongateway.h"
#include "db/dbengine.h"
#include "pointin/pointinputwindow.h"
#include "pointin/stationtexts.h"
#include "station_fixture.h"
#include "toolkit/radiogroup.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

using namespace Qt::StringLiterals;

namespace {

const QString cannotConnect = stationtexts::text(stationtexts::Text::CannotConnect);

const aliases::Route localFirebird{aliases::Driver::InterBase, u"localhost:C:\\IB_data\\Jump.GDB"_s,
                                   u"SYSDBA"_s, u"pewtergum"_s};

// Where Firebird's installer records its root.
const QString instancesKey =
    u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Firebird Project\\Firebird Server\\Instances"_s;

QString systemFolder()
{
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    return QDir::fromNativeSeparators(QString::fromWCharArray(folder, int(length)));
}

// The installer's copy, which the build puts beside the other tests.
QString builtClient()
{
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(u"../fbclient.dll"_s);
}

// What lies beside the program, and the copy a station takes.
enum class Beside
{
    Nothing,
    Client,
    Broken
};
enum class Place
{
    None,
    Program,
    Installation,
    System
};

} // namespace

class TstFirebirdClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(builtClient()), qPrintable(builtClient()));
        // The judge's messages below need a PC without the client, and the layouts below
        // need its places free.
        QVERIFY2(
            QSettings(instancesKey, QSettings::NativeFormat).value(u"DefaultInstance"_s).isNull(),
            "a Firebird installation is registered on this PC");
        QVERIFY2(!QFile::exists(systemFolder() + u"/fbclient.dll"_s),
                 "Firebird's client is in this PC's system folder");
        QVERIFY2(!Database::missingHere(localFirebird).isEmpty(),
                 "Firebird's client is beside this test program");
    }

    void cleanup()
    {
        if (m_registered)
            QSettings(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Firebird Project"_s, QSettings::NativeFormat)
                .remove(QString());
        if (m_inSystem)
            QFile::remove(systemFolder() + u"/fbclient.dll"_s);
        m_registered = m_inSystem = false;
    }

    void theStationFindsTheClient_data()
    {
        QTest::addColumn<Beside>("beside");
        QTest::addColumn<bool>("registered");
        QTest::addColumn<bool>("inSystem");
        QTest::addColumn<Place>("taken");
        QTest::addColumn<QString>("missing");

        const QString none = u"is not installed on this PC"_s;
        const QString wrong = u"is not the one for 64-bit Windows"_s;
        QTest::newRow("the program's own, before the installation's")
            << Beside::Client << true << true << Place::Program << QString();
        QTest::newRow("the registered installation's, before the system folder's")
            << Beside::Nothing << true << true << Place::Installation << QString();
        QTest::newRow("the system folder's")
            << Beside::Nothing << false << true << Place::System << QString();
        QTest::newRow("none") << Beside::Nothing << false << false << Place::None << none;
        QTest::newRow("not a 64-bit library")
            << Beside::Broken << false << false << Place::None << wrong;
    }

    void theStationFindsTheClient()
    {
        QFETCH(Beside, beside);
        QFETCH(bool, registered);
        QFETCH(bool, inSystem);
        QFETCH(Place, taken);
        QFETCH(QString, missing);

        QTemporaryDir pc;
        QVERIFY(pc.isValid());
        const QString program = pc.filePath(u"Tollivane"_s);
        const QString installation = pc.filePath(u"Firebird_3_0"_s);
        QVERIFY(QDir().mkpath(program) && QDir().mkpath(installation));
        const QString probe = program + u"/fbclient_probe.exe"_s;
        QVERIFY(
            QFile::copy(QCoreApplication::applicationDirPath() + u"/fbclient_probe.exe"_s, probe));
        if (beside == Beside::Client)
            QVERIFY(QFile::copy(builtClient(), program + u"/fbclient.dll"_s));
        if (beside == Beside::Broken) {
            QFile broken(program + u"/fbclient.dll"_s);
            QVERIFY(broken.open(QIODevice::WriteOnly));
            broken.write("MZ, but no library");
        }
        if (registered) {
            QVERIFY(QFile::copy(builtClient(), installation + u"/fbclient.dll"_s));
            m_registered = true;
            // As Firebird's installer writes it, with a separator at the end.
            QSettings(instancesKey, QSettings::NativeFormat)
                .setValue(u"DefaultInstance"_s,
                          QString(QDir::toNativeSeparators(installation) + u'\\'));
        }
        if (inSystem) {
            m_inSystem = true;
            QVERIFY(QFile::copy(builtClient(), systemFolder() + u"/fbclient.dll"_s));
        }

        const QString answer = pc.filePath(u"answer.txt"_s);
        QProcess process;
        // Windows' loader looks in the current folder too, which is the tests' own here.
        process.setWorkingDirectory(pc.path());
        process.start(probe, {QDir::toNativeSeparators(answer)});
        QVERIFY2(process.waitForFinished(60000), qPrintable(process.errorString()));
        QFile file(answer);
        QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), "the probe wrote nothing");
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        QCOMPARE(lines.size(), 4);

        const QString said = lines[0].mid(int(qstrlen("missing: ")));
        if (missing.isEmpty())
            QCOMPARE(said, QString());
        else
            QVERIFY2(said.contains(missing) && said.contains(u"fbclient.dll"_s), qPrintable(said));
        const QString folders[] = {QString(), program, installation, systemFolder()};
        const QString expected =
            taken == Place::None ? QString() : folders[int(taken)] + u"/fbclient.dll"_s;
        QCOMPARE(QDir::fromNativeSeparators(lines[1].mid(int(qstrlen("client: ")))).toLower(),
                 expected.toLower());
        // Qt's driver imports fbclient.dll, which is on no search path of the probe unless it
        // sits beside it: the driver takes the module loaded.
        QCOMPARE(lines[2], taken == Place::None ? u"driver: does not load"_s : u"driver: loads"_s);
    }

    void theEngineNamesTheClient()
    {
        const QString missing = Database::missingHere(localFirebird);
        QVERIFY2(missing.contains(u"fbclient.dll"_s) && missing.contains(u"64-bit Windows"_s),
                 qPrintable(missing));
        // The other routes lack nothing.
        QCOMPARE(Database::missingHere({aliases::Driver::Sqlite, u"x.sqlite"_s, {}, {}}),
                 QString());
        QCOMPARE(Database::missingHere({aliases::Driver::Odbc, u"JumpLocal"_s, {}, {}}), QString());

        Database db(u"db"_s);
        db.setRoute(localFirebird);
        QVERIFY_THROWS_EXCEPTION(DbError, db.open());
        try {
            db.open();
        } catch (const DbError &e) {
            QCOMPARE(e.text(), missing);
        }
        QVERIFY(!db.connected());
    }

    // The claim on an InterBase profile says what is missing; the MySQL profile works on.
    void theSeatClaimTellsTheJudge()
    {
        TestStation s(u"[Jump]\nDriver=InterBase\n"
                      u"C:\\IB_data\\Jump.GDB=localhost:C:\\IB_data\\Jump.GDB\n"
                      u"G:\\Jump.GDB=scoring-server:D:\\Jump.GDB\n"
                      u"[JumpLocal]\nDriver=SQLite\nDatabase=jump.sqlite\n"_s,
                      QByteArray("[Tollvn]\nDbType=Interbase\nDbdir=local\n"));
        QVERIFY(s.start());
        QVERIFY(!stationGateway()->connected());
        QVERIFY(s.messages.isEmpty()); // choosing a profile reports nothing
        named<QRadioButton>(mainWindow(), "RbA")->setChecked(true);
        QTest::mouseClick(named<CuteButton>(mainWindow(), "CuteButton1"), Qt::LeftButton);
        QVERIFY(settle());
        QCOMPARE(s.texts(),
                 QStringList{cannotConnect + u"\n\n"_s + Database::missingHere(localFirebird)});
        QVERIFY(mainWindow()->isVisible());
        QVERIFY(!pointInput()->isVisible());

        QTest::mouseClick(named<RadioGroup>(mainWindow(), "RGdb")->item(0), Qt::LeftButton, {},
                          QPoint(6, 6));
        QVERIFY(settle());
        QVERIFY(stationGateway()->connected());
    }

private:
    bool m_registered = false;
    bool m_inSystem = false;
};

QTEST_MAIN(TstFirebirdClient)
#include "tst_firebirdclient.moc"
