#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace messages {

enum class Kind
{
    Information,
    Error
};

// Shows a modal message box with an OK button and the text as it stands (never markup);
// returns when the judge closes it. The event loop keeps running meanwhile, so timers fire.
// While one of these boxes is open, another text waits and is shown after it (once, however
// often it comes), so boxes never stack.
void show(QWidget *parent, const QString &text, Kind kind = Kind::Information);

// The default error report: the error's own text in a modal box; the program goes on.
void reportError(QWidget *parent, const QString &text);

// Runs a handler and reports any exception that escapes it with the default error report.
// Exceptions must never travel through Qt's event loop.
void guarded(QWidget *parent, const std::function<void()> &handler);

// Tests replace the modal box by a recorder; an empty function restores the box.
using Sink = std::function<void(Kind, const QString &)>;
void setSink(Sink sink);

} // namespace messages
