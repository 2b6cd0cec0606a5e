// Deduction entry: choosing a value by focus, the mark, and Enter from row to row. The entry
// lives in the model; the buttons are drawn from it.
#include "Upointin.h"

#include "keys.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace {

// The face of a chosen value that Enter has confirmed.
constexpr TColor s_confirmedColor = 0x000000FF;

} // namespace

#define TFPOINTIN_DEFINE_ENTER(name, row, column)                                                  \
    void TFpointin::name##Enter()                                                                  \
    {                                                                                              \
        chooseValue(row, column);                                                                  \
    }
TFPOINTIN_VALUE_BUTTONS(TFPOINTIN_DEFINE_ENTER)
#undef TFPOINTIN_DEFINE_ENTER

void TFpointin::setCaptionSize(TCuteButton *button, int points)
{
    // Setting a font, even an equal one, makes Qt resolve it again: costly on 37 buttons.
    const int pixels = pointsToPixels(points);
    if (button->font().pixelSize() == pixels)
        return;
    QFont f = button->font();
    f.setPixelSize(pixels);
    button->setFont(f);
}

int TFpointin::chosenCaptionSize(int row, int column) const
{
    if (row == Outrun)
        return 30;
    // Flight 2.5, 3.5 and 4.5
    if (row == Flight && (column == 5 || column == 7 || column == 9))
        return 28;
    return selFontSize;
}

// The row's buttons as the model says: one enlarged at most, in the look it was chosen with.
void TFpointin::drawRow(int row)
{
    const EntryModel::RowState &state = m_entry.row(row);
    for (int i = 0; i < ColumnCount[row]; ++i) {
        TCuteButton *b = valueButtons[row][i];
        if (i != state.column) {
            b->setColor(btnColor);
            b->setFontColor(btnFontColor);
            b->setGeometry(btnLeft[i], btnTop, btnWidth, btnHeight);
            setCaptionSize(b, btnFontSize);
            continue;
        }
        const bool grown = state.look == EntryModel::Look::Grown;
        TColor face = grown ? btnColor : selColor;
        if (state.confirmed)
            face = s_confirmedColor;
        b->setColor(face);
        b->setFontColor(grown ? btnFontColor : selFontColor);
        // Grown in place: the normal left edge kept, larger to the right and downwards.
        b->setGeometry(grown ? btnLeft[i] : selLeft[i], selTop, selWidth, selHeight);
        setCaptionSize(b, state.look == EntryModel::Look::Chosen ? chosenCaptionSize(row, i)
                                                                 : selFontSize);
    }
}

void TFpointin::resetRow(int row)
{
    m_entry.clear(row);
    drawRow(row);
}

void TFpointin::buttonrefle()
{
    resetRow(Flight);
}

void TFpointin::buttonrefle2()
{
    resetRow(Landing);
}

void TFpointin::buttonrefle3()
{
    resetRow(Outrun);
}

void TFpointin::clearEntry()
{
    buttonrefle();
    buttonrefle2();
    buttonrefle3();
    pculc();
}

void TFpointin::chooseValue(int row, int column)
{
    m_entry.choose(row, column);
    drawRow(row);
    pculc();
}

void TFpointin::showChosen(int row, int column)
{
    m_entry.showStored(row, column);
    drawRow(row);
}

void TFpointin::pculc()
{
    Edit4->setText(m_entry.markText());
}

void TFpointin::paintChosenConfirmed(int row)
{
    m_entry.confirm(row);
    drawRow(row);
}

void TFpointin::moveToNextRow(int row)
{
    paintChosenConfirmed(row);
    const int next = row + 1;
    // The next row's chosen value takes the focus again, else its first value.
    const int column = m_entry.column(next);
    valueButtons[next][column >= 0 ? column : 0]->setFocus();
}

void TFpointin::cbonext()
{
    moveToNextRow(Flight);
}

void TFpointin::cblnext()
{
    moveToNextRow(Landing);
}

void TFpointin::Cba00KeyDown(TCuteButton *, quint16 &Key, TShiftState)
{
    if (Key == keys::vkReturn)
        cbonext();
}

void TFpointin::cbo00KeyDown(TCuteButton *, quint16 &Key, TShiftState)
{
    if (Key == keys::vkReturn)
        cblnext();
}

void TFpointin::cbl00KeyDown(TCuteButton *, quint16 &Key, TShiftState)
{
    if (Key != keys::vkReturn)
        return;
    paintChosenConfirmed(Outrun);
    CuteButton10->setFocus();
}

void TFpointin::Cba00Click()
{
    // Right after Start flight 0 holds the focus in the normal look; a click chooses it by
    // growing it in place (left edge and colours kept).
    m_entry.growFlightZero();
    drawRow(Flight);
    pculc();
}
