// Renders the terminal's windows offscreen to PNG files, to look at them:
//   tollivane-shots <folder>
// The station runs on a demo competition of its own in a temporary folder (the user's settings
// and alias file are not touched): the main window, the point input window with a competitor,
// and the point input window with each notice shown alone.
#include "app/mainwindow.h"
#include "app/station.h"
#include "app/stationsession.h"
#include "db/competitiongateway.h"
#include "db/dbengine.h"
#include "pointin/pointinputwindow.h"
#include "toolkit/messages.h"
#include "tools/competition.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// A control by its form name.
QWidget *named(QWidget *window, const char *name)
{
    return window->findChild<QWidget *>(QLatin1String(name));
}

// Runs the event loop until the condition holds, at most ten seconds.
template<class Condition> bool waitFor(Condition condition)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}

bool save(QWidget *w, const QString &dir, const char *name)
{
    const QString path = dir + u'/' + QLatin1String(name) + u".png"_s;
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

void demoEnvironment(const QTemporaryDir &temp)
{
    qputenv("XDG_CONFIG_HOME", temp.path().toLocal8Bit());
    QFile aliases(temp.filePath(u"aliases.ini"_s));
    if (aliases.open(QIODevice::WriteOnly))
        aliases.write("[Jump]\nDriver=SQLite\nDatabase=demo.sqlite\n");
    qputenv("TOLLIVANE_ALIASES", aliases.fileName().toLocal8Bit());
    messages::setSink([](messages::Kind, const QString &text) {
        std::printf("message: %s\n", qPrintable(text));
    });
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(u"Fusion"_s);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"shots"_s;
    QDir().mkpath(dir);
    QTemporaryDir temp;
    demoEnvironment(temp);

    Station station;
    MainWindow *mainWindow = &station.mainWindow();
    mainWindow->show();
    CompetitionGateway *gateway = &station.gateway();
    const StationSession *session = &station.session();
    if (!waitFor([gateway, session] { return !session->connecting() && gateway->connected(); })) {
        std::printf("the demo database did not open\n");
        return 1;
    }
    Database console(u"console"_s); // the operator's side
    console.setAliasName(gateway->alias());
    for (const QString &line : gateway->params())
        console.params().add(line);
    competition::create(console);
    competition::seed(console);
    competition::step(console); // the first competitor, the run going

    bool ok = save(mainWindow, dir, "main");
    QWidget *seatTaken = named(mainWindow, "Panel2");
    seatTaken->show();
    ok = save(mainWindow, dir, "main-registered-notice") && ok;
    seatTaken->hide();

    station.session().claimSeat(); // seat A, as the judge claims it
    ok = waitFor([&station] {
             return station.existingPointInputWindow() &&
                    station.existingPointInputWindow()->isVisible();
         }) &&
         ok;
    PointInputWindow *pointInput = &station.pointInputWindow();
    const auto answered = [gateway, pointInput] {
        return gateway->idle() && !pointInput->forTests().pollInFlight();
    };
    ok = waitFor(answered) && ok;
    pointInput->forTests().pollTick();
    ok = waitFor(answered) && ok;
    ok = save(pointInput, dir, "pointin") && ok;

    const struct
    {
        QWidget *notice;
        const char *name;
    } notices[] = {
        {named(pointInput, "Panel5"), "pointin-panel5"},
        {named(pointInput, "Panel7"), "pointin-panel7"},
        {named(pointInput, "Panel9"), "pointin-panel9"},
        {named(pointInput, "Panel10"), "pointin-panel10"},
    };
    for (const auto &n : notices) {
        for (const auto &other : notices)
            other.notice->setVisible(other.notice == n.notice);
        ok = save(pointInput, dir, n.name) && ok;
    }
    for (const auto &n : notices)
        n.notice->hide();

    // An entry in progress: flight 1.5 confirmed red, landing 2, outrun 0.5.
    pointInput->forTests().chooseValue(PointInputWindow::Flight, 3);
    pointInput->forTests().moveToNextRow(PointInputWindow::Flight);
    pointInput->forTests().chooseValue(PointInputWindow::Landing, 4);
    pointInput->forTests().chooseValue(PointInputWindow::Outrun, 1);
    ok = save(pointInput, dir, "pointin-entry") && ok;

    // The health line while polls fail: the station's alias now resolves nowhere.
    gateway->setConnection(u"Offline"_s, {});
    pointInput->forTests().pollTick();
    ok = waitFor(answered) && ok;
    ok = save(pointInput, dir, "pointin-offline") && ok;

    return ok ? 0 : 1;
}
