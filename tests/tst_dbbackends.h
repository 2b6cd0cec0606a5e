#pragma once

// The database tests run on SQLite always and on the Firebird and MariaDB (ODBC) servers that
// scripts/servers.sh starts; `eval "$(scripts/servers.sh env)"` gives their locations. In CI
// a server that is not there fails the test instead of skipping it.

#include "dbengine.h"

#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace dbtest {

enum class Backend
{
    Sqlite,
    Firebird,
    Odbc
};

inline bool inCi()
{
    return qEnvironmentVariable("CI") == QStringLiteral("true");
}

inline QString env(const char *name, const QString &fallback = QString())
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

// One alias per backend in an alias file of the test's own, reached as the terminal does:
// alias name plus parameter list.
class Backends
{
public:
    Backends()
    {
        const QString text = QStringLiteral("[TestSqlite]\nDriver=SQLite\nDatabase=test.sqlite\n"
                                            "[TestFirebird]\nDriver=InterBase\nTESTDB=") +
                             env("TOLLIVANE_FIREBIRD_DB") +
                             QStringLiteral("\n[TestOdbc]\nDriver=ODBC\nDSN=") +
                             env("TOLLIVANE_ODBC_DSN") + QStringLiteral("\n");
        QFile file(aliasFile());
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
        qputenv("TOLLIVANE_ALIASES", aliasFile().toLocal8Bit());
    }

    QString dir() const { return m_dir.path(); }
    QString aliasFile() const { return m_dir.filePath(QStringLiteral("aliases.ini")); }

    // A connection to the backend, configured and closed.
    std::unique_ptr<TDatabase> connection(Backend backend) const
    {
        auto db = std::make_unique<TDatabase>(QStringLiteral("db"));
        switch (backend) {
        case Backend::Sqlite:
            db->setAliasName(QStringLiteral("TestSqlite"));
            break;
        case Backend::Firebird:
            db->setAliasName(QStringLiteral("TestFirebird"));
            db->params().add(QStringLiteral("SERVER NAME=TESTDB"));
            db->params().add(QStringLiteral("USER NAME=") +
                             env("TOLLIVANE_FIREBIRD_USER", QStringLiteral("SYSDBA")));
            db->params().add(QStringLiteral("PASSWORD=") +
                             env("TOLLIVANE_FIREBIRD_PASSWORD", QStringLiteral("pewtergum")));
            break;
        case Backend::Odbc:
            db->setAliasName(QStringLiteral("TestOdbc"));
            db->params().add(QStringLiteral("USER NAME=") +
                             env("TOLLIVANE_ODBC_USER", QStringLiteral("root")));
            db->params().add(QStringLiteral("PASSWORD=") +
                             env("TOLLIVANE_ODBC_PASSWORD", QStringLiteral("rusko")));
            break;
        }
        return db;
    }

    // Why the backend cannot be used here, or an empty text.
    QString unavailable(Backend backend)
    {
        if (backend == Backend::Sqlite)
            return QString();
        const auto found = m_unavailable.constFind(int(backend));
        if (found != m_unavailable.cend())
            return *found;
        const bool firebird = backend == Backend::Firebird;
        const char *var = firebird ? "TOLLIVANE_FIREBIRD_DB" : "TOLLIVANE_ODBC_DSN";
        const QString server = firebird ? QStringLiteral("Firebird") : QStringLiteral("MariaDB");
        const QString howTo = QStringLiteral("; start it with scripts/servers.sh start and "
                                             "eval \"$(scripts/servers.sh env)\"");
        QString why;
        if (env(var).isEmpty()) {
            why = server + QStringLiteral(" is not configured: ") + QString::fromLatin1(var) +
                  QStringLiteral(" is not set") + howTo;
        } else {
            try {
                connection(backend)->open();
            } catch (const DbError &e) {
                why = server + QStringLiteral(" at ") + env(var) +
                      QStringLiteral(" cannot be reached (") + e.text() + u')' + howTo;
            }
        }
        m_unavailable.insert(int(backend), why);
        return why;
    }

private:
    QTemporaryDir m_dir;
    QHash<int, QString> m_unavailable;
};

// The column "backend" with one row per backend.
inline void backendRows()
{
    QTest::addColumn<Backend>("backend");
    QTest::newRow("SQLite") << Backend::Sqlite;
    QTest::newRow("Firebird") << Backend::Firebird;
    QTest::newRow("MariaDB over ODBC") << Backend::Odbc;
}

inline void exec(TDatabase &db, const QString &statement)
{
    TQuery query(&db);
    query.sql().setText(statement);
    query.execSQL();
}

inline void recreate(TDatabase &db, const QString &table, const QString &columns)
{
    try {
        exec(db, QStringLiteral("drop table ") + table);
    } catch (const DbError &) {
    }
    exec(db, QStringLiteral("create table ") + table + QStringLiteral(" (") + columns + u')');
}

} // namespace dbtest

Q_DECLARE_METATYPE(dbtest::Backend)

// Skips the current row when the backend is not there; in CI that is a failure.
#define DBTEST_REQUIRE(backends, backend)                                                          \
    do {                                                                                           \
        const QString why_ = (backends).unavailable(backend);                                      \
        if (!why_.isEmpty()) {                                                                     \
            if (dbtest::inCi())                                                                    \
                QFAIL(qPrintable(why_));                                                           \
            QSKIP(qPrintable(why_));                                                               \
        }                                                                                          \
    } while (false)
