#include "db/dialect.h"

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

QString lengthOf(const QString &driver, const QString &column)
{
    return (driver == sqlite ? u"length(cast(%1 as blob))"_s : u"char_length(%1)"_s).arg(column);
}

qsizetype measure(const QString &driver, const QString &text)
{
    return driver == sqlite ? text.toUtf8().size() : text.toUcs4().size();
}

} // namespace dialect
