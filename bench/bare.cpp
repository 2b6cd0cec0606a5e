// A bare Qt window, the yardstick for the terminal's start-up time and memory:
//   bare-window [--stay]
// Says "ready" once its window is on the screen, "hwm <kB>" (peak resident memory) a moment
// later, and ends; with --stay it stays until it is killed.
#include "report.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool stay = QCoreApplication::arguments().contains(u"--stay"_s);

    QWidget window;
    window.setWindowTitle(u"bare-window"_s);
    window.resize(706, 511); // as large as the terminal's main window
    window.show();

    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, &window, [&] {
        if (!window.windowHandle() || !window.windowHandle()->isExposed())
            return;
        watch.stop();
        report::say("ready");
        QTimer::singleShot(report::settleMs, &window, [stay] {
            report::say("hwm " + QByteArray::number(report::peakResidentKb()));
            if (!stay)
                QCoreApplication::quit();
        });
    });
    watch.start();
    return QApplication::exec();
}
