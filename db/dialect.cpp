#include "db/dialect.h"

#include "toolkit/codepage.h"

using namespace Qt::StringLiterals;

namespace dialect {

namespace {

const QString firebird = u"QIBASE"_s;
const QString odbc = u"QODBC"_s;
const QString sqlite = u"QSQLITE"_s;

} // namespace

QStringList sessionSetup(const QString &driver, int lockWaitMs)
{
    if (driver != odbc)
        return {};
    QStringList setup = {
        u"set session sql_mode = concat_ws(',', nullif(@@sql_mode, ''), 'NO_BACKSLASH_ESCAPES')"_s};
    if (lockWaitMs > 0) {
        // Whole seconds; 0 is "no wait" (MariaDB 10.3 and later). Table locks are bounded too.
        const int seconds = (lockWaitMs + 999) / 1000;
        setup << u"set session innodb_lock_wait_timeout = %1, lock_wait_timeout = %2"_s.arg(seconds)
                     .arg(qMax(1, seconds));
    }
    return setup;
}

QString sessionCheck(const QString &driver)
{
    return driver == odbc ? u"select @@sql_mode"_s : QString();
}

bool sessionHolds(const QString &driver, const QString &answer)
{
    if (driver != odbc)
        return true;
    const QStringList modes = answer.split(u',');
    return modes.contains(u"NO_BACKSLASH_ESCAPES"_s, Qt::CaseInsensitive);
}

QString probe(const QString &driver)
{
    return driver == firebird ? u"select 1 from rdb$database"_s : u"select 1"_s;
}

QString tables(const QString &driver)
{
    if (driver == firebird)
        return u"select rdb$relation_name from rdb$relations"_s;
    if (driver == odbc)
        return u"select table_name from information_schema.tables where table_schema = database()"_s;
    return u"select name from sqlite_master where type in ('table', 'view')"_s;
}

QString leftOf(const QString &driver, const QString &column, int length)
{
    if (driver == sqlite)
        return u"substr(%1, 1, %2)"_s.arg(column).arg(length);
    // Standard SQL, which Firebird and MySQL both take.
    return u"substring(%1 from 1 for %2)"_s.arg(column).arg(length);
}

QString withoutTrailingBlanks(const QString &driver, const QString &column)
{
    return driver == sqlite ? u"rtrim(%1, ' ')"_s.arg(column) : column;
}

namespace {

// The column's bytes as a value Qt's drivers hand over as bytes: a binary blob on Firebird
// (its driver reads every CHAR and VARCHAR, OCTETS included, as UTF-8), a binary string on
// MariaDB, a blob on SQLite.
QString bytesOf(const QString &driver, const QString &column, int length)
{
    if (driver == firebird) {
        const QString octets = u"cast(%1 as varchar(32765) character set octets)"_s.arg(column);
        return u"cast(%1 as blob sub_type 0)"_s.arg(length > 0 ? leftOf(driver, octets, length)
                                                               : octets);
    }
    const QString binary =
        (driver == sqlite ? u"cast(%1 as blob)"_s : u"cast(%1 as binary)"_s).arg(column);
    return length > 0 ? leftOf(driver, binary, length) : binary;
}

} // namespace

QString textOf(const QString &driver, aliases::Encoding encoding, const QString &column, int length)
{
    if (encoding == aliases::Encoding::Cp932)
        return bytesOf(driver, column, length);
    return length > 0 ? leftOf(driver, column, length) : column;
}

QString lengthOf(const QString &driver, aliases::Encoding encoding, const QString &column)
{
    if (driver == sqlite)
        return u"length(cast(%1 as blob))"_s.arg(column);
    return (encoding == aliases::Encoding::Cp932 ? u"octet_length(%1)"_s : u"char_length(%1)"_s)
        .arg(column);
}

qsizetype measure(const QString &driver, aliases::Encoding encoding, const QString &text)
{
    if (encoding == aliases::Encoding::Cp932)
        return codepage::toCp932(text).size();
    return driver == sqlite ? text.toUtf8().size() : text.toUcs4().size();
}

} // namespace dialect
