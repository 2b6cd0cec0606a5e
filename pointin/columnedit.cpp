#include "pointin/columnedit.h"

ColumnEdit::ColumnEdit(QWidget *parent) : QLineEdit(parent)
{
    // Shows the data only; nothing is written back.
    setReadOnly(true);
}

void ColumnEdit::showRow(const QList<std::pair<QString, QString>> &row)
{
    QString value;
    for (const auto &[column, text] : row) {
        if (column.compare(m_dataField, Qt::CaseInsensitive) == 0) {
            value = text;
            break;
        }
    }
    // A new competitor reads the row again; an unchanged value costs nothing.
    if (text() != value)
        setText(value);
}
