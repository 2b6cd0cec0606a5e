#include "app/mainwindow.h"
#include "app/onecopy.h"
#include "app/station.h"
#include "toolkit/messages.h"

#include <QApplication>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

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
    return station::workersLeftBehind();
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
void comeToFront()
{
    QWidget *window = QApplication::activeModalWidget();
    if (!window)
        window = station::mainWindow();
    if (!window)
        return;
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->raise();
    window->activateWindow();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tollivane"));
    QApplication::setStyle(QStringLiteral("Fusion"));

    // Before any window or connection: a second copy on the same settings and journal leaves.
    OneCopy copy;
    if (!copy.take()) {
        messages::show(nullptr, QStringLiteral("Tollivane はすでに起動しています。"));
        return 0;
    }
    QObject::connect(&copy, &OneCopy::frontAsked, &app, comeToFront);

    station::create();
    station::mainWindow()->show(); // its first show connects the remembered profile
    const int rc = QApplication::exec();
    station::destroy();
    copy.release();
    if (leaveAtOnce())
        leave(rc);
    return rc;
}
