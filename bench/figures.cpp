#include "figures.h"

#include "app/mainwindow.h"
#include "app/station.h"
#include "app/stationsession.h"
#include "controls/cutebutton.h"
#include "db/competitiongateway.h"
#include "db/dbengine.h"
#include "db/statements.h"
#include "db/statementworker.h"
#include "pointin/pointinputwindow.h"
#include "process.h"
#include "support/named.h"
#include "support/relay.h"
#include "toolkit/fittinglabel.h"
#include "toolkit/messages.h"
#include "toolkit/panel.h"
#include "toolkit/radiogroup.h"
#include "xwatch.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QTimer>

#include <array>
#include <cstdio>
#include <functional>
#include <span>

using namespace Qt::StringLiterals;

namespace bench {

namespace {

std::unique_ptr<Station> s_station; // the station in this process, while one runs

MainWindow *mainWindow()
{
    return s_station ? &s_station->mainWindow() : nullptr;
}

PointInputWindow *pointInput()
{
    return s_station ? &s_station->pointInputWindow() : nullptr;
}

CompetitionGateway *stationGateway()
{
    return s_station ? &s_station->gateway() : nullptr;
}

StationSession *stationSession()
{
    return s_station ? &s_station->session() : nullptr;
}

// Ends the figure being measured; the text goes into the table.
struct Failure
{
    QString text;
};

void check(bool ok, const QString &what)
{
    if (!ok)
        throw Failure{what};
}

// Paints what is pending and lets the display server and the database server catch up, so
// that every timed piece starts from the same quiet state.
void quiesce()
{
    QCoreApplication::processEvents();
    sleepMs(1);
}

double microsecondsOf(const std::function<void()> &work)
{
    const qint64 start = nowNs();
    work();
    return double(nowNs() - start) / 1000;
}

// Medians of each run, and the ratio of the two medians of each run.
struct Runs
{
    QList<double> subject;
    QList<double> reference;
    QList<double> ratio;

    void add(const QList<double> &subjectSamples, const QList<double> &referenceSamples)
    {
        const double s = median(subjectSamples);
        const double r = median(referenceSamples);
        subject << s;
        reference << r;
        ratio << (r > 0 ? s / r : 0);
    }
};

Row pairedRow(const QString &figure, const Site &site, const QString &unit, int decimals,
              const QString &referenceName, const Runs &runs, double target)
{
    Row row{figure, site.label(), unit, decimals};
    row.subject = summarise(runs.subject);
    row.referenceName = referenceName;
    row.reference = summarise(runs.reference);
    row.ratio = summarise(runs.ratio);
    row.target = target;
    return row;
}

Row failedRow(const QString &figure, const Site &site, const QString &error)
{
    Row row{figure, site.label()};
    row.error = error;
    return row;
}

// ---------------------------------------------------------------------------------------------
// In this process: the station as the program builds it, the point input window open on seat A.

// Processes events until the point input window has what it asked the gateway for.
void waitAnswered()
{
    while (pointInput()->forTests().pollInFlight() || pointInput()->forTests().registering())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

class InProcessStation
{
public:
    ~InProcessStation()
    {
        if (mainWindow() && mainWindow()->isVisible())
            mainWindow()->close();
        s_station.reset();
        messages::setSink({});
    }

    // aliasFile: the station's own (a relay's), else the site's.
    void start(Site &site, const Bounds &bounds = {}, const QString &aliasFile = QString())
    {
        site.enter();
        if (!aliasFile.isEmpty())
            qputenv("TOLLIVANE_ALIASES", aliasFile.toLocal8Bit());
        messages::setSink([this](messages::Kind, const QString &text) { m_messages << text; });
        s_station = std::make_unique<Station>();
        mainWindow()->show();
        check(QTest::qWaitFor(
                  [] {
                      return (named<RadioGroup>(mainWindow(), "RGdbi")->itemIndex() >= 0 ||
                              named<RadioGroup>(mainWindow(), "RGdb")->itemIndex() >= 0) &&
                             !s_station->session().connecting();
                  },
                  30000),
              u"the main window's first show picked no profile"_s);
        check(stationGateway()->connected(), u"the station did not connect"_s);
        stationGateway()->setBounds(bounds);

        // Seat A, claimed as a judge claims it.
        site.exec(u"update judgeA set ent='False'"_s);
        stationSession()->claimSeat();
        check(QTest::qWaitFor(
                  [this] {
                      return !m_messages.isEmpty() ||
                             (s_station->existingPointInputWindow() && pointInput()->isVisible());
                  },
                  30000),
              u"the seat claim opened no point input window"_s);
        checkQuiet();
        QApplication::setActiveWindow(pointInput());
        check(QTest::qWaitForWindowExposed(pointInput()), u"the point input window did not show"_s);
        waitAnswered();
        check(named<QLineEdit>(pointInput(), "Edit1")->text() == u"001",
              u"the point input window loaded no competitor"_s);
        checkQuiet();
    }

    void checkQuiet() const
    {
        check(m_messages.isEmpty(), u"the terminal said: "_s + m_messages.join(u" / "_s));
        check(pointInput()->isVisible(), u"the point input window closed"_s);
    }

    QStringList messages() const { return m_messages; }

    // A connection of its own on the station's route, for the raw statements: the station's
    // own lives on the gateway's worker thread.
    QSqlDatabase rawConnection()
    {
        if (!m_raw) {
            m_raw = std::make_unique<Database>(u"bench-raw"_s);
            m_raw->setAliasName(stationGateway()->alias());
            for (const QString &line : stationGateway()->params())
                m_raw->params().add(line);
            m_raw->open();
        }
        return QSqlDatabase::database(m_raw->qtConnectionName(), false);
    }

private:
    QStringList m_messages;
    std::unique_ptr<Database> m_raw;
};

// A select as the plainest Qt SQL code would run it: one row read, nothing kept open.
void rawSelect(const QSqlDatabase &db, const QString &statement)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(statement))
        throw Failure{q.lastError().text()};
    if (q.next()) {
        const QSqlRecord row = q.record();
        Q_UNUSED(row)
    }
    q.finish();
}

// An update in a transaction of its own, as the terminal writes marks: committed only once it
// is known to have matched its row.
void rawWrite(QSqlDatabase db, const QString &statement)
{
    if (!db.transaction())
        throw Failure{db.lastError().text()};
    QSqlQuery q(db);
    if (!q.exec(statement) || !db.commit())
        throw Failure{q.lastError().text() + db.lastError().text()};
}

struct TickCase
{
    const char16_t *figure;
    const char16_t *jikko;
    bool newCompetitor;
    int statements; // the first n of the tick's statements
};

const QString tickStatements[] = {u"select jikko from judgeent"_s, u"select * from judgeA"_s,
                                  u"select * from judgep"_s};

const TickCase tickCases[] = {
    {u"Poll tick, operator not ready", u"0", false, 1},
    {u"Poll tick, run going, competitor unchanged", u"1", false, 2},
    {u"Poll tick, new competitor loaded", u"1", true, 3},
};

Row measureTicks(Site &site, InProcessStation &station, const TickCase &c, const Options &options)
{
    const QString figure = QString::fromUtf16(c.figure);
    site.exec(u"update judgeent set jikko='"_s + QString::fromUtf16(c.jikko) + u"'"_s);
    pointInput()->forTests().pollTick();
    waitAnswered();
    const QSqlDatabase db = station.rawConnection();
    const QStringList raw(tickStatements, tickStatements + c.statements);

    Runs runs;
    for (int rep = 0; rep < options.reps; ++rep) {
        QList<double> ticks;
        QList<double> raws;
        int loads = 0;
        for (int i = 0; i < options.ticks; ++i) {
            // Another bib on the table: the tick loads it.
            if (c.newCompetitor)
                site.exec(i % 2 ? u"update judgeA set zek='002'"_s
                                : u"update judgeA set zek='001'"_s);
            const auto tick = [&] {
                quiesce();
                // From the tick to its answer shown: the worker's statements and both hops.
                ticks << microsecondsOf([] {
                    pointInput()->forTests().pollTick();
                    waitAnswered();
                });
                loads +=
                    named<QLineEdit>(pointInput(), "Edit1")->text() == (i % 2 ? u"002" : u"001") &&
                            c.newCompetitor
                        ? 1
                        : 0;
            };
            const auto statements = [&] {
                quiesce();
                raws << microsecondsOf([&] {
                    for (const QString &statement : raw)
                        rawSelect(db, statement);
                });
            };
            // Taking turns at going first evens out what the one leaves to the other.
            if (i % 2) {
                statements();
                tick();
            } else {
                tick();
                statements();
            }
        }
        // The tick did what the case says, with the statements the raw run issues.
        if (c.newCompetitor) {
            site.exec(u"update judgeA set zek='001'"_s);
            pointInput()->forTests().pollTick();
            waitAnswered();
        }
        station.checkQuiet();
        check(named<Panel>(pointInput(), "Panel7")->isVisible() == (c.jikko == u"0"_s),
              u"the not-ready notice is wrong"_s);
        check(named<QLineEdit>(pointInput(), "Edit1")->text() == u"001",
              u"the competitor on display is wrong"_s);
        check(
            loads == (c.newCompetitor ? options.ticks : 0),
            u"the tick loaded the competitor %1 times in %2 ticks"_s.arg(loads).arg(options.ticks));
        runs.add(ticks, raws);
    }
    const QString reference =
        c.statements == 1 ? u"1 raw select"_s : u"%1 raw selects"_s.arg(c.statements);
    return pairedRow(figure, site, u"µs"_s, 0, reference, runs, 1.5);
}

void clickValue(int row, int column)
{
    QTest::mouseClick(pointInput()->forTests().valueButton(row, column), Qt::LeftButton);
}

const QString registrationFigure = u"Registration, はい to committed row"_s;
const QString bannerFigure = u"Registration, はい to 登録しました shown"_s;

QList<Row> measureRegistration(Site &site, InProcessStation &station, const Options &options)
{
    // Round 1 on the table and on display: the raw update below names it too.
    site.exec(u"update judgeA set hon='1'"_s);
    site.exec(u"update judgeent set jikko='1'"_s);
    pointInput()->forTests().pollTick();
    waitAnswered();
    QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton2"), Qt::LeftButton); // Start
    clickValue(PointInputWindow::Landing, 2);
    clickValue(PointInputWindow::Outrun, 3);
    const QSqlDatabase db = station.rawConnection();

    // The gateway says so as soon as the worker has committed the row, before the window
    // records the outcome and puts the banner up.
    qint64 committedNs = 0;
    stationGateway()->setRegistrationAnsweredForTests([&committedNs](bool registered) {
        if (registered && committedNs == 0)
            committedNs = nowNs();
    });

    Runs toCommit;
    Runs toBanner;
    for (int rep = 0; rep < options.reps; ++rep) {
        QList<double> commits;
        QList<double> banners;
        QList<double> raws;
        for (int i = 0; i < options.registrations; ++i) {
            // Each registration writes other marks than the one before.
            const int flight = 1 + i % 2;
            clickValue(PointInputWindow::Flight, flight);
            // 確定 by keyboard: the banner of the last registration covers it for the mouse.
            QTest::keyClick(named<CuteButton>(pointInput(), "CuteButton10"), Qt::Key_Return);
            check(named<Panel>(pointInput(), "Panel10")->isVisible(), u"確定 asked nothing"_s);
            quiesce();
            committedNs = 0;
            const qint64 start = nowNs();
            QTest::keyClick(named<CuteButton>(pointInput(), "CuteButton4"), Qt::Key_Return); // はい
            waitAnswered();
            const qint64 end = nowNs();
            check(committedNs > 0 && named<Panel>(pointInput(), "Panel5")->isVisible() &&
                      named<QLabel>(pointInput(), "Label22")->text() == u"登録しました。",
                  u"the registration failed"_s);
            commits << double(committedNs - start) / 1000;
            banners << double(end - start) / 1000;
            if (rep == 0 && i == 0) {
                // Committed: another connection reads the marks.
                check(site.read(u"select * from judgeA"_s, u"ap"_s) ==
                              EntryModel::caption(flight) &&
                          site.read(u"select * from judgeA"_s, u"sumi"_s) == u"T",
                      u"the marks are not in the table"_s);
            }
            quiesce();
            // The same statement, changing the row too: an update that changes nothing is
            // cheaper on SQLite and MariaDB.
            Competitor shown;
            shown.bibAsRead = u"001"_s;
            shown.round = Round(u"1"_s);
            const QString update =
                statements::registration(
                    statements::Server(site.console()), u"A"_s,
                    {EntryModel::caption(3),
                     pointInput()->forTests().valueText(PointInputWindow::Landing),
                     pointInput()->forTests().valueText(PointInputWindow::Outrun), u"15.5"_s},
                    shown)
                    .join(u'\n');
            raws << microsecondsOf([&] { rawWrite(db, update); });
        }
        station.checkQuiet();
        toCommit.add(commits, raws);
        toBanner.add(banners, raws);
    }
    stationGateway()->setRegistrationAnsweredForTests({});
    return {pairedRow(registrationFigure, site, u"µs"_s, 0, u"1 raw update in a transaction"_s,
                      toCommit, 1.5),
            pairedRow(bannerFigure, site, u"µs"_s, 0, u"1 raw update in a transaction"_s, toBanner,
                      1.5)};
}

// ---------------------------------------------------------------------------------------------
// Child processes.

QString childLog(const Site &site)
{
    return site.folder() + u"/children.log"_s;
}

// What the children said on standard error, for a figure that failed.
void showChildLog(const Site &site)
{
    QFile log(childLog(site));
    if (!log.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> lines = log.readAll().split('\n');
    std::fputs("bench: the children's last words:\n", stderr);
    for (qsizetype i = std::max<qsizetype>(0, lines.size() - 20); i < lines.size(); ++i)
        std::fputs(QByteArray(lines[i] + '\n').constData(), stderr);
}

// Where a child got to: its start-up time in ms and its peak memory in kB.
struct ChildRun
{
    double startupMs = 0;
    double peakKb = 0;
};

ChildRun runChild(const QStringList &command, const Site &site)
{
    const QString program = command.join(u' ');
    Child child(command, site.environment(), childLog(site));
    check(child.started(), u"cannot start "_s + program);
    const auto ready = child.readLine(30000);
    check(ready && ready->text == "ready",
          u"%1 said %2"_s.arg(program, ready ? QString::fromUtf8(ready->text) : u"nothing"_s));
    const auto hwm = child.readLine(30000);
    check(hwm && hwm->text.startsWith("hwm "),
          u"%1 said %2"_s.arg(program, hwm ? QString::fromUtf8(hwm->text) : u"nothing"_s));
    check(child.waitForExit(10000) && child.exitStatus() == 0, program + u" did not end well"_s);
    return {double(ready->atNs - child.startedNs()) / 1e6, hwm->text.mid(4).toDouble()};
}

double mapTime(const QString &program, const QByteArray &title, const Site &site)
{
    MapWatch watch;
    Child child({program}, site.environment(), childLog(site));
    check(child.started(), u"cannot start "_s + program);
    const auto mapped = watch.waitForMap(title, 30000);
    check(mapped.has_value(), program + u" showed no window"_s);
    return double(mapped->atNs - child.startedNs()) / 1e6;
}

// A click on a value button as the event loop gets to it: the time it waited in the queue
// plus the time its handler took.
class ClickProbe : public QObject
{
public:
    double worstMs = 0;
    int clicks = 0;

    void post()
    {
        const qint64 posted = nowNs();
        QMetaObject::invokeMethod(
            this,
            [this, posted] {
                const int column = clicks++ % 4;
                QTest::mouseClick(
                    pointInput()->forTests().valueButton(PointInputWindow::Landing, column),
                    Qt::LeftButton);
                worstMs = std::max(worstMs, double(nowNs() - posted) / 1e6);
            },
            Qt::QueuedConnection);
    }
};

// The station reaches its server through a relay that stops forwarding without closing: the
// polls go on every 3 s, a registration is tried in the middle, and the judge clicks a value
// every 50 ms throughout.
Row measureHang(Site &site, const Options &options)
{
    const QString figure =
        u"Longest answer to a click, server hanging for %1 s"_s.arg(options.hangSeconds);
    const bool firebird = site.route() == Route::InterBase;
    try {
        Relay relay(firebird ? u"localhost"_s : u"127.0.0.1"_s, firebird ? 3050 : 3306);
        const QString aliasFile = site.folder() + u"/aliases-relay.ini"_s;
        QFile file(aliasFile);
        check(file.open(QIODevice::WriteOnly), u"cannot write "_s + aliasFile);
        const QString location = site.database().section(u':', 1);
        file.write(firebird ? u"[Jump]\nDriver=InterBase\nG:\\Jump.GDB=127.0.0.1/%1:%2\n"_s
                                  .arg(relay.port())
                                  .arg(location)
                                  .toUtf8()
                            : u"[JumpLocal]\nDriver=ODBC\nDSN=DSN=%1;SERVER=127.0.0.1;PORT=%2\n"_s
                                  .arg(site.database())
                                  .arg(relay.port())
                                  .toUtf8());
        file.close();
        site.freeSeats();
        InProcessStation station;
        station.start(site, {}, aliasFile);
        relay.hold();
        named<QTimer>(stationSession(), "recallTimer")->start();
        ClickProbe probe;
        QTimer clicks;
        QObject::connect(&clicks, &QTimer::timeout, &probe, [&probe] { probe.post(); });
        clicks.start(50);
        // はい a second into the hang: its outcome comes well before the path is back.
        QTimer::singleShot(1000, pointInput(), [] {
            QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton2"),
                              Qt::LeftButton); // Start
            for (int row = 0; row < PointInputWindow::RowCount; ++row)
                QTest::mouseClick(pointInput()->forTests().valueButton(row, 1), Qt::LeftButton);
            QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton10"), Qt::LeftButton);
            QTest::mouseClick(named<CuteButton>(pointInput(), "CuteButton4"),
                              Qt::LeftButton); // はい
        });
        QEventLoop hang;
        QTimer::singleShot(options.hangSeconds * 1000, &hang, &QEventLoop::quit);
        hang.exec();
        clicks.stop();
        check(!pointInput()->forTests().registering(), u"はい had no outcome within the hang"_s);
        named<QTimer>(stationSession(), "recallTimer")->stop();
        const QStringList told = station.messages();
        relay.release();
        check(QTest::qWaitFor([] { return CompetitionGateway::abandonedWorkers() == 0; }, 30000),
              u"a worker still hangs after the path came back"_s);
        check(!told.isEmpty() && told.size() <= 2,
              u"the station said %1 things during the hang"_s.arg(told.size()));
        Row row{figure, site.label(), u"ms"_s, 1};
        row.subject = summarise({probe.worstMs});
        row.target = 100;
        return row;
    } catch (const Failure &f) {
        return failedRow(figure, site, f.text);
    } catch (const Error &e) {
        return failedRow(figure, site, e.text());
    }
}

} // namespace

// A request that runs no statement: what the worker adds to every request of the terminal,
// the two hops between the threads and the queue's own work.
Row measureRoundTrip(Site &site, const Options &options)
{
    const QString figure = u"Statement worker round trip, no statement"_s;
    StatementWorker worker;
    worker.setTarget({stationGateway()->alias(), stationGateway()->params()});
    const auto once = [&worker] {
        bool answered = false;
        worker.run<Done>(
            StatementWorker::Options{},
            [](Database &, const StatementWorker::MayCommit &) { return Done{}; },
            Then<Done>(&worker, [&answered](const Reply<Done> &) { answered = true; }));
        while (!answered)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    once(); // connects
    QList<double> runs;
    for (int rep = 0; rep < options.reps; ++rep) {
        QList<double> trips;
        for (int i = 0; i < options.ticks; ++i) {
            quiesce();
            trips << microsecondsOf(once);
        }
        runs << median(trips);
    }
    Row row{figure, site.label(), u"µs"_s, 0};
    row.subject = summarise(runs);
    return row;
}

namespace {

// Each tick case's row; one that fails says why in its row.
QList<Row> tickRows(Site &site, InProcessStation &station, std::span<const TickCase> cases,
                    const Options &options)
{
    QList<Row> rows;
    for (const TickCase &c : cases) {
        try {
            rows << measureTicks(site, station, c, options);
        } catch (const Failure &f) {
            rows << failedRow(QString::fromUtf16(c.figure), site, f.text);
        } catch (const Error &e) {
            rows << failedRow(QString::fromUtf16(c.figure), site, e.text());
        }
    }
    return rows;
}

} // namespace

QList<Row> measureInProcess(Site &site, const Options &options)
{
    QList<Row> rows;
    InProcessStation station;
    try {
        station.start(site);
    } catch (const Failure &f) {
        for (const TickCase &c : tickCases)
            rows << failedRow(QString::fromUtf16(c.figure), site, f.text);
        rows << failedRow(registrationFigure, site, f.text);
        return rows;
    }
    rows << tickRows(site, station, tickCases, options);
    try {
        rows << measureRegistration(site, station, options);
    } catch (const Failure &f) {
        rows << failedRow(registrationFigure, site, f.text);
    } catch (const Error &e) {
        rows << failedRow(registrationFigure, site, e.text());
    }
    try {
        rows << measureRoundTrip(site, options);
    } catch (const Failure &f) {
        rows << failedRow(u"Statement worker round trip, no statement"_s, site, f.text);
    }
    return rows;
}

QList<Row> measureTextTicks(Site &site, const Options &options)
{
    // The not-ready tick reads jikko alone, no text of the console's.
    const std::span<const TickCase> cases = std::span(tickCases).subspan(1);
    QList<Row> rows;
    InProcessStation station;
    try {
        station.start(site);
    } catch (const Failure &f) {
        for (const TickCase &c : cases)
            rows << failedRow(QString::fromUtf16(c.figure), site, f.text);
        return rows;
    }
    rows << tickRows(site, station, cases, options);
    return rows;
}

QList<Row> measureHangs(Site &site, const Options &options)
{
    if (site.route() == Route::Sqlite)
        return {};
    QList<double> worst;
    Row last{QString(), site.label()};
    for (int rep = 0; rep < options.hangReps; ++rep) {
        last = measureHang(site, options);
        if (!last.error.isEmpty())
            return {last};
        worst << last.subject->median;
    }
    last.subject = summarise(worst);
    return {last};
}

QList<Row> measureStartup(Site &site, const Options &options)
{
    const QStringList probe{options.binDir + u"/tollivane-probe"_s};
    const QStringList bare{options.binDir + u"/bare-window"_s};
    const QStringList japanese{options.binDir + u"/bare-window"_s, u"--japanese"_s};
    const QString startupFigure = u"Start-up to main window shown and connected (probe)"_s;
    const QString memoryFigure = u"Peak memory, point input window open (probe)"_s;
    const QString mapFigure = u"Start-up to main window mapped (real tollivane)"_s;
    QList<Row> rows;
    try {
        Runs startup;
        Runs startupJapanese;
        Runs memory;
        Runs memoryJapanese;
        Runs mapped;
        for (int rep = 0; rep < options.reps; ++rep) {
            site.freeSeats();
            // Taking turns at going first evens out what one run leaves to the next.
            std::array<ChildRun, 3> run;
            const std::array<const QStringList *, 3> commands{&probe, &bare, &japanese};
            for (int i = 0; i < 3; ++i) {
                const int which = (i + rep) % 3;
                run[which] = runChild(*commands[which], site);
            }
            startup.add({run[0].startupMs}, {run[1].startupMs});
            startupJapanese.add({run[0].startupMs}, {run[2].startupMs});
            memory.add({run[0].peakKb / 1024}, {run[1].peakKb / 1024});
            memoryJapanese.add({run[0].peakKb / 1024}, {run[2].peakKb / 1024});
            if (options.realTerminal) {
                const double t = mapTime(options.terminal, "Fmain", site);
                const double b = mapTime(bare.first(), "bare-window", site);
                mapped.add({t}, {b});
            }
        }
        rows << pairedRow(startupFigure, site, u"ms"_s, 0, u"bare window"_s, startup, 1.5)
             << pairedRow(startupFigure, site, u"ms"_s, 0, u"bare window with a Japanese label"_s,
                          startupJapanese, 1.3);
        if (options.realTerminal)
            rows << pairedRow(mapFigure, site, u"ms"_s, 0, u"bare window mapped"_s, mapped, 1.5);
        rows << pairedRow(memoryFigure, site, u"MiB"_s, 1, u"bare window"_s, memory, 1.5)
             << pairedRow(memoryFigure, site, u"MiB"_s, 1, u"bare window with a Japanese label"_s,
                          memoryJapanese, 1.3);
    } catch (const Failure &f) {
        showChildLog(site);
        rows << failedRow(startupFigure, site, f.text) << failedRow(memoryFigure, site, f.text);
    } catch (const Error &e) {
        rows << failedRow(startupFigure, site, e.text()) << failedRow(memoryFigure, site, e.text());
    }
    site.freeSeats();
    return rows;
}

QList<Row> measureIdle(Site &site, const Options &options)
{
    const bool real = options.realTerminal;
    const QString figure = real ? u"Idle CPU, following an unchanged competitor (real tollivane)"_s
                                : u"Idle CPU, following an unchanged competitor (probe)"_s;
    const QString memoryFigure = u"Peak memory after following for the idle run (real tollivane)"_s;
    QList<Row> rows;
    try {
        QList<double> cpu;
        QList<double> peak;
        QList<double> barePeak;
        for (int rep = 0; rep < options.idleReps; ++rep) {
            site.freeSeats();
            std::unique_ptr<Child> child;
            if (real) {
                MapWatch watch;
                child = std::make_unique<Child>(QStringList{options.terminal}, site.environment(),
                                                childLog(site));
                const auto main = watch.waitForMap("Fmain", 30000);
                check(main.has_value(), u"tollivane showed no window"_s);
                sleepMs(1000); // the first show connects
                // The judge clicks the confirm button of the seat already chosen (A).
                check(
                    run({u"xdotool"_s, u"mousemove"_s, u"--window"_s, QString::number(main->window),
                         u"365"_s, u"316"_s, u"click"_s, u"1"_s}) == 0,
                    u"xdotool failed"_s);
                check(watch.waitForMap("Fpointin", 10000).has_value(),
                      u"the point input window did not open"_s);
            } else {
                child = std::make_unique<Child>(
                    QStringList{options.binDir + u"/tollivane-probe"_s, u"--stay"_s},
                    site.environment(), childLog(site));
                const auto ready = child->readLine(30000);
                const auto hwm = child->readLine(30000);
                check(ready && ready->text == "ready" && hwm && hwm->text.startsWith("hwm "),
                      u"the probe did not open the point input window"_s);
            }
            check(site.read(u"select * from judgeA"_s, u"ent"_s) == u"True",
                  u"the seat was not claimed"_s);
            sleepMs(options.idleSettleMs);
            const qint64 cpu0 = cpuTicks(child->pid());
            const qint64 t0 = nowNs();
            sleepMs(options.idleSeconds * 1000);
            const qint64 cpu1 = cpuTicks(child->pid());
            const qint64 t1 = nowNs();
            check(cpu0 >= 0 && cpu1 >= 0, u"the terminal ended during the idle run"_s);
            cpu << 100.0 * double(cpu1 - cpu0) / double(ticksPerSecond()) / (double(t1 - t0) / 1e9);
            peak << double(peakResidentKb(child->pid())) / 1024;
            child->stop();
            if (real) {
                Child bare({options.binDir + u"/bare-window"_s}, site.environment(),
                           childLog(site));
                check(bare.readLine(30000).has_value(), u"bare-window did not show"_s);
                const auto hwm = bare.readLine(30000);
                check(hwm && hwm->text.startsWith("hwm "), u"bare-window said no memory"_s);
                barePeak << hwm->text.mid(4).toDouble() / 1024;
            }
        }
        Row row{figure, site.label(), u"%"_s, 2};
        row.subject = summarise(cpu);
        row.target = 0.5;
        rows << row;
        if (real) {
            Runs memory;
            for (qsizetype i = 0; i < peak.size(); ++i)
                memory.add({peak[i]}, {barePeak[i]});
            rows << pairedRow(memoryFigure, site, u"MiB"_s, 1, u"bare-window"_s, memory, 1.5);
        }
    } catch (const Failure &f) {
        showChildLog(site);
        rows << failedRow(figure, site, f.text);
    } catch (const Error &e) {
        rows << failedRow(figure, site, e.text());
    }
    site.freeSeats();
    return rows;
}

} // namespace bench
