#pragma once

#include "app/mainwindow.h"
#include "app/stationsession.h"
#include "db/competitiongateway.h"
#include "journal/markjournal.h"
#include "pointin/pointinputwindow.h"

#include <optional>

// The program's objects, alive until it ends: the mark journal, the competition gateway that
// the sessions reach the database through, the station session (with the judge session) and
// the main window over it (closing it ends the program), and the point input window over the
// judge session, built and opened when a seat is claimed. They are destroyed in the reverse
// order: each window before what it draws and uses.
class Station
{
public:
    Station();
    ~Station();
    Station(const Station &) = delete;
    Station &operator=(const Station &) = delete;

    CompetitionGateway &gateway() { return m_gateway; }
    StationSession &session() { return m_session; }
    MainWindow &mainWindow() { return m_mainWindow; }
    PointInputWindow &pointInputWindow(); // built now if it was not yet
    PointInputWindow *existingPointInputWindow() { return m_pointInput ? &*m_pointInput : nullptr; }

    // Worker threads still hanging on the network (of every station destroyed so far).
    static bool workersLeftBehind();

private:
    journal::Writer m_journal;
    CompetitionGateway m_gateway;
    StationSession m_session;
    MainWindow m_mainWindow;
    std::optional<PointInputWindow> m_pointInput; // a child of the main window
};
