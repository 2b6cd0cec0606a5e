// Following the run, loading competitors, Start and End, confirming and registering.
#include "app/mainwindow.h"
#include "controls/cutebutton.h"
#include "db/competitiongateway.h"
#include "db/statements.h"
#include "journal/markjournal.h"
#include "pointin/columnedit.h"
#include "pointin/pointinputwindow.h"
#include "station_fixture.h"
#include "support/openboxes.h"
#include "toolkit/fittinglabel.h"
#include "toolkit/panel.h"
#include "toolkit/picture.h"
#include "tools/competition.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString missingPoints =
    u"＊＊＊ ポイントの入っていない部分があります。 ＊＊＊  確認してください。"_s;
const QString competitorChanged = u"選手が変わったため、登録できませんでした。"_s;
const QString notRegistered =
    u"登録できませんでした。データベースが立ち上がっているか確認して、もう一度確定してください。"_s;

struct TableRow
{
    QString zek = u"007"_s;
    QString hon = u"1"_s;
    QString tstno;
    QString name = u"Kasai Noriaki"_s;
    QString team = u"Tsuchiya Home"_s;
    QString sumi;
    QString ap, op, lp;
};

// What the operator's console writes into judge A's table.
void putUp(const TableRow &c, const QString &letter = u"A"_s)
{
    execute(u"update judge"_s + letter + u" set zek="_s + quoted(c.zek) + u", hon="_s +
            quoted(c.hon) + u", tstno="_s + quoted(c.tstno) + u", name="_s + quoted(c.name) +
            u", team="_s + quoted(c.team) + u", sumi="_s + quoted(c.sumi) + u", ap="_s +
            quoted(c.ap) + u", op="_s + quoted(c.op) + u", lp="_s + quoted(c.lp));
}

void setRunning(bool running)
{
    execute(running ? u"update judgeent set jikko='1'"_s : u"update judgeent set jikko='0'"_s);
}

int chosenColumn(int row)
{
    for (int i = 0; i < PointInputWindow::ColumnCount[row]; ++i) {
        if (pointInput()->forTests().valueButton(row, i)->width() ==
            PointInputWindow::Look::chosenWidth)
            return i;
    }
    return -1;
}

CuteButton *value(int row, int column)
{
    return pointInput()->forTests().valueButton(row, column);
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *w) { w->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestPointinFlow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestStation> m_station;
    int m_attemptsBefore = 0;

    int attempts() const { return stationGateway()->registrationAttempts() - m_attemptsBefore; }

    // Today's journal file of the station.
    QString journalFile() const { return m_station->journalFile(); }

    // A poll tick, and its answer.
    bool tick()
    {
        pointInput()->forTests().pollTick();
        return settle();
    }

    // はい, and the outcome.
    bool answerYes()
    {
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton4"), Qt::LeftButton);
        return settle();
    }

    // A station on SQLite with judge A seated and the point input window shown (not modal),
    // the run going and the competitor of c on the table.
    void open(const TableRow &c = TableRow(), Route route = Route::Sqlite)
    {
        startWithTables(routeAliases(route), route);
        putUp(c);
        showSeatA();
    }

    // The station started with its competition tables made and the run going.
    void startWithTables(const QString &aliases, Route route)
    {
        m_station = std::make_unique<TestStation>(aliases, routeSettings(route));
        QVERIFY(m_station->start());
        QVERIFY(stationGateway()->connected());
        competition::create(operatorConnection());
        setRunning(true);
    }

    // Judge A's point input window shown on the table as it stands.
    void showSeatA()
    {
        // Retries without their pause: the attempts are counted, not waited for.
        Bounds bounds;
        bounds.retryPauseMs = 1;
        stationGateway()->setBounds(bounds);
        m_attemptsBefore = stationGateway()->registrationAttempts();
        QVERIFY(judgeSeat(u"A"_s));
    }

    void choose(int row, int column) { QTest::mouseClick(value(row, column), Qt::LeftButton); }

    // Start, a value in each row by mouse, then 確定.
    void enterAndConfirm(int flight, int landing, int outrun)
    {
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton2"), Qt::LeftButton);
        choose(PointInputWindow::Flight, flight);
        choose(PointInputWindow::Landing, landing);
        choose(PointInputWindow::Outrun, outrun);
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton10"), Qt::LeftButton);
    }

    QStringList messages() const { return m_station->texts(); }

private Q_SLOTS:
    void cleanup() { m_station.reset(); }

    void showingLoadsTheCurrentCompetitor()
    {
        TableRow c;
        c.tstno = u"T-3"_s;
        open(c);
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"007"_s);
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit2")->text(), c.name);
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit3")->text(), c.team);
        QCOMPARE(named<QLabel>(pointInput(), "Label9")->text(), u"1 本目"_s);
        // The bib comes from the operator's console only: typing into it changes nothing.
        QTest::keyClicks(named<QLineEdit>(pointInput(), "Edit1"), u"9"_s);
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"007"_s);
        QVERIFY(named<Panel>(pointInput(), "Panel9")->isVisible());
        QCOMPARE(named<QLabel>(pointInput(), "Label26")->text(), u"T-3"_s);
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit4")->text(), u"20.0"_s);
        QCOMPARE(QApplication::focusWidget(),
                 static_cast<QWidget *>(named<CuteButton>(pointInput(), "CuteButton2")));
        QCOMPARE(named<Panel>(pointInput(), "Panel10")->pos(), QPoint(192, 344));
        // The not-ready notice stands until a poll finds the run going.
        QVERIFY(named<Panel>(pointInput(), "Panel7")->isVisible());
        QVERIFY(tick());
        QVERIFY(!named<Panel>(pointInput(), "Panel7")->isVisible());
    }

    void rounds_data()
    {
        QTest::addColumn<QString>("hon");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("notReady");
        QTest::newRow("round 1") << u"1"_s << u"1 本目"_s << false;
        QTest::newRow("round 2") << u"2"_s << u"2 本目"_s << false;
        QTest::newRow("trial round 3") << u"3"_s << u"試技"_s << false;
        QTest::newRow("round 4") << u"4"_s << u"4 本目"_s << false;
        QTest::newRow("empty round") << QString() << u" 本目"_s << false;
        QTest::newRow("round X: not ready, label kept") << u"X"_s << u"1 本目"_s << true;
    }
    void rounds()
    {
        QFETCH(QString, hon);
        QFETCH(QString, label);
        QFETCH(bool, notReady);
        open();
        QVERIFY(tick());
        execute(u"update judgep set TDap='0.5', M2ap='2.5', M3lp='6.5'"_s);
        TableRow c;
        c.zek = u"012"_s;
        c.hon = hon;
        putUp(c);
        QVERIFY(tick());
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"012"_s);
        QCOMPARE(named<QLabel>(pointInput(), "Label9")->text(), label);
        QCOMPARE(named<Panel>(pointInput(), "Panel7")->isVisible(), notReady);
        // The reference marks are read with every new competitor.
        QCOMPARE(named<ColumnEdit>(pointInput(), qPrintable(u"DBEdit%1"_s.arg((0) + 1)))->text(),
                 u"0.5"_s);
        QCOMPARE(named<ColumnEdit>(pointInput(), qPrintable(u"DBEdit%1"_s.arg((6) + 1)))->text(),
                 u"2.5"_s);
        QCOMPARE(named<ColumnEdit>(pointInput(), qPrintable(u"DBEdit%1"_s.arg((11) + 1)))->text(),
                 u"6.5"_s);
        if (notReady) {
            choose(PointInputWindow::Flight, 2);
            QVERIFY(tick()); // still X: not ready
            QVERIFY(named<Panel>(pointInput(), "Panel7")->isVisible());
            execute(u"update judgeA set hon='2'"_s);
            QVERIFY(tick()); // the same competitor in round 2: the notice goes, the entry stays
            QVERIFY(!named<Panel>(pointInput(), "Panel7")->isVisible());
            QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"012"_s);
            QCOMPARE(named<QLabel>(pointInput(), "Label9")->text(), u"2 本目"_s);
            QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Flight), u"1"_s);
        }
    }

    void trialText()
    {
        open();
        QVERIFY(!named<Panel>(pointInput(), "Panel9")->isVisible());
        TableRow c;
        c.zek = u"020"_s;
        c.tstno = u"2 - 1"_s;
        putUp(c);
        QVERIFY(tick());
        QVERIFY(named<Panel>(pointInput(), "Panel9")->isVisible());
        QCOMPARE(named<QLabel>(pointInput(), "Label26")->text(), u"2 - 1"_s);
        QCOMPARE(named<Panel>(pointInput(), "Panel9")->x(), 160);
        c.zek = u"021"_s;
        c.tstno.clear();
        putUp(c);
        QVERIFY(tick());
        QVERIFY(!named<Panel>(pointInput(), "Panel9")->isVisible());
    }

    void registeredCompetitorIsReadBackFromRace_data()
    {
        QTest::addColumn<QString>("hon");
        QTest::addColumn<bool>("registered");
        QTest::newRow("round 1") << u"1"_s << true;
        QTest::newRow("round 2") << u"2"_s << true;
        QTest::newRow("round 3 reads nothing") << u"3"_s << false;
        QTest::newRow("round 4 reads nothing") << u"4"_s << false;
    }
    void registeredCompetitorIsReadBackFromRace()
    {
        QFETCH(QString, hon);
        QFETCH(bool, registered);
        open();
        QVERIFY(tick());
        const QString round = hon == u"2"_s ? u"2"_s : u"1"_s;
        execute(u"insert into race (zno) values ('031')"_s);
        execute(u"update race set Aa"_s + round + u"='2.5', Ao"_s + round + u"='1', Al"_s + round +
                u"='3.5' where zno='031'"_s);
        TableRow c;
        c.zek = u"031"_s;
        c.hon = hon;
        c.sumi = u"T"_s;
        putUp(c);
        QVERIFY(tick());
        QCOMPARE(named<Panel>(pointInput(), "Panel5")->isVisible(), registered);
        if (!registered) {
            QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Flight), u"0"_s);
            return;
        }
        QCOMPARE(named<Panel>(pointInput(), "Panel5")->color(), TColor(0x0000FFFF));
        QCOMPARE(named<QLabel>(pointInput(), "Label21")->text(), u"Registered"_s);
        QCOMPARE(named<QLabel>(pointInput(), "Label22")->text(), u"登録済みです。"_s);
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Flight), u"2.5"_s);
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Landing), u"1"_s);
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Outrun), u"3.5"_s);
        QCOMPARE(chosenColumn(PointInputWindow::Outrun), 7);
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit4")->text(), u"13.0"_s);
        QCOMPARE(QApplication::focusWidget(),
                 static_cast<QWidget *>(value(PointInputWindow::Outrun, 7)));
        // Start uncovers the confirm button for a new entry.
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton2"), Qt::LeftButton);
        QVERIFY(!named<Panel>(pointInput(), "Panel5")->isVisible());
    }

    // The registered marks are chosen through the focus either way; right after showing the
    // focus then goes to Start, so the judge's first Enter does not go to 確定.
    void focusAfterLoadingARegisteredCompetitor_data()
    {
        QTest::addColumn<bool>("byPoll");
        QTest::newRow("window shown on it -> Start") << false;
        QTest::newRow("loaded by a poll -> the last registered value") << true;
    }
    void focusAfterLoadingARegisteredCompetitor()
    {
        QFETCH(bool, byPoll);
        open();
        QVERIFY(tick());
        execute(u"insert into race (zno) values ('031')"_s);
        execute(u"update race set Aa1='2.5', Ao1='1', Al1='3.5' where zno='031'"_s);
        TableRow c;
        c.zek = u"031"_s;
        c.sumi = u"T"_s;
        putUp(c);
        if (byPoll) {
            QVERIFY(tick());
        } else {
            pointInput()->forTests().closeWindow();
            QVERIFY(judgeSeat(u"A"_s));
        }
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"031"_s);
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Outrun), u"3.5"_s);
        QCOMPARE(chosenColumn(PointInputWindow::Outrun), 7);
        QWidget *focus = byPoll ? static_cast<QWidget *>(value(PointInputWindow::Outrun, 7))
                                : named<CuteButton>(pointInput(), "CuteButton2");
        QCOMPARE(QApplication::focusWidget(), focus);
    }

    void registeredCompetitorWithoutRaceRow()
    {
        open();
        QVERIFY(tick());
        TableRow c;
        c.zek = u"999"_s;
        c.sumi = u"T"_s;
        putUp(c);
        QVERIFY(tick());
        QVERIFY(pointInput()->isVisible());
        QVERIFY(named<Panel>(pointInput(), "Panel5")->isVisible());
        QCOMPARE(chosenColumn(PointInputWindow::Flight), -1);
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Flight), u"0"_s);
    }

    // What the operator's side can break, and how it mends it again.
    void failedCheckKeepsTheWindowAndTheEntry_data()
    {
        QTest::addColumn<QString>("zek");
        QTest::addColumn<QString>("breaks");
        QTest::addColumn<QString>("mends");
        QTest::newRow("zek not a number") << u"abc"_s << QString() << QString();
        QTest::newRow("zek empty") << QString() << QString() << QString();
        QTest::newRow("judgep missing") << u"008"_s << u"alter table judgep rename to jp_away"_s
                                        << u"alter table jp_away rename to judgep"_s;
        QTest::newRow("a column missing")
            << u"008"_s << u"alter table judgeA rename column team to team_away"_s
            << u"alter table judgeA rename column team_away to team"_s;
    }
    void failedCheckKeepsTheWindowAndTheEntry()
    {
        QFETCH(QString, zek);
        QFETCH(QString, breaks);
        QFETCH(QString, mends);
        open();
        QVERIFY(tick());
        choose(PointInputWindow::Flight, 3);
        TableRow c;
        c.zek = zek;
        putUp(c);
        if (!breaks.isEmpty())
            execute(breaks);
        QVERIFY(tick());
        QVERIFY(tick());
        QVERIFY(pointInput()->isVisible());
        QVERIFY(named<QTimer>(stationSession(), "recallTimer")->isActive());
        QCOMPARE(messages().size(), 1); // once while the failure lasts
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"007"_s);
        QCOMPARE(chosenColumn(PointInputWindow::Flight), 3);
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Flight), u"1.5"_s);
        QCOMPARE(readColumn(u"select * from judgeA"_s, u"ent"_s), u"True"_s);

        if (!mends.isEmpty())
            execute(mends);
        c.zek = u"008"_s;
        c.name = u"Funaki Kazuyoshi"_s;
        putUp(c);
        QVERIFY(tick());
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"008"_s);
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit2")->text(), c.name);
        QCOMPARE(messages().size(), 1);
    }

    void droppedConnectionIsToldOnceAndPollingGoesOn_data() { support::serverRows(); }
    void droppedConnectionIsToldOnceAndPollingGoesOn()
    {
        QFETCH(Route, route);
        REQUIRE_ROUTE(route);
        open(TableRow(), route);
        QVERIFY(tick());
        choose(PointInputWindow::Outrun, 3);
        TableRow next;
        next.zek = u"008"_s;
        next.name = u"Funaki Kazuyoshi"_s;
        putUp(next);
        dropOtherConnections(route); // the server drops the station's connection
        QVERIFY(tick());
        QVERIFY(pointInput()->isVisible());
        QVERIFY(named<QTimer>(stationSession(), "recallTimer")->isActive());
        QCOMPARE(messages().size(), 1);
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"007"_s);
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Outrun),
                 u"1.5"_s); // the entry stays

        QVERIFY(tick()); // connects again and loads the competitor in full
        QCOMPARE(messages().size(), 1);
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"008"_s);
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit2")->text(), next.name);
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit4")->text(), u"20.0"_s);
    }

    void failedCheckWhileShowingIsToldOnceTheWindowIsDrawn()
    {
        TableRow c;
        c.zek = u"abc"_s;
        open(c);
        QVERIFY(pointInput()->isVisible());
        QVERIFY(named<QTimer>(stationSession(), "recallTimer")->isActive());
        QTRY_COMPARE(messages().size(), 1);
        // The window is made ready all the same.
        QCOMPARE(named<Panel>(pointInput(), "Panel10")->pos(), QPoint(192, 344));
        QVERIFY(named<Panel>(pointInput(), "Panel7")->isVisible());
        QCOMPARE(QApplication::focusWidget(),
                 static_cast<QWidget *>(named<CuteButton>(pointInput(), "CuteButton2")));
        QVERIFY(tick());
        QCOMPARE(messages().size(), 1);
    }

    // Real boxes, the real poll timer and exec(): the show's failed check, ticks while its box
    // is open, a lasting failure, the row mended, then a failure in the middle of polling.
    void failedChecksUnderARealEventLoop()
    {
        TestStation station(sqliteAliases(), QByteArray());
        QVERIFY(station.start());
        competition::create(operatorConnection());
        setRunning(true);
        TableRow c;
        c.zek = u"abc"_s;
        putUp(c);
        messages::setSink({});
        named<QTimer>(stationSession(), "recallTimer")->setInterval(20);
        PaintCounter counter(pointInput());

        int step = 0;
        int mostBoxes = 0;
        QStringList told;
        QStringList trouble;
        int paintsAtClose = 0;
        QElapsedTimer clock;
        QTimer driver;
        auto close = [&](QMessageBox *box) {
            told << box->text();
            box->button(QMessageBox::Ok)->click();
            paintsAtClose = counter.paints;
            clock.restart();
        };
        connect(&driver, &QTimer::timeout, this, [&] {
            const QList<QMessageBox *> boxes = openBoxes();
            mostBoxes = std::max(mostBoxes, int(boxes.size()));
            if (!pointInput()->isVisible() && step < 5)
                trouble << u"the window went at step %1"_s.arg(step);
            switch (step) {
            case 0: // the show's failure, while ticks go on underneath
                if (!boxes.isEmpty() && clock.isValid() && clock.elapsed() > 300) {
                    close(boxes.first());
                    ++step;
                } else if (!boxes.isEmpty() && !clock.isValid()) {
                    clock.start();
                }
                break;
            case 1: // the failure lasts: not told again; then the operator mends the row
                if (clock.elapsed() > 300) {
                    c.zek = u"008"_s;
                    putUp(c);
                    ++step;
                }
                break;
            case 2: // loaded as soon as the row is good, drawn, and the window takes input
                if (named<QLineEdit>(pointInput(), "Edit1")->text() == u"008"_s &&
                    counter.paints > paintsAtClose) {
                    QApplication::setActiveWindow(pointInput()); // as the judge's click would
                    QTest::mouseClick(value(PointInputWindow::Landing, 4), Qt::LeftButton);
                    if (chosenColumn(PointInputWindow::Landing) != 4)
                        trouble << u"a click on landing 2 chose nothing"_s;
                    c.zek = u"x9"_s;
                    putUp(c);
                    ++step;
                }
                break;
            case 3: // a failure in the middle of polling
                if (!boxes.isEmpty()) {
                    close(boxes.first());
                    ++step;
                }
                break;
            case 4:
                if (clock.elapsed() > 300 && counter.paints >= paintsAtClose) {
                    if (chosenColumn(PointInputWindow::Landing) != 4)
                        trouble << u"the entry was lost"_s;
                    ++step;
                    QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton3"),
                                      Qt::LeftButton); // End
                }
                break;
            default:
                break;
            }
        });
        driver.start(15);
        // Never hang the test run; the timer goes with the test, as its captures do.
        QTimer giveUp;
        giveUp.setSingleShot(true);
        connect(&giveUp, &QTimer::timeout, this, [&] {
            trouble << u"gave up at step %1"_s.arg(step);
            for (QMessageBox *box : openBoxes())
                box->reject();
            pointInput()->forTests().closeWindow();
        });
        giveUp.start(15000);
        QTest::mouseClick(named<CuteButton>(mainWindow(), "CuteButton1"), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return step == 5 && !pointInput()->isVisible(); }, 20000));
        driver.stop();
        QVERIFY2(trouble.isEmpty(), qPrintable(trouble.join(u"; "_s)));
        QCOMPARE(step, 5);
        QCOMPARE(mostBoxes, 1);
        QCOMPARE(told.size(), 2);
        QVERIFY(told.at(0).contains(u"abc"_s));
        QCOMPARE(readColumn(u"select * from judgeA"_s, u"ent"_s), u"False"_s);
    }

    // A box of ours is up when the claim's answer comes: the point input window opens beside
    // it, not inside it, and every later report reaches the screen while the window is up.
    void aReportIsShownWhateverBoxWasUpAtTheClaim()
    {
        TestStation station(sqliteAliases(), QByteArray());
        QVERIFY(station.start());
        competition::create(operatorConnection());
        setRunning(true);
        putUp(TableRow());
        messages::setSink({});
        named<QTimer>(stationSession(), "recallTimer")->setInterval(20);
        stationSession()->claimSeat();
        messages::show(mainWindow(), u"up before the claim answered"_s);
        QTRY_VERIFY(pointInput()->isVisible());
        QMessageBox *before = openBoxes().value(0);
        QVERIFY(before);
        before->button(QMessageBox::Ok)->click();
        TableRow unreadable;
        unreadable.zek = u"abc"_s;
        putUp(unreadable);
        QTRY_VERIFY(!openBoxes().isEmpty());
        QVERIFY(openBoxes().first()->text().contains(u"abc"_s));
        QVERIFY(pointInput()->isVisible());
        openBoxes().first()->button(QMessageBox::Ok)->click();
        QTRY_VERIFY(openBoxes().isEmpty());
        pointInput()->forTests().closeWindow();
    }

    // What the rows show is what would be written, also when the window is shown again and
    // loads nothing.
    void aNewClaimStartsWithAnEmptyEntry()
    {
        TestStation station(sqliteAliases(), QByteArray());
        QVERIFY(station.start());
        competition::create(operatorConnection());
        setRunning(true); // judge A's table holds no competitor: the showing loads nothing
        named<QRadioButton>(mainWindow(), "RbA")->setChecked(true);
        auto end = [] {
            QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton3"), Qt::LeftButton);
            settle();
        };
        QVERIFY(claimAndRun([&] {
            QTest::mouseClick(value(PointInputWindow::Flight, 6), Qt::LeftButton);
            QTest::mouseClick(value(PointInputWindow::Landing, 4), Qt::LeftButton);
            QTest::mouseClick(value(PointInputWindow::Outrun, 2), Qt::LeftButton);
            end();
        }));
        QStringList afterwards;
        QVERIFY(claimAndRun([&] {
            for (int row = 0; row < PointInputWindow::RowCount; ++row)
                afterwards << QString::number(chosenColumn(row));
            afterwards << pointInput()->forTests().valueText(PointInputWindow::Flight)
                       << pointInput()->forTests().valueText(PointInputWindow::Landing)
                       << pointInput()->forTests().valueText(PointInputWindow::Outrun)
                       << named<QLineEdit>(pointInput(), "Edit4")->text();
            QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton10"),
                              Qt::LeftButton); // 確定
            afterwards << QString::number(named<Panel>(pointInput(), "Panel10")->isVisible());
            end();
        }));
        QCOMPARE(afterwards, (QStringList{u"-1"_s, u"-1"_s, u"-1"_s, u"0"_s, u"0"_s, u"0"_s,
                                          u"20.0"_s, u"0"_s}));
        QCOMPARE(station.messages.size(), 1);
        QCOMPARE(station.messages.first().second, missingPoints);
        QCOMPARE(readColumn(u"select * from judgeA"_s, u"sumi"_s), QString());
    }

    void databaseTextIsShownAsItStands()
    {
        TableRow c;
        c.hon = u"<b>1</b>"_s;
        c.tstno = u"<img src=x>"_s;
        c.name = u"<i>Kasai</i> &amp; Co"_s;
        open(c);
        QCOMPARE(named<QLabel>(pointInput(), "Label9")->text(), u"<b>1</b> 本目"_s);
        QCOMPARE(named<QLabel>(pointInput(), "Label26")->text(), c.tstno);
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit2")->text(), c.name);
        // Drawn as text: as wide as its characters, not as a (missing) picture.
        QVERIFY(named<QLabel>(pointInput(), "Label26")->sizeHint().width() >=
                named<QLabel>(pointInput(), "Label26")->fontMetrics().horizontalAdvance(c.tstno));
        for (QWidget *window :
             {static_cast<QWidget *>(mainWindow()), static_cast<QWidget *>(pointInput())}) {
            for (QLabel *label : window->findChildren<QLabel *>()) {
                if (label->pixmap().isNull())
                    QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
            }
        }
    }

    // A database of an old Windows console: its texts are CP932 bytes, whatever its columns
    // declare. Written here as bytes, so that no client converts them.
    void legacyTextsAreReadAsTheConsoleWroteThem_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<QString>("charset"); // of every column of judge A
        QTest::addColumn<QString>("bytes");   // a literal of hex bytes %1 for that column
        QTest::addColumn<QString>("encoding");
        const QString hex = u"x'%1'"_s;
        QTest::newRow("Firebird, character set NONE")
            << Route::InterBase << u"character set none"_s << hex << u"CP932"_s;
        QTest::newRow("Firebird, character set SJIS_0208")
            << Route::InterBase << u"character set sjis_0208"_s
            << u"cast(x'%1' as varchar(500) character set sjis_0208)"_s << u"Shift_JIS"_s;
        for (const QString &charset : {u"latin1"_s, u"sjis"_s, u"cp932"_s})
            QTest::addRow("MariaDB, character set %s", qPrintable(charset))
                << Route::Odbc << u"character set "_s + charset << hex << u"sjis"_s;
        QTest::newRow("SQLite, bytes in a text column")
            << Route::Sqlite << QString() << hex << u" cp932 "_s;
    }
    void legacyTextsAreReadAsTheConsoleWroteThem()
    {
        QFETCH(Route, route);
        QFETCH(QString, charset);
        QFETCH(QString, bytes);
        QFETCH(QString, encoding);
        REQUIRE_ROUTE(route);
        QString aliases = routeAliases(route);
        aliases.replace(QRegularExpression(u"(Driver=\\w+\\n)"_s),
                        u"\\1Encoding="_s + encoding + u"\n"_s);
        startWithTables(aliases, route);
        const QString column = u" varchar(500) "_s + charset;
        execute(u"drop table judgeA"_s);
        execute(u"create table judgeA (ent%1, zek%1, hon%1, tstno%1, name%1, team%1, sumi%1, "
                "ap%1, op%1, lp%1, tp%1)"_s.arg(column));
        execute(u"insert into judgeA (ent, zek, hon, tstno, name, team, sumi, ap, op, lp, tp) "
                "values ('True', '', '', '', '', '', '', '', '', '', '')"_s);
        showSeatA();
        const QString team = u"白馬ｽｷｰ倶楽部"_s; // 9492946ebdb7b08be48a799594
        const QString trial = u"試技①"_s;        // 8e8e8b5a8740
        // The name and its CP932 bytes; 﨑 and 髙 as the IBM and as the NEC codes.
        const QList<std::pair<QString, QString>> names = {
            {u"山川 翔太"_s, u"8e5290ec20e3c491be"_s},
            {u"ｻｶｲ ﾘｮｳ①"_s, u"bbb6b220d8aeb38740"_s},
            {u"山﨑 髙志"_s, u"8e52fab120fbfc8e75"_s},
            {u"山﨑 髙志"_s, u"8e52ed9520eee08e75"_s},
            {u"高橋 ②ﾃｽﾄ"_s, u"8d828bb4208741c3bdc4"_s},
            // Cut on the server within the last 山: the half of it is no character.
            {u"A"_s + QString(127, u'山'), u"41"_s + u"8e52"_s.repeated(200)},
        };
        QStringList journalNames;
        int bib = 100;
        for (const auto &[name, hex] : names) {
            execute(u"update judgeA set zek='%1', hon='1', sumi='', ap='', op='', lp='', tp='', "
                    "name=%2, team=%3, tstno=%4"_s.arg(++bib)
                        .arg(bytes.arg(hex), bytes.arg(u"9492946ebdb7b08be48a799594"_s),
                             bytes.arg(u"8e8e8b5a8740"_s)));
            QVERIFY(tick());
            QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), QString::number(bib));
            QCOMPARE(named<QLineEdit>(pointInput(), "Edit2")->text(), name);
            QCOMPARE(named<QLineEdit>(pointInput(), "Edit3")->text(), team);
            QCOMPARE(named<QLabel>(pointInput(), "Label26")->text(), trial);
            enterAndConfirm(2, 3, 4);
            QVERIFY(answerYes());
            QCOMPARE(named<QLabel>(pointInput(), "Label22")->text(), u"登録しました。"_s);
            journalNames << name;
        }
        QVERIFY(messages().isEmpty());
        QFile file(journalFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList written;
        for (const journal::Entry &e : journal::readAll(QString::fromUtf8(file.readAll())).entries)
            written << e.name;
        QCOMPARE(written, journalNames);
    }

    void endReleasesTheSeatAndCloses()
    {
        open();
        named<Panel>(pointInput(), "Panel10")->show();
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton3"), Qt::LeftButton);
        QVERIFY(settle());
        QCOMPARE(readColumn(u"select * from judgeA"_s, u"ent"_s), u"False"_s);
        QVERIFY(!named<QTimer>(stationSession(), "recallTimer")->isActive());
        QVERIFY(!named<Panel>(pointInput(), "Panel10")->isVisible());
        QVERIFY(named<QLineEdit>(pointInput(), "Edit1")->text().isEmpty());
        QVERIFY(!pointInput()->isVisible());
    }

    void diagnosticShowsTheLastJudgeStatement()
    {
        open();
        QVERIFY(!named<QLineEdit>(pointInput(), "Edit6")->isVisible());
        QTest::mouseDClick(named<Picture>(pointInput(), "Image2"), Qt::LeftButton);
        QVERIFY(named<QLineEdit>(pointInput(), "Edit6")->isVisible());
        // As run on SQLite: each text cut on the server.
        const QString shown = named<QLineEdit>(pointInput(), "Edit6")->text();
        QVERIFY2(shown.startsWith(u"select substr(ent, 1, 64) as ent, "_s) &&
                     shown.endsWith(u" from judgeA"_s),
                 qPrintable(shown));
    }

    void registration_data()
    {
        QTest::addColumn<QString>("letter");
        QTest::addColumn<int>("flight");
        QTest::addColumn<int>("landing");
        QTest::addColumn<int>("outrun");
        QTest::addColumn<QStringList>("statement");
        // As on SQLite, which compares texts with the blanks after them: without them.
        const QString where = u"where rtrim(zek, ' ')='007' and (rtrim(coalesce(hon,''), ' ')='1' "
                              "or rtrim(hon, ' ')='X')"_s;
        QTest::newRow("judge A, all zero") << u"A"_s << 0 << 0 << 0
                                           << QStringList{u"update judgeA set ap='0',op='0',"_s,
                                                          u"lp='0',tp='20.0',sumi='T' "_s + where};
        QTest::newRow("judge B, 2.5 1 0.5")
            << u"B"_s << 5 << 2 << 1
            << QStringList{u"update judgeB set ap='2.5',op='1',"_s,
                           u"lp='0.5',tp='16.0',sumi='T' "_s + where};
        QTest::newRow("judge E, 5 5 7") << u"E"_s << 10 << 10 << 14
                                        << QStringList{u"update judgeE set ap='5',op='5',"_s,
                                                       u"lp='7',tp='3.0',sumi='T' "_s + where};
        QTest::newRow("judge C, 0.5 0 0") << u"C"_s << 1 << 0 << 0
                                          << QStringList{u"update judgeC set ap='0.5',op='0',"_s,
                                                         u"lp='0',tp='19.5',sumi='T' "_s + where};
    }
    void registration()
    {
        QFETCH(QString, letter);
        QFETCH(int, flight);
        QFETCH(int, landing);
        QFETCH(int, outrun);
        QFETCH(QStringList, statement);
        open();
        pointInput()->forTests().setSeat(letter);
        putUp(TableRow(), letter);
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton2"), Qt::LeftButton);
        choose(PointInputWindow::Flight, flight);
        choose(PointInputWindow::Landing, landing);
        choose(PointInputWindow::Outrun, outrun);
        named<QLineEdit>(pointInput(), "Edit4")->setText(u"99.9"_s); // typed by hand: never written
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton10"), Qt::LeftButton);
        QVERIFY(named<Panel>(pointInput(), "Panel10")->isVisible());
        QCOMPARE(QApplication::focusWidget(),
                 static_cast<QWidget *>(named<CuteButton>(pointInput(), "CuteButton4")));
        QTest::keyClick(named<CuteButton>(pointInput(), "CuteButton4"), Qt::Key_Return);
        QVERIFY(settle());
        const QString table = u"select * from judge"_s + letter;
        QCOMPARE(readColumn(table, u"ap"_s), EntryModel::caption(flight));
        QCOMPARE(readColumn(table, u"op"_s), EntryModel::caption(landing));
        QCOMPARE(readColumn(table, u"lp"_s), EntryModel::caption(outrun));
        QCOMPARE(readColumn(table, u"sumi"_s), u"T"_s);
        // The statement as written, with the mark the table now holds.
        Competitor shown;
        shown.bibAsRead = u"007"_s;
        shown.round = Round(u"1"_s);
        QCOMPARE(
            statements::registration(statements::Server(operatorConnection()), letter,
                                     {EntryModel::caption(flight), EntryModel::caption(landing),
                                      EntryModel::caption(outrun), readColumn(table, u"tp"_s)},
                                     shown),
            statement);
        QVERIFY(named<Panel>(pointInput(), "Panel5")->isVisible());
        QCOMPARE(named<Panel>(pointInput(), "Panel5")->color(), TColor(0x00FFFF00));
        QCOMPARE(named<QLabel>(pointInput(), "Label21")->text(), u"Registered"_s);
        QCOMPARE(named<QLabel>(pointInput(), "Label22")->text(), u"登録しました。"_s);
        QVERIFY(!named<Panel>(pointInput(), "Panel10")->isVisible());
        QCOMPARE(named<CuteButton>(pointInput(), "CuteButton10")->color(),
                 PointInputWindow::Look::normalFace);
        QCOMPARE(attempts(), 1);
        QVERIFY(messages().isEmpty());
    }

    void marksLandOnlyOnTheCompetitorShown_data() { support::routeRows(); }
    void marksLandOnlyOnTheCompetitorShown()
    {
        QFETCH(Route, route);
        REQUIRE_ROUTE(route);
        open(TableRow(), route);
        enterAndConfirm(2, 3, 4);
        // The operator puts the next competitor up before a poll has shown it.
        TableRow next;
        next.zek = u"008"_s;
        next.ap = u"0.5"_s;
        putUp(next);
        QVERIFY(answerYes());
        QCOMPARE(messages(), QStringList{competitorChanged});
        QCOMPARE(attempts(), 1); // no second attempt
        QVERIFY(!named<Panel>(pointInput(), "Panel5")->isVisible());
        QVERIFY(!named<Panel>(pointInput(), "Panel10")->isVisible());
        const QString table = u"select * from judgeA"_s;
        QCOMPARE(readColumn(table, u"sumi"_s), QString());
        QCOMPARE(readColumn(table, u"ap"_s), u"0.5"_s);
        QCOMPARE(readColumn(table, u"lp"_s), QString());

        // The same marks twice are no changed competitor (MariaDB counts found rows).
        QVERIFY(tick());
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"008"_s);
        for (int time = 0; time < 2; ++time) {
            enterAndConfirm(2, 3, 4);
            QVERIFY(answerYes());
            QVERIFY(named<Panel>(pointInput(), "Panel5")->isVisible());
            QCOMPARE(named<QLabel>(pointInput(), "Label22")->text(), u"登録しました。"_s);
        }
        QCOMPARE(messages(), QStringList{competitorChanged});
        QCOMPARE(readColumn(table, u"lp"_s), u"2"_s);
        QCOMPARE(readColumn(table, u"sumi"_s), u"T"_s);
    }

    // Rounds as an operator's console may store them: the marks land on the competitor shown,
    // on every route, and nowhere else; "X" (no round) on either side is the same competitor.
    void oddRoundsLandOnlyOnTheCompetitorShown_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<QString>("hon");
        QTest::addColumn<QString>("beforeYes"); // what the console does before はい
        QTest::addColumn<bool>("registered");
        const struct
        {
            const char *name;
            const char16_t *hon;
            const char16_t *beforeYes;
            bool registered;
        } cases[] = {
            {"round ending in a backslash", u"1\\", u"", true},
            // It fits the console's ten characters; with backslash escapes it would end its
            // literal and match any row.
            {"round that would end its literal, next competitor up", u"x\\' or 1#",
             u"update judgeA set zek='008', hon='1'", false},
            {"row turned X before yes", u"1", u"update judgeA set hon='X'", true},
            {"shown in X, row left X before yes", u"X", u"update judgeA set hon='1'", true},
        };
        for (const Route route : {Route::Sqlite, Route::InterBase, Route::Odbc}) {
            for (const auto &c : cases)
                QTest::addRow("%s: %s", qPrintable(support::label(route)), c.name)
                    << route << QString::fromUtf16(c.hon) << QString::fromUtf16(c.beforeYes)
                    << c.registered;
        }
    }
    void oddRoundsLandOnlyOnTheCompetitorShown()
    {
        QFETCH(Route, route);
        QFETCH(QString, hon);
        QFETCH(QString, beforeYes);
        QFETCH(bool, registered);
        REQUIRE_ROUTE(route);
        TableRow c;
        c.hon = hon;
        open(c, route);
        enterAndConfirm(2, 3, 4);
        if (!beforeYes.isEmpty())
            execute(beforeYes);
        QVERIFY(answerYes());
        const QString table = u"select * from judgeA"_s;
        QCOMPARE(readColumn(table, u"sumi"_s), registered ? u"T"_s : QString());
        QCOMPARE(readColumn(table, u"lp"_s), registered ? u"2"_s : QString());
        QCOMPARE(messages(), registered ? QStringList() : QStringList{competitorChanged});
    }

    // A round holding a control character is a row the station cannot read: told once, and
    // the competitor on display, the entry and the seat stay.
    void roundWithAControlCharacterIsUnreadable_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<int>("code");
        for (const Route route : {Route::Sqlite, Route::InterBase, Route::Odbc}) {
            for (const auto &[name, code] : {std::pair{"NUL", 0}, {"line break", 10}, {"tab", 9}})
                QTest::addRow("%s: %s", qPrintable(support::label(route)), name) << route << code;
        }
    }
    void roundWithAControlCharacterIsUnreadable()
    {
        QFETCH(Route, route);
        QFETCH(int, code);
        REQUIRE_ROUTE(route);
        open(TableRow(), route);
        choose(PointInputWindow::Flight, 3);
        // "1", the character, "2", in each engine's words.
        const QString c = QString::number(code);
        const QString round = route == Route::Sqlite ? u"'1' || char(%1) || '2'"_s.arg(c)
                              : route == Route::InterBase
                                  ? u"'1' || ascii_char(%1) || '2'"_s.arg(c)
                                  : u"concat('1', char(%1 using utf8mb4), '2')"_s.arg(c);
        execute(u"update judgeA set zek='008', hon="_s + round);
        QVERIFY(tick());
        QVERIFY(tick());
        QCOMPARE(messages().size(), 1);
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"007"_s);
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Flight), u"1.5"_s);
        QCOMPARE(readColumn(u"select * from judgeA"_s, u"ent"_s), u"True"_s);
    }

    // A poll reads no more of a text than the window shows, whatever the console stored.
    void longTextsAreCutOnTheServer_data() { support::routeRows(); }
    void longTextsAreCutOnTheServer()
    {
        QFETCH(Route, route);
        REQUIRE_ROUTE(route);
        TableRow c;
        c.name = QString(500, u'名');
        open(c, route);
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit2")->text(), QString(256, u'名'));
        if (route != Route::Sqlite)
            return; // the servers keep the round to its column's ten characters
        execute(u"update judgeA set zek='008', hon='"_s + QString(100000, u'1') + u"'"_s);
        QVERIFY(tick());
        QCOMPARE(messages().size(), 1); // a round no console writes: the row is unreadable
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"007"_s);
    }

    // A poll that loads the next competitor before the registration's outcome: the outcome is
    // told, and the new competitor's notice stays.
    void lateOutcomeLeavesTheNextCompetitorsNotice()
    {
        open();
        enterAndConfirm(2, 3, 4);
        TableRow next;
        next.zek = u"008"_s;
        next.sumi = u"T"_s;
        putUp(next);
        pointInput()->forTests().pollTick(); // on its way first; はい waits behind it
        QVERIFY(answerYes());
        QCOMPARE(messages(), QStringList{competitorChanged});
        QCOMPARE(named<QLineEdit>(pointInput(), "Edit1")->text(), u"008"_s);
        QVERIFY(named<Panel>(pointInput(), "Panel5")->isVisible());
        QCOMPARE(named<QLabel>(pointInput(), "Label22")->text(), u"登録済みです。"_s);
    }

    void answersFollowTheArrows()
    {
        open();
        enterAndConfirm(1, 1, 1);
        QCOMPARE(named<CuteButton>(pointInput(), "CuteButton4")->color(), TColor(0x0000FFFF));
        QCOMPARE(named<CuteButton>(pointInput(), "CuteButton5")->color(), TColor(0x00400000));
        QTest::keyClick(named<CuteButton>(pointInput(), "CuteButton4"), Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(),
                 static_cast<QWidget *>(named<CuteButton>(pointInput(), "CuteButton5")));
        QCOMPARE(named<CuteButton>(pointInput(), "CuteButton5")->color(), TColor(0x0000FFFF));
        QCOMPARE(named<CuteButton>(pointInput(), "CuteButton5")->fontColor(), TColor(0x00A00000));
        QCOMPARE(named<CuteButton>(pointInput(), "CuteButton4")->color(), TColor(0x00400000));
        QCOMPARE(named<CuteButton>(pointInput(), "CuteButton4")->fontColor(), TColor(0x00808080));
        QTest::keyClick(named<CuteButton>(pointInput(), "CuteButton5"), Qt::Key_Return);
        QVERIFY(!named<Panel>(pointInput(), "Panel10")->isVisible());
        QCOMPARE(readColumn(u"select * from judgeA"_s, u"sumi"_s), QString());
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Flight),
                 u"0.5"_s); // the entry is left as it was
        QCOMPARE(chosenColumn(PointInputWindow::Outrun), 1);
    }

    void failedRegistrationIsReportedAndCanBeRepeated()
    {
        open();
        enterAndConfirm(3, 2, 4);
        execute(u"alter table judgeA rename to judgeA_away"_s);
        QVERIFY(answerYes());
        QCOMPARE(messages(), QStringList{notRegistered});
        QCOMPARE(attempts(), 10);
        QVERIFY(!named<Panel>(pointInput(), "Panel5")->isVisible());
        QVERIFY(!named<Panel>(pointInput(), "Panel10")->isVisible());
        QCOMPARE(named<CuteButton>(pointInput(), "CuteButton10")->color(),
                 PointInputWindow::Look::normalFace);
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Flight), u"1.5"_s);
        QCOMPARE(chosenColumn(PointInputWindow::Outrun), 4);
        QCOMPARE(readColumn(u"select * from judgeA_away"_s, u"sumi"_s), QString());
        // Back again: confirming once more writes the marks.
        execute(u"alter table judgeA_away rename to judgeA"_s);
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton10"), Qt::LeftButton);
        QVERIFY(answerYes());
        QCOMPARE(readColumn(u"select * from judgeA"_s, u"lp"_s), u"2"_s);
        QCOMPARE(readColumn(u"select * from judgeA"_s, u"tp"_s), u"15.5"_s);
        QVERIFY(named<Panel>(pointInput(), "Panel5")->isVisible());
    }

    // The outcome comes while another window is active (a poll's message box): when the point
    // input window is active again, no value takes the focus of the answer that went, and the
    // entry is what the judge chose.
    void anOutcomeBehindAnotherWindowKeepsTheEntry()
    {
        open();
        QApplication::setActiveWindow(pointInput());
        enterAndConfirm(3, 2, 4);
        QCOMPARE(QApplication::focusWidget(),
                 static_cast<QWidget *>(named<CuteButton>(pointInput(), "CuteButton4")));
        execute(u"alter table judgeA rename to judgeA_away"_s);
        QWidget box;
        box.show();
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton4"), Qt::LeftButton);
        QApplication::setActiveWindow(&box);
        QVERIFY(settle());
        QCOMPARE(messages(), QStringList{notRegistered});
        box.hide();
        QApplication::setActiveWindow(pointInput());
        QCOMPARE(chosenColumn(PointInputWindow::Flight), 3);
        QCOMPARE(pointInput()->forTests().valueText(PointInputWindow::Flight), u"1.5"_s);
        QCOMPARE(chosenColumn(PointInputWindow::Landing), 2);
        QCOMPARE(chosenColumn(PointInputWindow::Outrun), 4);
        execute(u"alter table judgeA_away rename to judgeA"_s);
        QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton10"), Qt::LeftButton);
        QVERIFY(answerYes());
        QCOMPARE(readColumn(u"select * from judgeA"_s, u"ap"_s), u"1.5"_s);
    }

    void wholeFlowFromTheSeatClaim_data() { support::routeRows(); }
    void wholeFlowFromTheSeatClaim()
    {
        QFETCH(Route, route);
        REQUIRE_ROUTE(route);
        TestStation station(routeAliases(route), routeSettings(route));
        QVERIFY(station.start());
        competition::create(operatorConnection());
        setRunning(true);
        TableRow c;
        c.zek = u"015"_s;
        // 高 and Ø: MariaDB's ODBC driver reports texts holding them too short.
        c.name = u"高梨 沙羅"_s;
        c.team = u"Ørsta IL"_s;
        putUp(c, u"D"_s);
        named<QRadioButton>(mainWindow(), "Rbd")->setChecked(true);
        QStringList shown;
        QVERIFY(claimAndRun([&] {
            shown << named<QLineEdit>(pointInput(), "Edit2")->text()
                  << named<QLineEdit>(pointInput(), "Edit3")->text();
            QTest::keyClick(named<CuteButton>(pointInput(), "CuteButton2"), Qt::Key_Space); // Start
            QWidget *w = QApplication::focusWidget();
            QTest::keyClick(w, Qt::Key_Right);                            // flight 0.5
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);  // flight 1
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // landing 0
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);   // landing 5
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // outrun 0
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);  // outrun 0.5
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // to 確定
            QCOMPARE(QApplication::focusWidget(),
                     static_cast<QWidget *>(named<CuteButton>(pointInput(), "CuteButton10")));
            QTest::keyClick(named<CuteButton>(pointInput(), "CuteButton10"), Qt::Key_Return);
            QTest::keyClick(named<CuteButton>(pointInput(), "CuteButton4"), Qt::Key_Return); // はい
            settle();
            shown << named<QLabel>(pointInput(), "Label22")->text();
            QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton3"),
                              Qt::LeftButton); // End
            settle();
        }));
        QCOMPARE(shown, (QStringList{c.name, c.team, u"登録しました。"_s}));
        QVERIFY(station.messages.isEmpty());
        const QString table = u"select * from judgeD"_s;
        QCOMPARE(readColumn(table, u"ap"_s), u"1"_s);
        QCOMPARE(readColumn(table, u"op"_s), u"5"_s);
        QCOMPARE(readColumn(table, u"lp"_s), u"0.5"_s);
        QCOMPARE(readColumn(table, u"tp"_s), u"13.5"_s);
        QCOMPARE(readColumn(table, u"sumi"_s), u"T"_s);
        QCOMPARE(readColumn(table, u"ent"_s), u"False"_s);
        QCOMPARE(readColumn(u"select * from judgeA"_s, u"sumi"_s), QString());
    }
};

QTEST_MAIN(TestPointinFlow)
#include "tst_pointin_flow.moc"
