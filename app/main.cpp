#include "app/mainwindow.h"
#include "app/station.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tollivane"));
    QApplication::setStyle(QStringLiteral("Fusion"));

    station::create();
    station::mainWindow()->show(); // its first show connects the remembered profile
    const int rc = QApplication::exec();
    station::destroy();
    // A connection that hangs on the network still holds a worker thread: the program does not
    // wait for it (the settings are written, no statement is pending that the judge waits for).
    if (station::workersLeftBehind()) {
        std::fflush(nullptr);
        std::_Exit(rc);
    }
    return rc;
}
