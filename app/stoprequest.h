#pragma once

#include <QObject>

#include <functional>

// The system asks the terminal to stop: SIGTERM (the session ends, the PC shuts down, kill) or
// SIGINT (Ctrl+C where it was started from). stop then runs on the window's thread, as often
// as it is asked; a second signal before the program is gone ends it at once. The Firebird
// client takes both signals once it connects, shuts its connections and leaves the program
// running; watched before that, it calls this handling after its own. A windowed program on
// Windows is asked by its windows' messages, which Qt takes: nothing is watched there.
namespace stoprequest {

void watch(QObject *context, std::function<void()> stop);

} // namespace stoprequest
