#pragma once

#include "tools/stationaccount.h"
#include "tst_dbbackends.h"

namespace dbtest {

// The route's server as a station account made by jumpdb grant, named after the test database
// so that test databases sharing a server do not share it.
inline aliases::Route stationRoute(Route route)
{
    aliases::Route station = support::serverRoute(route);
    station.userName = QStringLiteral("tv_st_%1").arg(qHash(station.database), 8, 16, QChar(u'0'));
    station.password = QStringLiteral("Hill'side 7");
    return station;
}

// Made anew by the superuser, without any grant of an earlier run (Firebird keeps a dropped
// user's grants, MariaDB a dropped table's).
inline void makeStationAccount(Database &superuser, Route route)
{
    const QString name = stationRoute(route).userName;
    exec(superuser, route == Route::InterBase
                        ? QString(QStringLiteral("revoke all on all from user ") + name)
                        : QString(QStringLiteral("drop user if exists '%1'@'%'").arg(name)));
    stationaccount::make(superuser, name, stationRoute(route).password);
}

} // namespace dbtest
