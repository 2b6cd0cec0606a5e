#pragma once

#include <QObject>
#include <QtGlobal>

// A control of a window by its form name ("Panel7", "CuteButton10", "recallTimer"); a test
// that asks for a control the window does not have stops at once.
template<class T = QWidget> T *named(const QObject *window, const char *name)
{
    T *child = window->findChild<T *>(QLatin1String(name));
    if (!child)
        qFatal("%s has no control %s of the type asked for", qPrintable(window->objectName()),
               name);
    return child;
}
