// A Windows station without Firebird's client: Qt's InterBase driver cannot load without
// fbclient.dll, which comes with Firebird's own installer, not with the terminal's. The judge
// is told so plainly, and nothing else of the station suffers. Built for Windows only: on Linux
// the Debian package brings the client.
#include "app/mainwindow.h"
#include "controls/cutebutton.h"
#include "db/competitiongateway.h"
#include "db/dbengine.h"
#include "pointin/pointinputwindow.h"
#include "station_fixture.h"
#include "toolkit/radiogroup.h"

#include <QRadioButton>
#include <QTest>

#include <windows.h>

using namespace Qt::StringLiterals;

namespace {

const QString cannotConnect =
    u"データベースに接続できません。データベースが立ち上がっているか確認してください。"_s;

const aliases::Route localFirebird{aliases::Driver::InterBase, u"localhost:C:\\IB_data\\Jump.GDB"_s,
                                   u"SYSDBA"_s, u"pewtergum"_s};

// Whether the client is where Windows looks for a program's libraries.
bool clientOnThisPc()
{
    wchar_t found[MAX_PATH];
    return ::SearchPathW(nullptr, L"fbclient.dll", nullptr, MAX_PATH, found, nullptr) != 0;
}

} // namespace

class TstFirebirdClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (clientOnThisPc())
            QSKIP("Firebird's client is installed on this PC: nothing is missing");
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
        Station s(u"[Jump]\nDriver=InterBase\n"
                  u"C:\\IB_data\\Jump.GDB=localhost:C:\\IB_data\\Jump.GDB\n"
                  u"G:\\Jump.GDB=scoring-server:D:\\Jump.GDB\n"
                  u"[JumpLocal]\nDriver=SQLite\nDatabase=jump.sqlite\n"_s,
                  QByteArray("[Tollvn]\nDbType=Interbase\nDbdir=local\n"));
        QVERIFY(s.start());
        QVERIFY(!station::gateway()->connected());
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
        QVERIFY(station::gateway()->connected());
    }
};

QTEST_MAIN(TstFirebirdClient)
#include "tst_firebirdclient.moc"
