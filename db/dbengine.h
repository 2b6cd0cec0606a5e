#pragma once

#include "db/aliases.h"
#include "toolkit/error.h"

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class Query;
class QSqlQuery;

namespace attachmentsocket {
class Path;
}

// The one exception type of the database layer; its text is the engine's own.
class DbError : public Error
{
public:
    using Error::Error;
};

// A text as a whole number, as a query's field reads it (blanks in front ignored); raises
// DbError when it is none.
int toInteger(const QString &text);

// A value as read: a text, or the bytes of a text in the database's encoding.
QString textOf(const QVariant &value, aliases::Encoding encoding);

// The one way a value becomes part of a statement: a single-quoted literal with its quotes
// doubled, the same text on every route (ODBC sessions take no backslash escapes). Raises
// DbError for a NUL, which some engines take for the end of the statement.
QString sqlLiteral(const QString &text);

// A statement or parameter list held as text lines. Changing it tells the owner.
class TextLines
{
public:
    explicit TextLines(std::function<void()> changed = {}) : m_changed(std::move(changed)) {}
    void clear();
    void add(const QString &line);
    void setText(const QString &text); // split at line breaks
    QString text() const;              // lines joined by line breaks
    qsizetype count() const { return m_lines.size(); }
    QString line(qsizetype n) const { return m_lines.value(n); } // n from 0
    void setLine(qsizetype n, const QString &line);              // raises when there is no line n
    const QStringList &lines() const { return m_lines; }
    // The value of the first "NAME=value" line whose name matches (case-insensitive).
    QString value(const QString &name) const;

private:
    void changed()
    {
        if (m_changed)
            m_changed();
    }
    QStringList m_lines;
    std::function<void()> m_changed;
};

// Ends the Firebird call that hangs on a connection, from another thread, wherever it hangs: in
// the attach or in a statement; once severed, no connection opens under it any more. For a
// worker that may be given up on. It ends no ODBC call (the driver's own timeouts bound them)
// and no SQLite one (they are local).
class Severance
{
public:
    void sever(); // for good
    bool severed() const;

private:
    friend class Database;
    // The path of the connection that is being opened or is open; ended at once when severed.
    void hold(const std::shared_ptr<attachmentsocket::Path> &path);

    mutable std::mutex m_mutex;
    bool m_severed = false;
    std::weak_ptr<attachmentsocket::Path> m_path;
};

// The one named connection: an alias configured outside the terminal plus a parameter list.
class Database : public QObject
{
    Q_OBJECT
public:
    explicit Database(const QString &databaseName, QObject *parent = nullptr);
    ~Database() override;

    QString databaseName() const { return m_databaseName; }
    QString aliasName() const { return m_aliasName; }
    void setAliasName(const QString &alias); // closes the connection first
    TextLines &params() { return m_params; }
    const TextLines &params() const { return m_params; }

    bool connected() const;
    bool overOdbc() const;      // open, on an ODBC data source
    QString driverName() const; // the Qt driver of the open connection; empty when closed
    // How the database stores its texts (the alias's Encoding); UTF-8 while closed.
    aliases::Encoding encoding() const { return m_open ? m_encoding : aliases::Encoding::Utf8; }
    // A text column as a select reads it in that encoding, named as the column (its value
    // decoded by the query's fields); opens the connection.
    QString textColumn(const QString &column);

    // A short explicit transaction (the gateway's writes): begin, then commit or roll back at
    // once. Each raises DbError on failure.
    void begin();
    void commit();
    void rollback(); // never raises: a connection that is gone has nothing to roll back

    // How long a statement waits for a row or table lock that another program holds before
    // it fails; applied from the next open (and to each write of a transaction on Firebird,
    // whose driver waits without limit). 0: the server's own setting.
    void setLockWaitMs(int ms) { m_lockWaitMs = ms; }
    // Asked before every statement: once it says true, no further statement runs (each
    // raises DbError) and the connection is closed; for work whose requester has gone.
    void setInterruption(std::function<bool()> interrupted)
    {
        m_interrupted = std::move(interrupted);
    }
    void open();  // raises DbError when the database cannot be reached; never asks for a login
    void close(); // closes the results of its queries too; harmless when closed

    // What ends this connection's call that hangs from another thread (see Severance), given
    // before it opens; else one of its own that nobody severs.
    void setSeverance(std::shared_ptr<Severance> severance) { m_severance = std::move(severance); }
    // Told on the thread that opens, right after every open (true), before anything else runs
    // on the new connection, however the open came about (a query on a closed connection
    // opens it), and after every close (false). When it raises on an open, the connection is
    // closed again and the open fails with its error.
    void setConnectionWatcher(std::function<void(bool open)> watcher)
    {
        m_watcher = std::move(watcher);
    }

    // Bypasses the alias file: the next open goes to this database (tools and tests).
    void setRoute(const aliases::Route &route);
    void clearRoute() { m_route.reset(); }
    const std::optional<aliases::Route> &route() const { return m_route; } // the one set, if any

    // A table's name as the server has it: a server that keeps the letter case of table names
    // (MySQL on Linux) holds "judgea" for "judgeA" in a database that lived on Windows; the
    // other routes take the name as written; nothing when it has the table in no letter case.
    // The server is asked once per connection, and again for a table it did not have.
    std::optional<QString> tableName(const QString &name);

    // For the queries bound to this connection.
    QString qtConnectionName() const { return m_connectionName; }

    // What this PC lacks for a route (its SQL driver; Firebird's client, which on Windows comes
    // with Firebird's own installer), in words for the user; an empty text when nothing is.
    static QString missingHere(const aliases::Route &route);

    // Bounds of a connection attempt to a host that does not answer: the ODBC driver's own
    // connect timeout, and the TCP check made before a Firebird attach. Below the gateway's
    // 3 s, so that a failed attempt answers before the gateway gives up on it.
    static constexpr int connectTimeoutSeconds = 2;
    static constexpr int reachabilityTimeoutMs = 2000;
    // The ODBC driver's bound on waiting for any answer of the server once connected.
    static constexpr int answerTimeoutSeconds = 3;

private:
    friend class Query;
    void openRoute(const aliases::Route &route);
    void dropIfLost();
    void checkInterruption();

    void tell(bool open);

    QSqlDatabase m_handle; // the Qt connection while open
    // The path under the open Firebird attachment.
    std::shared_ptr<attachmentsocket::Path> m_path;
    std::shared_ptr<Severance> m_severance = std::make_shared<Severance>();
    std::function<void(bool)> m_watcher;
    aliases::Encoding m_encoding = aliases::Encoding::Utf8;
    int m_lockWaitMs = 0;
    bool m_inTransaction = false;
    std::function<bool()> m_interrupted;

    QString m_databaseName;
    QString m_connectionName;
    QString m_aliasName;
    TextLines m_params;
    std::optional<aliases::Route> m_route;
    QList<Query *> m_queries;
    bool m_open = false;
    std::optional<QStringList> m_tables; // of the open connection, once asked
    QStringList readTables();
};

// A statement on the connection. A select is read when opened and the query stands on its
// first row; nothing stays open in the engine between calls, so every statement takes effect
// at once and other stations see it when the call returns.
class Query : public QObject
{
    Q_OBJECT
public:
    explicit Query(Database *database, QObject *parent = nullptr);
    ~Query() override;

    TextLines &sql() { return m_sql; } // changing the text closes an open result
    const TextLines &sql() const { return m_sql; }

    void open(); // runs the select; opens the connection first when it is closed
    void read(const QString &statement); // the statement as the query's text, then open()
    void close();                        // harmless when closed
    bool active() const { return m_active; }

    // Columns of the current row, by name without regard to case. A missing column raises;
    // NULL reads as an empty text; an empty result reads every column as empty. Bytes read
    // as a text in the database's encoding.
    QString fieldAsString(const QString &name) const;
    int fieldAsInteger(const QString &name) const; // raises when the text is not a whole number
    bool hasField(const QString &name) const;
    // The column's text, or nothing when the query is closed or has no such column.
    std::optional<QString> fieldIfAny(const QString &name) const;

    // A statement without result rows; returns the rows it matched (an UPDATE whose new
    // values equal the old ones counts its rows too, on every route).
    int execSQL();

    // Data-bound display: fields that must exist when the query is opened.
    void addRequiredField(const QString &name);

    Database *database() const { return m_database; }
    QStringList fieldNames() const; // of the current result; empty when closed
    // Whether a column of the current result is of a number type (integer, numeric, floating
    // point) as the driver describes it, which an empty result tells too; false for a column
    // it does not have.
    bool holdsNumbers(const QString &name) const;
    // Rows of the open result: 0, 1, or 2 for two or more; 0 when closed.
    int rowsSeen() const { return m_active ? m_rows : 0; }

Q_SIGNALS:
    void dataChanged(); // opened or closed

private:
    friend class Database;
    Database &connection() const; // raises when the connection is gone
    // The first row of a select, without values when there is none; raises on failure.
    // rows (when given): how many rows it has, 2 standing for two or more.
    static QSqlRecord readFirstRow(Database &database, const QString &statement,
                                   int *rows = nullptr);
    static bool fetched(QSqlQuery &query, Database &database);
    // The row read again with texts the ODBC driver may have cut read whole.
    QSqlRecord readWholeTexts(Database &database, const QSqlRecord &row) const;

    Database *m_database; // null once the connection is destroyed
    TextLines m_sql;
    QSqlRecord m_row;
    aliases::Encoding m_encoding = aliases::Encoding::Utf8; // of the row
    int m_rows = 0;
    bool m_active = false;
    QStringList m_requiredFields;
};
