#include "pointin/entrymodel.h"

#include <algorithm>
#include <cmath>

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
    // A value is its column in half points; a row without a choice counts 0.
    const auto value = [this](int row) { return std::max(m_rows[row].column, 0) / 2.0; };
    return 20 - ((value(Flight) + value(Landing)) + value(Outrun));
}

QString EntryModel::markText() const
{
    return markText(mark());
}

QString EntryModel::markText(double mark)
{
    // Every mark of the rows is a whole or a half point: written at once.
    const double halves = mark * 2;
    if (halves == std::floor(halves) && mark >= 0 && mark < 100)
        return QString::number(int(mark)) + (int(halves) % 2 ? u".5"_s : u".0"_s);
    QString text = QString::number(mark, 'g', 15);
    if (text.size() == 1 || text.size() == 2)
        text += u".0"_s;
    return text;
}
