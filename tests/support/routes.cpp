#include "support/routes.h"

#include "db/dbengine.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace support {

bool inCi()
{
    const QString ci = qEnvironmentVariable("CI").trimmed().toLower();
    return ci == u"true" || ci == u"1" || ci == u"yes";
}

QString label(Route route)
{
    switch (route) {
    case Route::Sqlite:
        return u"SQLite"_s;
    case Route::InterBase:
        return u"Firebird"_s;
    case Route::Odbc:
        return u"MariaDB over ODBC"_s;
    }
    return QString();
}

aliases::Route serverRoute(Route route)
{
    aliases::Route server;
    server.driver = route;
    if (route == Route::InterBase) {
        server.database = qEnvironmentVariable("TOLLIVANE_FIREBIRD_DB");
        server.userName = qEnvironmentVariable("TOLLIVANE_FIREBIRD_USER", u"SYSDBA"_s);
        server.password = qEnvironmentVariable("TOLLIVANE_FIREBIRD_PASSWORD", u"pewtergum"_s);
    } else if (route == Route::Odbc) {
        server.database = qEnvironmentVariable("TOLLIVANE_ODBC_DSN");
        server.userName = qEnvironmentVariable("TOLLIVANE_ODBC_USER", u"root"_s);
        server.password = qEnvironmentVariable("TOLLIVANE_ODBC_PASSWORD", u"rusko"_s);
    }
    return server;
}

QString whyMissing(Route route)
{
    if (route == Route::Sqlite || !serverRoute(route).database.isEmpty())
        return QString();
    const char *var = route == Route::InterBase ? "TOLLIVANE_FIREBIRD_DB" : "TOLLIVANE_ODBC_DSN";
    return u"%1 is not set: start the servers with scripts/servers.sh start and "
           "eval \"$(scripts/servers.sh env)\""_s.arg(QLatin1String(var));
}

QString clientMissing(Route route)
{
#ifdef Q_OS_WIN
    if (route == Route::InterBase) {
        const QString missing = Database::missingHere(serverRoute(route));
        if (!missing.isEmpty())
            return u"Firebird route skipped: "_s + missing;
    }
#else
    Q_UNUSED(route) // the Debian packages bring every client
#endif
    return QString();
}

void routeRows()
{
    QTest::addColumn<Route>("route");
    for (Route route : {Route::Sqlite, Route::InterBase, Route::Odbc})
        QTest::newRow(qPrintable(label(route))) << route;
}

void serverRows()
{
    QTest::addColumn<Route>("route");
    for (Route route : {Route::InterBase, Route::Odbc})
        QTest::newRow(qPrintable(label(route))) << route;
}

} // namespace support
