#pragma once

#include <QString>

#include <array>

// The judge's entry for one jump: which value each of the three rows (flight, landing,
// outrun) shows as chosen and how, the value texts that registration writes, and the mark.
// The buttons are drawn from it; every decision reads it, never a widget.
class EntryModel
{
public:
    enum Row
    {
        Flight,
        Landing,
        Outrun
    };
    static constexpr int RowCount = 3;
    static constexpr std::array<int, RowCount> ColumnCount = {11, 11, 15};

    // How a row's chosen button is drawn.
    enum class Look
    {
        Chosen, // chosen by the judge (the focus): enlarged, the row's own caption size
        Stored, // the judge table's stored deduction shown at loading: enlarged, size 36
        Grown   // flight 0 clicked in the normal look: grown in place, colours kept
    };

    struct RowState
    {
        int column = -1; // -1: no value chosen
        Look look = Look::Chosen;
        bool confirmed = false; // Enter moved on from this row: the chosen face turns red
        bool operator==(const RowState &) const = default;
    };

    // The caption of column k and the text choosing it stores: "0", "0.5", ... "7".
    static QString caption(int column);
    // The column whose caption is the text, or -1.
    static int columnOf(int row, const QString &text);

    const RowState &row(int row) const { return m_rows[row]; }
    int column(int row) const { return m_rows[row].column; }

    void choose(int row, int column); // the judge chose it: also a red face turns blue again
    void showStored(int row, int column);
    void growFlightZero();
    void confirm(int row); // no effect on a row without a choice
    void clear(int row);
    void clearAll();

    // The value text of a row: its chosen value, "0" without one.
    QString valueText(int row) const;
    bool rowComplete(int row) const { return m_rows[row].column >= 0; }
    bool complete() const;
    // 20 - ((flight + landing) + outrun), and as shown and written: always one decimal.
    double mark() const;
    QString markText() const;
    static QString markText(double mark);

private:
    std::array<RowState, RowCount> m_rows;
};
