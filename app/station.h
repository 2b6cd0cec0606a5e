#pragma once

#include <memory>

class CompetitionGateway;
class MainWindow;
class PointInputWindow;
class StationSession;
namespace journal {
class Writer;
}

// The program's objects, alive until it ends: the mark journal, the competition gateway that
// the sessions reach the database through, the station session and the main window over it
// (closing it ends the program), and the point input window, built when a seat is first
// claimed. They are destroyed in the reverse order: each window before what it draws and
// uses.
class Station
{
public:
    Station();
    ~Station();
    Station(const Station &) = delete;
    Station &operator=(const Station &) = delete;

    CompetitionGateway &gateway() { return *m_gateway; }
    StationSession &session() { return *m_session; }
    MainWindow &mainWindow() { return *m_mainWindow; }
    PointInputWindow &pointInputWindow(); // built now if it was not yet
    PointInputWindow *existingPointInputWindow() { return m_pointInput.get(); }

    // Worker threads still hanging on the network (of every station destroyed so far).
    static bool workersLeftBehind();

private:
    std::unique_ptr<journal::Writer> m_journal;
    std::unique_ptr<CompetitionGateway> m_gateway;
    std::unique_ptr<StationSession> m_session;
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<PointInputWindow> m_pointInput;
};
