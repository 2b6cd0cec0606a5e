#include "app/station.h"

#include "app/mainwindow.h"
#include "app/stationsession.h"
#include "db/competitiongateway.h"
#include "journal/markjournal.h"
#include "pointin/pointinputwindow.h"

Station::Station()
    : m_journal(std::make_unique<journal::Writer>()),
      m_gateway(std::make_unique<CompetitionGateway>()),
      // Connects the remembered profile on the gateway's worker while the window is built;
      // the first show, which selects that profile, then finds it connected.
      m_session(std::make_unique<StationSession>(m_gateway.get())),
      m_mainWindow(std::make_unique<MainWindow>(*m_session))
{
    // Built when a seat is first claimed: a station starts with the main window alone.
    m_session->setJudgeSessions([this] { return &pointInputWindow().session(); });
}

Station::~Station()
{
    // Registrations still on their way are answered (and recorded) while the windows listen;
    // nothing of the station's that has not begun committing commits after this. The
    // gateway, destroyed after the windows, leaves a worker that hangs on the network behind
    // and never waits for it.
    m_gateway->shutDown();
}

PointInputWindow &Station::pointInputWindow()
{
    if (!m_pointInput) {
        m_pointInput = std::make_unique<PointInputWindow>(m_mainWindow.get());
        m_pointInput->session().setRequests(m_gateway.get());
        m_pointInput->session().setJournal(m_journal.get());
        m_mainWindow->setPointInput(m_pointInput.get());
    }
    return *m_pointInput;
}

bool Station::workersLeftBehind()
{
    return CompetitionGateway::runningWorkers() > 0;
}
