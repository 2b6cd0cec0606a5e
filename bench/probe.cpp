// The terminal started as main.cpp starts it, saying on standard output how far it got:
//   ready        the main window is on the screen and the station's profile is connected
//   hwm <kB>     the seat is claimed and the point input window is open; peak resident memory
// Then it presses End and ends; with --stay it follows the run until it is killed. Anything
// that goes wrong is said as "error <text>" and ends it with status 2.
#include "app/mainwindow.h"
#include "app/station.h"
#include "app/stationsession.h"
#include "controls/cutebutton.h"
#include "db/competitiongateway.h"
#include "pointin/pointinputwindow.h"
#include "report.h"
#include "toolkit/messages.h"
#include "toolkit/radiogroup.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

Station *s_station = nullptr; // main()'s

MainWindow *mainWindow()
{
    return &s_station->mainWindow();
}

PointInputWindow *pointInput()
{
    return &s_station->pointInputWindow();
}

[[noreturn]] void fail(const QString &text)
{
    report::say("error " + text.toUtf8());
    ::_exit(2);
}

bool onScreen(QWidget *window)
{
    return window->isVisible() && window->windowHandle() && window->windowHandle()->isExposed();
}

// Claims the seat as the judge's click on the confirm button does; the point input window
// runs modally inside until End.
void claimSeat(bool stay)
{
    auto *watch = new QTimer(pointInput());
    watch->setInterval(1);
    QObject::connect(watch, &QTimer::timeout, pointInput(), [watch, stay] {
        if (!onScreen(pointInput()))
            return;
        watch->stop();
        QTimer::singleShot(report::settleMs, pointInput(), [stay] {
            report::say("hwm " + QByteArray::number(report::peakResidentKb()));
            if (stay)
                return;
            // End frees the seat, then the window closes: the probe ends with it.
            pointInput()->findChild<CuteButton *>(u"CuteButton3"_s)->click(); // End
            auto *closed = new QTimer(mainWindow());
            QObject::connect(closed, &QTimer::timeout, mainWindow(), [] {
                if (!pointInput()->isVisible())
                    QCoreApplication::quit();
            });
            closed->start(1);
        });
    });
    watch->start();
    s_station->session().claimSeat();
    QTimer::singleShot(20000, mainWindow(), [] {
        if (!pointInput()->isVisible())
            fail(u"the point input window did not open: is the seat free?"_s);
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Tollivane"_s);
    QApplication::setStyle(u"Fusion"_s);
    const bool stay = QCoreApplication::arguments().contains(u"--stay"_s);
    // A message box would wait for a judge who is not there.
    messages::setSink([](messages::Kind, const QString &text) { fail(text); });

    Station station;
    s_station = &station;
    mainWindow()->show();

    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, mainWindow(), [&watch, stay] {
        // The first show picks the profile and connects from the event loop.
        const auto *interbase = mainWindow()->findChild<RadioGroup *>(u"RGdbi"_s);
        const auto *mysql = mainWindow()->findChild<RadioGroup *>(u"RGdb"_s);
        if (!onScreen(mainWindow()) || (interbase->itemIndex() < 0 && mysql->itemIndex() < 0) ||
            s_station->session().connecting())
            return;
        watch.stop();
        if (!s_station->gateway().connected())
            fail(u"the profile did not connect"_s);
        report::say("ready");
        QTimer::singleShot(0, mainWindow(), [stay] { claimSeat(stay); });
    });
    watch.start();
    return QApplication::exec();
}
