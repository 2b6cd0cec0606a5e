#include "app/mainwindow.h"
#include "app/onecopy.h"
#include "app/station.h"
#include "pointin/stationtexts.h"
#include "toolkit/messages.h"
#include "toolkit/stoprequest.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <optional>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// Whether the program leaves without returning through the unloading of its libraries; the
// settings are written by then, and the journal's lines are on the disk or on standard error.
bool leaveAtOnce()
{
#ifdef Q_OS_WIN
    // Always: MinGW's thread library can hang the unloading once a thread that loaded a library
    // (a worker that loaded the SQL driver) has ended, as seen under Wine.
    return true;
#else
    // When a connection that hangs on the network still holds a worker thread: the program does
    // not wait for it (no statement is pending that the judge waits for).
    return Station::workersLeftBehind();
#endif
}

[[noreturn]] void leave(int rc)
{
    std::fflush(nullptr);
#ifdef Q_OS_WIN
    // _Exit would still call every library's detach code, as ExitProcess does.
    ::TerminateProcess(::GetCurrentProcess(), UINT(rc));
#endif
    std::_Exit(rc);
}

// A second copy was started: the judge wants this one, and the window they work in.
void comeToFront(QWidget *mainWindow)
{
    QWidget *window = QApplication::activeModalWidget();
    if (!window)
        window = mainWindow;
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->raise();
    window->activateWindow();
}

} // namespace

int main(int argc, char *argv[])
{
    stoprequest::block(); // before the platform's threads
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Tollivane"_s);
    QApplication::setStyle(u"Fusion"_s);

    // Before any window or connection: a second copy on the same settings and journal leaves.
    OneCopy copy;
    if (!copy.take()) {
        messages::showAndWait(
            stationtexts::text(stationtexts::Text::AlreadyRunning)); // no window of ours runs yet
        return 0;
    }

    int rc = 0;
    {
        Station station;
        MainWindow *window = &station.mainWindow();
        QObject::connect(&copy, &OneCopy::frontAsked, window, [window] { comeToFront(window); });
        // The system asks to stop: as if the judge closed the main window, settings written.
        std::optional<QSocketNotifier> stop;
        if (const int asked = stoprequest::asked(); asked >= 0) {
            stop.emplace(asked, QSocketNotifier::Read);
            QObject::connect(&*stop, &QSocketNotifier::activated, window, [window, &stop] {
                stop->setEnabled(false); // asked once
                window->close();
                QApplication::quit(); // also while the point input window is up
            });
        }
        window->show(); // its first show connects the remembered profile
        rc = QApplication::exec();
    }
    copy.release();
    if (leaveAtOnce())
        leave(rc);
    return rc;
}
