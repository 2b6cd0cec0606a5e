#pragma once

// The database tests run on SQLite always and on the Firebird and MariaDB (ODBC) servers that
// scripts/servers.sh starts; `eval "$(scripts/servers.sh env)"` gives their locations. In CI
// a server that is not there fails the test instead of skipping it.

#include "db/dbengine.h"
#include "support/routes.h"

#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace dbtest {

using support::Route;

// One alias per route and encoding in an alias file of the test's own, reached as the
// terminal does: alias name plus parameter list.
class Backends
{
public:
    Backends()
    {
        const QString sections =
            QStringLiteral("[TestSqlite%1]\nDriver=SQLite\n%2Database=test%1.sqlite\n"
                           "[TestFirebird%1]\nDriver=InterBase\n%2TESTDB=") +
            support::serverRoute(Route::InterBase).database +
            QStringLiteral("\n[TestOdbc%1]\nDriver=ODBC\n%2DSN=") +
            support::serverRoute(Route::Odbc).database + QStringLiteral("\n");
        const QString text =
            sections.arg(QString(), QString()) +
            sections.arg(QStringLiteral("Cp932"), QStringLiteral("Encoding=CP932\n"));
        QFile file(aliasFile());
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
        qputenv("TOLLIVANE_ALIASES", aliasFile().toLocal8Bit());
    }

    QString dir() const { return m_dir.path(); }
    QString aliasFile() const { return m_dir.filePath(QStringLiteral("aliases.ini")); }

    // A connection on the route, configured and closed.
    std::unique_ptr<Database> connection(Route route,
                                         aliases::Encoding encoding = aliases::Encoding::Utf8) const
    {
        auto db = std::make_unique<Database>(QStringLiteral("db"));
        const aliases::Route server = support::serverRoute(route);
        const QString suffix =
            encoding == aliases::Encoding::Cp932 ? QStringLiteral("Cp932") : QString();
        switch (route) {
        case Route::Sqlite:
            db->setAliasName(QStringLiteral("TestSqlite") + suffix);
            break;
        case Route::InterBase:
            db->setAliasName(QStringLiteral("TestFirebird") + suffix);
            db->params().add(QStringLiteral("SERVER NAME=TESTDB"));
            db->params().add(QStringLiteral("USER NAME=") + server.userName);
            db->params().add(QStringLiteral("PASSWORD=") + server.password);
            break;
        case Route::Odbc:
            db->setAliasName(QStringLiteral("TestOdbc") + suffix);
            db->params().add(QStringLiteral("USER NAME=") + server.userName);
            db->params().add(QStringLiteral("PASSWORD=") + server.password);
            break;
        }
        return db;
    }

    // Why the route's server cannot be used here (not configured, or not answering), or an
    // empty text.
    QString unavailable(Route route)
    {
        const auto found = m_unavailable.constFind(int(route));
        if (found != m_unavailable.cend())
            return *found;
        QString why = support::whyMissing(route);
        if (why.isEmpty() && route != Route::Sqlite) {
            try {
                connection(route)->open();
            } catch (const DbError &e) {
                why = support::label(route) + QStringLiteral(" at ") +
                      support::serverRoute(route).database +
                      QStringLiteral(" cannot be reached (") + e.text() +
                      QStringLiteral("); start it with scripts/servers.sh start");
            }
        }
        m_unavailable.insert(int(route), why);
        return why;
    }

private:
    QTemporaryDir m_dir;
    QHash<int, QString> m_unavailable;
};

inline void exec(Database &db, const QString &statement)
{
    Query query(&db);
    query.sql().setText(statement);
    query.execSQL();
}

inline void recreate(Database &db, const QString &table, const QString &columns)
{
    try {
        exec(db, QStringLiteral("drop table ") + table);
    } catch (const DbError &) {
    }
    exec(db, QStringLiteral("create table ") + table + QStringLiteral(" (") + columns + u')');
}

} // namespace dbtest

// Skips the current row when the route's server is not there; in CI that is a failure.
#define DBTEST_REQUIRE(backends, route)                                                            \
    do {                                                                                           \
        SKIP_WITHOUT_CLIENT(route);                                                                \
        const QString why_ = (backends).unavailable(route);                                        \
        if (!why_.isEmpty())                                                                       \
            SKIP_OR_FAIL(why_);                                                                    \
    } while (false)
