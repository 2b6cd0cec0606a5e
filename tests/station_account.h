#pragma once

// A station account made by jumpdb grant on the test servers, for the tests that judge as one.

#include "tools/stationaccount.h"
#include "tst_dbbackends.h"

namespace dbtest {

// The route's server as a station account made by jumpdb grant: a name of the test database's
// own, so that test databases sharing a server do not share it.
inline aliases::Route stationRoute(Route route)
{
    aliases::Route station = support::serverRoute(route);
    station.userName = QStringLiteral("tv_st_%1").arg(qHash(station.database), 8, 16, QChar(u'0'));
    station.password = QStringLiteral("Hill'side 7");
    return station;
}

// Made anew through the superuser's connection, on the tables as they are now: nothing of an
// earlier run's grants stays.
inline void makeStationAccount(Database &superuser, Route route)
{
    const QString name = stationRoute(route).userName;
    if (route == Route::InterBase) // a Firebird database keeps a dropped user's grants
        exec(superuser, QStringLiteral("revoke all on all from user ") + name);
    try {
        const QString drop =
            route == Route::InterBase
                ? QString(QStringLiteral("drop user ") + name)
                : QString(QStringLiteral("drop user if exists '") + name + QStringLiteral("'@'%'"));
        exec(superuser, drop);
    } catch (const DbError &) {
    } // Firebird: there was none
    stationaccount::make(superuser, name, stationRoute(route).password);
}

} // namespace dbtest
