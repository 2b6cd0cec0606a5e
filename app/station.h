#pragma once

class CompetitionGateway;
class MainWindow;
class PointInputWindow;

// The program's top-level objects, created in this order and alive until the end: the main
// window (closing it ends the program), the point input window and the competition gateway
// that both windows reach the database through.
namespace station {
void create();
void destroy();
MainWindow *mainWindow();
PointInputWindow *pointInputWindow();
CompetitionGateway *gateway();
// Worker threads still hanging on the network once the objects are destroyed.
bool workersLeftBehind();
} // namespace station
