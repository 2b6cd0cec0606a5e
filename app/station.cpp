#include "app/station.h"

#include "app/mainwindow.h"
#include "db/competitiongateway.h"
#include "journal/markjournal.h"
#include "pointin/pointinputwindow.h"

namespace station {

namespace {
MainWindow *s_mainWindow = nullptr;
PointInputWindow *s_pointInputWindow = nullptr;
CompetitionGateway *s_gateway = nullptr;
journal::Writer *s_journal = nullptr;
} // namespace

void create()
{
    s_gateway = new CompetitionGateway;
    // The remembered profile connects on the gateway's worker while the windows are built; the
    // first show, which selects that profile, then finds it connected.
    const auto [alias, params] = MainWindow::rememberedConnection();
    s_gateway->prepare(alias, params);
    s_mainWindow = new MainWindow;
    s_journal = new journal::Writer;
    s_mainWindow->setGateway(s_gateway);
    // Built when a seat is first claimed: a station starts with the main window alone.
    s_mainWindow->setPointInputFactory([](QWidget *parent) {
        s_pointInputWindow = new PointInputWindow(parent);
        s_pointInputWindow->session().setRequests(s_gateway);
        s_pointInputWindow->session().setJournal(s_journal);
        return s_pointInputWindow;
    });
}

void destroy()
{
    // Registrations still on their way are answered (and recorded) while the windows listen;
    // nothing of the station's that has not begun committing commits after this.
    if (s_gateway)
        s_gateway->shutDown();
    delete s_pointInputWindow;
    delete s_mainWindow;
    delete s_gateway; // leaves a worker that hangs on the network behind, never waits for it
    delete s_journal;
    s_gateway = nullptr;
    s_journal = nullptr;
    s_pointInputWindow = nullptr;
    s_mainWindow = nullptr;
}

MainWindow *mainWindow()
{
    return s_mainWindow;
}

PointInputWindow *pointInputWindow()
{
    return s_mainWindow ? s_mainWindow->pointInput() : nullptr;
}

PointInputWindow *existingPointInputWindow()
{
    return s_pointInputWindow;
}

CompetitionGateway *gateway()
{
    return s_gateway;
}

bool workersLeftBehind()
{
    return CompetitionGateway::runningWorkers() > 0;
}

} // namespace station
