#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error                                                                                             \
    "db/attachmentsocket.h is internal to the db layer: reach the database through db/competitiongateway.h"
#endif

#include <QByteArray>
#include <QList>

// The TCP socket under a Firebird attachment, as this process holds it. Firebird's own abort
// closes the socket: a call of the attachment that begins afterwards waits on that number,
// which the next connection of the process takes. Shutting the socket down instead ends every
// call on it, now or later, and leaves the number to the client, which closes it itself.
namespace attachmentsocket {

struct Socket
{
    qintptr handle = -1;
    QByteArray ends; // both addresses: a handle closed and taken again has others
    bool operator==(const Socket &other) const = default;
};

// The process's connected TCP sockets to that port of their peer. None where the system
// cannot list them (Windows).
QList<Socket> connectedTo(quint16 port);

// Shuts the socket down in both directions, if the handle still is that socket. Callable from
// any thread; the socket stays open until its owner closes it.
bool shutDown(const Socket &socket);

// A write to a connection the server reset fails as an error rather than ending the program
// (Firebird's client writes without asking for that).
void keepWritesToResetConnectionsHarmless();

} // namespace attachmentsocket
