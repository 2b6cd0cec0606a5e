#include "tools/stationaccount.h"

#include "db/dbengine.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace stationaccount {

const QStringList &writtenColumns()
{
    static const QStringList columns = {u"ent"_s, u"ap"_s, u"op"_s, u"lp"_s, u"tp"_s, u"sumi"_s};
    return columns;
}

QString badName(const QString &name)
{
    static const QRegularExpression valid(u"^[A-Za-z][A-Za-z0-9_]{0,30}$"_s);
    if (valid.match(name).hasMatch())
        return QString();
    return u"the account's name '%1' must be letters, digits and _, a letter first, at most 31"_s
        .arg(name);
}

QStringList statements(Server server, const QString &name, const QString &password,
                       const std::function<QString(const QString &)> &table)
{
    const auto on = [&](const QString &t) { return table ? table(t) : t; };
    const bool firebird = server == Server::Firebird;
    // MariaDB: from any host; a club may narrow '%' to its stations' network.
    const QString grantee =
        firebird ? QString(u"user "_s + name) : QString(u"'"_s + name + u"'@'%'"_s);
    QStringList list;
    if (firebird) {
        list << u"create or alter user "_s + name + u" password "_s + sqlLiteral(password);
    } else {
        list << u"create user if not exists "_s + grantee + u" identified by "_s +
                    sqlLiteral(password)
             << u"alter user "_s + grantee + u" identified by "_s + sqlLiteral(password);
    }
    for (const QString &t : {u"judgeent"_s, u"judgep"_s, u"race"_s})
        list << u"grant select on "_s + on(t) + u" to "_s + grantee;
    for (const QChar letter : QStringView(u"ABCDE"))
        list << u"grant select, update ("_s + writtenColumns().join(u", "_s) + u") on "_s +
                    on(u"judge"_s + letter) + u" to "_s + grantee;
    // Its own attachments are all it sees there: it ends those a lost path left behind.
    if (firebird)
        list << u"grant delete on mon$attachments to "_s + grantee;
    return list;
}

void make(Database &db, const QString &name, const QString &password)
{
    db.open();
    if (db.driverName() != u"QIBASE"_s && db.driverName() != u"QODBC"_s)
        throw DbError(u"A database file has no accounts: only a Firebird or MariaDB server has"_s);
    const Server server = db.driverName() == u"QIBASE"_s ? Server::Firebird : Server::MariaDB;
    const auto table = [&db](const QString &t) { return db.tableName(t).value_or(t); };
    for (const QString &statement : statements(server, name, password, table)) {
        Query query(&db);
        query.sql().add(statement);
        query.execSQL();
    }
}

} // namespace stationaccount
