#include "Umain.h"
#include "station.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tollivane"));
    QApplication::setStyle(QStringLiteral("Fusion"));

    station::create();
    Fmain->show(); // its first show connects the remembered profile
    const int rc = QApplication::exec();
    station::destroy();
    return rc;
}
