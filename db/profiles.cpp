#include "db/profiles.h"

namespace profiles {

const char16_t *const interbaseServerNameLocal = u"SERVER NAME=C:\\IB_data\\Jump.GDB";
const char16_t *const interbaseServerNameServer = u"SERVER NAME=G:\\Jump.GDB";

const char16_t *const interbaseLines[interbaseLineCount] = {
    u"SERVER NAME=C:\\IB_data\\Jump.GDB",
    u"USER NAME=SYSDBA",
    u"OPEN MODE=READ/WRITE",
    u"SCHEMA CACHE SIZE=8",
    u"LANGDRIVER=",
    u"SQLQRYMODE=",
    u"SQLPASSTHRU MODE=SHARED AUTOCOMMIT",
    u"SCHEMA CACHE TIME=-1",
    u"MAX ROWS=-1",
    u"BATCH COUNT=200",
    u"ENABLE SCHEMA CACHE=FALSE",
    u"SCHEMA CACHE DIR=",
    u"ENABLE BCD=FALSE",
    u"BLOBS TO CACHE=64",
    u"BLOB SIZE=32",
    u"WAIT ON LOCKS=FALSE",
    u"COMMIT RETAIN=FALSE",
    u"ROLE NAME=",
    u"PASSWORD=pewtergum",
};

const char16_t *const mysqlLines[mysqlLineCount][2] = {
    {u"SERVER NAME=JumpLocal", u"DATABASE NAME=Jump"},
    {u"USER NAME=root", u"USER NAME=root"},
    {u"ODBC DSN=JumpLocal", u"ODBC DSN=JumpServer"},
    {u"OPEN MODE=READ/WRITE", u"OPEN MODE=READ/WRITE"},
    {u"BATCH COUNT=200", u"BATCH COUNT=200"},
    {u"LANGDRIVER=", u"LANGDRIVER="},
    {u"MAX ROWS=-1", u"MAX ROWS=-1"},
    {u"SCHEMA CACHE DIR=C:\\mysql\\data\\Jump", u"SCHEMA CACHE DIR="},
    {u"SCHEMA CACHE SIZE=8", u"SCHEMA CACHE SIZE=8"},
    {u"SCHEMA CACHE TIME=-1", u"SCHEMA CACHE TIME=-1"},
    {u"SQLPASSTHRU MODE=SHARED NOAUTOCOMMIT", u"SQLPASSTHRU MODE=SHARED NOAUTOCOMMIT"},
    {u"SQLQRYMODE=SERVER", u"SQLQRYMODE="},
    {u"ENABLE SCHEMA CACHE=FALSE", u"ENABLE SCHEMA CACHE=FALSE"},
    {u"ENABLE BCD=FALSE", u"ENABLE BCD=FALSE"},
    {u"ROWSET SIZE=20", u"ROWSET SIZE=20"},
    {u"BLOBS TO CACHE=64", u"BLOBS TO CACHE=64"},
    {u"BLOB SIZE=32", u"BLOB SIZE=32"},
    {u"PASSWORD=rusko", u"PASSWORD=rusko"},
};

const char16_t *const interbaseAlias = u"Jump";
const char16_t *const mysqlAliases[2] = {u"JumpLocal", u"JumpServer"};

QString interbaseServerName(Location location)
{
    return QString::fromUtf16(location == Location::Local ? interbaseServerNameLocal
                                                          : interbaseServerNameServer);
}

QStringList interbaseParams(Location location)
{
    QStringList lines;
    for (const char16_t *line : interbaseLines)
        lines.append(QString::fromUtf16(line));
    lines[0] = interbaseServerName(location);
    return lines;
}

QString mysqlAlias(Location location)
{
    return QString::fromUtf16(mysqlAliases[location == Location::Local ? 0 : 1]);
}

QStringList mysqlParams(Location location)
{
    const int column = location == Location::Local ? 0 : 1;
    QStringList lines;
    for (const auto &row : mysqlLines)
        lines.append(QString::fromUtf16(row[column]));
    return lines;
}

} // namespace profiles
