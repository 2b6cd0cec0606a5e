#include "Udm1.h"
#include "Umain.h"
#include "Upointin.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tollivane"));
    QApplication::setStyle(QStringLiteral("Fusion"));

    // The three objects live until the program ends, created in this order; the main window
    // comes first and closing it ends the program.
    Fmain = new TFmain;
    Fpointin = new TFpointin(Fmain);
    Dm1 = new TDm1;
    Fmain->show();
    const int rc = QApplication::exec();

    delete Dm1;
    delete Fpointin;
    delete Fmain;
    Dm1 = nullptr;
    Fpointin = nullptr;
    Fmain = nullptr;
    return rc;
}
