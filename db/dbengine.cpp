#include "db/dbengine.h"

#include "db/alarm.h"
#include "db/attachmentsocket.h"
#include "db/dialect.h"
#include "db/firebirdclient.h"
#include "db/odbctext.h"
#include "db/reachable.h"
#include "toolkit/codepage.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {

QString qtDriverName(aliases::Driver driver)
{
    switch (driver) {
    case aliases::Driver::InterBase:
        return u"QIBASE"_s;
    case aliases::Driver::Odbc:
        return u"QODBC"_s;
    case aliases::Driver::Sqlite:
        break;
    }
    return u"QSQLITE"_s;
}

QString errorText(const QSqlError &error, const QString &fallback)
{
    const QString text = error.text().trimmed();
    return text.isEmpty() ? fallback : text;
}

// The opening packet of Firebird's wire protocol asking for none of its versions: a server
// that serves answers it at once (with a refusal), one that stalled does not. In XDR: op_connect,
// op_attach, connect version 3, generic architecture, no file, no versions, no user.
QByteArray firebirdGreeting()
{
    QByteArray bytes;
    for (const quint32 word : {1u, 19u, 3u, 1u, 0u, 0u, 0u}) {
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.append(char((word >> shift) & 0xFF));
    }
    return bytes;
}

// Qt offers no connect timeout for Firebird: a host that drops packets would hold the window
// for minutes, and a server that takes connections without serving them (stalled, or behind a
// path that forwards nothing) would hold the attach until Firebird's own timeout of minutes.
// Its first answer, within a bounded time, tells before the attach is tried.
void checkReachable(const aliases::ServerLocation &location)
{
    const QString why = reachable::tcpConnect(location.host, location.port,
                                              Database::reachabilityTimeoutMs, firebirdGreeting());
    if (!why.isEmpty())
        throw DbError(u"Unable to complete network request to host \"%1\" (port %2): %3"_s.arg(
            location.host, QString::number(location.port), why));
}

// An ODBC session must take texts as written: with backslash escapes a value could end its
// literal early. Why this one cannot be used, or an empty text.
QString sessionRefused(const QSqlDatabase &db, const QString &driver)
{
    const QString check = dialect::sessionCheck(driver);
    if (check.isEmpty())
        return QString();
    QSqlQuery query(db);
    const bool read = query.exec(check) && query.next();
    const QString answer =
        read ? query.value(0).toString() : errorText(query.lastError(), u"no answer"_s);
    query.finish();
    if (read && dialect::sessionHolds(driver, answer))
        return QString();
    return u"The database session does not take texts as written (NO_BACKSLASH_ESCAPES is not "
           u"set; sql_mode: %1)"_s.arg(answer);
}

bool isWholeNumber(QStringView text)
{
    if (text.startsWith(u'+') || text.startsWith(u'-'))
        text = text.mid(1);
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// An UPDATE, INSERT or DELETE: the statements that report the rows they changed.
bool changesRows(const QString &statement)
{
    const QStringView text = QStringView(statement).trimmed();
    for (const QStringView verb : {u"update", u"insert", u"delete"}) {
        if (text.startsWith(verb, Qt::CaseInsensitive) &&
            (text.size() == verb.size() || !text.at(verb.size()).isLetterOrNumber()))
            return true;
    }
    return false;
}

} // namespace

int toInteger(const QString &text)
{
    QStringView digits(text);
    while (digits.startsWith(u' '))
        digits = digits.mid(1);
    bool ok = false;
    const int value = isWholeNumber(digits) ? digits.toInt(&ok) : 0;
    if (!ok)
        throw DbError(u"'%1' is not a valid integer value"_s.arg(text));
    return value;
}

QString textOf(const QVariant &value, aliases::Encoding encoding)
{
    if (value.typeId() != QMetaType::QByteArray)
        return value.toString();
    const QByteArray bytes = value.toByteArray();
    return encoding == aliases::Encoding::Cp932 ? codepage::fromCp932(bytes)
                                                : QString::fromUtf8(bytes);
}

QString sqlLiteral(const QString &text)
{
    if (text.contains(QChar(0)))
        throw DbError(u"A value holds a NUL character and cannot be written"_s);
    QString escaped = text;
    escaped.replace(u'\'', u"''"_s);
    return u'\'' + escaped + u'\'';
}

// ---------------------------------------------------------------------------------------------

void TextLines::clear()
{
    m_lines.clear();
    changed();
}

void TextLines::add(const QString &line)
{
    m_lines.append(line);
    changed();
}

void TextLines::setText(const QString &text)
{
    static const QRegularExpression lineBreak(u"\r\n|\r|\n"_s);
    m_lines = text.split(lineBreak);
    if (m_lines.last().isEmpty())
        m_lines.removeLast(); // a final line break ends the last line, it starts none
    changed();
}

QString TextLines::text() const
{
    return m_lines.join(u'\n');
}

void TextLines::setLine(qsizetype n, const QString &line)
{
    if (n < 0 || n >= m_lines.size())
        throw DbError(u"List index out of bounds (%1)"_s.arg(n));
    m_lines[n] = line;
    changed();
}

QString TextLines::value(const QString &name) const
{
    for (const QString &line : m_lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 &&
            QStringView(line).left(eq).trimmed().compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return QString();
}

// ---------------------------------------------------------------------------------------------

Database::Database(const QString &databaseName, QObject *parent)
    : QObject(parent), m_databaseName(databaseName)
{
    // Several connections may share a database name (tests, tools); the Qt name must not.
    static std::atomic<int> serial = 0;
    m_connectionName = u"tollivane/%1/%2"_s.arg(databaseName).arg(++serial);
}

Database::~Database()
{
    close();
    for (Query *query : std::as_const(m_queries))
        query->m_database = nullptr;
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
}

void Database::setAliasName(const QString &alias)
{
    close();
    m_aliasName = alias;
}

void Database::setRoute(const aliases::Route &route)
{
    close();
    m_route = route;
}

bool Database::connected() const
{
    return m_open;
}

bool Database::overOdbc() const
{
    return m_open && m_handle.driverName() == u"QODBC"_s;
}

QString Database::driverName() const
{
    return m_open ? m_handle.driverName() : QString();
}

void Database::begin()
{
    checkInterruption();
    open();
    QSqlDatabase db = m_handle;
    if (!db.transaction()) {
        const QString text = errorText(db.lastError(), u"Cannot begin a transaction"_s);
        dropIfLost();
        throw DbError(text);
    }
    m_inTransaction = true;
}

void Database::commit()
{
    QSqlDatabase db = m_handle;
    if (!m_open || !db.commit()) {
        const QString text = errorText(db.lastError(), u"Cannot commit the transaction"_s);
        rollback();
        dropIfLost();
        throw DbError(text);
    }
    m_inTransaction = false;
}

void Database::rollback()
{
    if (m_open)
        m_handle.rollback();
    m_inTransaction = false;
}

void Database::checkInterruption()
{
    if (!m_interrupted || !m_interrupted())
        return;
    close();
    throw DbError(u"The request was given up"_s);
}

QString Database::missingHere(const aliases::Route &route)
{
    if (route.driver == aliases::Driver::InterBase) {
        // Without it the driver does not load, and Qt would only say that much.
        const QString missing = firebird::missingClient();
        if (!missing.isEmpty())
            return missing;
    }
    const QString driver = qtDriverName(route.driver);
    if (!QSqlDatabase::isDriverAvailable(driver))
        return u"The SQL driver %1 is not installed"_s.arg(driver);
    return QString();
}

void Severance::sever()
{
    std::shared_ptr<attachmentsocket::Path> path;
    {
        const std::lock_guard lock(m_mutex);
        m_severed = true;
        path = m_path.lock();
    }
    if (path)
        path->sever();
}

bool Severance::severed() const
{
    const std::lock_guard lock(m_mutex);
    return m_severed;
}

void Severance::hold(const std::shared_ptr<attachmentsocket::Path> &path)
{
    {
        const std::lock_guard lock(m_mutex);
        m_path = path;
        if (!m_severed)
            return;
    }
    path->sever();
}

void Database::open()
{
    if (m_open)
        return;
    if (m_severance->severed())
        throw DbError(u"The connection was ended: the database did not answer in time"_s);
    openRoute(m_route ? *m_route : aliases::resolve(m_aliasName, m_params));
    m_open = true;
    tell(true);
}

void Database::tell(bool open)
{
    if (!m_watcher)
        return;
    if (!open) {
        m_watcher(false);
        return;
    }
    try {
        m_watcher(true);
    } catch (...) {
        close(); // nothing runs on a connection that was not told
        throw;
    }
}

void Database::openRoute(const aliases::Route &route)
{
    const QString missing = missingHere(route);
    if (!missing.isEmpty())
        throw DbError(missing);
    const QString driver = qtDriverName(route.driver);
    // The driver is known only now; a connection made for another driver is replaced.
    if (QSqlDatabase::contains(m_connectionName) &&
        QSqlDatabase::database(m_connectionName, false).driverName() != driver)
        QSqlDatabase::removeDatabase(m_connectionName);
    QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
                          ? QSqlDatabase::database(m_connectionName, false)
                          : QSqlDatabase::addDatabase(driver, m_connectionName);

    db.setUserName(route.userName);
    db.setPassword(route.password);
    std::shared_ptr<attachmentsocket::Path> path;
    QString serverHost;
    switch (route.driver) {
    case aliases::Driver::InterBase: {
        QString database = route.database;
        aliases::ServerLocation location = aliases::parseLocation(database);
        if (location.host.isEmpty()) {
            database = aliases::onLocalServer(database);
            if (database.isEmpty())
                throw DbError(u"The database '%1' names no server"_s.arg(route.database));
            location = aliases::parseLocation(database);
        }
        attachmentsocket::keepWritesToResetConnectionsHarmless();
        checkReachable(location);
        // The client attaches through a path of ours, which can be ended before, during and
        // after the attach.
        QString why;
        path =
            attachmentsocket::Path::open(location.host, location.port, reachabilityTimeoutMs, why);
        if (!path)
            throw DbError(u"Unable to complete network request to host \"%1\" (port %2): %3"_s.arg(
                location.host, QString::number(location.port), why));
        m_severance->hold(path);
        serverHost = location.host;
        db.setDatabaseName(
            u"%1/%2:%3"_s.arg(path->clientHost()).arg(path->clientPort()).arg(location.path));
        break;
    }
    case aliases::Driver::Odbc:
        // QODBC puts "DSN=" in front itself. The driver's own timeouts bound a silent host and
        // a server that stops answering once connected. OPTION=2 (found rows): MariaDB then
        // counts the rows an UPDATE matched, not only the rows it changed, as the other routes
        // do. AUTO_RECONNECT=0, whatever the data source says: a session the driver opened
        // again by itself would lack what sessionSetup set and the lock that names it (and
        // Connector/ODBC 3.1.15 crashes on it).
        db.setDatabaseName(route.database +
                           u";CONN_TIMEOUT=%1;READ_TIMEOUT=%2;WRITE_TIMEOUT=%2;OPTION=2;"
                           u"AUTO_RECONNECT=0"_s.arg(connectTimeoutSeconds)
                               .arg(answerTimeoutSeconds));
        break;
    case aliases::Driver::Sqlite:
        db.setDatabaseName(route.database);
        db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(
            m_lockWaitMs > 0 ? m_lockWaitMs : connectTimeoutSeconds * 1000));
        break;
    }

    if (!db.open()) {
        QString text = errorText(db.lastError(), u"Cannot connect to %1"_s.arg(route.database));
        db.close();
        if (path) // the client names the path's end as its server
            text.replace(u'"' + path->clientHost() + u'"', u'"' + serverHost + u'"');
        throw DbError(text);
    }
    if (route.driver == aliases::Driver::Sqlite) {
        // Readers then never hold up the stations' writes.
        QSqlQuery(u"pragma journal_mode=wal"_s, db).finish();
    }
    for (const QString &setting : dialect::sessionSetup(driver, m_lockWaitMs))
        QSqlQuery(setting, db).finish(); // a lock wait the server lacks: it waits as it always did
    const QString refused = sessionRefused(db, driver);
    if (!refused.isEmpty()) {
        db.close();
        throw DbError(refused);
    }
    m_handle = db;
    m_path = std::move(path);
    m_encoding = route.encoding;
}

QString Database::textColumn(const QString &column)
{
    open();
    return dialect::textOf(driverName(), m_encoding, column, 0) + u" as "_s + column;
}

// A server that was stopped leaves the connection dead for good. After a failed statement a
// cheap probe tells a dead connection from a failing statement; a dead one is closed, so the
// next statement connects anew and the station carries on once the server is back.
void Database::dropIfLost()
{
    if (!m_open)
        return;
    QSqlQuery query(m_handle);
    if (!m_handle.isOpen() || !query.exec(dialect::probe(m_handle.driverName())))
        close();
}

QStringList Database::readTables()
{
    QSqlQuery query(m_handle);
    query.setForwardOnly(true);
    if (!query.exec(dialect::tables(m_handle.driverName()))) {
        const QString text = errorText(query.lastError(), u"The tables cannot be listed"_s);
        dropIfLost();
        throw DbError(text);
    }
    QStringList names;
    while (Query::fetched(query, *this))
        names << query.value(0).toString().trimmed();
    return names;
}

std::optional<QString> Database::tableName(const QString &name)
{
    checkInterruption();
    open();
    for (const bool fresh : {false, true}) {
        if (fresh || !m_tables)
            m_tables = readTables();
        if (m_tables->contains(name))
            return name;
        const auto found = std::find_if(m_tables->cbegin(), m_tables->cend(), [&](const auto &t) {
            return t.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (found != m_tables->cend())
            return m_handle.driverName() == u"QODBC"_s ? *found : name;
    }
    return std::nullopt;
}

void Database::close()
{
    const QList<Query *> queries = m_queries;
    for (Query *query : queries)
        query->close();
    const bool wasOpen = m_open;
    if (m_open)
        m_handle.close();
    m_handle = QSqlDatabase();
    m_path.reset(); // closes once the client closed its side
    m_open = false;
    m_tables.reset();
    if (wasOpen)
        tell(false);
}

// ---------------------------------------------------------------------------------------------

Query::Query(Database *database, QObject *parent)
    : QObject(parent), m_database(database), m_sql([this] { close(); })
{
    if (m_database)
        m_database->m_queries.append(this);
}

Query::~Query()
{
    if (m_database)
        m_database->m_queries.removeOne(this);
}

Database &Query::connection() const
{
    if (!m_database)
        throw DbError(u"The query has no database"_s);
    return *m_database;
}

QSqlRecord Query::readFirstRow(Database &database, const QString &statement, int *rows)
{
    QSqlQuery query(database.m_handle);
    query.setForwardOnly(true);
    if (!query.exec(statement)) {
        const QString text = errorText(query.lastError(), u"The statement failed"_s);
        query.finish();
        database.dropIfLost();
        throw DbError(text);
    }
    const bool found = fetched(query, database);
    QSqlRecord row = query.record();
    if (!found)
        row.clearValues();
    // A second row tells a table that should hold one; its fetch fails like the first.
    if (rows)
        *rows = !found ? 0 : fetched(query, database) ? 2 : 1;
    // Nothing stays open in the engine: no read lock, no snapshot of an old state.
    query.finish();
    return row;
}

// A row, or the end of the rows; a fetch that failed (a text the connection cannot convert,
// a connection lost on the way) raises with the engine's text, never reads as the end.
bool Query::fetched(QSqlQuery &query, Database &database)
{
    if (query.next())
        return true;
    if (query.lastError().type() == QSqlError::NoError)
        return false;
    const QString text = errorText(query.lastError(), u"The row could not be fetched"_s);
    query.finish();
    database.dropIfLost();
    throw DbError(text);
}

QSqlRecord Query::readWholeTexts(Database &database, const QSqlRecord &row) const
{
    try {
        return odbctext::decoded(row,
                                 readFirstRow(database, odbctext::hexStatement(m_sql.text(), row)));
    } catch (const DbError &) {
        if (!database.connected())
            throw;  // the server went away: an outage like any other
        return row; // a server without MySQL's syntax: the row as the driver gave it
    }
}

void Query::open()
{
    close();
    Database &database = connection();
    database.checkInterruption();
    database.open();

    int rows = 0;
    QSqlRecord row = readFirstRow(database, m_sql.text(), &rows);
    if (odbctext::mayBeCut(row) && database.overOdbc())
        row = readWholeTexts(database, row);

    for (const QString &name : std::as_const(m_requiredFields)) {
        if (row.indexOf(name) < 0)
            throw DbError(u"Field '%1' not found"_s.arg(name));
    }
    m_row = row;
    m_encoding = database.encoding();
    m_rows = rows;
    m_active = true;
    Q_EMIT dataChanged();
}

void Query::read(const QString &statement)
{
    m_sql.clear();
    m_sql.add(statement);
    open();
}

void Query::close()
{
    if (!m_active)
        return;
    m_active = false;
    m_row.clear();
    m_rows = 0;
    Q_EMIT dataChanged();
}

QString Query::fieldAsString(const QString &name) const
{
    if (!m_active)
        throw DbError(u"Cannot read field '%1' of a closed query"_s.arg(name));
    std::optional<QString> value = fieldIfAny(name);
    if (!value)
        throw DbError(u"Field '%1' not found"_s.arg(name));
    return *std::move(value);
}

int Query::fieldAsInteger(const QString &name) const
{
    return toInteger(fieldAsString(name));
}

std::optional<QString> Query::fieldIfAny(const QString &name) const
{
    const int index = m_active ? m_row.indexOf(name) : -1;
    if (index < 0)
        return std::nullopt;
    const QVariant value = m_row.value(index);
    return value.isNull() ? QString() : textOf(value, m_encoding);
}

bool Query::hasField(const QString &name) const
{
    return fieldIfAny(name).has_value();
}

QStringList Query::fieldNames() const
{
    QStringList names;
    for (int i = 0; i < m_row.count(); ++i)
        names.append(m_row.fieldName(i));
    return names;
}

bool Query::holdsNumbers(const QString &name) const
{
    const int index = m_active ? m_row.indexOf(name) : -1;
    if (index < 0)
        return false;
    switch (m_row.field(index).metaType().id()) {
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

int Query::execSQL()
{
    Database &database = connection();
    database.checkInterruption();
    database.open();
    const QSqlDatabase &db = database.m_handle;
    QSqlQuery query(db);
    // Qt's Firebird driver starts every transaction to wait for a row lock without limit: a
    // write in a transaction is cancelled through the client once the bound has passed.
    std::optional<Alarm> lockWait;
    if (database.m_inTransaction && database.m_lockWaitMs > 0 && db.driverName() == u"QIBASE"_s) {
        const quint32 attachment = firebird::attachment(db.driver()->handle());
        lockWait.emplace(database.m_lockWaitMs, [attachment] { firebird::cancel(attachment); });
    }
    const bool executed = query.exec(m_sql.text());
    lockWait.reset();
    if (!executed) {
        const QString text = errorText(query.lastError(), u"The statement failed"_s);
        query.finish();
        database.dropIfLost();
        throw DbError(text);
    }
    // Only statements that change rows have a count (the InterBase driver warns otherwise).
    return changesRows(m_sql.text()) ? query.numRowsAffected() : 0;
}

void Query::addRequiredField(const QString &name)
{
    if (!m_requiredFields.contains(name, Qt::CaseInsensitive))
        m_requiredFields.append(name);
}
