#pragma once

#include <QObject>
#include <QString>

#include <exception>
#include <functional>
#include <type_traits>

class QWidget;

namespace messages {

enum class Kind
{
    Information,
    Error
};

// Shows a message box with an OK button and the text as it stands (never markup), over the
// parent, and returns at once: the box is modal to every window of ours until the judge closes
// it, and nothing waits inside it, so every reply and timer goes on meanwhile. While one of
// these boxes is open, another text waits and is shown after it (once, however often it comes),
// so boxes never stack.
void show(QWidget *parent, const QString &text, Kind kind = Kind::Information);
// Before any window of ours runs (a second copy that leaves at once): shows the box and returns
// when the judge closes it.
void showAndWait(const QString &text);

// The default error report: the error's own text in a modal box; the program goes on.
void reportError(QWidget *parent, const QString &text);

// Reports an exception that escaped a handler with the default error report.
void reportEscaped(QWidget *parent, const std::exception_ptr &escaped);

// Runs a handler and reports any exception that escapes it with the default error report.
// Exceptions must never travel through Qt's event loop.
template<class Handler> void guarded(QWidget *parent, Handler &&handler)
{
    try {
        handler();
    } catch (...) {
        reportEscaped(parent, std::current_exception());
    }
}

// Connects a signal to a handler that runs inside the default error report: the one boundary
// between the event loop and a window's handlers, for buttons, panels, timers and groups alike.
template<class Sender, class Signal, class Handler>
QMetaObject::Connection connectGuarded(Sender *sender, Signal signal, QWidget *window,
                                       Handler handler)
{
    return QObject::connect(sender, signal, window, [window, handler](auto &&...arguments) {
        guarded(window, [&] {
            if constexpr (std::is_invocable_v<Handler, decltype(arguments)...>)
                handler(arguments...);
            else
                handler(); // a handler that does not need the signal's arguments
        });
    });
}

// Tests replace the modal box by a recorder; an empty function restores the box.
using Sink = std::function<void(Kind, const QString &)>;
void setSink(Sink sink);

// How long a new box ignores the keys and clicks that would close it (350 ms unless set).
void setFreshBoxGuardForTests(int ms);

} // namespace messages
