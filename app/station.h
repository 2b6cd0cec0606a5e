#pragma once

class CompetitionGateway;
class MainWindow;
class PointInputWindow;

// The program's top-level objects, alive until the end: the main window (closing it ends the
// program), the competition gateway that the windows reach the database through, the mark
// journal, and the point input window, built when a seat is first claimed.
namespace station {
void create();
void destroy();
MainWindow *mainWindow();
PointInputWindow *pointInputWindow(); // built now if it was not yet
PointInputWindow *existingPointInputWindow();
CompetitionGateway *gateway();
// Worker threads still hanging on the network once the objects are destroyed.
bool workersLeftBehind();
} // namespace station
