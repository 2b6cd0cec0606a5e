#include "app/station.h"

Station::Station()
    // Connects the remembered profile on the gateway's worker while the window is built; the
    // first show, which selects that profile, then finds it connected.
    : m_session(&m_gateway, &m_journal), m_mainWindow(m_session)
{
    // Built when a seat is first claimed: a station starts with the main window alone.
    QObject::connect(&m_session, &StationSession::judgingStarted, &m_mainWindow,
                     [this] { pointInputWindow().open(); });
}

Station::~Station()
{
    // Registrations still on their way are answered (and recorded) while the windows listen;
    // nothing of the station's that has not begun committing commits after this. The
    // gateway, destroyed after the windows, leaves a worker that hangs on the network behind
    // and never waits for it.
    m_gateway.shutDown();
}

PointInputWindow &Station::pointInputWindow()
{
    if (!m_pointInput) {
        m_pointInput.emplace(m_session.judge(), &m_mainWindow);
        m_mainWindow.setPointInput(&*m_pointInput);
    }
    return *m_pointInput;
}

bool Station::workersLeftBehind()
{
    return CompetitionGateway::runningWorkers() > 0;
}
