#pragma once

// What the C++ tests and the benchmarks share: the database routes a station can take, and
// the CI switch that turns a missing server from a skip into a failure.

#include "db/aliases.h"

#include <QMetaType>
#include <QString>

namespace support {

// A station reaches its database over one of the engine's routes: an embedded SQLite file,
// a Firebird server (the InterBase route) or MariaDB over ODBC.
using Route = aliases::Driver;

// In CI (CI is "true", "1" or "yes", as the acceptance driver reads it) a server that is not
// there fails a test; elsewhere the test skips with the way to start it.
bool inCi();

QString label(Route route); // "SQLite", "Firebird", "MariaDB over ODBC"

// The route's server as `scripts/servers.sh env` names it (the Firebird database or the ODBC
// data source, the user and the password); nothing for SQLite.
aliases::Route serverRoute(Route route);

// Why the route's server is not configured here, or an empty text.
QString whyMissing(Route route);

// Why the route cannot be taken on this PC whatever the servers do, or an empty text. Only on
// Windows, where Firebird's client may be missing (the build puts the installer's copy beside
// the tests). Such a test skips and says why; in CI it fails.
QString clientMissing(Route route);

// The data column "route" with one row per route; serverRows leaves SQLite out.
void routeRows();
void serverRows();

} // namespace support

Q_DECLARE_METATYPE(support::Route)

// Skips the current test (row) for the reason given, or fails it in CI.
#define SKIP_OR_FAIL(why)                                                                          \
    do {                                                                                           \
        if (support::inCi())                                                                       \
            QFAIL(qPrintable(why));                                                                \
        QSKIP(qPrintable(why));                                                                    \
    } while (false)

// Skips the current test (row) when this PC lacks what the route needs (see clientMissing);
// in CI that fails the test.
#define SKIP_WITHOUT_CLIENT(route)                                                                 \
    do {                                                                                           \
        const QString client_ = support::clientMissing(route);                                     \
        if (!client_.isEmpty())                                                                    \
            SKIP_OR_FAIL(client_);                                                                 \
    } while (false)

// Skips a row whose server is not configured; in CI that fails the test.
#define REQUIRE_ROUTE(route)                                                                       \
    do {                                                                                           \
        SKIP_WITHOUT_CLIENT(route);                                                                \
        const QString why_ = support::whyMissing(route);                                           \
        if (!why_.isEmpty())                                                                       \
            SKIP_OR_FAIL(why_);                                                                    \
    } while (false)
