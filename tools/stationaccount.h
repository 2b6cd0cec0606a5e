#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class Database;

// An account on the competition server that can only judge: it reads judgeent, judgep and
// race, reads judgeA..judgeE and writes there only the seat flag and the marks, and ends its
// own stranded connections (Firebird: its rows of mon$attachments; MariaDB ends its own
// connections and takes named locks without any grant).
namespace stationaccount {

enum class Server
{
    Firebird,
    MariaDB
};

// The columns of a judge's table the station writes.
const QStringList &writtenColumns();

// Why the name cannot be an account's (letters, digits and _, a letter first, at most 31), or
// an empty text.
QString badName(const QString &name);

// The statements that make the account, or give an existing one this password and the rights;
// table names as the server has them (tables: judgeent..judgeE mapped, else as written).
// Whoever runs them must be the server's superuser.
QStringList statements(Server server, const QString &name, const QString &password,
                       const std::function<QString(const QString &)> &table = {});

// Runs them on the connection, which must be the superuser's; raises DbError on the first
// that fails.
void make(Database &db, const QString &name, const QString &password);

} // namespace stationaccount
