#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error "db/serverconnection.h is internal to the db layer"
#endif

#include <QString>
#include <QStringList>

#include <optional>

class Database;

// A connection as its server knows it, so that another connection can find it again and end it
// (the statement worker's cancels); it knows no table of the competition.
namespace serverconnection {

// The server's own record of a connection, so that another connection can find it again: its
// number, and what tells it from a connection that gets the same number later (after a server
// restart or a restore): Firebird's user, client address, client process and start time;
// on MariaDB a named lock the connection took when it connected, which no other can hold.
struct ServerConnection
{
    QString driver; // the Qt driver: QIBASE or QODBC
    qint64 id = -1;
    QStringList marks;
    bool operator==(const ServerConnection &) const = default;
};

// This connection as its server lists it; nothing where the server keeps no list (SQLite) or
// when it cannot be read.
std::optional<ServerConnection> identify(Database &db);
// From another connection to the same server: whether that connection is still there.
bool stillOpen(Database &db, const ServerConnection &connection);
// Ends that connection on the server, rolling back what it left open, but only while the
// number still belongs to it. Returns whether it was there.
bool end(Database &db, const ServerConnection &connection);

} // namespace serverconnection
