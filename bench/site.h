#pragma once

// One database route as a judge's PC would have it: an alias file and a settings folder of the
// bench's own, and a connection of the operator's console to set the competition up.

#include "db/aliases.h"
#include "support/routes.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class Database;

namespace bench {

using support::Route;

class Site
{
public:
    // database: the Firebird database (host:/path) or the ODBC data source; unused for SQLite,
    // which gets a file in a folder of its own. encoding: how the console stores its texts
    // (CP932: the alias says so, and the tables are made as an old console's, Firebird NONE).
    Site(Route route, const QString &database,
         aliases::Encoding encoding = aliases::Encoding::Utf8);
    ~Site();

    Route route() const { return m_route; }
    QString label() const;
    QString folder() const { return m_dir.path(); }
    QString database() const { return m_database; }

    // The environment a terminal started on this route gets: alias file and settings folder.
    QStringList environment() const;
    void enter() const; // the same for this process

    // Fresh tables, three competitors, the run going with the first one up, every seat free.
    void prepare();
    void freeSeats();
    void exec(const QString &statement);
    QString read(const QString &statement, const QString &column);
    Database &console(); // the console's connection, for statements written as the station does

private:
    Route m_route;
    QString m_database;
    aliases::Encoding m_encoding;
    QTemporaryDir m_dir;
    std::unique_ptr<Database> m_console;
};

} // namespace bench
