#include "db/odbctext.h"

#include <QStringList>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace odbctext {

namespace {

bool isText(const QSqlRecord &row, int i)
{
    return row.value(i).typeId() == QMetaType::QString;
}

QString identifier(const QString &name)
{
    QString escaped = name;
    escaped.replace(u'`', u"``"_s);
    return u'`' + escaped + u'`';
}

} // namespace

bool mayBeCut(const QSqlRecord &row)
{
    for (int i = 0; i < row.count(); ++i) {
        if (!isText(row, i))
            continue;
        const QString text = row.value(i).toString();
        for (const QChar c : text) {
            if ((c.unicode() & 0xFC) == 0xD8)
                return true;
        }
    }
    return false;
}

QString hexStatement(const QString &statement, const QSqlRecord &row)
{
    QStringList columns;
    for (int i = 0; i < row.count(); ++i) {
        const QString name = identifier(row.fieldName(i));
        columns.append(isText(row, i) ? u"hex(convert("_s + name + u" using utf8mb4)) as "_s + name
                                      : name);
    }
    return u"select "_s + columns.join(u", "_s) + u" from ("_s + statement +
           u") as tollivane_row"_s;
}

QSqlRecord decoded(const QSqlRecord &row, const QSqlRecord &hexRow)
{
    QSqlRecord result = hexRow;
    for (int i = 0; i < result.count() && i < row.count(); ++i) {
        const QVariant value = hexRow.value(i);
        if (isText(row, i) && !value.isNull())
            result.setValue(i, QString::fromUtf8(QByteArray::fromHex(value.toString().toLatin1())));
    }
    return result;
}

} // namespace odbctext
