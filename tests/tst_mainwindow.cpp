#include "app/mainwindow.h"
#include "app/stationsession.h"
#include "controls/cutebutton.h"
#include "db/competitiongateway.h"
#include "pointin/pointinputwindow.h"
#include "station_fixture.h"
#include "support/named.h"
#include "support/relay.h"
#include "toolkit/panel.h"
#include "toolkit/picture.h"
#include "toolkit/radiogroup.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Both InterBase locations on a port where nothing listens: every attempt fails at once.
QString interbaseDownAliases()
{
    return u"[Jump]\nDriver=InterBase\nC:\\IB_data\\Jump.GDB=127.0.0.1/1:/nowhere/local.fdb\n"
           u"G:\\Jump.GDB=127.0.0.1/1:/nowhere/server.fdb\n"_s;
}

QColor textColour(QWidget *w)
{
    return w->palette().color(QPalette::WindowText);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstShowSelectsTheRememberedProfile_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("interbaseItem");
        QTest::addColumn<int>("mysqlItem");
        QTest::addColumn<QString>("dbType");
        QTest::addColumn<QString>("dbDir");

        QTest::newRow("no settings file: InterBase Server")
            << QByteArray() << 1 << -1 << u"Interbase"_s << u"server"_s;
        QTest::newRow("MySQL local: MySQL Local")
            << QByteArray("[Tollvn]\nDbType=MySQL\nDbdir=local\n") << -1 << 0 << u"MySQL"_s
            << u"local"_s;
        QTest::newRow("Dbdir as written is read back")
            << QByteArray("[Tollvn]\r\nDbType=Interbase\r\nDbdir=local\r\n") << 0 << -1
            << u"Interbase"_s << u"local"_s;
        QTest::newRow("interbase in lower case selects MySQL")
            << QByteArray("[Tollvn]\nDbType=interbase\nDbDir=local\n") << -1 << 0 << u"MySQL"_s
            << u"local"_s;
        QTest::newRow("Local with capital L is Server")
            << QByteArray("[Tollvn]\nDbType=Interbase\nDbDir=Local\n") << 1 << -1 << u"Interbase"_s
            << u"server"_s;
        QTest::newRow("empty DbType selects MySQL")
            << QByteArray("[Tollvn]\nDbType=\n") << -1 << 1 << u"MySQL"_s << u"server"_s;
        QTest::newRow("section and keys in other cases")
            << QByteArray("[TOLLVN]\ndbtype=MySQL\nDBDIR=local\n") << -1 << 0 << u"MySQL"_s
            << u"local"_s;
        QTest::newRow("binary garbage: defaults") << QByteArray("\xff\xfe\x00\x01garbage\n\x80", 13)
                                                  << 1 << -1 << u"Interbase"_s << u"server"_s;
    }
    void firstShowSelectsTheRememberedProfile()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, interbaseItem);
        QFETCH(int, mysqlItem);
        QFETCH(QString, dbType);
        QFETCH(QString, dbDir);
        TestStation station(sqliteAliases(), settings);
        QVERIFY(station.start());
        QCOMPARE(named<RadioGroup>(mainWindow(), "RGdbi")->itemIndex(), interbaseItem);
        QCOMPARE(named<RadioGroup>(mainWindow(), "RGdb")->itemIndex(), mysqlItem);
        QCOMPARE(stationSession()->settings().dbType(), dbType);
        QCOMPARE(stationSession()->settings().dbDir(), dbDir);
        QVERIFY(stationGateway()->connected());
        QVERIFY(station.messages.isEmpty());
        mainWindow()->close();
        const QByteArray written = station.settingsFile();
        // Written in this order, under these key names, whatever the file held before.
        const qsizetype type = written.indexOf(QByteArray("DbType=" + dbType.toUtf8()));
        const qsizetype dir = written.indexOf(QByteArray("Dbdir=" + dbDir.toUtf8()));
        QVERIFY2(type >= 0 && dir > type, written.constData());
    }

    void statusLineShowsTheConnectionLine_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("linfo");
        QTest::newRow("InterBase Server") << QByteArray() << u"SERVER NAME=G:\\Jump.GDB"_s;
        QTest::newRow("InterBase Local")
            << QByteArray("[Tollvn]\nDbDir=local\n") << u"SERVER NAME=C:\\IB_data\\Jump.GDB"_s;
        QTest::newRow("MySQL Local")
            << QByteArray("[Tollvn]\nDbType=MySQL\nDbDir=local\n") << u"ODBC DSN=JumpLocal"_s;
        QTest::newRow("MySQL Server")
            << QByteArray("[Tollvn]\nDbType=MySQL\n") << u"ODBC DSN=JumpServer"_s;
    }
    void statusLineShowsTheConnectionLine()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QString, linfo);
        TestStation station(sqliteAliases(), settings);
        QVERIFY(station.start());
        QCOMPARE(named<QLabel>(mainWindow(), "linfo")->text(), linfo);
        const bool interbase = named<RadioGroup>(mainWindow(), "RGdbi")->itemIndex() >= 0;
        QCOMPARE(stationGateway()->params().count(), interbase ? 19 : 18);
        QCOMPARE(stationGateway()->alias(), interbase                    ? u"Jump"_s
                                            : linfo.endsWith(u"Local"_s) ? u"JumpLocal"_s
                                                                         : u"JumpServer"_s);
    }

    void interbaseWithBothLocationsDownNamesTheSecond()
    {
        TestStation station(interbaseDownAliases(), QByteArray());
        QVERIFY(station.start());
        QCOMPARE(named<RadioGroup>(mainWindow(), "RGdbi")->itemIndex(),
                 1); // the group keeps showing the chosen item
        QVERIFY(!stationGateway()->connected());
        QCOMPARE(named<QLabel>(mainWindow(), "linfo")->text(),
                 u"SERVER NAME=C:\\IB_data\\Jump.GDB"_s);
        QCOMPARE(stationSession()->settings().dbDir(), u"local"_s);
        QVERIFY(station.messages.isEmpty());
        mainWindow()->close();
        QVERIFY(station.settingsFile().contains("Dbdir=local"));
    }

    void interbaseFallsBackToTheServer()
    {
        REQUIRE_ROUTE(Route::InterBase);
        const QString server = support::serverRoute(Route::InterBase).database;
        const QString aliases =
            u"[Jump]\nDriver=InterBase\nC:\\IB_data\\Jump.GDB=127.0.0.1/1:/nowhere/local.fdb\n"
            u"G:\\Jump.GDB="_s +
            server + u"\n"_s;
        {
            TestStation station(aliases, QByteArray("[Tollvn]\nDbType=Interbase\nDbdir=local\n"));
            QVERIFY(station.start());
            QCOMPARE(named<RadioGroup>(mainWindow(), "RGdbi")->itemIndex(), 0);
            QVERIFY(stationGateway()->connected());
            QCOMPARE(named<QLabel>(mainWindow(), "linfo")->text(), u"SERVER NAME=G:\\Jump.GDB"_s);
            QCOMPARE(stationSession()->settings().dbDir(), u"server"_s);
            mainWindow()->close();
            const QByteArray written = station.settingsFile();
            station.stop();
            // The next start begins with the location that worked.
            TestStation next(aliases, written);
            QVERIFY(next.start());
            QCOMPARE(named<RadioGroup>(mainWindow(), "RGdbi")->itemIndex(), 1);
            QVERIFY(stationGateway()->connected());
        }
    }

    // The InterBase location answers slowly and the judge picks MySQL meanwhile: InterBase's
    // fallback to its other location takes nothing away from the profile now chosen.
    void aSlowFallbackLeavesTheProfileTheJudgeChose()
    {
        Relay silent(u"127.0.0.1"_s, 9);
        silent.hold(); // connections are accepted, nothing answers
        const QString location = u"127.0.0.1/%1:/nowhere.fdb"_s.arg(silent.port());
        TestStation station(u"[Jump]\nDriver=InterBase\nC:\\IB_data\\Jump.GDB="_s + location +
                                u"\nG:\\Jump.GDB="_s + location +
                                u"\n[JumpLocal]\nDriver=SQLite\nDatabase=jump.sqlite\n"_s,
                            QByteArray("[Tollvn]\nDbType=MySQL\nDbdir=local\n"));
        QVERIFY(station.start());
        Bounds bounds;
        bounds.statementMs = 300;
        stationGateway()->setBounds(bounds);
        QTest::mouseClick(named<RadioGroup>(mainWindow(), "RGdbi")->item(0), Qt::LeftButton, {},
                          QPoint(6, 6));
        QVERIFY(stationSession()->connecting());
        QTest::mouseClick(named<RadioGroup>(mainWindow(), "RGdb")->item(0), Qt::LeftButton, {},
                          QPoint(6, 6));
        QVERIFY(settle(20000));
        QCOMPARE(stationGateway()->alias(), u"JumpLocal"_s);
        QVERIFY(stationGateway()->connected());
        QCOMPARE(stationSession()->settings().dbType(), u"MySQL"_s);
        QCOMPARE(named<QLabel>(mainWindow(), "linfo")->text(), u"ODBC DSN=JumpLocal"_s);
    }

    void mysqlServerDownIsNotReported()
    {
        TestStation station(u"[JumpServer]\nDriver=ODBC\nDSN=TollivaneNoSuchSource\n"_s,
                            QByteArray("[Tollvn]\nDbType=MySQL\nDbdir=server\n"));
        QVERIFY(station.start());
        QVERIFY(mainWindow()->isVisible());
        QVERIFY(!stationGateway()->connected());
        QCOMPARE(named<QLabel>(mainWindow(), "linfo")->text(), u"ODBC DSN=JumpServer"_s);
        QCOMPARE(stationSession()->settings().dbType(), u"MySQL"_s);
        QCOMPARE(stationSession()->settings().dbDir(), u"server"_s);
        QVERIFY(station.messages.isEmpty());
    }

    void groupsClearEachOther()
    {
        TestStation station(sqliteAliases(), QByteArray());
        QVERIFY(station.start());
        QTest::mouseClick(named<RadioGroup>(mainWindow(), "RGdb")->item(0), Qt::LeftButton, {},
                          QPoint(6, 6));
        QVERIFY(settle());
        QCOMPARE(named<RadioGroup>(mainWindow(), "RGdb")->itemIndex(), 0);
        QCOMPARE(named<RadioGroup>(mainWindow(), "RGdbi")->itemIndex(), -1);
        QCOMPARE(stationSession()->settings().dbType(), u"MySQL"_s);
        QCOMPARE(named<QLabel>(mainWindow(), "linfo")->text(), u"ODBC DSN=JumpLocal"_s);
        QTest::mouseClick(named<RadioGroup>(mainWindow(), "RGdbi")->item(1), Qt::LeftButton, {},
                          QPoint(6, 6));
        QVERIFY(settle());
        QCOMPARE(named<RadioGroup>(mainWindow(), "RGdbi")->itemIndex(), 1);
        QCOMPARE(named<RadioGroup>(mainWindow(), "RGdb")->itemIndex(), -1);
        QCOMPARE(stationSession()->settings().dbType(), u"Interbase"_s);
        QVERIFY(stationGateway()->connected());
    }

    void choosingTheSelectedItemAgainRunsNothing()
    {
        // Both InterBase locations down: the handler would set DbDir back to the chosen
        // location and start connecting at once.
        TestStation station(interbaseDownAliases(), QByteArray());
        QVERIFY(station.start());
        QCOMPARE(stationSession()->settings().dbDir(), u"local"_s);
        auto *interbase = named<RadioGroup>(mainWindow(), "RGdbi");
        QTest::mouseClick(interbase->item(1), Qt::LeftButton, {}, QPoint(6, 6));
        QVERIFY(!stationSession()->connecting());
        QCOMPARE(stationSession()->settings().dbDir(), u"local"_s);
        QCOMPARE(interbase->itemIndex(), 1);
    }

    void closeButtonClosesAndWritesTheSettings()
    {
        TestStation station(sqliteAliases(), QByteArray("; kept\n[Other]\nx=1\n"));
        QVERIFY(station.start());
        QTest::mouseClick(named<QPushButton>(mainWindow(), "BitBtn1"), Qt::LeftButton);
        QVERIFY(!mainWindow()->isVisible());
        QCOMPARE(station.settingsFile(),
                 QByteArray("; kept\n[Other]\nx=1\n[Tollvn]\nDbType=Interbase\nDbdir=server\n"));
    }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<bool>("visible");
        QTest::newRow("Image1") << u"Image1"_s << QRect(192, 16, 329, 105) << true;
        QTest::newRow("Image2") << u"Image2"_s << QRect(104, 112, 497, 129) << true;
        QTest::newRow("Panel2 hidden") << u"Panel2"_s << QRect(96, 128, 529, 121) << false;
        QTest::newRow("Panel1") << u"Panel1"_s << QRect(96, 256, 529, 129) << true;
        QTest::newRow("RbC in Panel1") << u"RbC"_s << QRect(224, 8, 94, 17) << true;
        QTest::newRow("CuteButton1 of default size")
            << u"CuteButton1"_s << QRect(232, 48, 75, 25) << true;
        QTest::newRow("CuteButton2 on the hidden notice")
            << u"CuteButton2"_s << QRect(232, 64, 81, 33) << false;
        QTest::newRow("RGdb left of RGdbi") << u"RGdb"_s << QRect(33, 368, 81, 73) << true;
        QTest::newRow("RGdbi") << u"RGdbi"_s << QRect(121, 368, 81, 73) << true;
        QTest::newRow("Image3") << u"Image3"_s << QRect(576, 392, 105, 57) << true;
        QTest::newRow("BitBtn1") << u"BitBtn1"_s << QRect(328, 424, 81, 25) << true;
        QTest::newRow("Label3") << u"Label3"_s << QRect(88, 488, 567, 12) << true;
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(bool, visible);
        StationSession session;
        MainWindow window(session);
        auto *w = window.findChild<QWidget *>(name);
        QVERIFY(w);
        QCOMPARE(w->geometry(), geometry);
        QCOMPARE(w->isVisibleTo(&window), visible);
    }

    void windowLooks()
    {
        StationSession session;
        MainWindow window(session);
        QCOMPARE(window.size(), QSize(706, 511));
        QCOMPARE(window.palette().color(QPalette::Window), QColor(Qt::black));
        QVERIFY(named<QRadioButton>(&window, "RbA")->isChecked());
        QCOMPARE(textColour(named<QRadioButton>(&window, "RbA")), QColor(0xC0, 0xC0, 0xC0));
        QCOMPARE(named<QLabel>(&window, "Label2")->text(),
                 u"担当する部分をクリック後確認ボタンを押してください。"_s);
        QCOMPARE(textColour(named<QLabel>(&window, "Label2")), QColor(0, 0xFF, 0));
        QCOMPARE(textColour(named<QLabel>(&window, "linfo")), QColor(0x80, 0xFF, 0x80));
        QCOMPARE(named<QLabel>(&window, "Label1")->text(), u"V.3.1"_s);
        QCOMPARE(named<CuteButton>(&window, "CuteButton1")->color(), TColor(0x00FF8080));
        QCOMPARE(named<CuteButton>(&window, "CuteButton2")->color(), TColor(0x00FF0000));
        QCOMPARE(named<Panel>(&window, "Panel2")->color(), TColor(0x0000FFFF));
        QCOMPARE(named<QRadioButton>(&window, "RbA")->font().family(), u"ＭＳ Ｐゴシック"_s);
        QCOMPARE(named<QRadioButton>(&window, "RbA")->font().pixelSize(), 16);
        QVERIFY(named<QRadioButton>(&window, "RbA")->font().bold());
        // The title picture is unscaled: the maker's mark is cut at the frame's bottom.
        QCOMPARE(named<Picture>(&window, "Image1")->picture().size(), QSize(330, 129));
        QCOMPARE(named<Picture>(&window, "Image2")->picture().size(), QSize(495, 125));
        QCOMPARE(named<Picture>(&window, "Image3")->picture().size(), QSize(95, 49));
    }

    // The checked item shows a dark dot, as a desktop radio button does, whatever the
    // caption's colour; an unchecked one shows none.
    void checkedRadioButtonsShowADarkDot()
    {
        TestStation station(sqliteAliases(), QByteArray()); // InterBase Server selected
        QVERIFY(station.start());
        MainWindow &window = *mainWindow();
        const auto dotGrey = [](QRadioButton *b) {
            QStyleOptionButton option;
            option.initFrom(b);
            const QRect indicator =
                b->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, b);
            return qGray(b->grab().toImage().pixel(indicator.center()));
        };
        for (QRadioButton *checked :
             {named<QRadioButton>(&window, "RbA"), named<RadioGroup>(&window, "RGdbi")->item(1)}) {
            QVERIFY2(dotGrey(checked) < 100, qPrintable(checked->text()));
            QVERIFY(qGray(textColour(checked).rgb()) > 150); // the caption stays light
        }
        for (QRadioButton *unchecked :
             {named<QRadioButton>(&window, "RbB"), named<RadioGroup>(&window, "RGdbi")->item(0),
              named<RadioGroup>(&window, "RGdb")->item(0)})
            QVERIFY2(dotGrey(unchecked) > 200, qPrintable(unchecked->text()));
    }

    void tabOrderOfTheMainWindow()
    {
        TestStation station(sqliteAliases(), QByteArray());
        QVERIFY(station.start());
        QApplication::setActiveWindow(mainWindow());
        QTRY_COMPARE(QApplication::focusWidget(),
                     static_cast<QWidget *>(named<QRadioButton>(mainWindow(), "RbA")));
        const QList<QWidget *> expected = {named<CuteButton>(mainWindow(), "CuteButton1"),
                                           named<QPushButton>(mainWindow(), "BitBtn1"),
                                           named<RadioGroup>(mainWindow(), "RGdbi")->item(1),
                                           named<RadioGroup>(mainWindow(), "RGdb")->item(0),
                                           named<QRadioButton>(mainWindow(), "RbA")};
        for (QWidget *next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
