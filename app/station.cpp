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
    s_mainWindow = new MainWindow;
    s_pointInputWindow = new PointInputWindow(s_mainWindow);
    s_gateway = new CompetitionGateway;
    s_mainWindow->setGateway(s_gateway);
    s_mainWindow->setPointInput(s_pointInputWindow);
    s_pointInputWindow->session().setRequests(s_gateway);
    s_journal = new journal::Writer;
    s_pointInputWindow->session().setJournal(s_journal);
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
