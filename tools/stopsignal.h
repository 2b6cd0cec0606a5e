#pragma once

// Ctrl+C, and the end of the session (SIGINT, SIGTERM), as a request to stop that a loop asks
// for between its rounds. The Firebird client takes both signals for its own once it
// connects: it shuts its connections and leaves the program running, so that a loop which
// tries again would never end. A loop takes them back before it asks.
namespace stopsignal {

// This program's handling of both signals again; a second signal ends the program at once.
void takeBack();

bool asked();

} // namespace stopsignal
