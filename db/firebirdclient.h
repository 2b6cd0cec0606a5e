#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error                                                                                             \
    "db/firebirdclient.h is internal to the db layer: reach the database through db/competitiongateway.h"
#endif

#include <QVariant>

// What Qt's InterBase driver does not offer, asked of the Firebird client library it loaded.
namespace firebird {

// The attachment behind a Qt InterBase connection (its driver's handle); 0 for anything else.
quint32 attachment(const QVariant &driverHandle);

// Asks the client to cancel what the attachment runs now, such as a wait for a row lock: the
// statement then fails and the connection stays usable. Callable from any thread. False when
// the client library is not loaded or has no such call.
bool cancel(quint32 attachment);

// Why the client library Qt's InterBase driver loads is not there, in words for the judge; an
// empty text when it is. On Windows it loads the installer's copy beside the program, else the
// one of the PC's own Firebird installation.
QString missingClient();

} // namespace firebird
