#include "db/serverconnection.h"

#include "db/dbengine.h"

#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace serverconnection {

namespace {

const QString firebird = u"QIBASE"_s;
const QString odbc = u"QODBC"_s;

// The columns that tell a connection from a later one with the same number, as texts.
QString firebirdMarks()
{
    return u"mon$user as usr, mon$remote_address as address, mon$remote_pid as process, "
           u"cast(mon$timestamp as varchar(30)) as started from mon$attachments"_s;
}

QString firebirdCondition(const ServerConnection &c)
{
    return u" where mon$attachment_id = %1 and mon$user = %2 and mon$remote_address = %3 and "
           u"mon$remote_pid = %4 and cast(mon$timestamp as varchar(30)) = %5"_s.arg(
               QString::number(c.id), sqlLiteral(c.marks.value(0)), sqlLiteral(c.marks.value(1)),
               sqlLiteral(c.marks.value(2)), sqlLiteral(c.marks.value(3)));
}

// MariaDB tells a connection by its number alone, and numbers start again after a restart:
// each station's connection holds a named lock no other can hold, and a number counts as this
// connection's only while it holds that lock.
QString mariadbHolder(const ServerConnection &c)
{
    return u"select is_used_lock("_s + sqlLiteral(c.marks.value(0)) + u") as holder"_s;
}

QString newLockName()
{
    const quint64 high = QRandomGenerator::system()->generate64();
    const quint64 low = QRandomGenerator::system()->generate64();
    return u"tollivane-%1%2"_s.arg(high, 16, 16, QChar(u'0')).arg(low, 16, 16, QChar(u'0'));
}

} // namespace

std::optional<ServerConnection> identify(Database &db)
{
    const QString driver = db.driverName();
    Query query(&db);
    ServerConnection c;
    c.driver = driver;
    try {
        if (driver == firebird) {
            query.read(u"select mon$attachment_id as id, "_s + firebirdMarks() +
                       u" where mon$attachment_id = current_connection"_s);
            c.marks = {query.fieldAsString(u"usr"_s), query.fieldAsString(u"address"_s),
                       query.fieldAsString(u"process"_s), query.fieldAsString(u"started"_s)};
        } else if (driver == odbc) {
            const QString lock = newLockName();
            query.read(u"select connection_id() as id, get_lock("_s + sqlLiteral(lock) +
                       u", 0) as locked"_s);
            if (query.fieldAsString(u"locked"_s) != u"1")
                return std::nullopt; // no mark that proves it: never cancelled
            c.marks = {lock};
        } else {
            return std::nullopt;
        }
        bool ok = false;
        c.id = query.fieldAsString(u"id"_s).toLongLong(&ok);
        if (!ok)
            return std::nullopt;
    } catch (const DbError &) {
        if (!db.connected())
            throw;
        return std::nullopt; // a server without these lists: nothing can be cancelled there
    }
    return c;
}

bool stillOpen(Database &db, const ServerConnection &c)
{
    Query query(&db);
    if (c.driver == firebird) {
        query.read(u"select count(*) as n from mon$attachments"_s + firebirdCondition(c));
        return query.fieldAsString(u"n"_s).toInt() > 0;
    }
    query.read(mariadbHolder(c));
    return query.fieldAsString(u"holder"_s) == QString::number(c.id);
}

bool end(Database &db, const ServerConnection &c)
{
    if (c.driver != db.driverName())
        return false; // its number means nothing on another kind of server
    Query query(&db);
    if (c.driver == firebird) {
        query.sql().add(u"delete from mon$attachments"_s + firebirdCondition(c));
        return query.execSQL() > 0;
    }
    // KILL takes no condition: the check comes just before it.
    if (!stillOpen(db, c))
        return false;
    query.sql().add(u"kill "_s + QString::number(c.id));
    try {
        query.execSQL();
    } catch (const DbError &) {
        if (!db.connected())
            throw;
        return false; // gone between the check and the kill ("unknown thread id")
    }
    return true;
}

} // namespace serverconnection
