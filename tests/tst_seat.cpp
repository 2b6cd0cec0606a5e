#include "app/mainwindow.h"
#include "app/stationsession.h"
#include "controls/cutebutton.h"
#include "db/dbengine.h"
#include "pointin/pointinputwindow.h"
#include "pointin/stationtexts.h"
#include "station_fixture.h"
#include "toolkit/panel.h"
#include "toolkit/radiogroup.h"
#include "tools/competition.h"

#include <QApplication>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString cannotConnect = stationtexts::text(stationtexts::Text::CannotConnect);
const QString noSeat = stationtexts::text(stationtexts::Text::NoSeatChosen);

QColor captionColour(QWidget *w)
{
    return w->palette().color(QPalette::WindowText);
}

const QColor silver(0xC0, 0xC0, 0xC0);
const QColor yellow(0xFF, 0xFF, 0);

} // namespace

class TestSeat : public QObject
{
    Q_OBJECT

    // A started station on the route with fresh competition tables.
    std::unique_ptr<TestStation> station(Route route)
    {
        auto s = std::make_unique<TestStation>(routeAliases(route), routeSettings(route));
        if (!s->start() || !stationGateway()->connected())
            return nullptr;
        competition::create(operatorConnection());
        return s;
    }

private Q_SLOTS:
    void claimOpensTheWindow_data() { support::routeRows(); }
    void claimOpensTheWindow()
    {
        QFETCH(Route, route);
        REQUIRE_ROUTE(route);
        auto s = station(route);
        QVERIFY(s);
        named<QRadioButton>(mainWindow(), "RbC")->setChecked(true);
        pointInput()->forTests().chooseValue(PointInputWindow::Flight, 5);
        bool shownModally = false;
        QString letter;
        bool polling = false;
        QString flight;
        QVERIFY(claimAndRun([&] {
            shownModally = pointInput()->isVisible() && pointInput()->isModal();
            letter = named<QLabel>(pointInput(), "Label1")->text();
            polling = named<QTimer>(stationSession(), "recallTimer")->isActive();
            flight = pointInput()->forTests().valueText(PointInputWindow::Flight);
        }));
        QVERIFY(shownModally);
        QCOMPARE(letter, u"C"_s);
        QVERIFY(polling);
        QCOMPARE(flight, u"0"_s);
        QCOMPARE(readColumn(u"select * from judgeC"_s, u"ent"_s), u"True"_s);
        QCOMPARE(readColumn(u"select * from judgeA"_s, u"ent"_s), u"False"_s);
        QVERIFY(!named<Panel>(mainWindow(), "Panel2")->isVisible());
        QVERIFY(s->messages.isEmpty());
    }

    void takenSeatIsRefused_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<QString>("ent");
        const struct
        {
            const char *name;
            Route route;
        } routes[] = {
            {"SQLite", Route::Sqlite}, {"Firebird", Route::InterBase}, {"MariaDB", Route::Odbc}};
        for (const auto &r : routes) {
            QTest::addRow("%s, True", r.name) << r.route << u"True"_s;
            QTest::addRow("%s, empty", r.name) << r.route << QString();
            QTest::addRow("%s, false in lower case", r.name) << r.route << u"false"_s;
        }
    }
    void takenSeatIsRefused()
    {
        QFETCH(Route, route);
        QFETCH(QString, ent);
        REQUIRE_ROUTE(route);
        auto s = station(route);
        QVERIFY(s);
        execute(u"update judgeC set ent='"_s + ent + u"'"_s);
        named<QRadioButton>(mainWindow(), "RbC")->setChecked(true);
        pointInput()->forTests().chooseValue(PointInputWindow::Flight, 2);
        pointInput()->forTests().chooseValue(PointInputWindow::Landing, 4);
        pointInput()->forTests().chooseValue(PointInputWindow::Outrun, 6);
        QTimer guard; // should the window open, it closes again
        connect(&guard, &QTimer::timeout, pointInput(), [] {
            if (pointInput()->isVisible())
                pointInput()->forTests().closeWindow();
        });
        guard.start(10);
        QTest::mouseClick(named<CuteButton>(mainWindow(), "CuteButton1"), Qt::LeftButton);
        QVERIFY(settle());
        QVERIFY(named<Panel>(mainWindow(), "Panel2")->isVisible());
        QCOMPARE(readColumn(u"select * from judgeC"_s, u"ent"_s), ent);
        // Reset before the seat was tested.
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Flight), u"0"_s);
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Landing), u"0"_s);
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Outrun), u"0"_s);
        QCOMPARE(pointInput()->forTests().entry().column(PointInputWindow::Outrun), -1);
        QVERIFY(s->messages.isEmpty());
    }

    // The notice frees the seat it was shown for, whichever seat the judge selects meanwhile.
    void noticePanelReleasesTheRefusedSeat()
    {
        auto s = station(Route::Sqlite);
        QVERIFY(s);
        execute(u"update judgeB set ent='True'"_s);
        execute(u"update judgeC set ent='True'"_s); // another station's seat
        named<QRadioButton>(mainWindow(), "RbB")->setChecked(true);
        QTest::mouseClick(named<CuteButton>(mainWindow(), "CuteButton1"), Qt::LeftButton);
        QVERIFY(settle());
        QVERIFY(named<Panel>(mainWindow(), "Panel2")->isVisible());
        named<QRadioButton>(mainWindow(), "RbC")->setChecked(true);
        // A click on the notice's text is the label's, not the panel's.
        QTest::mouseClick(named<QLabel>(mainWindow(), "Label4"), Qt::LeftButton, {}, QPoint(10, 5));
        QVERIFY(settle());
        QCOMPARE(readColumn(u"select * from judgeB"_s, u"ent"_s), u"True"_s);
        QTest::mouseClick(named<Panel>(mainWindow(), "Panel2"), Qt::LeftButton, {},
                          QPoint(10, 100));
        QVERIFY(settle());
        QCOMPARE(readColumn(u"select * from judgeB"_s, u"ent"_s), u"False"_s);
        QCOMPARE(readColumn(u"select * from judgeC"_s, u"ent"_s), u"True"_s);
        QVERIFY(named<Panel>(mainWindow(), "Panel2")->isVisible());
        // O.K. only hides the notice.
        execute(u"update judgeB set ent='True'"_s);
        QTest::mouseClick(named<CuteButton>(mainWindow(), "CuteButton2"), Qt::LeftButton);
        QVERIFY(!named<Panel>(mainWindow(), "Panel2")->isVisible());
        QCOMPARE(readColumn(u"select * from judgeB"_s, u"ent"_s), u"True"_s);
    }

    // A seat the judge's table cannot give is said as it is: the table in no letter case,
    // without its one row or with two, or a flag that cannot be fetched. A table the server
    // has in lower case (a MySQL database that lived on Windows) seats the judge.
    void aSeatIsClaimedFromItsOneRow_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<QString>("says"); // how the message starts; none: the seat is taken
        const auto fault = [](TableFault::Kind kind) {
            return stationtexts::tableFault({kind, u"judgeC"_s});
        };
        for (const Route route : {Route::Sqlite, Route::InterBase, Route::Odbc}) {
            const QByteArray name = support::label(route).toUtf8();
            QTest::addRow("%s, no row", name.constData())
                << route << QStringList{u"delete from judgeC"_s} << fault(TableFault::Kind::NoRow);
            QTest::addRow("%s, two rows", name.constData())
                << route << QStringList{u"insert into judgeC (ent) values ('False')"_s}
                << fault(TableFault::Kind::SeveralRows);
        }
        QTest::newRow("SQLite, no table")
            << Route::Sqlite << QStringList{u"alter table judgeC rename to judgeC_gone"_s}
            << fault(TableFault::Kind::Missing);
        QTest::newRow("MariaDB, no table")
            << Route::Odbc
            << QStringList{u"drop table if exists judgeC_gone"_s, u"drop table if exists judgec"_s,
                           u"rename table judgeC to judgeC_gone"_s}
            << fault(TableFault::Kind::Missing);
        QTest::newRow("MariaDB, the table in lower case")
            << Route::Odbc
            << QStringList{u"drop table if exists judgec"_s,
                           u"create table judgec as select * from judgeC"_s, u"drop table judgeC"_s}
            << QString();
        QTest::newRow("Firebird, a flag that cannot be fetched")
            << Route::InterBase
            << QStringList{u"alter table judgeC drop ent"_s,
                           u"alter table judgeC add ent computed by "
                           "(cast(1 / (current_transaction - current_transaction) as varchar(5)))"_s}
            << stationtexts::text(stationtexts::Text::CannotReadSeat).arg(u"judgeC"_s);
    }
    void aSeatIsClaimedFromItsOneRow()
    {
        QFETCH(Route, route);
        QFETCH(QStringList, changes);
        QFETCH(QString, says);
        REQUIRE_ROUTE(route);
        auto s = station(route);
        QVERIFY(s);
        for (const QString &change : changes)
            execute(change);
        named<QRadioButton>(mainWindow(), "RbC")->setChecked(true);
        if (says.isEmpty()) {
            QVERIFY(claimAndRun([] {}));
            QCOMPARE(readColumn(u"select * from judgec"_s, u"ent"_s), u"True"_s);
            QVERIFY(s->messages.isEmpty());
            return;
        }
        QTest::mouseClick(named<CuteButton>(mainWindow(), "CuteButton1"), Qt::LeftButton);
        QVERIFY(settle());
        QCOMPARE(s->messages.size(), 1);
        QVERIFY2(s->messages.first().second.startsWith(says),
                 qPrintable(s->messages.first().second));
        QVERIFY(!pointInput()->isVisible());
        QVERIFY(!named<Panel>(mainWindow(), "Panel2")->isVisible()); // never "taken"
    }

    void noSeatSelected()
    {
        auto s = station(Route::Sqlite);
        QVERIFY(s);
        named<QRadioButton>(mainWindow(), "RbA")->setAutoExclusive(false);
        named<QRadioButton>(mainWindow(), "RbA")->setChecked(false);
        QCOMPARE(stationSession()->seat(), QString());
        pointInput()->forTests().chooseValue(PointInputWindow::Flight, 3);
        QTest::mouseClick(named<CuteButton>(mainWindow(), "CuteButton1"), Qt::LeftButton);
        QVERIFY(settle());
        QCOMPARE(s->messages.size(), 1);
        QCOMPARE(s->messages.first().second, noSeat);
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Flight),
                 u"1.5"_s); // nothing else happened
    }

    void unreachableDatabase()
    {
        // InterBase unreachable; MySQL Local reaches an empty file without the judge tables.
        TestStation s(
            u"[Jump]\nDriver=InterBase\nC:\\IB_data\\Jump.GDB=127.0.0.1/1:/a.fdb\n"
            u"G:\\Jump.GDB=127.0.0.1/1:/b.fdb\n[JumpLocal]\nDriver=SQLite\nDatabase=empty.sqlite\n"_s,
            QByteArray());
        QVERIFY(s.start());
        named<QRadioButton>(mainWindow(), "Rbd")->setChecked(true);
        QTest::mouseClick(named<CuteButton>(mainWindow(), "CuteButton1"), Qt::LeftButton);
        QVERIFY(settle());
        QCOMPARE(s.messages.size(), 1);
        // A PC without Firebird's client (Windows) is told that too.
        const QString missing =
            Database::missingHere({Route::InterBase, u"127.0.0.1/1:/b.fdb"_s, {}, {}});
        QCOMPARE(s.messages.first().second,
                 missing.isEmpty() ? cannotConnect : cannotConnect + u"\n\n"_s + missing);
        QCOMPARE(named<QLabel>(pointInput(), "Label1")->text(),
                 u"D"_s); // steps done before the failure stay done
        QVERIFY(!pointInput()->isVisible());
        QVERIFY(!named<Panel>(mainWindow(), "Panel2")->isVisible());
        // The main window stays usable: another profile, another claim.
        QTest::mouseClick(named<RadioGroup>(mainWindow(), "RGdb")->item(0), Qt::LeftButton, {},
                          QPoint(6, 6));
        QCOMPARE(stationSession()->settings().dbType(), u"MySQL"_s);
        QTest::mouseClick(named<CuteButton>(mainWindow(), "CuteButton1"), Qt::LeftButton);
        QVERIFY(settle());
        QCOMPARE(s.messages.size(), 2);
    }

    void captionColoursFollowTheFocus()
    {
        auto s = station(Route::Sqlite);
        QVERIFY(s);
        QApplication::setActiveWindow(mainWindow());
        QTRY_COMPARE(QApplication::focusWidget(),
                     static_cast<QWidget *>(named<QRadioButton>(mainWindow(), "RbA")));
        QCOMPARE(captionColour(named<QRadioButton>(mainWindow(), "RbA")), yellow);
        QCOMPARE(named<QLabel>(pointInput(), "Label1")->x(), 830);
        QCOMPARE(named<CuteButton>(mainWindow(), "CuteButton1")->color(), TColor(0x00FF8080));

        QTest::keyClick(named<QRadioButton>(mainWindow(), "RbA"),
                        Qt::Key_Right); // to the confirm button
        QCOMPARE(QApplication::focusWidget(),
                 static_cast<QWidget *>(named<CuteButton>(mainWindow(), "CuteButton1")));
        QCOMPARE(named<CuteButton>(mainWindow(), "CuteButton1")->color(), TColor(0x0098F957));
        QCOMPARE(captionColour(named<QRadioButton>(mainWindow(), "RbA")),
                 yellow); // still the last seat with the focus

        QTest::keyClick(named<CuteButton>(mainWindow(), "CuteButton1"),
                        Qt::Key_Right); // to RbB, which becomes selected
        QCOMPARE(QApplication::focusWidget(),
                 static_cast<QWidget *>(named<QRadioButton>(mainWindow(), "RbB")));
        QVERIFY(named<QRadioButton>(mainWindow(), "RbB")->isChecked());
        QCOMPARE(named<CuteButton>(mainWindow(), "CuteButton1")->color(), TColor(0x00FF8080));
        QCOMPARE(captionColour(named<QRadioButton>(mainWindow(), "RbB")), yellow);
        QCOMPARE(captionColour(named<QRadioButton>(mainWindow(), "RbA")), silver);

        // Selecting without the focus changes no colour.
        named<QRadioButton>(mainWindow(), "RbE")->setChecked(true);
        QCOMPARE(captionColour(named<QRadioButton>(mainWindow(), "RbE")), silver);
        QCOMPARE(captionColour(named<QRadioButton>(mainWindow(), "RbB")), yellow);
    }
};

QTEST_MAIN(TestSeat)
#include "tst_seat.moc"
