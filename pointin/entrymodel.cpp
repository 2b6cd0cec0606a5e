#include "pointin/entrymodel.h"

using namespace Qt::StringLiterals;

QString EntryModel::caption(int column)
{
    const QString whole = QString::number(column / 2);
    return column % 2 == 0 ? whole : whole + u".5"_s;
}

int EntryModel::columnOf(int row, const QString &text)
{
    for (int i = 0; i < ColumnCount[row]; ++i) {
        if (text == caption(i))
            return i;
    }
    return -1;
}

void EntryModel::choose(int row, int column)
{
    m_rows[row] = {column, Look::Chosen, false};
}

void EntryModel::showStored(int row, int column)
{
    m_rows[row] = {column, Look::Stored, false};
}

void EntryModel::growFlightZero()
{
    // Flight 0 already chosen keeps its look (a red one stays red).
    if (m_rows[Flight].column != 0)
        m_rows[Flight] = {0, Look::Grown, false};
}

void EntryModel::confirm(int row)
{
    if (m_rows[row].column >= 0)
        m_rows[row].confirmed = true;
}

void EntryModel::clear(int row)
{
    m_rows[row] = {};
}

void EntryModel::clearAll()
{
    for (int row = 0; row < RowCount; ++row)
        clear(row);
}

QString EntryModel::valueText(int row) const
{
    return m_rows[row].column >= 0 ? caption(m_rows[row].column) : u"0"_s;
}

bool EntryModel::complete() const
{
    return rowComplete(Flight) && rowComplete(Landing) && rowComplete(Outrun);
}

double EntryModel::mark() const
{
    const double flight = valueText(Flight).toDouble();
    const double landing = valueText(Landing).toDouble();
    const double outrun = valueText(Outrun).toDouble();
    return 20 - ((flight + landing) + outrun);
}

QString EntryModel::markText() const
{
    return markText(mark());
}

QString EntryModel::markText(double mark)
{
    QString text = QString::number(mark, 'g', 15);
    if (text.size() == 1 || text.size() == 2)
        text += u".0"_s;
    return text;
}
