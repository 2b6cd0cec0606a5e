#pragma once

// The system asks a program of ours to stop: SIGTERM (the session ends, the PC shuts down,
// kill) or SIGINT (Ctrl+C where it was started from). Both are blocked in every thread and
// taken by one thread of ours alone, so that no handler runs where a thread happens to be:
// Firebird's client installs its own for both once it connects, which shuts its connections
// (and can crash a thread inside one) and leaves the program running. A second request ends
// the program at once. On Windows nothing is changed: Ctrl+C ends a console program, and a
// windowed one is asked by its windows' messages, which Qt takes.
namespace stoprequest {

// First thing in main, before any thread starts: later threads inherit the blocking.
void block();

// Starts the thread that takes them; the file descriptor that becomes readable once a stop is
// asked, or -1 (Windows, or block() was not called).
int asked();

// Waits up to ms; whether a stop was asked (without block(), only waits).
bool askedWithin(int ms);

} // namespace stoprequest
